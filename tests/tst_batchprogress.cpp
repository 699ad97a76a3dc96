// A run's progress in words: files done, the share of the playing time, the
// measured speed and the time left, on a clock the test moves.

#include "batch/batchprogress.h"
#include "batch/batchrun.h"

#include <QTest>

#include <algorithm>

namespace {

BatchEntry entry(const char *time, EntryState state, int percent = 0, qint64 framePixels = 0)
{
    BatchEntry made;
    made.time = time;
    made.framePixels = framePixels;
    made.state = state;
    made.percent = state == EntryState::Done ? 100 : percent;
    return made;
}

constexpr EntryState Pending = EntryState::Pending;
constexpr EntryState Converting = EntryState::Converting;
constexpr EntryState Done = EntryState::Done;
constexpr EntryState Failed = EntryState::Failed;
// What a frame costs beyond its pixels, in pixels.
constexpr qint64 PerFrame = qint64(BatchProgress::FrameCostPixels);

} // namespace

Q_DECLARE_METATYPE(BatchEntry)

class BatchProgressTest : public QObject {
    Q_OBJECT

private slots:
    void summaryText_data();
    void summaryText();
    void timeLeftFollowsTheMeasuredSpeed();
    void countsOnlyTheEntriesTheRunConverts();
    void timeLeftText_data();
    void timeLeftText();
    void speedText_data();
    void speedText();

private:
    qint64 m_now = 0;
    BatchProgress::Clock clock()
    {
        return [this] { return m_now; };
    }
};

void BatchProgressTest::summaryText_data()
{
    // Every row's run began with all its entries waiting, `elapsed` ms ago.
    QTest::addColumn<QList<BatchEntry>>("entries");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing measured yet")
        << QList<BatchEntry>{entry("00:01:00", Converting, 10), entry("00:01:00", Pending)} << qint64(1000)
        << QString::fromUtf8("0 of 2 files · 5 % · estimating…");
    QTest::newRow("measured, nothing converted yet")
        << QList<BatchEntry>{entry("00:01:00", Converting), entry("00:01:00", Pending)} << qint64(20000)
        << QString::fromUtf8("0 of 2 files · 0 % · estimating…");
    // 900 media seconds in 300 s: 3×, and 1500 left take 500 s.
    QTest::newRow("half the media converted")
        << QList<BatchEntry>{entry("00:10:00", Done), entry("00:10:00", Converting, 50), entry("00:10:00", Pending),
                             entry("00:10:00", Pending)}
        << qint64(300000) << QString::fromUtf8("1 of 4 files · 37 % · 3.0× · about 8 min left");
    // The unknown one weighs the average, 120 s: 60 of 360 converted in 20 s.
    QTest::newRow("unknown playing time")
        << QList<BatchEntry>{entry("00:01:00", Done), entry("00:03:00", Pending), entry("", Pending)} << qint64(20000)
        << QString::fromUtf8("1 of 3 files · 16 % · 3.0× · about 2 min left");
    // Each weighs the same: one file in 40 s, one to go. No speed to give.
    QTest::newRow("no playing time known")
        << QList<BatchEntry>{entry("", Done), entry("", Pending)} << qint64(40000)
        << QString::fromUtf8("1 of 2 files · 50 % · about 40 s left");
    // Its time is dealt with; the half its encoder got through took time.
    QTest::newRow("failed entry")
        << QList<BatchEntry>{entry("00:01:00", Failed, 50), entry("00:01:00", Pending)} << qint64(15000)
        << QString::fromUtf8("1 of 2 files · 50 % · 2.0× · about 30 s left");
    QTest::newRow("unreadable entry")
        << QList<BatchEntry>{entry("", Failed), entry("00:01:00", Converting, 25)} << qint64(5000)
        << QString::fromUtf8("1 of 2 files · 62 % · 3.0× · about 15 s left");
    // 60 s converted in 15 s; the next 60 s have four times the encoder's
    // work per second (pixels and what every frame costs).
    QTest::newRow("larger frames to come")
        << QList<BatchEntry>{entry("00:01:00", Done, 100, 256000 - PerFrame),
                             entry("00:01:00", Pending, 0, 1024000 - PerFrame)}
        << qint64(15000) << QString::fromUtf8("1 of 2 files · 50 % · 4.0× · about 1 min left");
    // The unknown one counts as the average known size: the work left is five
    // times the work done (3 + 2), which took 20 s.
    QTest::newRow("unknown frame size")
        << QList<BatchEntry>{entry("00:01:00", Done, 100, 128000 - PerFrame),
                             entry("00:01:00", Pending, 0, 384000 - PerFrame),
                             entry("00:01:00", Pending)}
        << qint64(20000) << QString::fromUtf8("1 of 3 files · 33 % · 3.0× · about 2 min left");
    // A file of audio alone costs only what every frame costs: a quarter of
    // the work done, which took 16 s (4 s, given in steps of 5 s).
    BatchEntry audio = entry("00:01:00", Pending);
    audio.audioOnly = true;
    QTest::newRow("audio alone to come")
        << QList<BatchEntry>{entry("00:01:00", Done, 100, 256000 - PerFrame), audio} << qint64(16000)
        << QString::fromUtf8("1 of 2 files · 50 % · 3.8× · about 5 s left");
    QTest::newRow("slower than real time, hours left")
        << QList<BatchEntry>{entry("02:00:00", Converting, 10)} << qint64(1080000)
        << QString::fromUtf8("0 of 1 file · 10 % · 0.7× · about 2 h 40 min left");
    QTest::newRow("all converted, the last encoder ending")
        << QList<BatchEntry>{entry("00:00:30", Done), entry("00:00:00", Done)} << qint64(5000)
        << QString::fromUtf8("2 of 2 files · 100 % · 6.1×");
}

