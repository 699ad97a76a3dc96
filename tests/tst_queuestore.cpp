// The list kept on disk: taken up after the program was killed at any moment
// of a batch, every file converted exactly once; states and partial files
// after an interruption; a damaged file set aside; a normal end forgotten.

#include "batch/batchrun.h"
#include "batch/queuestore.h"
#include "tests/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <unistd.h>
#include <cstdio>

namespace {

// The child batch: its folder (queue file, out/), its sources, and whether
// it adds them (the first start) or only takes up what was kept.
constexpr char FolderVariable[] = "HALVORA_QUEUE_TEST_FOLDER";
constexpr char SourcesVariable[] = "HALVORA_QUEUE_TEST_SOURCES";
constexpr char AddVariable[] = "HALVORA_QUEUE_TEST_ADD";

BatchEntry entryFor(const QByteArray &path, EntryState state = EntryState::Pending)
{
    BatchEntry entry;
    entry.path = path;
    entry.state = state;
    return entry;
}

// Processes whose command line names `text`, this test's own children's
// children among them.
int processesNaming(const QByteArray &text)
{
    int found = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid.toInt() > 0 && cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text))
            ++found;
    }
    return found;
}

struct ChildRun {
    int restored = -1;
    QList<QPair<QByteArray, int>> entries; // path, state at the end
};

ChildRun parse(const QByteArray &output)
{
    ChildRun run;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("OPENED "))
            run.restored = line.split(' ').value(1).toInt();
        else if (line.startsWith("ENTRY ")) {
            const qsizetype space = line.indexOf(' ', 6);
            run.entries.append({QByteArray::fromHex(line.mid(space + 1)), line.mid(6, space - 6).toInt()});
        }
    }
    return run;
}

} // namespace

class QueueStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void batchInChild();
    void killedAtAnyMomentIsTakenUpOnce();
    void interruptedRunKeepsStatesAndRemovesOnlyItsPartial();
    void damagedFileIsSetAside();

private:
    QProcess *startChild(const QString &folder, bool add);

    QTemporaryDir m_media;
    QStringList m_sources;
};

void QueueStoreTest::initTestCase()
{
    if (TestSupport::isTestChild())
        return;
    QVERIFY(m_media.isValid());
    // Names a shell would trip over.
    for (const char *name : {"one clip.mkv", "it's $HOME.mkv", "dvě.mkv", "four.avi"}) {
        const QString path = m_media.filePath(QString::fromUtf8(name));
        QVERIFY(TestSupport::makeClip(path, {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f",
                                             "lavfi", "-i", "sine=duration=2", "-c:v", "mpeg4", "-c:a", "mp2",
                                             "-shortest"}));
        m_sources << path;
    }
}

// Run as a child: a batch of the sources, two at a time, kept in the folder's
// queue file; prints what it took up and each entry's end.
void QueueStoreTest::batchInChild()
{
    if (!TestSupport::isTestChild())
        QSKIP("started by killedAtAnyMomentIsTakenUpOnce");
    const QString folder = qEnvironmentVariable(FolderVariable);
    const QByteArray out = QFile::encodeName(folder + QStringLiteral("/out"));
    BatchRun batch;
    batch.setEncoder("/usr/bin/ffmpeg");
    batch.setSimultaneous(2);
    batch.setOptionsSource([out] { return EntryOptions{out, {"-c:v libx264 -preset ultrafast", "-c:a aac"}}; });
    QueueStore store(batch, folder + QStringLiteral("/queue"));
    const QueueStore::Opened opened = store.open();
    std::printf("OPENED %d %d\n", opened.restored, opened.toConvert);
    if (qEnvironmentVariableIsSet(AddVariable)) {
        for (const QString &source : qEnvironmentVariable(SourcesVariable).split(QLatin1Char('\n')))
            batch.add(entryFor(QFile::encodeName(source)));
        store.flush();
        std::printf("ADDED\n");
    }
    std::fflush(stdout);
    QSignalSpy finished(&batch, &BatchRun::finished);
    batch.start();
    if (batch.isRunning())
        QVERIFY(finished.wait(120000));
    for (int k = 0; k < batch.count(); ++k)
        std::printf("ENTRY %d %s\n", int(batch.entry(k).state), batch.entry(k).path.toHex().constData());
    std::fflush(stdout);
}

