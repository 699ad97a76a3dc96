// The Mini Player's rules without a running player: the track bar's range,
// the clock text, the status-line reader, how lines and the player's end move
// the labels and the marker, the total time from the real media library, and
// the player's command line.

#include "player/tjvcolortrackbar.h"
#include "player/tmplayerfrm.h"
#include "player/tmplayerfunc.h"
#include "process/commandline.h"
#include "process/tjvcreateprocess.h"
#include "testsupport.h"
#include "text/econverterror.h"

#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

enum class TrackBarChange { Position, Maximum };

const QByteArray StatusTail = " V:  12.3 A-V:  0.000 ct:  0.000   0/  0  0%  0%  0.3% 0 0 \x1b[J";

} // namespace

Q_DECLARE_METATYPE(TrackBarChange)

class MplayerFuncTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void trackBarRules_data();
    void trackBarRules();
    void parseElapsed_data();
    void parseElapsed();
    void parseElapsedRejectsNonNumbers_data();
    void parseElapsedRejectsNonNumbers();
    void linesMoveElapsedAndMarker_data();
    void linesMoveElapsedAndMarker();
    void nextLinePutsDraggedMarkerBack();
    void playerEndResetsOnlyElapsed();
    void endMessageSaysWhyNothingPlays_data();
    void endMessageSaysWhyNothingPlays();
    void clockLabelsShowTheWholeText();
    void showDuration_data();
    void showDuration();
    void commandLineCarriesPathWhole_data();
    void commandLineCarriesPathWhole();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TMplayerFrm> m_frm;
};

void MplayerFuncTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("ten.mp4"), 10));
    QVERIFY(TestSupport::makeClip(m_dir.filePath("short.mp4"),
                                  {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=0.5", "-c:v",
                                   "libx264", "-pix_fmt", "yuv420p"}));
    QFile text(m_dir.filePath("notes.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a video\n");
}

void MplayerFuncTest::init()
{
    m_frm = std::make_unique<TMplayerFrm>();
    QCOMPARE(MplayerFrm, m_frm.get());
}

void MplayerFuncTest::cleanup()
{
    m_frm.reset();
    QCOMPARE(MplayerFrm, nullptr);
}

void MplayerFuncTest::trackBarRules_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<TrackBarChange>("change");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expectedMaximum");
    QTest::addColumn<int>("expectedPosition");

    QTest::newRow("position inside") << 100 << 0 << TrackBarChange::Position << 42 << 100 << 42;
    QTest::newRow("position at maximum") << 100 << 0 << TrackBarChange::Position << 100 << 100 << 100;
    QTest::newRow("position above maximum ignored") << 10 << 5 << TrackBarChange::Position << 11 << 10 << 5;
    QTest::newRow("negative position ignored") << 10 << 5 << TrackBarChange::Position << -1 << 10 << 5;
    QTest::newRow("maximum at minimum ignored") << 100 << 5 << TrackBarChange::Maximum << 0 << 100 << 5;
    QTest::newRow("negative maximum ignored") << 100 << 5 << TrackBarChange::Maximum << -3 << 100 << 5;
    QTest::newRow("maximum below position pulls it") << 100 << 50 << TrackBarChange::Maximum << 20 << 20 << 20;
    QTest::newRow("maximum above position keeps it") << 100 << 50 << TrackBarChange::Maximum << 10200 << 10200
                                                     << 50;
}

void MplayerFuncTest::trackBarRules()
{
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(TrackBarChange, change);
    QFETCH(int, value);
    QFETCH(int, expectedMaximum);
    QFETCH(int, expectedPosition);

    TJvColorTrackBar bar;
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), 100);
    QCOMPARE(bar.position(), 0);
    bar.setMaximum(maximum);
    bar.setPosition(position);
    if (change == TrackBarChange::Position)
        bar.setPosition(value);
    else
        bar.setMaximum(value);
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), expectedMaximum);
    QCOMPARE(bar.position(), expectedPosition);
}

