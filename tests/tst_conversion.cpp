// Batch conversion through the real main window (offscreen) with the real
// ffmpeg, on clips generated here.

#include "app/quitsignals.h"
#include "batch/batchrun.h"
#include "desktop/launcherentry.h"
#include "desktop/sleepinhibitor.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "media/mediaquery.h"
#include "process/childguard.h"
#include "process/tjvcreateprocess.h"
#include "settings/tsqldatmod.h"
#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"
#include "tests/procinfo.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"
#include "widgets/tjvcombobox.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeWidget>

#include <optional>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int BatchTimeoutMs = 120000;

QByteArray digest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

// Seconds of the clip as the media library reads it; -1 when it cannot.
int playingSeconds(const QString &path)
{
    const std::optional<QByteArray> clock = MediaQuery::duration(path.toLocal8Bit());
    if (!clock || clock->isEmpty())
        return -1;
    return clock->mid(0, 2).toInt() * 3600 + clock->mid(3, 2).toInt() * 60 + clock->mid(6, 2).toInt();
}

// The process id of the ffmpeg that process `parent` started; 0 when none runs.
qint64 encoderOf(qint64 parent)
{
    return ProcInfo::programsOf(parent, "ffmpeg").value(0);
}

// Whether the process is blocked opening a FIFO that has no writer.
bool waitsForAWriter(qint64 pid)
{
    QFile wchan(QStringLiteral("/proc/%1/wchan").arg(pid));
    return pid > 0 && wchan.open(QIODevice::ReadOnly) && wchan.readAll() == "wait_for_partner";
}

using ProcInfo::hasEnded;

QStringList temporaryFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part*")}, QDir::Files);
}

// Counts the quit requests posted to the application (and keeps them from
// ending the test).
class QuitWatch : public QObject {
public:
    int seen = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit) {
            ++seen;
            return true;
        }
        return false;
    }
};

// What a dock hears of the program's progress on the session bus.
class DockListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> updates;
    bool listen()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("dock"));
        return bus.connect(QString(), QLatin1String(LauncherEntry::Path), QLatin1String(LauncherEntry::Interface),
                           QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    }
    ~DockListener() override { QDBusConnection::disconnectFromBus(QStringLiteral("dock")); }

public slots:
    void update(const QString &app, const QVariantMap &properties)
    {
        if (app == QLatin1String("application://halvora.desktop"))
            updates << properties;
    }
};

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void batchConvertsEveryEntryWithOddPaths();
    void convertAgainStartsFromFirstEntry();
    void stopLeavesPlayablePartialOutputAndStartsNothingMore();
    void convertRightAfterStopRestartsFirstEntry();
    void missingOutputFolderMarksEntriesFailed();
    void everyAudioAndTextSubtitleTrackIsKept();
    void nothingIsEverReplaced();
    void lockedSettingsFileFailsEachEntry();
    void missingEncoderFailsEachEntry();
    void failureReasonsNameTheCause();
    void unknownPlayingTimeShowsFfmpegsOnceRead();
    void fullDiskFailsWithItsReason();
    void stoppedEncoderTouchesNoOtherEntry();
    void runShowsItsProgressInStatusLineTrayAndDock();
    void encoderEndsWhenHalvoraIsKilled_data();
    void encoderEndsWhenHalvoraIsKilled();
    void closingDuringBatchFinishesTheOutput();
    void batchBlinksTrayIconUntilStopped();
    void powerOffAfterLastEntryOnlyWhenTicked_data();
    void powerOffAfterLastEntryOnlyWhenTicked();
    void finishedBatchNotifiesCountsAndActivationShowsWindow();
    void stoppedOrClosedBatchReleasesLockWithoutNotification_data();
    void stoppedOrClosedBatchReleasesLockWithoutNotification();

private:
    void add(const QString &path);
    void convertAndWait();
    void convertUntilSignalled();
    // Waits until the batch has ended and its encoders with it.
    void waitForBatchEnd();
    void waitForEncoders();
    QString tip(int row) const { return ui().FileListView->topLevelItem(row)->toolTip(0); }
    int image(int row) const { return TFFmpegFrm::itemImage(ui().FileListView->topLevelItem(row)); }
    QString percent(int row) const { return ui().FileListView->topLevelItem(row)->text(4); }

    QTemporaryDir m_dir;
    QString m_clip;     // 2 s, H.264/AAC
    QString m_longClip; // long enough to stop in the middle
    TestSupport::PrivateSystemBus m_bus;
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
    // (row, picture) in the order the pictures were set.
    QList<QPair<int, int>> m_pictures;
};

