// The Mini Player with the real mplayer under the X server: the picture
// inside the panel, the labels and the marker following the playback with
// and without sound, pausing with Space, seeking with the track bar, closing
// in mid-playback, a missing player or media library, and "Play" on the main
// window.

#include "mainwindow/tffmpegfrm.h"
#include "media/mediainfodll.h"
#include "player/tjvcolortrackbar.h"
#include "player/tmplayerfrm.h"
#include "player/tmplayerfunc.h"
#include "process/tjvcreateprocess.h"
#include "tests/procinfo.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <csignal>
#include <memory>

namespace {

constexpr int PlaybackTimeoutMs = 30000;
const QColor ClipColour(0x20, 0x60, 0xe0);
const QColor EdgeColour(0xe0, 0x20, 0x20);
const QByteArray NullSoundDevice = "pcm.!default { type null }\n";

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 48 && qAbs(a.green() - b.green()) < 48 && qAbs(a.blue() - b.blue()) < 48;
}

int seconds(const QString &clock)
{
    return QTime::fromString(clock, QStringLiteral("hh:mm:ss")).msecsSinceStartOfDay() / 1000;
}

// The mplayer processes whose parent is this test program.
// The players this process started.
QList<qint64> playerChildren()
{
    return ProcInfo::programsOf(QCoreApplication::applicationPid(), "mplayer");
}

// What a Mini Player showed, line by line, and how its player ended.
struct Playback {
    int audioLines = 0;
    int videoLines = 0;
    int maxElapsed = 0;
    int maxPosition = 0;
    int positionAtEnd = -1;
    QList<int> elapsed; // the elapsed label's seconds after each status line
    int pauses = 0;     // the player's notices that it paused
    int ends = 0;
    std::uint32_t exitCode = 0;
};

// Records what the window shows after each line and at the player's end.
void watch(TMplayerFrm *frm, Playback *playback)
{
    const TJvCreateProcess::ReadEvent read = frm->JvCmdProc->OnRead;
    frm->JvCmdProc->OnRead = [=](TJvCreateProcess *sender, const QByteArray &s, bool startsOnNewLine) {
        playback->audioLines += s.startsWith("A:");
        playback->videoLines += s.startsWith("V:");
        read(sender, s, startsOnNewLine);
        if (s.startsWith("A:") || s.startsWith("V:"))
            playback->elapsed << seconds(frm->JvLabBgTime->text());
        playback->pauses += s == "ID_PAUSED";
        playback->maxElapsed = qMax(playback->maxElapsed, seconds(frm->JvLabBgTime->text()));
        playback->maxPosition = qMax(playback->maxPosition, frm->JvColorTrkBar->position());
    };
    const TJvCreateProcess::TerminateEvent terminate = frm->JvCmdProc->OnTerminate;
    frm->JvCmdProc->OnTerminate = [=](TJvCreateProcess *sender, std::uint32_t exitCode) {
        playback->positionAtEnd = frm->JvColorTrkBar->position();
        ++playback->ends;
        playback->exitCode = exitCode;
        terminate(sender, exitCode);
    };
}

} // namespace

class MiniPlayerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingMediaLibraryLeavesTotalAndStillPlays();
    void drawsInPanelAndFollowsPlayback_data();
    void drawsInPanelAndFollowsPlayback();
    void spacePausesAndResumesWhereverTheFocusIs();
    void pickingOnTrackBarSeeksThere_data();
    void pickingOnTrackBarSeeksThere();
    void closingInMidPlaybackEndsThePlayer();
    void missingPlayerShowsErrorAndWindowStaysUsable();
    void playerEndingOnItsOwnSaysWhy();
    void playWithoutSelectedRowShowsMessage();
    void playOpensModalPlayerForSelectedRow();

private:
    std::unique_ptr<TMplayerFrm> openPlayer(Playback *playback);
    void useAlsaConfig(const QByteArray &config);

    QTemporaryDir m_dir;
    QString m_clip; // 10 s, one colour, with sound, in a name that needs quoting
    QStringList m_errors;
    QList<QStringList> m_boxes; // kind, caption, text
};

void MiniPlayerTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY is not set)");
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("clip 'ä' $1.mp4"));
    // 640x360 with a red edge 40 pixels wide: wider than the panel, so only a
    // picture scaled to fit shows the edge. A key frame every second, so that
    // mplayer can seek to any whole second.
    QVERIFY(TestSupport::makeClip(m_clip, {"-f", "lavfi", "-i", "color=c=0x2060e0:size=560x280:rate=25:duration=10",
                                           "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10",
                                           "-vf", "pad=640:360:40:40:0xe02020", "-c:v", "libx264", "-g", "25",
                                           "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"}));
    // mplayer keeps its settings below HOME, and reaches a sound device only
    // through ALSA here (each test gives it its ALSA configuration).
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("home")));
    qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
    qputenv("PULSE_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("no-pulse"))));
}

void MiniPlayerTest::init()
{
    useAlsaConfig(NullSoundDevice);
    m_errors.clear();
    m_boxes.clear();
    auto record = [this](const std::exception &error) { m_errors << QString::fromLocal8Bit(error.what()); };
    TMplayerFrm::setHandlerErrorDisplay(record);
    TJvCreateProcess::setHandlerErrorDisplay(record);
    // The main window sends both to the application's boxes.
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind kind, const QString &caption, const QString &text) {
        m_boxes << QStringList{kind == ErrorDisplay::BoxKind::Message ? "message" : "error", caption, text};
    });
}

void MiniPlayerTest::cleanup()
{
    ErrorDisplay::setBoxFunction({});
    QCOMPARE(MplayerFrm, nullptr);
    QCOMPARE(playerChildren(), QList<qint64>());
}