void MplayerFuncTest::parseElapsed_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("seconds");

    QTest::newRow("with sound, 12.3 s") << "A:  12.3" + StatusTail << 12;
    QTest::newRow("with sound, 1234.5 s") << QByteArray("A:1234.5 V:1234.5 A-V:  0.000 \x1b[J") << 1234;
    QTest::newRow("with sound, 9999.9 s") << QByteArray("A:9999.9") << 9999;
    QTest::newRow("without sound") << QByteArray("V:   2.7   0/  0  0%  0%  0.0% 0 0 \x1b[J") << 2;
    QTest::newRow("negative") << "A: -12.3" + StatusTail << -12;
    QTest::newRow("minus zero at the start") << "A:  -0.0" + StatusTail << 0;
    QTest::newRow("shorter than four characters") << QByteArray("A: 7") << 7;
    QTest::newRow("tab and escape trimmed") << QByteArray("A:\t12\x1b") << 12;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("identification") << QByteArray("ID_LENGTH=10.00") << 0;
    QTest::newRow("exit message") << QByteArray("Exiting... (End of file)") << 0;
    QTest::newRow("lower-case a") << "a:  12.3" + StatusTail << 0;
    QTest::newRow("not at the start") << " A:  12.3" + StatusTail << 0;
    QTest::newRow("A-V field alone") << QByteArray("A-V:  0.000") << 0;
}

void MplayerFuncTest::parseElapsed()
{
    QFETCH(QByteArray, line);
    QFETCH(int, seconds);
    QCOMPARE(TMplayerFunc::ParseElapsed(line), seconds);
}

void MplayerFuncTest::parseElapsedRejectsNonNumbers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing after the colon") << QByteArray("A:") << "'' is not a valid integer value";
    QTest::newRow("blanks only") << QByteArray("V:    ") << "'' is not a valid integer value";
    QTest::newRow("decimal point in the field") << QByteArray("V: 1.5") << "'1.5' is not a valid integer value";
    QTest::newRow("letters") << QByteArray("A:ab.c") << "'ab.c' is not a valid integer value";
}

void MplayerFuncTest::parseElapsedRejectsNonNumbers()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    try {
        TMplayerFunc::ParseElapsed(line);
        QFAIL("no error");
    } catch (const EConvertError &error) {
        QCOMPARE(QString::fromLatin1(error.what()), message);
    }
}

void MplayerFuncTest::linesMoveElapsedAndMarker_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<int>("position");

    // The marker starts at 5 in every row.
    QTest::newRow("12.3 s") << 100 << "A:  12.3" + StatusTail << "00:00:12" << 12;
    QTest::newRow("1234.5 s within the total") << 10200 << QByteArray("A:1234.5 V:1234.5 \x1b[J") << "00:20:34"
                                               << 1234;
    QTest::newRow("1234.5 s beyond the total") << 100 << QByteArray("A:1234.5 V:1234.5 \x1b[J") << "00:20:34" << 5;
    QTest::newRow("without sound") << 100 << QByteArray("V:   7.9   0/  0  0%  0%  0.0% 0 0 \x1b[J")
                                   << "00:00:07" << 7;
    QTest::newRow("negative keeps the marker") << 100 << "A: -12.3" + StatusTail << "00:00:00" << 5;
    QTest::newRow("identification") << 100 << QByteArray("ID_VIDEO_WIDTH=160") << "00:00:00" << 0;
    QTest::newRow("empty") << 100 << QByteArray() << "00:00:00" << 0;
}

void MplayerFuncTest::linesMoveElapsedAndMarker()
{
    QFETCH(int, maximum);
    QFETCH(QByteArray, line);
    QFETCH(QString, elapsed);
    QFETCH(int, position);

    m_frm->JvColorTrkBar->setMaximum(maximum);
    m_frm->JvColorTrkBar->setPosition(5);
    m_frm->JvCmdProcRead(m_frm->JvCmdProc, line, false);
    QCOMPARE(m_frm->JvLabBgTime->text(), elapsed);
    QCOMPARE(m_frm->JvColorTrkBar->position(), position);
}

void MplayerFuncTest::nextLinePutsDraggedMarkerBack()
{
    QSlider *slider = m_frm->JvColorTrkBar->slider();
    m_frm->JvCmdProcRead(m_frm->JvCmdProc, "A:  12.3" + StatusTail, true);
    QCOMPARE(m_frm->JvColorTrkBar->position(), 12);

    // What a drag to the right end does.
    slider->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(m_frm->JvColorTrkBar->position(), 100);
    m_frm->JvCmdProcRead(m_frm->JvCmdProc, "A:  13.0" + StatusTail, false);
    QCOMPARE(m_frm->JvColorTrkBar->position(), 13);
}

void MplayerFuncTest::playerEndResetsOnlyElapsed()
{
    m_frm->JvLabEdTime->setText(QStringLiteral("00:00:10"));
    m_frm->JvColorTrkBar->setMaximum(10);
    m_frm->JvCmdProcRead(m_frm->JvCmdProc, "Starting playback...", true);
    m_frm->JvCmdProcRead(m_frm->JvCmdProc, "A:   9.9" + StatusTail, false);
    QCOMPARE(m_frm->JvLabBgTime->text(), QStringLiteral("00:00:09"));

    m_frm->JvCmdProcTerminate(m_frm->JvCmdProc, 0);
    QCOMPARE(m_frm->JvLabBgTime->text(), QStringLiteral("00:00:00"));
    QCOMPARE(m_frm->JvLabEdTime->text(), QStringLiteral("00:00:10"));
    QCOMPARE(m_frm->JvColorTrkBar->maximum(), 10);
    QCOMPARE(m_frm->JvColorTrkBar->position(), 9);
}