void BatchProgressTest::summaryText()
{
    QFETCH(QList<BatchEntry>, entries);
    QFETCH(qint64, elapsed);
    QFETCH(QString, expected);

    QList<BatchEntry> waiting = entries;
    for (BatchEntry &e : waiting) {
        e.state = Pending;
        e.percent = 0;
    }
    m_now = 1000000;
    BatchProgress progress(clock());
    progress.begin(waiting);
    m_now += elapsed;
    QCOMPARE(BatchProgress::text(progress.summary(entries)), expected);
}

void BatchProgressTest::timeLeftFollowsTheMeasuredSpeed()
{
    // Four 5-minute files converted at 2×: the estimate holds from the first
    // measurement to the end, and the speed is that of the whole run so far.
    m_now = 0;
    BatchProgress progress(clock());
    QList<BatchEntry> entries(4, entry("00:05:00", Pending));
    progress.begin(entries);
    QCOMPARE(progress.summary(entries).secondsLeft, -1.0);

    const double total = 4 * 300 / 2.0; // seconds the whole run takes
    for (int percentOfRun : {5, 25, 50, 75, 95}) {
        const double converted = 1200 * percentOfRun / 100.0;
        m_now = qint64(converted / 2 * 1000);
        for (int k = 0; k < 4; ++k) {
            const double own = std::clamp(converted - 300 * k, 0.0, 300.0);
            entries[k] = own >= 300 ? entry("00:05:00", Done)
                         : own > 0  ? entry("00:05:00", Converting, int(own / 3))
                                    : entry("00:05:00", Pending);
        }
        const BatchProgress::Summary summary = progress.summary(entries);
        QVERIFY2(qAbs(summary.speed - 2.0) < 0.01, qPrintable(QString::number(summary.speed)));
        QVERIFY2(qAbs(summary.secondsLeft - (total - m_now / 1000.0)) < 1,
                 qPrintable(QStringLiteral("at %1 %: %2 s left").arg(percentOfRun).arg(summary.secondsLeft)));
        QCOMPARE(int(summary.fraction * 100 + 0.5), percentOfRun);
    }
}

void BatchProgressTest::countsOnlyTheEntriesTheRunConverts()
{
    m_now = 0;
    BatchProgress progress(clock());
    // Converted in an earlier run: not this run's.
    QList<BatchEntry> entries{entry("00:01:00", Done), entry("00:01:00", Pending), entry("00:01:00", Pending)};
    progress.begin(entries);
    entries[1] = entry("00:01:00", Done);
    QCOMPARE(BatchProgress::text(progress.summary(entries)), QString::fromUtf8("1 of 2 files · 50 % · estimating…"));

    // Added during the run: converted in it.
    entries << entry("00:01:00", Pending);
    QCOMPARE(BatchProgress::text(progress.summary(entries)), QString::fromUtf8("1 of 3 files · 33 % · estimating…"));

    // The earlier run's entry leaves the list; the others keep their parts.
    entries.removeAt(0);
    progress.removed(0);
    QCOMPARE(BatchProgress::text(progress.summary(entries)), QString::fromUtf8("1 of 3 files · 33 % · estimating…"));

    // A new run converts what is not done.
    progress.begin(entries);
    QCOMPARE(BatchProgress::text(progress.summary(entries)), QString::fromUtf8("0 of 2 files · 0 % · estimating…"));
}

void BatchProgressTest::timeLeftText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("moments") << 1.2 << "about 5 s left";
    QTest::newRow("seconds in fives") << 41.0 << "about 40 s left";
    QTest::newRow("last seconds step") << 57.0 << "about 55 s left";
    QTest::newRow("about a minute") << 58.0 << "about 1 min left";
    QTest::newRow("minutes") << 6 * 60 + 29.0 << "about 6 min left";
    QTest::newRow("minutes up") << 6 * 60 + 31.0 << "about 7 min left";
    QTest::newRow("last minutes step") << 59 * 60 + 29.0 << "about 59 min left";
    QTest::newRow("about an hour") << 59 * 60 + 31.0 << "about 1 h left";
    QTest::newRow("hours in tens of minutes") << 80 * 60 + 290.0 << "about 1 h 20 min left";
    QTest::newRow("whole hours") << 2 * 3600 + 290.0 << "about 2 h left";
    QTest::newRow("long") << 26 * 3600 + 3000.0 << "about 26 h 50 min left";
}

void BatchProgressTest::timeLeftText()
{
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    QCOMPARE(BatchProgress::timeLeftText(seconds), expected);
}

void BatchProgressTest::speedText_data()
{
    QTest::addColumn<double>("speed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("much slower than real time") << 0.046 << QString::fromUtf8("0.05×");
    QTest::newRow("slower") << 0.44 << QString::fromUtf8("0.4×");
    QTest::newRow("faster") << 2.41 << QString::fromUtf8("2.4×");
    QTest::newRow("much faster") << 12.6 << QString::fromUtf8("13×");
}

void BatchProgressTest::speedText()
{
    QFETCH(double, speed);
    QFETCH(QString, expected);
    QCOMPARE(BatchProgress::speedText(speed), expected);
}

QTEST_GUILESS_MAIN(BatchProgressTest)
#include "tst_batchprogress.moc"
