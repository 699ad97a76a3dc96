// Failure reasons from real ffmpeg runs: each row runs ffmpeg on a fault made
// here and feeds its output, line by line as the runner reports it, to the
// reason text.

#include "conversion/failurereason.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class FailureReasonTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void reasonNamesTheCause_data();
    void reasonNamesTheCause();
    void endingTellsExitCodeOrSignal_data();
    void endingTellsExitCodeOrSignal();

private:
    QTemporaryDir m_dir;
};

void FailureReasonTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile text(m_dir.filePath("notes.avi"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("These are notes, not a video.\n");
    text.close();
    QVERIFY(TestSupport::makeH264Clip(m_dir.filePath("clip.mp4"), 1));
}

void FailureReasonTest::reasonNamesTheCause_data()
{
    QTest::addColumn<QStringList>("arguments"); // "DIR" stands for the test folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // the whole reason, as a pattern

    QTest::newRow("text file as input")
        << QStringList{"-y", "-i", "DIR/notes.avi", "DIR/out1.mp4"} << 1
        << "^DIR/notes.avi: Invalid data found when processing input\nffmpeg ended with exit code 1$";
    QTest::newRow("missing input")
        << QStringList{"-y", "-i", "DIR/none.avi", "DIR/out2.mp4"} << 1
        << "^DIR/none.avi: No such file or directory\nffmpeg ended with exit code 1$";
    QTest::newRow("unknown encoder")
        << QStringList{"-y", "-i", "DIR/clip.mp4", "-vcodec", "nosuchcodec", "DIR/out3.mp4"} << 1
        << "^Unknown encoder 'nosuchcodec'\nffmpeg ended with exit code 1$";
    QTest::newRow("missing output folder")
        << QStringList{"-y", "-i", "DIR/clip.mp4", "DIR/gone/out4.mp4"} << 1
        << "DIR/gone/out4.mp4: No such file or directory\n(.*\n)?ffmpeg ended with exit code 1$";
    QTest::newRow("bad bitrate")
        << QStringList{"-y", "-i", "DIR/clip.mp4", "-b:v", "fast", "DIR/out5.mp4"} << 1
        << "Undefined constant or missing '\\(' in 'fast'\n.*Unable to parse option value \"fast\"\n(.*\n)*"
           "Conversion failed!\nffmpeg ended with exit code 1$";
    // Banner, stream listing, encoder settings and statistics are no reason.
    QTest::newRow("success: no error line")
        << QStringList{"-y", "-i", "DIR/clip.mp4", "-vcodec", "libx264", "-acodec", "aac", "DIR/out6.mp4"} << 0
        << "^ffmpeg ended with exit code 0$";
}

void FailureReasonTest::reasonNamesTheCause()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    arguments.replaceInStrings(QStringLiteral("DIR"), m_dir.path());
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), exitCode);
    // The runner reports pieces ended by '\r' or '\n' as lines.
    const QList<QByteArray> lines = ffmpeg.readAll().replace('\r', '\n').split('\n');

    const QString reason = FailureReason::reason(lines, exitCode, 0);
    const QRegularExpression pattern(expected.replace(QStringLiteral("DIR"), QRegularExpression::escape(m_dir.path())));
    QVERIFY2(pattern.match(reason).hasMatch(), qPrintable(reason));
}

void FailureReasonTest::endingTellsExitCodeOrSignal_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("ending");
    QTest::newRow("exit code") << 1 << 0 << "ffmpeg ended with exit code 1";
    QTest::newRow("killed") << 137 << 9 << "ffmpeg was killed by signal 9";
}

void FailureReasonTest::endingTellsExitCodeOrSignal()
{
    QFETCH(int, exitCode);
    QFETCH(int, signal);
    QFETCH(QString, ending);
    // The statistics a killed encoder leaves are no reason either.
    const QList<QByteArray> output{"[libx264 @ 0x5581] frame I:1     Avg QP:19.51  size:  2846",
                                   "    encoder         : Lavc59.37.100 aac", "Press [q] to stop, [?] for help"};
    QCOMPARE(FailureReason::reason(output, exitCode, signal), ending);
}

QTEST_GUILESS_MAIN(FailureReasonTest)
#include "tst_failurereason.moc"