void MiniPlayerTest::useAlsaConfig(const QByteArray &config)
{
    QFile file(m_dir.filePath(QStringLiteral("asoundrc")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(config);
    qputenv("ALSA_CONFIG_PATH", QFile::encodeName(file.fileName()));
}

std::unique_ptr<TMplayerFrm> MiniPlayerTest::openPlayer(Playback *playback)
{
    auto frm = std::make_unique<TMplayerFrm>();
    watch(frm.get(), playback);
    frm->JvLabFile->setText(m_clip);
    frm->show();
    return frm;
}

void MiniPlayerTest::missingMediaLibraryLeavesTotalAndStillPlays()
{
    // Needs a process in which nothing has loaded the library yet.
    TESTSUPPORT_RUN_IN_FRESH_PROCESS(QStringList(), QString());
    QVERIFY2(!MediaInfoDll::MediaInfoModule, "the library was loaded before this test");
    MediaInfoDll::setLibraryName(QFile::encodeName(m_dir.filePath(QStringLiteral("libmediainfo.so.0"))).constData());
    const auto restore = qScopeGuard([] { MediaInfoDll::setLibraryName("libmediainfo.so.0"); });

    Playback playback;
    auto frm = openPlayer(&playback);
    QCOMPARE(frm->JvLabEdTime->text(), QStringLiteral("00:00:00"));
    QCOMPARE(frm->JvColorTrkBar->maximum(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(playback.maxElapsed >= 2, PlaybackTimeoutMs);
    QVERIFY(playback.maxPosition >= 2);
    frm->close();
    QCOMPARE(m_errors, QStringList());
}

void MiniPlayerTest::drawsInPanelAndFollowsPlayback_data()
{
    QTest::addColumn<QByteArray>("alsaConfig");
    QTest::addColumn<bool>("sound");

    QTest::newRow("with sound") << NullSoundDevice << true;
    QTest::newRow("without sound") << QByteArray("# no devices\n") << false;
}

void MiniPlayerTest::drawsInPanelAndFollowsPlayback()
{
    QFETCH(QByteArray, alsaConfig);
    QFETCH(bool, sound);
    useAlsaConfig(alsaConfig);

    Playback playback;
    auto frm = openPlayer(&playback);
    QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
    QCOMPARE(frm->JvLabEdTime->text(), QStringLiteral("00:00:10"));
    QCOMPARE(frm->JvColorTrkBar->maximum(), 10);

    QTRY_VERIFY_WITH_TIMEOUT(playback.maxElapsed >= 2, PlaybackTimeoutMs);
    const QImage shot = frm->screen()->grabWindow(frm->winId()).toImage();
    QVERIFY2(near(shot.pixelColor(186, 130), ClipColour), qPrintable(shot.pixelColor(186, 130).name()));
    QVERIFY(!near(shot.pixelColor(60, 270), ClipColour)); // below the panel
    // The whole picture fits the panel's width, its aspect ratio kept: the
    // edge shows at the sides, the panel's colour above and below.
    for (const QPoint side : {QPoint(8, 130), QPoint(363, 130)})
        QVERIFY2(near(shot.pixelColor(side), EdgeColour), qPrintable(shot.pixelColor(side).name()));
    for (const QPoint band : {QPoint(186, 6), QPoint(186, 252)})
        QVERIFY2(near(shot.pixelColor(band), QColor::fromRgb(TMplayerFrm::PanelColour)),
                 qPrintable(shot.pixelColor(band).name()));

    QTRY_COMPARE_WITH_TIMEOUT(playback.ends, 1, PlaybackTimeoutMs);
    QCOMPARE(playback.exitCode, 0u);
    QVERIFY2(playback.maxElapsed >= 9, qPrintable(QString::number(playback.maxElapsed)));
    QVERIFY(playback.maxPosition >= 9);
    QCOMPARE(playback.audioLines > 0, sound);
    QVERIFY(sound || playback.videoLines > 0);
    QCOMPARE(frm->JvLabBgTime->text(), QStringLiteral("00:00:00"));
    QCOMPARE(frm->JvColorTrkBar->position(), playback.positionAtEnd);
    QCOMPARE(frm->JvLabEdTime->text(), QStringLiteral("00:00:10"));
    QCOMPARE(m_errors, QStringList());
    frm->close();
}

void MiniPlayerTest::spacePausesAndResumesWhereverTheFocusIs()
{
    Playback playback;
    auto frm = openPlayer(&playback);
    QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
    frm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frm.get()));
    QTRY_VERIFY_WITH_TIMEOUT(playback.maxElapsed >= 1, PlaybackTimeoutMs);

    QSlider *slider = frm->JvColorTrkBar->slider();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(playback.pauses, 1, PlaybackTimeoutMs);
    // The display stays where the player stopped, not back at the start.
    const QString stoppedAt = frm->JvLabBgTime->text();
    QVERIFY2(seconds(stoppedAt) >= 1, qPrintable(stoppedAt));
    QCOMPARE(frm->JvColorTrkBar->position(), seconds(stoppedAt));
    const qsizetype linesAtPause = playback.elapsed.size();
    // A playing player reports its position 25 times a second.
    QTest::qWait(1500);
    QCOMPARE(playback.elapsed.size(), linesAtPause);
    QCOMPARE(frm->JvLabBgTime->text(), stoppedAt);
    QVERIFY(frm->JvCmdProc->isWatching());

    // A seek meanwhile shows the new place and leaves the player paused.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, slider->height() / 2));
    const int picked = frm->JvColorTrkBar->position();
    QTRY_VERIFY_WITH_TIMEOUT(seconds(frm->JvLabBgTime->text()) >= picked - 1, PlaybackTimeoutMs);
    const QString seekedTo = frm->JvLabBgTime->text();
    const qsizetype linesAtSeek = playback.elapsed.size();
    QTest::qWait(1000);
    QCOMPARE(playback.elapsed.size(), linesAtSeek);
    QCOMPARE(frm->JvLabBgTime->text(), seekedTo);

    // With the focus on a button, Space plays on and leaves the button alone.
    auto *button = new QPushButton(QStringLiteral("Other"), frm.get());
    button->show();
    button->setFocus();
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::keyClick(button, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(seconds(frm->JvLabBgTime->text()) >= seconds(seekedTo) + 1, PlaybackTimeoutMs);
    QCOMPARE(clicks.count(), 0);
    frm->close();
    QCOMPARE(m_errors, QStringList());
}

void MiniPlayerTest::pickingOnTrackBarSeeksThere_data()
{
    // Where the left button goes down, as a share of the bar's width; it is
    // let go at three quarters.
    QTest::addColumn<double>("pressAt");

    QTest::newRow("click") << 0.75;
    QTest::newRow("drag") << 0.2;
}

void MiniPlayerTest::pickingOnTrackBarSeeksThere()
{
    QFETCH(double, pressAt);
    Playback playback;
    auto frm = openPlayer(&playback);
    QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
    QCOMPARE(frm->JvColorTrkBar->maximum(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(playback.maxElapsed >= 1, PlaybackTimeoutMs);

    QSlider *slider = frm->JvColorTrkBar->slider();
    const auto at = [slider](double share) { return QPoint(qRound(slider->width() * share), slider->height() / 2); };
    QTest::mousePress(slider, Qt::LeftButton, {}, at(pressAt));
    QTest::mouseMove(slider, at(0.75));
    // The marker is under the mouse, not a page step (to the end) towards it.
    const int picked = frm->JvColorTrkBar->position();
    QVERIFY2(picked >= 7 && picked <= 8, qPrintable(QString::number(picked)));
    // While the button is held, the player plays on where it was, and its
    // lines leave the marker where the user holds it.
    const qsizetype linesAtPress = playback.elapsed.size();
    QTRY_VERIFY_WITH_TIMEOUT(playback.elapsed.size() >= linesAtPress + 3, PlaybackTimeoutMs);
    QCOMPARE(frm->JvColorTrkBar->position(), picked);
    const int from = playback.elapsed.last();
    QVERIFY(from < picked - 1);

    const qsizetype linesAtRelease = playback.elapsed.size();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at(0.75));
    // The player jumps there: what it reports skips the seconds in between
    // (it may land on the key frame just before).
    QTRY_VERIFY_WITH_TIMEOUT(playback.elapsed.size() > linesAtRelease && playback.elapsed.last() >= picked - 1,
                             PlaybackTimeoutMs);
    const QList<int> after = playback.elapsed.mid(linesAtRelease);
    const QList<int> between(after.begin(), std::find_if(after.begin(), after.end(), [&](int s) { return s >= picked - 1; }));
    QStringList shown;
    for (int s : between)
        shown << QString::number(s);
    QVERIFY2(std::all_of(between.begin(), between.end(), [&](int s) { return s <= from + 1; }),
             qPrintable(QStringLiteral("from %1 to %2 through %3").arg(from).arg(picked).arg(shown.join(' '))));
    QVERIFY(frm->JvColorTrkBar->position() >= picked - 1);
    frm->close();
    QCOMPARE(m_errors, QStringList());
}

void MiniPlayerTest::closingInMidPlaybackEndsThePlayer()
{
    Playback playback;
    auto frm = openPlayer(&playback);
    QTRY_VERIFY_WITH_TIMEOUT(playback.maxElapsed >= 1, PlaybackTimeoutMs);
    QCOMPARE(playerChildren().size(), 1);

    frm->close();
    QVERIFY(!frm->isVisible());
    QVERIFY(!frm->JvCmdProc->isWatching());
    // mplayer quit by itself, before its window went away.
    QCOMPARE(playback.ends, 1);
    QCOMPARE(playback.exitCode, 0u);
    QCOMPARE(playerChildren(), QList<qint64>());
    QCOMPARE(m_errors, QStringList());
}

void MiniPlayerTest::missingPlayerShowsErrorAndWindowStaysUsable()
{
    if (!TestSupport::isTestChild()) {
        // A copy of this program in a folder without bin/mplayer.
        QTemporaryDir elsewhere;
        const QString copy = elsewhere.filePath(QStringLiteral("tst_miniplayer"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QByteArray output;
        const int code = TestSupport::runTestFunctionInChild(
            QStringLiteral("missingPlayerShowsErrorAndWindowStaysUsable"), {}, &output, copy);
        QVERIFY2(code == 0, output.constData());
        return;
    }
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/bin/mplayer")));
    Playback playback;
    auto frm = openPlayer(&playback);
    QCOMPARE(m_errors, QStringList{"The file cannot be played: mplayer (" + QCoreApplication::applicationDirPath()
                                   + "/bin/mplayer) could not start: No such file or directory"});
    QVERIFY(frm->isVisible());
    QCOMPARE(frm->JvLabEdTime->text(), QStringLiteral("00:00:10"));
    QCOMPARE(frm->JvColorTrkBar->maximum(), 10);
    QVERIFY(!frm->JvCmdProc->isWatching());
    frm->close();
    QVERIFY(!frm->isVisible());
    QCOMPARE(playback.ends, 0);
}

void MiniPlayerTest::playerEndingOnItsOwnSaysWhy()
{
    // A file mplayer cannot play: it ends at once without a picture.
    QFile notes(m_dir.filePath(QStringLiteral("notes.mp4")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("Notes, not a video.\n");
    notes.close();
    Playback playback;
    auto frm = std::make_unique<TMplayerFrm>();
    watch(frm.get(), &playback);
    frm->JvLabFile->setText(notes.fileName());
    frm->show();
    QTRY_COMPARE_WITH_TIMEOUT(playback.ends, 1, PlaybackTimeoutMs);
    QCOMPARE(m_errors, QStringList{"mplayer could not play this file."});
    frm->close();
    frm.reset();

    // A player killed in mid-playback.
    m_errors.clear();
    Playback second;
    frm = openPlayer(&second);
    QTRY_VERIFY_WITH_TIMEOUT(second.maxElapsed >= 1, PlaybackTimeoutMs);
    const QList<qint64> players = playerChildren();
    QCOMPARE(players.size(), 1);
    QCOMPARE(::kill(pid_t(players.first()), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(second.ends, 1, PlaybackTimeoutMs);
    QCOMPARE(m_errors, QStringList{"mplayer was ended by signal 9: playback stopped."});
    frm->close();
}

void MiniPlayerTest::playWithoutSelectedRowShowsMessage()
{
    TFFmpegFrm window;
    new QTreeWidgetItem(WindowControls(&window).FileListView, {m_clip});
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind kind, const QString &caption, const QString &text) {
        m_boxes << QStringList{kind == ErrorDisplay::BoxKind::Message ? "message" : "error", caption, text};
        QCOMPARE(MplayerFrm, nullptr);
    });

    WindowControls(&window).PlayBtn->click();
    QCOMPARE(m_boxes, (QList<QStringList>{{"message", "message", "Please choose to play video file"}}));
}

void MiniPlayerTest::playOpensModalPlayerForSelectedRow()
{
    TFFmpegFrm window;
    new QTreeWidgetItem(WindowControls(&window).FileListView, {m_dir.filePath(QStringLiteral("other.mp4"))});
    auto *item = new QTreeWidgetItem(WindowControls(&window).FileListView, {m_clip});
    item->setSelected(true);

    // While the window is open: what it shows, then close it once it plays.
    QString title;
    QString file;
    bool modal = false;
    QDeadlineTimer deadline(PlaybackTimeoutMs);
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!MplayerFrm || !MplayerFrm->isVisible())
            return;
        title = MplayerFrm->windowTitle();
        file = MplayerFrm->JvLabFile->text();
        modal = QApplication::activeModalWidget() == MplayerFrm;
        if (MplayerFrm->JvLabBgTime->text() >= QStringLiteral("00:00:01") || deadline.hasExpired())
            MplayerFrm->close();
    });
    poll.start(20);
    WindowControls(&window).PlayBtn->click();
    poll.stop();

    QCOMPARE(title, QStringLiteral("Mini Player"));
    QCOMPARE(file, m_clip);
    QVERIFY(modal);
    QVERIFY2(!deadline.hasExpired(), "the player did not play");
    QCOMPARE(m_boxes, QList<QStringList>());
}

QTEST_MAIN(MiniPlayerTest)
#include "tst_miniplayer.moc"
