// Adding many files at once: file drops on the main window (offscreen, real
// media library and ffmpeg), and the program started with files, including a
// second start that hands its files to the running window.

#include "app/ffmpegexec.h"
#include "batch/batchrun.h"
#include "intake/fileintake.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "process/tjvcreateprocess.h"
#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <memory>

#include <signal.h>
#include <unistd.h>

namespace {

constexpr int ImageFinished = Picture::Finished;
constexpr int TimeoutMs = 120000;

// Makes a file with an exact byte path (names that are not UTF-8 included).
bool copyTo(const QString &source, const QByteArray &target)
{
    QFile in(source);
    FILE *out = std::fopen(target.constData(), "wb");
    if (!out || !in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = in.readAll();
    const bool ok = std::fwrite(data.constData(), 1, data.size(), out) == size_t(data.size());
    return std::fclose(out) == 0 && ok;
}

bool writeText(const QByteArray &path)
{
    FILE *out = std::fopen(path.constData(), "wb");
    return out && std::fputs("notes\n", out) >= 0 && std::fclose(out) == 0;
}

QByteArray uriList(const QList<QByteArray> &paths)
{
    QByteArray list;
    for (const QByteArray &path : paths)
        list += "file://" + path.toPercentEncoding("/") + "\r\n";
    return list;
}

QList<QByteArray> rowPaths(const QTreeWidget *list)
{
    QList<QByteArray> paths;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        paths << TFFmpegFrm::itemPath(list->topLevelItem(row));
    return paths;
}

// What a program started in report mode (see main) saw: one line per row,
// the path in hex and the row's picture.
struct Report {
    QList<QByteArray> paths;
    QList<int> images;
};

Report readReport(const QString &file)
{
    Report report;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return report;
    for (const QByteArray &line : in.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(' ');
        report.paths << QByteArray::fromHex(fields.value(0));
        report.images << fields.value(1).toInt();
    }
    return report;
}

// Report mode: the program entry itself runs; a timer waits for the expected
// number of rows, optionally converts them, writes the report and closes.
void startReporter()
{
    const int expected = qEnvironmentVariableIntValue("TST_INTAKE_EXPECT");
    const bool convert = qEnvironmentVariableIsSet("TST_INTAKE_CONVERT");
    auto *timer = new QTimer(QCoreApplication::instance());
    auto *clock = new QElapsedTimer;
    clock->start();
    auto converting = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, [=] {
        TFFmpegFrm *frm = FFmpegFrm;
        if (!frm)
            return;
        const bool timedOut = clock->elapsed() > TimeoutMs;
        if (!timedOut) {
            if (frm->intake().isBusy() || WindowControls(frm).FileListView->topLevelItemCount() < expected)
                return;
            if (convert && !*converting) {
                *converting = true;
                WindowControls(frm).ConvFileBtn->click();
                return;
            }
            if (frm->batch().isRunning() || frm->batch().runningEncoders() > 0)
                return;
        }
        QFile out(qEnvironmentVariable("TST_INTAKE_REPORT"));
        if (out.open(QIODevice::WriteOnly)) {
            for (int row = 0; row < WindowControls(frm).FileListView->topLevelItemCount(); ++row) {
                const QTreeWidgetItem *item = WindowControls(frm).FileListView->topLevelItem(row);
                out.write(TFFmpegFrm::itemPath(item).toHex() + ' ' + QByteArray::number(TFFmpegFrm::itemImage(item))
                          + '\n');
            }
        }
        timer->stop();
        frm->close();
    });
    timer->start(100);
}

} // namespace

class FileIntakeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void uriListGivesExactLocalPaths_data();
    void uriListGivesExactLocalPaths();
    void dropAddsFilesAndFolders_data();
    void dropAddsFilesAndFolders();
    void dropOfOtherDataIsRefused();
    void manyFilesCountOnStatusLineAndEscCancels();
    void dropDuringBatchIsConvertedInThatBatch();
    void startedWithFilesAddsAndConvertsThem();
    void secondStartHandsFilesToRunningWindow();
    void startAfterKilledInstanceRunsNormally();
    void quitSignalDuringStartMessageEndsProgram();

private:
    QByteArray path(const char *name) const { return QFile::encodeName(m_dir.path()) + '/' + name; }
    void drop(const QList<QByteArray> &paths, QWidget *target = nullptr);
    QTreeWidget *list() const { return ui().FileListView; }
    QProcessEnvironment childEnvironment() const;
    QString makeSettingsFolder(const QString &name);

    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    QString m_clip;
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
};

void FileIntakeTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_runtime.isValid());
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });
    m_clip = m_dir.filePath("clip.mp4");
    QVERIFY(TestSupport::makeClip(m_clip, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=0.5", "-c:v",
                                           "libx264", "-pix_fmt", "yuv420p"}));

    // Files: three clips, a text file, and a folder tree with a text file and
    // a name that is not UTF-8.
    for (const char *name : {"one.avi", "two.mkv", "three.mp4"})
        QVERIFY(copyTo(m_clip, path(name)));
    QVERIFY(writeText(path("notes.txt")));
    QVERIFY(QDir().mkpath(m_dir.filePath("tree/b sub/deeper")));
    QVERIFY(QDir().mkpath(m_dir.filePath("tree/a sub")));
    QVERIFY(copyTo(m_clip, path("tree/z.WEBM")));
    QVERIFY(copyTo(m_clip, path("tree/a sub/x.ts")));
    QVERIFY(copyTo(m_clip, path("tree/b sub/deeper/y.M2TS")));
    QVERIFY(copyTo(m_clip, path("tree/b sub/bad\xff.mp4")));
    QVERIFY(writeText(path("tree/b sub/readme.txt")));
    QVERIFY(writeText(path("tree/clip.mp4.part")));
    QVERIFY(QDir().mkpath(m_dir.filePath("mpeg")));
    QVERIFY(copyTo(m_clip, path("mpeg/school play.mpg")));
    QVERIFY(copyTo(m_clip, path("mpeg/talk.MPEG")));
}

void FileIntakeTest::init()
{
    m_boxes.clear();
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QString out = m_dir.filePath("out");
    QVERIFY(QDir().mkpath(out));
    ui().JvEditDir->setText(out);
}

void FileIntakeTest::cleanup()
{
    if (m_window && m_window->batch().runningEncoders() > 0) {
        m_window->batch().stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->batch().runningEncoders() == 0, 20000);
    }
    m_window.reset();
    QCOMPARE(m_boxes, QStringList());
}

void FileIntakeTest::cleanupTestCase()
{
    // QTemporaryDir cannot name the files whose names are not UTF-8.
    TestSupport::runProgram(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir.path()});
    ErrorDisplay::setBoxFunction({});
    m_settings.reset();
}

void FileIntakeTest::drop(const QList<QByteArray> &paths, QWidget *target)
{
    target = target ? target : list()->viewport();
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uriList(paths));
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropEvent);
    QVERIFY(dropEvent.isAccepted());
}

void FileIntakeTest::uriListGivesExactLocalPaths_data()
{
    QTest::addColumn<QByteArray>("uriList");
    QTest::addColumn<QList<QByteArray>>("paths");
    QTest::newRow("two files, CRLF") << QByteArray("file:///a/b%20c.avi\r\nfile:///d.mp4\r\n")
                                     << QList<QByteArray>{"/a/b c.avi", "/d.mp4"};
    QTest::newRow("comment and other schemes") << QByteArray("# from a file manager\nhttp://host/x.mp4\nfile:///x.mkv")
                                               << QList<QByteArray>{"/x.mkv"};
    QTest::newRow("localhost and another host") << QByteArray("file://localhost/l.mp4\nfile://elsewhere.example/r.mp4")
                                                << QList<QByteArray>{"/l.mp4"};
    QTest::newRow("bytes that are not UTF-8") << QByteArray("file:///v/bad%FF%C3%A9.mp4")
                                              << QList<QByteArray>{"/v/bad\xff\xc3\xa9.mp4"};
    QTest::newRow("quotes and a percent sign") << QByteArray("file:///it's%20%22q%22%2550.mp4")
                                               << QList<QByteArray>{"/it's \"q\"%50.mp4"};
    QTest::newRow("a NUL byte is refused") << QByteArray("file:///a%00b.mp4") << QList<QByteArray>{};
}

void FileIntakeTest::uriListGivesExactLocalPaths()
{
    QFETCH(QByteArray, uriList);
    QFETCH(QList<QByteArray>, paths);
    QCOMPARE(FileIntake::pathsFromUriList(uriList), paths);
}