void ConversionTest::initTestCase()
{
    // A question nobody expects fails the test rather than waiting for a click.
    TFFmpegFunc::setQuestionFunction([](QWidget *, const QString &text) {
        qWarning("unexpected question: %s", qPrintable(text));
        return false;
    });
    QVERIFY(m_dir.isValid());
    // Power-off requests go to a private bus: never to the machine's logind.
    // A child started by a test here inherits its parent's.
    if (!TestSupport::isTestChild())
        QVERIFY(m_bus.start(m_dir.path()));
    // Without logind on that bus the sleep lock is refused, which the window
    // says once per run: said here, it stays out of the status lines below.
    {
        SleepInhibitor inhibitor;
        QSignalSpy refused(&inhibitor, &SleepInhibitor::refused);
        inhibitor.hold();
        QVERIFY(refused.wait(10000));
    }

    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    // One file at a time, so that the order of pictures and outputs is known;
    // several at once are tested on the batch itself.
    m_settings->module().SqliteQuery.run(
        QStringLiteral("update batch_settings set setting_value = '1' where setting_key = 'simultaneous'"));
    // Every stream encoded, as these tests' timings and reasons expect;
    // copying is tested with the stream map.
    m_settings->module().SqliteQuery.run(
        QStringLiteral("update batch_settings set setting_value = '1' where setting_key = 'reencode_fitting'"));
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });

    m_clip = m_dir.filePath("clip.mp4");
    QVERIFY(TestSupport::makeH264Clip(m_clip, 2));
    // A child started by a test here reuses its parent's long clip.
    m_longClip = qEnvironmentVariable("HALVORA_LONG_CLIP", m_dir.filePath("long.mp4"));
    if (!QFile::exists(m_longClip))
        QVERIFY(TestSupport::makeClip(m_longClip, {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30:duration=120",
                                               "-f", "lavfi", "-i", "sine=duration=120", "-c:v", "libx264",
                                               "-preset", "ultrafast", "-c:a", "aac", "-shortest"}));
}

void ConversionTest::init()
{
    m_boxes.clear();
    m_pictures.clear();
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTreeWidget *list = ui().FileListView;
    connect(list->model(), &QAbstractItemModel::dataChanged, this,
            [this, list](const QModelIndex &from, const QModelIndex &) {
                if (from.column() == 0 && TFFmpegFrm::itemImage(list->topLevelItem(from.row())) >= 0) {
                    const QPair<int, int> picture(from.row(), TFFmpegFrm::itemImage(list->topLevelItem(from.row())));
                    if (m_pictures.isEmpty() || m_pictures.last() != picture)
                        m_pictures << picture;
                }
            });
    // A folder of its own for each test, so that each sees only its outputs.
    static int run = 0;
    const QString out = m_dir.filePath(QString::fromUtf8("out put 'q' \"d\" $HOME \u00e9t\u00e9 %1").arg(++run));
    QVERIFY(QDir().mkpath(out));
    ui().JvEditDir->setText(out);
}

void ConversionTest::cleanup()
{
    if (m_window && m_window->batch().runningEncoders() > 0) {
        // Whatever a failed test left running is ended the proper way.
        m_window->batch().stop();
        waitForEncoders();
    }
    m_window.reset();
    QCOMPARE(m_boxes.join(" / "), QString());
}

void ConversionTest::cleanupTestCase()
{
    ErrorDisplay::setBoxFunction({});
    m_settings.reset();
}

void ConversionTest::add(const QString &path)
{
    const auto previous = TFFmpegFunc::setOpenDialogFunction([path](QFileDialog *) { return QStringList{path}; });
    QTest::mouseClick(ui().AddFileBtn, Qt::LeftButton);
    TFFmpegFunc::setOpenDialogFunction(previous);
    // Picked files are added in slices once the click has returned.
    QTRY_VERIFY(!m_window->intake().isBusy());
}

void ConversionTest::convertAndWait()
{
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QVERIFY(ui().JvTimer->Enabled() || !m_window->batch().isRunning());
    waitForBatchEnd();
}

void ConversionTest::waitForBatchEnd()
{
    BatchRun &batch = m_window->batch();
    if (batch.isRunning()) {
        QSignalSpy ended(&batch, &BatchRun::runningChanged);
        QVERIFY(ended.wait(BatchTimeoutMs));
    }
    waitForEncoders();
}

void ConversionTest::waitForEncoders()
{
    BatchRun &batch = m_window->batch();
    if (batch.runningEncoders() > 0) {
        QSignalSpy ended(&batch, &BatchRun::encodersEnded);
        QVERIFY(ended.wait(30000));
    }
}