void MplayerFuncTest::endMessageSaysWhyNothingPlays_data()
{
    QTest::addColumn<uint>("exitCode");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("message");
    QTest::newRow("played to the end") << 0u << 0 << true << QString();
    QTest::newRow("could not play") << 0u << 0 << false << "mplayer could not play this file.";
    QTest::newRow("failed") << 1u << 0 << true << "mplayer ended with exit code 1: playback stopped.";
    QTest::newRow("killed") << 137u << 9 << true << "mplayer was ended by signal 9: playback stopped.";
}

void MplayerFuncTest::endMessageSaysWhyNothingPlays()
{
    QFETCH(uint, exitCode);
    QFETCH(int, signal);
    QFETCH(bool, started);
    QFETCH(QString, message);
    QCOMPARE(TMplayerFunc::EndMessage(exitCode, signal, started), message);
}

void MplayerFuncTest::clockLabelsShowTheWholeText()
{
    for (QLabel *label : {m_frm->JvLabBgTime, m_frm->JvLabEdTime}) {
        label->setText(QStringLiteral("02:46:39"));
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), qPrintable(label->objectName()));
        QVERIFY(label->height() >= label->fontMetrics().height());
    }
    // Neither runs into the "/" between them.
    QVERIFY(m_frm->JvLabBgTime->geometry().right() < m_frm->JvLabLine->x());
    QVERIFY(m_frm->JvLabLine->x() + m_frm->JvLabLine->fontMetrics().horizontalAdvance("/") <= m_frm->JvLabEdTime->x());
}

void MplayerFuncTest::showDuration_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("maximum");

    QTest::newRow("ten seconds") << "ten.mp4" << "00:00:10" << 10;
    // No time is made up: the label stays empty and the range as it was.
    QTest::newRow("no playing time") << "notes.mp4" << "" << 100;
    QTest::newRow("under a second keeps the maximum") << "short.mp4" << "00:00:00" << 100;
    QTest::newRow("missing file") << "gone.mp4" << "" << 100;
}

void MplayerFuncTest::showDuration()
{
    QFETCH(QString, file);
    QFETCH(QString, total);
    QFETCH(int, maximum);

    TMplayerFunc().ShowDuration(QFile::encodeName(m_dir.filePath(file)));
    QCOMPARE(m_frm->JvLabEdTime->text(), total);
    QCOMPARE(m_frm->JvColorTrkBar->maximum(), maximum);
}

void MplayerFuncTest::commandLineCarriesPathWhole_data()
{
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("plain") << QByteArray("/videos/clip.mp4");
    QTest::newRow("blanks") << QByteArray("/videos/my holiday  clip.mp4");
    QTest::newRow("quotes, dollar, backslash") << QByteArray("/videos/\"it's\" $HOME \\ clip.mp4");
    QTest::newRow("non-ASCII") << QByteArray("/videos/\xc3\xa4rger \xe2\x82\xac.mp4");
}

void MplayerFuncTest::commandLineCarriesPathWhole()
{
    QFETCH(QByteArray, path);

    const TMplayerFunc func;
    QVERIFY(func.PanelHandle != 0);
    QCOMPARE(func.PlayerPath, QFile::encodeName(QCoreApplication::applicationDirPath() + "/bin/mplayer"));
    const QByteArray handle = QByteArray::number(func.PanelHandle);
    QCOMPARE(func.PanelSize, QSize(372, 259));
    const QByteArray line = func.BuildCommandLine(path);
    if (path == "/videos/clip.mp4")
        QCOMPARE(line, quoteArgument(func.PlayerPath) + "  -slave -identify -wid " + handle
                           + " -colorkey 0x101010 -framedrop -autosync 100 -vf dsize=372:259:0,scale=0:0,screenshot"
                             " /videos/clip.mp4");
    const QList<QByteArray> expected{func.PlayerPath, "-slave", "-identify", "-wid", handle, "-colorkey", "0x101010",
                                     "-framedrop", "-autosync", "100", "-vf", "dsize=372:259:0,scale=0:0,screenshot",
                                     path};
    QCOMPARE(splitCommandLine(line), expected);
}

QTEST_MAIN(MplayerFuncTest)
#include "tst_mplayerfunc.moc"