void FileIntakeTest::dropAddsFilesAndFolders_data()
{
    QTest::addColumn<QList<QByteArray>>("dropped");
    QTest::addColumn<QList<QByteArray>>("rows");
    const QList<QByteArray> tree{path("tree/a sub/x.ts"), path("tree/b sub/bad\xff.mp4"),
                                 path("tree/b sub/deeper/y.M2TS"), path("tree/z.WEBM")};
    QTest::newRow("three files in the order dropped")
        << QList<QByteArray>{path("two.mkv"), path("one.avi"), path("three.mp4")}
        << QList<QByteArray>{path("two.mkv"), path("one.avi"), path("three.mp4")};
    QTest::newRow("folder: its videos and its subfolders', sorted by path")
        << QList<QByteArray>{path("tree")} << tree;
    QTest::newRow("mixed list skips the text file")
        << QList<QByteArray>{path("one.avi"), path("notes.txt"), path("tree"), path("two.mkv")}
        << (QList<QByteArray>{path("one.avi")} + tree + QList<QByteArray>{path("two.mkv")});
    QTest::newRow("MPEG program streams by either name")
        << QList<QByteArray>{path("mpeg")} << QList<QByteArray>{path("mpeg/school play.mpg"), path("mpeg/talk.MPEG")};
    QTest::newRow("a non-video file on its own is added")
        << QList<QByteArray>{path("notes.txt")} << QList<QByteArray>{path("notes.txt")};
}

void FileIntakeTest::dropAddsFilesAndFolders()
{
    QFETCH(QList<QByteArray>, dropped);
    QFETCH(QList<QByteArray>, rows);
    drop(dropped);
    QTRY_VERIFY(!m_window->intake().isBusy());
    QCOMPARE(rowPaths(list()), rows);
    // Each row as Add makes it: the type read from the file, and the panel on the last file.
    QCOMPARE(list()->topLevelItem(0)->text(4), QStringLiteral("0%"));
    QCOMPARE(list()->topLevelItem(0)->text(0), QFile::decodeName(rows.first()));
    if (rows.first().endsWith(".avi"))
        QVERIFY(!list()->topLevelItem(0)->text(1).isEmpty());
    const QString lastName = QFile::decodeName(rows.last()).section(QLatin1Char('/'), -1);
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), lastName);

    // Dropped on another part of the window (a text box), the files go to the list too.
    drop({path("one.avi")}, ui().JvEditDir);
    QTRY_VERIFY(!m_window->intake().isBusy());
    QCOMPARE(rowPaths(list()).last(), path("one.avi"));
    QCOMPARE(ui().JvEditDir->text(), m_dir.filePath("out"));
}