void ConversionTest::batchConvertsEveryEntryWithOddPaths()
{
    const QString odd = m_dir.filePath(QString::fromUtf8("in put 'x' \"y\" $PATH \u00fc"));
    QVERIFY(QDir().mkpath(odd));
    QVERIFY(QFile::copy(m_clip, odd + "/first clip.mp4"));
    QVERIFY(QDir().mkpath(m_dir.filePath("other")));
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("other/same.mp4"), 3));
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("same.avi"), 1));
    add(odd + "/first clip.mp4");
    add(m_dir.filePath("other/same.mp4"));
    add(m_dir.filePath("same.avi"));
    QCOMPARE(ui().FileListView->topLevelItemCount(), 3);

    QStringList percents;
    connect(ui().FileListView->model(), &QAbstractItemModel::dataChanged, this,
            [this, &percents](const QModelIndex &from) {
                if (from.column() == 4)
                    percents << QString::number(from.row()) + ":" + percent(from.row());
            });
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QVERIFY(!ui().AddFileBtn->isEnabled());
    QVERIFY(!ui().PlayBtn->isEnabled());
    QVERIFY(ui().StopConvBtn->isEnabled());
    QVERIFY(ui().JvTimer->Enabled());
    waitForBatchEnd();
    QVERIFY(!ui().StopConvBtn->isEnabled());

    const QList<QPair<int, int>> expected{{0, 3}, {0, 11}, {1, 3}, {1, 11}, {2, 3}, {2, 11}};
    QCOMPARE(m_pictures, expected);
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("2"));
    const QString out = ui().JvEditDir->text();
    // The last entry's end names its file; the second "same" takes the next free name.
    QCOMPARE(ui().JvEditCmdMsg->text(), "Written to " + out + "/same (2).mp4");
    QCOMPARE(ui().FileListView->topLevelItem(0)->toolTip(0), "Written to " + out + "/first clip.mp4");
    QVERIFY(!ui().JvTimer->Enabled());
    QCOMPARE(ui().JvTrayIcon->IconIndex(), Picture::Waiting);
    // Each entry's percentage rises and ends at about 100.
    for (int row = 0; row < 3; ++row) {
        int last = -1;
        for (const QString &p : percents.filter(QRegularExpression("^" + QString::number(row) + ":"))) {
            const int value = p.section(':', 1).chopped(1).toInt();
            QVERIFY2(value >= last, qPrintable(percents.join(' ')));
            last = value;
        }
        QCOMPARE(last, 100);
    }

    QCOMPARE(playingSeconds(out + "/first clip.mp4"), 2);
    // Two sources with one base name: both outputs stay.
    QCOMPARE(playingSeconds(out + "/same.mp4"), 3);
    QCOMPARE(playingSeconds(out + "/same (2).mp4"), 1);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 3);
}

void ConversionTest::convertAgainStartsFromFirstEntry()
{
    add(m_clip);
    add(m_clip);
    convertAndWait();
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("1"));
    const QString out = ui().JvEditDir->text();
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);

    // All done: Convert asks first, and a "no" converts nothing.
    QStringList questions;
    bool answer = false;
    const auto previous = TFFmpegFunc::setQuestionFunction([&](QWidget *, const QString &text) {
        questions << text;
        return answer;
    });
    const auto restore = qScopeGuard([&] { TFFmpegFunc::setQuestionFunction(previous); });
    m_pictures.clear();
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QCOMPARE(questions, QStringList{"Every file in the list is converted already. Convert them all again?"});
    QVERIFY(!m_window->batch().isRunning());
    QCOMPARE(m_pictures, (QList<QPair<int, int>>()));

    // A "yes" converts every entry again from the top, each starting afresh.
    answer = true;
    convertAndWait();
    const QList<QPair<int, int>> expected{{0, 15}, {1, 15}, {0, 3}, {0, 11}, {1, 3}, {1, 11}};
    QCOMPARE(m_pictures, expected);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
}

void ConversionTest::stopLeavesPlayablePartialOutputAndStartsNothingMore()
{
    add(m_longClip);
    add(m_clip);
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), QStringLiteral("clip.mp4"));
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(percent(0) != "0%" && percent(0).chopped(1).toInt() >= 2, 60000);
    // The panel shows the entry being converted.
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), QStringLiteral("long.mp4"));
    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    const QString reached = percent(0);
    QVERIFY(ui().AddFileBtn->isEnabled());
    QVERIFY(!ui().JvTimer->Enabled());
    QVERIFY(!ui().JvEditCmdMsg->text().isEmpty());
    waitForEncoders();
    QTest::qWait(300);
    // Stopped, not done, once the encoder has ended with its file, at the
    // percentage it reached.
    QCOMPARE(image(0), Picture::Stopped);
    QCOMPARE(percent(0), reached);
    QCOMPARE(image(1), Picture::Waiting);
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("0"));
    QCOMPARE(QDir(ui().JvEditDir->text()).entryList(QDir::Files), QStringList{"long.mp4"});

    const int seconds = playingSeconds(ui().JvEditDir->text() + "/long.mp4");
    QVERIFY2(seconds >= 1 && seconds < 120, qPrintable(QString::number(seconds)));
}

void ConversionTest::convertRightAfterStopRestartsFirstEntry()
{
    add(m_longClip);
    add(m_clip);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(percent(0).chopped(1).toInt() >= 1, 60000);
    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    QCOMPARE(m_window->batch().runningEncoders(), 1); // the stopped encoder is still ending
    m_pictures.clear();
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QVERIFY(!ui().AddFileBtn->isEnabled());

    // The old encoder's end gives entry 0 its file and starts it again.
    QTRY_VERIFY_WITH_TIMEOUT(m_pictures.contains(qMakePair(0, int(Picture::Stopped))) && image(0) == Picture::Converting,
                             60000);
    const QString out = ui().JvEditDir->text();
    QTRY_VERIFY_WITH_TIMEOUT(!temporaryFiles(out).isEmpty() && QFileInfo(out + "/" + temporaryFiles(out).first()).size() > 0,
                             60000);
    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    waitForEncoders();
    const QList<QPair<int, int>> expected{{0, Picture::Stopped}, {0, Picture::Converting}, {0, Picture::Stopped}};
    QCOMPARE(m_pictures, expected);
    QCOMPARE(image(1), Picture::Waiting);
    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"long (2).mp4", "long.mp4"}));
}