QProcess *QueueStoreTest::startChild(const QString &folder, bool add)
{
    auto *child = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVORA_TEST_CHILD"), QStringLiteral("1"));
    environment.insert(QLatin1String(FolderVariable), folder);
    environment.insert(QLatin1String(SourcesVariable), m_sources.join(QLatin1Char('\n')));
    if (add)
        environment.insert(QLatin1String(AddVariable), QStringLiteral("1"));
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::SeparateChannels);
    child->start(QCoreApplication::applicationFilePath(), {QStringLiteral("batchInChild")});
    return child;
}

void QueueStoreTest::killedAtAnyMomentIsTakenUpOnce()
{
    // The time of a whole batch sets the kill points, spread over it.
    QTemporaryDir whole;
    QVERIFY(QDir().mkpath(whole.filePath(QStringLiteral("out"))));
    QElapsedTimer clock;
    clock.start();
    QProcess *first = startChild(whole.path(), true);
    QVERIFY(first->waitForFinished(120000));
    const qint64 batchMs = clock.elapsed();
    QCOMPARE(parse(first->readAllStandardOutput()).entries.size(), m_sources.size());

    constexpr int Points = 20;
    int takenUp = 0;
    for (int point = 0; point < Points; ++point) {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QProcess *child = startChild(dir.path(), true);
        QVERIFY(child->waitForStarted());
        QByteArray seen;
        while (!seen.contains("ADDED\n") && child->waitForReadyRead(30000))
            seen += child->readAllStandardOutput();
        QVERIFY(seen.contains("ADDED\n"));
        // From right after the list was kept to past the batch's end.
        QThread::msleep(ulong(batchMs * point / (Points - 4)));
        ::kill(pid_t(child->processId()), SIGKILL);
        QVERIFY(child->waitForFinished(10000));
        // Its encoders end with it (their guards see to that): wait for them
        // before the next start looks at the folder.
        QTRY_COMPARE_WITH_TIMEOUT(processesNaming(QFile::encodeName(out)), 0, 20000);

        QProcess *again = startChild(dir.path(), false);
        QVERIFY(again->waitForFinished(120000));
        const QByteArray output = again->readAllStandardOutput();
        const ChildRun run = parse(output);
        const QString where = QStringLiteral("killed %1 ms in: %2").arg(batchMs * point / (Points - 4)).arg(QString::fromUtf8(output));
        // Taken up whole, or, when the batch had ended, nothing to take up.
        QVERIFY2(run.restored == 0 || run.restored == m_sources.size(), qPrintable(where));
        QCOMPARE(run.entries.size(), run.restored);
        QStringList taken;
        for (const auto &[path, state] : run.entries) {
            QVERIFY2(state == int(EntryState::Done), qPrintable(where));
            taken << QFile::decodeName(path);
        }
        if (run.restored > 0) {
            QCOMPARE(taken, m_sources);
            ++takenUp;
        }
        // One output per source, none twice, and no partial file left.
        QStringList written = QDir(out).entryList(QDir::Files | QDir::Hidden);
        written.sort();
        QStringList expected;
        for (const QString &source : m_sources)
            expected << QFileInfo(source).completeBaseName() + QStringLiteral(".mp4");
        expected.sort();
        QVERIFY2(written == expected, qPrintable(where + written.join(QLatin1Char('|'))));
    }
    qInfo("a batch takes %lld ms; %d of %d kills left files to convert", batchMs, takenUp, Points);
    // Kills before the end must have been among them.
    QVERIFY(takenUp >= Points / 2);
}