void FileIntakeTest::dropOfOtherDataIsRefused()
{
    QMimeData data;
    data.setText(QStringLiteral("just text"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    data.setData(QStringLiteral("text/uri-list"), "https://example.org/clip.mp4\r\n");
    QDragEnterEvent web(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &web);
    QVERIFY(!web.isAccepted());
    QCOMPARE(list()->topLevelItemCount(), 0);
}

void FileIntakeTest::manyFilesCountOnStatusLineAndEscCancels()
{
    const QString many = m_dir.filePath("many");
    QVERIFY(QDir().mkpath(many));
    const int total = 200;
    for (int i = 0; i < total; ++i)
        QVERIFY(QFile::link(m_clip, many + QStringLiteral("/clip%1.mp4").arg(i, 3, 10, QLatin1Char('0'))));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

    drop({QFile::encodeName(many)});
    // The list fills while the window keeps answering, and the status line counts.
    QTRY_VERIFY(list()->topLevelItemCount() > 0);
    QVERIFY(m_window->intake().isBusy());
    QVERIFY(list()->topLevelItemCount() < total);
    static const QRegularExpression counting(QStringLiteral("^Adding (\\d+) of 200 files…$"));
    const QRegularExpressionMatch match = counting.match(ui().JvEditCmdMsg->text());
    QVERIFY2(match.hasMatch(), qPrintable(ui().JvEditCmdMsg->text()));
    QCOMPARE(match.captured(1).toInt(), list()->topLevelItemCount());

    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(!m_window->intake().isBusy());
    const int added = list()->topLevelItemCount();
    QVERIFY(added < total);
    QCOMPARE(ui().JvEditCmdMsg->text(),
             QStringLiteral("Adding cancelled: %1 of 200 files added.").arg(added));
    QTest::qWait(100);
    QCOMPARE(list()->topLevelItemCount(), added);
    // In path order, from the first.
    QCOMPARE(TFFmpegFrm::itemPath(list()->topLevelItem(added - 1)),
             QFile::encodeName(many + QStringLiteral("/clip%1.mp4").arg(added - 1, 3, 10, QLatin1Char('0'))));
}

void FileIntakeTest::dropDuringBatchIsConvertedInThatBatch()
{
    const QString out = m_dir.filePath("batch out");
    QVERIFY(QDir().mkpath(out));
    ui().JvEditDir->setText(out);
    drop({path("one.avi")});
    QTRY_VERIFY(!m_window->intake().isBusy());
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QVERIFY(!ui().AddFileBtn->isEnabled());
    drop({path("two.mkv"), path("tree/b sub/bad\xff.mp4")});
    QTRY_VERIFY_WITH_TIMEOUT(ui().AddFileBtn->isEnabled(), TimeoutMs);
    QCOMPARE(list()->topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row)
        QVERIFY2(TFFmpegFrm::itemImage(list()->topLevelItem(row)) == ImageFinished,
                 qPrintable(list()->topLevelItem(row)->toolTip(0)));
    const QByteArray folder = QFile::encodeName(out) + '/';
    for (const QByteArray &name : {QByteArray("one.mp4"), QByteArray("two.mp4"), QByteArray("bad\xff.mp4")}) {
        const QByteArray output = folder + name;
        QVERIFY2(::access(output.constData(), R_OK) == 0, output.constData());
    }
}

QProcessEnvironment FileIntakeTest::childEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    return env;
}

QString FileIntakeTest::makeSettingsFolder(const QString &name)
{
    const QString folder = m_dir.filePath(name);
    QDir().mkpath(folder + QStringLiteral("/out"));
    QFile::copy(TestSupport::programDir() + QStringLiteral("LibFFmpeg.Dat"), folder + QStringLiteral("/LibFFmpeg.Dat"));
    QFile::setPermissions(folder + QStringLiteral("/LibFFmpeg.Dat"), QFile::ReadOwner | QFile::WriteOwner);
    TSqliteConnection connection(folder + QStringLiteral("/LibFFmpeg.Dat"));
    TSqliteQuery query(connection);
    query.run(QStringLiteral("update savedir_videofile set dir_name = ") + sqlQuoted(folder + QStringLiteral("/out"))
              + QStringLiteral(" where dir_numb = '001'"));
    return folder;
}

// Starts `program` in `folder` with exact byte arguments (QProcess takes only
// text): xargs reads them NUL-separated from a file.
void startWithArguments(QProcess &process, const QString &program, const QList<QByteArray> &arguments,
                        const QString &folder)
{
    QFile list(folder + QStringLiteral("/arguments"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    for (const QByteArray &argument : arguments)
        list.write(argument + '\0');
    list.close();
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("xargs"), {QStringLiteral("-0"), QStringLiteral("-a"), list.fileName(),
                                            QStringLiteral("--"), program});
    QVERIFY(process.waitForStarted());
}

void FileIntakeTest::startedWithFilesAddsAndConvertsThem()
{
    const QString folder = makeSettingsFolder(QStringLiteral("started"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/in")));
    const QByteArray in = QFile::encodeName(folder) + "/in/";
    const QByteArray odd = in + "it's a \"q\" (x) \xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9.avi";
    const QByteArray bad = in + "bad\xff name.mkv";
    QVERIFY(copyTo(m_clip, odd));
    QVERIFY(copyTo(m_clip, bad));
    QProcess child;
    QProcessEnvironment env = childEnvironment();
    env.insert(QStringLiteral("TST_INTAKE_REPORT"), folder + QStringLiteral("/report"));
    env.insert(QStringLiteral("TST_INTAKE_EXPECT"), QStringLiteral("6"));
    env.insert(QStringLiteral("TST_INTAKE_CONVERT"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    // Relative paths count from the folder the program starts in.
    startWithArguments(child, QCoreApplication::applicationFilePath(),
                       {odd, "../tree", "in/bad\xff name.mkv"}, folder);
    QVERIFY(child.waitForFinished(TimeoutMs));
    QCOMPARE(child.exitCode(), 0);

    const Report report = readReport(folder + QStringLiteral("/report"));
    QCOMPARE(report.paths, (QList<QByteArray>{odd, path("tree/a sub/x.ts"), path("tree/b sub/bad\xff.mp4"),
                                              path("tree/b sub/deeper/y.M2TS"), path("tree/z.WEBM"), bad}));
    QCOMPARE(report.images, QList<int>(6, ImageFinished));
    const QByteArray out = QFile::encodeName(folder) + "/out/";
    for (const QByteArray &name : {QByteArray("it's a \"q\" (x) \xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9.mp4"),
                                  QByteArray("x.mp4"), QByteArray("bad\xff.mp4"), QByteArray("y.mp4"),
                                  QByteArray("z.mp4"), QByteArray("bad\xff name.mp4")}) {
        const QByteArray output = out + name;
        QVERIFY2(::access(output.constData(), R_OK) == 0, output.constData());
    }
}

// The lock file of the running program in the private runtime folder.
static bool runningInstanceIsUp(const QString &runtime)
{
    const QStringList entries = QDir(runtime).entryList({QStringLiteral("halvora-*")}, QDir::System | QDir::Files);
    return entries.size() == 2; // the lock file and the socket
}

void FileIntakeTest::secondStartHandsFilesToRunningWindow()
{
    const QString folder = makeSettingsFolder(QStringLiteral("second"));
    QProcess first;
    QProcessEnvironment env = childEnvironment();
    env.insert(QStringLiteral("TST_INTAKE_REPORT"), folder + QStringLiteral("/report"));
    env.insert(QStringLiteral("TST_INTAKE_EXPECT"), QStringLiteral("3"));
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(folder);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(first.waitForStarted());
    const auto stop = qScopeGuard([&first] { first.kill(); first.waitForFinished(); });
    QTRY_VERIFY_WITH_TIMEOUT(runningInstanceIsUp(m_runtime.path()), 20000);

    // The real program, started on the same settings file: without files it
    // only raises the window; with files it hands them over. Both end with 0.
    const QString program = TestSupport::programDir() + QStringLiteral("halvora");
    QProcess raiseOnly;
    raiseOnly.setProcessEnvironment(childEnvironment());
    startWithArguments(raiseOnly, program, {}, folder);
    QVERIFY(raiseOnly.waitForFinished(20000));
    QCOMPARE(raiseOnly.exitCode(), 0);
    QProcess second;
    second.setProcessEnvironment(childEnvironment());
    startWithArguments(second, program, {path("two.mkv"), path("tree/b sub"), path("notes.txt")}, folder);
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);

    QVERIFY(first.waitForFinished(TimeoutMs));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(readReport(folder + QStringLiteral("/report")).paths,
             (QList<QByteArray>{path("two.mkv"), path("tree/b sub/bad\xff.mp4"), path("tree/b sub/deeper/y.M2TS")}));
}

void FileIntakeTest::startAfterKilledInstanceRunsNormally()
{
    const QString folder = makeSettingsFolder(QStringLiteral("killed"));
    {
        QProcess killed;
        killed.setProcessEnvironment(childEnvironment());
        killed.setWorkingDirectory(folder);
        killed.start(TestSupport::programDir() + QStringLiteral("halvora"), {});
        QVERIFY(killed.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(runningInstanceIsUp(m_runtime.path()), 20000);
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());
    }
    // Its lock file and socket are left behind.
    QVERIFY(runningInstanceIsUp(m_runtime.path()));

    QProcess next;
    QProcessEnvironment env = childEnvironment();
    env.insert(QStringLiteral("TST_INTAKE_REPORT"), folder + QStringLiteral("/report"));
    env.insert(QStringLiteral("TST_INTAKE_EXPECT"), QStringLiteral("1"));
    next.setProcessEnvironment(env);
    startWithArguments(next, QCoreApplication::applicationFilePath(), {path("three.mp4")}, folder);
    QVERIFY(next.waitForFinished(TimeoutMs));
    QCOMPARE(next.exitCode(), 0);
    QCOMPARE(readReport(folder + QStringLiteral("/report")).paths, QList<QByteArray>{path("three.mp4")});
}

void FileIntakeTest::quitSignalDuringStartMessageEndsProgram()
{
    // An empty settings file: the window says so in a message box as it opens.
    const QString folder = m_dir.filePath(QStringLiteral("empty settings"));
    QVERIFY(QDir().mkpath(folder));
    QFile settings(folder + QStringLiteral("/LibFFmpeg.Dat"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.close();
    QProcess program;
    program.setProcessEnvironment(childEnvironment());
    program.setWorkingDirectory(folder);
    program.start(TestSupport::programDir() + QStringLiteral("halvora"), {});
    QVERIFY(program.waitForStarted());
    const auto stop = qScopeGuard([&program] { program.kill(); program.waitForFinished(); });
    QTRY_VERIFY_WITH_TIMEOUT(runningInstanceIsUp(m_runtime.path()), 20000);
    QTest::qWait(1000);
    QVERIFY(program.state() == QProcess::Running);

    // Ends as a logout would have it, with the box still up.
    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TST_INTAKE_REPORT")) {
        // The program itself, watched by a timer that starts with the application.
        qAddPreRoutine(startReporter);
        return FFmpegExec(argc, argv);
    }
    QApplication application(argc, argv);
    FileIntakeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fileintake.moc"