void ConversionTest::missingOutputFolderMarksEntriesFailed()
{
    add(m_clip);
    add(m_clip);
    ui().JvEditDir->setText(m_dir.filePath("no such folder"));
    convertAndWait();
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(image(row), Picture::Failed);
        QVERIFY2(ui().FileListView->topLevelItem(row)->toolTip(0).contains("No such file or directory"),
                 qPrintable(ui().FileListView->topLevelItem(row)->toolTip(0)));
    }
    QVERIFY(ui().JvEditCmdMsg->text().startsWith("2 of 2 files were not converted"));
    QVERIFY(!ui().JvTimer->Enabled());
}

void ConversionTest::nothingIsEverReplaced()
{
    const QString out = ui().JvEditDir->text();
    // An earlier file with an output's name; sources inside the output folder,
    // one named like another entry's output; two sources with one base name.
    QVERIFY(TestSupport::makeH264Clip(out + "/holiday.mp4", 1));
    QVERIFY(QDir().mkpath(m_dir.filePath("phone")));
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("phone/holiday.avi"), 2));
    QVERIFY(TestSupport::makeH264Clip(out + "/clip.avi", 3));
    QVERIFY(TestSupport::makeH264Clip(out + "/clip.mp4", 1));
    QVERIFY(QDir().mkpath(m_dir.filePath("a")) && QDir().mkpath(m_dir.filePath("b")));
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("a/twin.mov"), 1));
    QVERIFY(QFile::copy(m_clip, m_dir.filePath("b/twin.mov")));
    const QStringList sources{m_dir.filePath("phone/holiday.avi"), out + "/clip.avi", out + "/clip.mp4",
                              m_dir.filePath("a/twin.mov"), m_dir.filePath("b/twin.mov")};
    QMap<QString, QByteArray> before;
    for (const QString &path : sources + QStringList{out + "/holiday.mp4"})
        before[path] = digest(path);
    for (const QString &path : sources)
        add(path);
    convertAndWait();

    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(digest(it.key()) == it.value(), qPrintable(it.key()));
    const QStringList outputs{"holiday (2).mp4", "clip (2).mp4", "clip (3).mp4", "twin.mp4", "twin (2).mp4"};
    const QList<int> seconds{2, 3, 1, 1, 2};
    for (int row = 0; row < sources.size(); ++row) {
        QCOMPARE(image(row), Picture::Finished);
        QCOMPARE(ui().FileListView->topLevelItem(row)->toolTip(0), "Written to " + out + "/" + outputs[row]);
        QCOMPARE(playingSeconds(out + "/" + outputs[row]), seconds[row]);
    }
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 8);
}

void ConversionTest::lockedSettingsFileFailsEachEntry()
{
    add(m_clip);
    add(m_clip);
    // Another connection holds the settings file for longer than Halvora waits.
    TSqliteConnection other(m_settings->path("LibFFmpeg.Dat"));
    TSqliteQuery holder(other);
    holder.run(QStringLiteral("begin exclusive"));
    convertAndWait();
    holder.run(QStringLiteral("rollback"));
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(image(row), Picture::Failed);
        QCOMPARE(tip(row), QStringLiteral("Could not read the output options from the settings file: database is locked"));
    }
    QVERIFY(ui().JvEditCmdMsg->text().startsWith("2 of 2 files were not converted"));
    QVERIFY(ui().ConvFileBtn->isEnabled() && ui().PlayBtn->isEnabled());
    QVERIFY(!ui().JvTimer->Enabled());
    QCOMPARE(QDir(ui().JvEditDir->text()).entryList(QDir::Files), QStringList());
}

void ConversionTest::missingEncoderFailsEachEntry()
{
    if (!TestSupport::isTestChild()) {
        // A copy of this program in a folder without bin/ffmpeg beside it.
        const QString copy = m_dir.filePath("elsewhere/tst_conversion");
        QVERIFY(QDir().mkpath(m_dir.filePath("elsewhere")));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QByteArray output;
        const int code = TestSupport::runTestFunctionInChild(QTest::currentTestFunction(),
                                                             {"HALVORA_LONG_CLIP=" + m_longClip}, &output, copy);
        QVERIFY2(code == 0, output.constData());
        return;
    }
    add(m_clip);
    add(m_clip);
    convertAndWait();
    const QString encoder = QCoreApplication::applicationDirPath() + "/bin/ffmpeg";
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(image(row), Picture::Failed);
        QCOMPARE(tip(row), "Could not start ffmpeg (" + encoder + "): No such file or directory");
    }
    QVERIFY(ui().JvEditCmdMsg->text().startsWith("2 of 2 files were not converted"));
    QVERIFY(ui().ConvFileBtn->isEnabled());
    QCOMPARE(QDir(ui().JvEditDir->text()).entryList(QDir::Files), QStringList());
}