void QueueStoreTest::interruptedRunKeepsStatesAndRemovesOnlyItsPartial()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("queue"));
    // A name that is not valid text: it is removed by its bytes.
    const QByteArray partial = QFile::encodeName(dir.path()) + "/clip\xff.part.mp4";
    const QByteArray usersFile = QFile::encodeName(dir.filePath(QStringLiteral("holiday.part.mp4")));
    for (const QByteArray &path : {partial, usersFile}) {
        FILE *made = std::fopen(path.constData(), "w");
        QVERIFY(made && std::fputs("x", made) >= 0);
        std::fclose(made);
    }
    {
        BatchRun batch;
        QueueStore store(batch, file);
        QCOMPARE(store.open().restored, 0);
        BatchEntry done = entryFor("/videos/done.mkv", EntryState::Done);
        done.output = QStringLiteral("/out/done.mp4");
        done.time = "00:01:00";
        BatchEntry failed = entryFor("/videos/failed.mkv", EntryState::Failed);
        failed.reason = QStringLiteral("Not a video file (100%1 sure)");
        for (const BatchEntry &entry :
             {done, failed, entryFor("/videos/clip.mkv"), entryFor("/videos/holiday.mkv"), entryFor("/videos/b\xff.avi"),
              entryFor("/videos/last.mkv")})
            batch.restore(entry);
        store.flush();
    }
    // Killed while two encoders ran: one wrote the partial file; the other
    // died as it tried a name that another's file held, which is never removed.
    TestSupport::runSql(file, {QStringLiteral("update queue_entry set state = 1, temporary = '%1', temporary_made = 1 "
                                              "where key = 3")
                                    .arg(QString::fromLatin1(partial.toHex())),
                                QStringLiteral("update queue_entry set state = 1, temporary = '%1', temporary_made = 0 "
                                               "where key = 4")
                                    .arg(QString::fromLatin1(usersFile.toHex()))});
    {
        BatchRun batch;
        QueueStore store(batch, file);
        const QueueStore::Opened opened = store.open();
        QCOMPARE(opened.restored, 6);
        QCOMPARE(opened.toConvert, 4);
        QCOMPARE(opened.message, QStringLiteral("The last run was interrupted: 4 of 6 files are still to convert. "
                                                "Press Convert to go on."));
        QCOMPARE(batch.entry(0).state, EntryState::Done);
        QCOMPARE(batch.entry(0).output, QStringLiteral("/out/done.mp4"));
        QCOMPARE(batch.entry(0).time, QByteArray("00:01:00"));
        QCOMPARE(batch.entry(1).state, EntryState::Failed);
        QCOMPARE(batch.entry(1).reason, QStringLiteral("Not a video file (100%1 sure)"));
        QCOMPARE(batch.entry(4).path, QByteArray("/videos/b\xff.avi"));
        for (int k : {2, 3, 4})
            QCOMPARE(batch.entry(k).state, EntryState::Pending);
        QVERIFY(::access(partial.constData(), F_OK) != 0);
        QVERIFY(::access(usersFile.constData(), F_OK) == 0);
        // The user ends normally.
        store.forget();
    }
    BatchRun batch;
    QueueStore store(batch, file);
    QCOMPARE(store.open().restored, 0);
    QCOMPARE(batch.count(), 0);
}

void QueueStoreTest::damagedFileIsSetAside()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("queue"));
    const QByteArray damage = QByteArray("SQLite format 3") + QByteArray(4096, '\x5a');
    QFile damaged(file);
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(damage) == damage.size());
    damaged.close();
    {
        BatchRun batch;
        QueueStore store(batch, file);
        const QueueStore::Opened opened = store.open();
        QCOMPARE(opened.restored, 0);
        QVERIFY2(opened.message.startsWith(QStringLiteral("The list kept from the last run could not be read")),
                 qPrintable(opened.message));
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("queue.damaged-*")});
        QCOMPARE(aside.size(), 1);
        QVERIFY(opened.message.endsWith(dir.filePath(aside[0]) + QLatin1Char('.')));
        QCOMPARE(TestSupport::readAll(dir.filePath(aside[0])), damage);
        // A new list is kept from here on.
        batch.add(entryFor("/videos/new.mkv"));
        store.flush();
    }
    BatchRun batch;
    QueueStore store(batch, file);
    QCOMPARE(store.open().restored, 1);
    QCOMPARE(batch.entry(0).path, QByteArray("/videos/new.mkv"));
}

QTEST_GUILESS_MAIN(QueueStoreTest)
#include "tst_queuestore.moc"