void ConversionTest::failureReasonsNameTheCause()
{
    QFile notes(m_dir.filePath("notes.avi"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("Notes, not a video.\n");
    notes.close();
    add(notes.fileName());
    add(m_longClip);
    add(m_clip);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(image(1) == Picture::Converting && percent(1).chopped(1).toInt() >= 1, 60000);
    const qint64 encoder = encoderOf(QCoreApplication::applicationPid());
    QVERIFY(encoder > 0);
    QCOMPARE(::kill(pid_t(encoder), SIGKILL), 0);
    waitForBatchEnd();

    // Known to be unreadable since it was added: passed over with that
    // reason, without an encoder, and still marked as unreadable.
    QCOMPARE(image(0), Picture::Unreadable);
    QCOMPARE(tip(0), QStringLiteral("Not a video or audio file Halvora can read"));
    QVERIFY(!m_pictures.contains(QPair<int, int>(0, Picture::Converting)));
    QCOMPARE(image(1), Picture::Failed);
    QCOMPARE(tip(1), QStringLiteral("ffmpeg was killed by signal 9"));
    QCOMPARE(image(2), Picture::Finished);
    QVERIFY(ui().JvEditCmdMsg->text().startsWith("2 of 3 files were not converted"));
    QCOMPARE(QDir(ui().JvEditDir->text()).entryList(QDir::Files), QStringList{"clip.mp4"});
}

void ConversionTest::unknownPlayingTimeShowsFfmpegsOnceRead()
{
    // ADTS audio carries no playing time the media library reads; ffmpeg
    // works one out when it opens the file.
    const QString tone = m_dir.filePath("tone.aac");
    QVERIFY(TestSupport::makeClip(tone, {"-f", "lavfi", "-i", "sine=duration=3", "-c:a", "aac", "-f", "adts"}));
    add(tone);
    QTreeWidgetItem *row = ui().FileListView->topLevelItem(0);
    QCOMPARE(row->text(3), QString());
    QCOMPARE(image(0), Picture::Waiting);
    convertAndWait();
    QCOMPARE(image(0), Picture::Finished);
    QCOMPARE(row->text(3), QStringLiteral("00:00:03"));
    QCOMPARE(percent(0), QStringLiteral("100%"));
}

void ConversionTest::fullDiskFailsWithItsReason()
{
    const QString small = m_dir.filePath("small");
    QVERIFY(QDir().mkpath(small));
    if (TestSupport::runProgram("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", small}) != 0)
        QSKIP("A small tmpfs cannot be mounted here (needs root and the permission to mount)");
    const auto unmount = qScopeGuard([&] { TestSupport::runProgram("umount", {small}); });
    ui().JvEditDir->setText(small);
    add(m_longClip);
    convertAndWait();
    QCOMPARE(image(0), Picture::Failed);
    QVERIFY2(tip(0).contains("No space left on device") && tip(0).endsWith("ffmpeg ended with exit code 1"),
             qPrintable(tip(0)));
    QCOMPARE(QDir(small).entryList(QDir::Files), QStringList());
}

void ConversionTest::stoppedEncoderTouchesNoOtherEntry()
{
    add(m_longClip);
    add(m_clip);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(percent(0).chopped(1).toInt() >= 1, 60000);
    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    // The stopped entry goes at once; the other one moves up into its row.
    ui().FileListView->setCurrentItem(ui().FileListView->topLevelItem(0));
    QTest::mouseClick(ui().DelFileBtn, Qt::LeftButton);
    QCOMPARE(ui().FileListView->topLevelItemCount(), 1);
    waitForEncoders();
    QTest::qWait(200);
    QCOMPARE(percent(0), QStringLiteral("0%"));
    QCOMPARE(image(0), Picture::Waiting);
    QCOMPARE(tip(0), QString());
    // The stopped encoder's file is kept all the same.
    QCOMPARE(QDir(ui().JvEditDir->text()).entryList(QDir::Files), QStringList{"long.mp4"});
}

void ConversionTest::runShowsItsProgressInStatusLineTrayAndDock()
{
    DockListener dock;
    const bool onBus = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
    if (onBus)
        QVERIFY(dock.listen());
    add(m_clip);
    add(m_longClip);
    // Encoded, not copied: the long clip takes long enough to measure a speed.
    QCheckBox *reencode = m_window->findChild<QCheckBox *>(QStringLiteral("JvCheckReencode"));
    QVERIFY(reencode);
    reencode->setChecked(true);
    QStringList shown;
    connect(ui().JvEditCmdMsg, &QLineEdit::textChanged, this, [&shown](const QString &text) { shown << text; });
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QCOMPARE(ui().JvEditCmdMsg->text(), QString::fromUtf8("0 of 2 files · 0 % · estimating…"));
    QCOMPARE(ui().JvTrayIcon->Hint, ui().JvEditCmdMsg->text());

    // The short clip converted, the long one on its way: the run's speed and
    // time left, and the entry's own speed.
    static const QRegularExpression timeLeft(QString::fromUtf8("^1 of 2 files · \\d+ % · [\\d.]+× · about .+ left$"));
    QTRY_VERIFY_WITH_TIMEOUT(timeLeft.match(ui().JvEditCmdMsg->text()).hasMatch()
                                 && tip(1).contains(QRegularExpression(QString::fromUtf8("^Converting at [\\d.]+×"))),
                             60000);
    QCOMPARE(ui().JvTrayIcon->Hint, ui().JvEditCmdMsg->text());

    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    QCOMPARE(ui().JvEditCmdMsg->text(), QString::fromUtf8("Stopping: ffmpeg finishes the file it writes…"));
    QCOMPARE(ui().JvTrayIcon->Hint, QStringLiteral("Halvora"));
    QVERIFY2(!tip(1).startsWith("Converting at"), qPrintable(tip(1)));
    waitForEncoders();
    QTRY_VERIFY(ui().JvEditCmdMsg->text().startsWith("Stopped; written to "));

    // Until Stop, the status line showed the run's progress and never one of
    // ffmpeg's progress lines.
    static const QRegularExpression summary(QString::fromUtf8("^[0-2] of 2 files · \\d+ % · "));
    const qsizetype stopping = shown.indexOf(QString::fromUtf8("Stopping: ffmpeg finishes the file it writes…"));
    QVERIFY(stopping > 1);
    for (const QString &text : shown.mid(0, stopping))
        QVERIFY2(summary.match(text).hasMatch(), qPrintable(text));

    // The dock's bar rose while the run went on, and went with Stop.
    if (!onBus)
        return;
    QTRY_VERIFY(!dock.updates.isEmpty() && !dock.updates.last().value("progress-visible").toBool());
    QVERIFY(dock.updates.size() >= 3);
    double last = 0;
    for (const QVariantMap &update : dock.updates.mid(0, dock.updates.size() - 1)) {
        QCOMPARE(update.value("progress-visible"), QVariant(true));
        QVERIFY(update.value("progress").toDouble() >= last);
        last = update.value("progress").toDouble();
    }
    QVERIFY(last > 0.01);
}

void ConversionTest::encoderEndsWhenHalvoraIsKilled_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("stuck"); // the encoder waits for a source that never answers
    QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGKILL, stuck encoder") << int(SIGKILL) << true;
}

void ConversionTest::encoderEndsWhenHalvoraIsKilled()
{
    if (TestSupport::isTestChild()) {
        convertUntilSignalled();
        return;
    }
    QFETCH(int, signal);
    QFETCH(bool, stuck);
    // Small frames: the encoder's last frames take little time after the signal.
    const QString clip = m_dir.filePath("small frames.mp4");
    if (!QFile::exists(clip))
        QVERIFY(TestSupport::makeClip(clip, {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=60", "-f",
                                             "lavfi", "-i", "sine=duration=60", "-c:v", "libx264", "-preset",
                                             "ultrafast", "-c:a", "aac", "-shortest"}));
    const QString fifo = m_dir.filePath("stalled share.fifo");
    if (stuck && !QFile::exists(fifo))
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QString out = ui().JvEditDir->text();
    const QString ready = m_dir.filePath(QStringLiteral("ready-%1-%2").arg(signal).arg(stuck));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVORA_TEST_CHILD", "1");
    env.insert("HALVORA_LONG_CLIP", clip);
    env.insert("HALVORA_OUT", out);
    env.insert("HALVORA_READY", ready);
    if (stuck)
        env.insert("HALVORA_STUCK", fifo);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"encoderEndsWhenHalvoraIsKilled:" + QString(QTest::currentDataTag())});
    QVERIFY(child.waitForStarted());
    // The child writes its encoder's process id once that has converted a
    // little (or, stuck, once it waits for its source).
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(ready).size() > 0 || child.state() == QProcess::NotRunning, 90000);
    QFile file(ready);
    QVERIFY2(file.open(QIODevice::ReadOnly), child.readAll().constData());
    const qint64 encoder = file.readAll().trimmed().toLongLong();
    QVERIFY(encoder > 0 && !hasEnded(encoder));

    QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
    if (signal == SIGKILL) {
        // Nobody is left in Halvora to end a stuck encoder: its guard does,
        // after a grace period.
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(encoder), ChildGuard::OrphanGraceMs + 5000);
        QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 10000);
        if (stuck) {
            QVERIFY2(clock.elapsed() >= ChildGuard::OrphanGraceMs - 500, qPrintable(QString::number(clock.elapsed())));
            return;
        }
        // A healthy encoder was asked to finish: its file, under its
        // temporary name, plays as far as it got.
        const QStringList partial = temporaryFiles(out);
        QCOMPARE(partial.size(), 1);
        const int seconds = playingSeconds(out + '/' + partial.first());
        QVERIFY2(seconds >= 1 && seconds < 60, qPrintable(QString::number(seconds)));
        QVERIFY(QFile::remove(out + '/' + partial.first()));
        return;
    }
    // Like closing the window: the encoder finishes its file, then Halvora ends.
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
    QVERIFY(hasEnded(encoder));
    const int seconds = playingSeconds(out + "/small frames.mp4");
    QVERIFY2(seconds >= 1 && seconds < 60, qPrintable(QString::number(seconds)));
    QCOMPARE(temporaryFiles(out), QStringList());
}

// The child of encoderEndsWhenHalvoraIsKilled: converts the long clip (or
// waits on a source that never answers) until a signal ends it, reporting its
// encoder's process id once it runs.
void ConversionTest::convertUntilSignalled()
{
    QuitSignals::install([this] { m_window->close(); });
    ui().JvEditDir->setText(qEnvironmentVariable("HALVORA_OUT"));
    const QString stuck = qEnvironmentVariable("HALVORA_STUCK");
    if (stuck.isEmpty()) {
        add(m_longClip);
    } else {
        // A video name for the FIFO; no probe beside the encoder, so that
        // the encoder itself opens it.
        const QString link = QFileInfo(stuck).path() + QStringLiteral("/stalled share.avi");
        QFile::remove(link);
        QVERIFY(QFile::link(stuck, link));
        const QString script = QFileInfo(stuck).path() + QStringLiteral("/encoder/ffmpeg");
        QVERIFY(TestSupport::writeScript(script, "#!/bin/sh\nexec /usr/bin/ffmpeg \"$@\"\n"));
        m_window->batch().setEncoder(QFile::encodeName(script));
        add(link);
    }
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    if (stuck.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(percent(0).chopped(1).toInt() >= 3, 60000);
    else // blocked opening the FIFO, its signal handlers in place by then
        QTRY_VERIFY_WITH_TIMEOUT(waitsForAWriter(encoderOf(QCoreApplication::applicationPid())), 60000);
    QFile ready(qEnvironmentVariable("HALVORA_READY"));
    QVERIFY(ready.open(QIODevice::WriteOnly));
    ready.write(QByteArray::number(encoderOf(QCoreApplication::applicationPid())));
    ready.close();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible() && m_window->batch().runningEncoders() == 0, 60000);
}

void ConversionTest::everyAudioAndTextSubtitleTrackIsKept()
{
    QFile srt(m_dir.filePath("tracks.srt"));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n");
    srt.close();
    const QString source = m_dir.filePath("tracks.mkv");
    QVERIFY(TestSupport::makeClip(
        source, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i", "sine=duration=2",
                 "-f", "lavfi", "-i", "sine=frequency=880:duration=2", "-i", srt.fileName(), "-map", "0", "-map", "1",
                 "-map", "2", "-map", "3", "-c:v", "libx264", "-c:a", "aac", "-c:s", "srt", "-metadata:s:a:0",
                 "language=eng", "-metadata:s:a:1", "language=ger", "-metadata:s:s:0", "language=fre", "-attach",
                 srt.fileName(), "-metadata:s:t", "mimetype=text/plain"}));
    add(source);
    convertAndWait();
    QCOMPARE(image(0), Picture::Finished);

    QByteArray streams;
    QCOMPARE(TestSupport::runProgram("ffprobe",
                                     {"-v", "error", "-show_entries", "stream=codec_type,codec_name:stream_tags=language",
                                      "-of", "csv=p=0", ui().JvEditDir->text() + "/tracks.mp4"},
                                     QString(), &streams),
             0);
    QCOMPARE(QString::fromUtf8(streams).split('\n', Qt::SkipEmptyParts),
             (QStringList{"h264,video,und", "aac,audio,eng", "aac,audio,ger", "mov_text,subtitle,fre"}));
    // What was left out is named on the finished entry, below the file written.
    QCOMPARE(ui().FileListView->topLevelItem(0)->toolTip(0),
             QStringLiteral("Written to %1/tracks.mp4\n1 attachment (such as a font) not kept: MP4 cannot hold it")
                 .arg(ui().JvEditDir->text()));
}

void ConversionTest::closingDuringBatchFinishesTheOutput()
{
    add(m_longClip);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(percent(0).chopped(1).toInt() >= 2, 60000);
    // Closing does not wait: the window is gone from the screen at once, and
    // the program ends once the encoder has finished its file.
    m_window->close();
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->batch().runningEncoders(), 1);
    // Nothing brings it back while it closes.
    m_window->bringToFront();
    QVERIFY(!m_window->isVisible());
    waitForEncoders();
    const int seconds = playingSeconds(ui().JvEditDir->text() + "/long.mp4");
    QVERIFY2(seconds >= 2 && seconds < 120, qPrintable(QString::number(seconds)));
}

void ConversionTest::batchBlinksTrayIconUntilStopped()
{
    add(m_longClip);
    TJvTrayIcon *tray = ui().JvTrayIcon;
    QList<int> pictures;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (pictures.isEmpty() || pictures.last() != tray->IconIndex())
            pictures << tray->IconIndex();
    });
    // The picture before the batch: the first tick may come before the first sample.
    pictures << tray->IconIndex();
    sampler.start(20);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pictures.size() >= 4, 10000);
    QCOMPARE(pictures.mid(0, 4), (QList<int>{Picture::Waiting, Picture::TrayBlink, Picture::Waiting, Picture::TrayBlink}));

    QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    QCOMPARE(tray->IconIndex(), Picture::Waiting);
    pictures.clear();
    QTest::qWait(1500);
    QCOMPARE(pictures, QList<int>{Picture::Waiting});
    waitForEncoders();
}

void ConversionTest::powerOffAfterLastEntryOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QByteArray>("requests");
    QTest::addColumn<bool>("ends");
    QTest::newRow("not ticked") << false << "yes" << true << QByteArray() << false;
    QTest::newRow("ticked and allowed") << true << "yes" << true << QByteArray("PowerOff false\n") << false;
    QTest::newRow("ticked, password asked") << true << "challenge" << true << QByteArray("PowerOff true\n") << false;
    QTest::newRow("ticked, permission refused") << true << "no" << false << QByteArray("PowerOff false\n") << true;
}

void ConversionTest::powerOffAfterLastEntryOnlyWhenTicked()
{
    QFETCH(bool, ticked);
    QFETCH(QString, answer);
    QFETCH(bool, accept);
    QFETCH(QByteArray, requests);
    QFETCH(bool, ends);

    const QString record = m_dir.filePath(QStringLiteral("poweroff-%1").arg(QTest::currentDataTag()));
    const TestSupport::FakeLogind logind(answer, accept, record);
    QVERIFY(logind.ready());

    // The application is asked to end by a quit event posted to it.
    QuitWatch quits;
    qApp->installEventFilter(&quits);
    add(m_clip);
    ui().JvCheckBox->setChecked(ticked);
    convertAndWait();
    QTest::qWait(200);
    qApp->removeEventFilter(&quits);
    QCOMPARE(quits.seen, ends ? 1 : 0);

    // The batch's inhibitor lock is given back before the power-off request.
    QTRY_COMPARE(TestSupport::readAll(record),
                 "Inhibit sleep:idle Halvora Converting videos block\nReleased\n" + requests);
}

void ConversionTest::finishedBatchNotifiesCountsAndActivationShowsWindow()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a private session bus (run through ctest)");
    const QString notes = m_dir.filePath(QStringLiteral("notes-finished"));
    const TestSupport::FakeNotifications notifications(notes, true);
    QVERIFY(notifications.ready());
    const QString locks = m_dir.filePath(QStringLiteral("locks-finished"));
    const TestSupport::FakeLogind logind(QStringLiteral("yes"), true, locks);
    QVERIFY(logind.ready());

    // An entry whose file is gone by the time it converts fails.
    const QString gone = m_dir.filePath(QStringLiteral("gone.mp4"));
    QVERIFY(QFile::copy(m_clip, gone));
    add(m_clip);
    add(gone);
    add(m_clip);
    QVERIFY(QFile::remove(gone));
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    // Held from the first entry's start, while the encoder runs.
    QTRY_VERIFY_WITH_TIMEOUT(ui().Inhibitor->isHeld(), 10000);
    QCOMPARE(TestSupport::readAll(locks), QByteArray("Inhibit sleep:idle Halvora Converting videos block\n"));
    m_window->hide(); // as in the tray: the notification brings the window back
    waitForBatchEnd();
    QCOMPARE(image(1), Picture::Failed);

    QVERIFY(!ui().Inhibitor->isHeld());
    QTRY_COMPARE(TestSupport::readAll(locks),
                 QByteArray("Inhibit sleep:idle Halvora Converting videos block\nReleased\n"));
    QTRY_COMPARE(TestSupport::readAll(notes),
                 QByteArray("Halvora|halvora|2 files converted|1 not converted|default,Show Halvora\n"));
    QTRY_VERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());

    // All converted: no second line. (Every entry is done, so Convert asks
    // first, and is told to convert them again.)
    m_window->batch().remove(1);
    const auto previous = TFFmpegFunc::setQuestionFunction([](QWidget *, const QString &) { return true; });
    convertAndWait();
    TFFmpegFunc::setQuestionFunction(previous);
    QTRY_COMPARE(TestSupport::readAll(notes).split('\n').value(1), QByteArray("Halvora|halvora|2 files converted||default,Show Halvora"));
}

void ConversionTest::stoppedOrClosedBatchReleasesLockWithoutNotification_data()
{
    QTest::addColumn<bool>("close");
    QTest::newRow("stop") << false;
    QTest::newRow("close") << true;
}

void ConversionTest::stoppedOrClosedBatchReleasesLockWithoutNotification()
{
    QFETCH(bool, close);
    const QString notes = m_dir.filePath(QStringLiteral("notes-%1").arg(QTest::currentDataTag()));
    std::optional<TestSupport::FakeNotifications> notifications;
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        notifications.emplace(notes, false);
        QVERIFY(notifications->ready());
    }
    const QString locks = m_dir.filePath(QStringLiteral("locks-%1").arg(QTest::currentDataTag()));
    const TestSupport::FakeLogind logind(QStringLiteral("yes"), true, locks);
    QVERIFY(logind.ready());

    add(m_longClip);
    add(m_clip);
    QTest::mouseClick(ui().ConvFileBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(percent(0).chopped(1).toInt() >= 1 && ui().Inhibitor->isHeld(), 60000);
    if (close)
        m_window->close();
    else
        QTest::mouseClick(ui().StopConvBtn, Qt::LeftButton);
    QVERIFY(!ui().Inhibitor->isHeld());
    QTRY_COMPARE(TestSupport::readAll(locks),
                 QByteArray("Inhibit sleep:idle Halvora Converting videos block\nReleased\n"));
    waitForEncoders();
    QTest::qWait(500);
    QCOMPARE(TestSupport::readAll(notes), QByteArray());
}

QTEST_MAIN(ConversionTest)
#include "tst_conversion.moc"
