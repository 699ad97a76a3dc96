// The rules that turn ffmpeg's progress lines into a percentage.

#include "conversion/ffmpegprogress.h"
#include "text/econverterror.h"

#include <QTest>

class FFmpegProgressTest : public QObject {
    Q_OBJECT

private slots:
    void progressLines_data();
    void progressLines();
    void percentage_data();
    void percentage();
    void runningPercentage_data();
    void runningPercentage();
    void inputSeconds_data();
    void inputSeconds();
    void speed_data();
    void speed();
};

void FFmpegProgressTest::progressLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isProgress");
    QTest::addColumn<int>("seconds"); // -1: no usable time
    QTest::addColumn<QString>("error");

    const QByteArray typical = "frame=  250 fps=0.0 q=28.0 size=     256kB time=00:00:10.00 bitrate= 209.7kbits/s speed=20x";
    QTest::newRow("typical") << typical << true << 10 << "";
    QTest::newRow("hours and minutes") << QByteArray("frame=1 time=01:02:03.40 bitrate=1") << true << 3723 << "";
    QTest::newRow("hundredths ignored") << QByteArray("frame=1 time=00:00:09.99") << true << 9 << "";
    QTest::newRow("first time= counts") << QByteArray("frame=1 time=00:00:05.00 x time=00:00:07.00") << true << 5 << "";
    QTest::newRow("leading blank") << " " + typical << false << 10 << "";
    QTest::newRow("capital F") << "F" + typical.mid(1) << false << 10 << "";
    QTest::newRow("frame= later in the line") << "x " + typical << false << 10 << "";
    QTest::newRow("not available") << QByteArray("frame=    0 fps=0.0 q=0.0 size=N/A time=N/A bitrate=N/A") << true << -1 << "";
    QTest::newRow("negative") << QByteArray("frame=    0 fps=0.0 q=0.0 size=0kB time=-00:00:00.02 bitrate=N/A") << true << -1 << "";
    // A line read before all of it was written: nothing to measure yet.
    QTest::newRow("no time= yet") << QByteArray("frame=  12 fps=0.0 q=0.0 size=") << true << -1 << "";
    QTest::newRow("time cut short") << QByteArray("frame=1 time=00:0") << true << -1 << "";
    QTest::newRow("seconds without hundredths") << QByteArray("frame=1 time=00:01:02") << true << 62 << "";
    QTest::newRow("malformed pair") << QByteArray("frame=1 time=0x:00:01.00") << true << 0 << "'0x' is not a valid integer value";
    QTest::newRow("malformed seconds") << QByteArray("frame=1 time=00:00:1x.00") << true << 0 << "'1x' is not a valid integer value";
}

void FFmpegProgressTest::progressLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isProgress);
    QFETCH(int, seconds);
    QFETCH(QString, error);

    QCOMPARE(FFmpegProgress::isProgressLine(line), isProgress);
    if (!isProgress)
        return;
    try {
        const std::optional<int> result = FFmpegProgress::progressSeconds(line);
        QVERIFY2(error.isEmpty(), "no error raised");
        QCOMPARE(result.value_or(-1), seconds);
    } catch (const EConvertError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), error);
    }
}

void FFmpegProgressTest::percentage_data()
{
    QTest::addColumn<int>("encoded");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("percent");
    QTest::newRow("half") << 90 << 180 << 50;
    QTest::newRow("two thirds truncated") << 2 << 3 << 66;
    QTest::newRow("beyond the end") << 185 << 180 << 102;
    QTest::newRow("a quarter") << 10 << 40 << 25;
    QTest::newRow("unreadable file's default length") << 5100 << 10200 << 50;
    QTest::newRow("exact hundred") << 7 << 7 << 100;
    QTest::newRow("one third of a percent") << 1 << 300 << 0;
}

void FFmpegProgressTest::percentage()
{
    QFETCH(int, encoded);
    QFETCH(int, total);
    QFETCH(int, percent);
    QCOMPARE(FFmpegProgress::percentage(encoded, total), percent);
}

void FFmpegProgressTest::runningPercentage_data()
{
    QTest::addColumn<int>("encoded");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("expected");
    QTest::newRow("half") << 5 << 10 << 50;
    QTest::newRow("at the end") << 10 << 10 << 99;
    // Joined segments: a 33 s output from a source read as 3 s.
    QTest::newRow("far past a misjudged end") << 33 << 3 << 99;
}

void FFmpegProgressTest::runningPercentage()
{
    QFETCH(int, encoded);
    QFETCH(int, total);
    QFETCH(int, expected);
    QCOMPARE(FFmpegProgress::runningPercentage(encoded, total), expected);
}

void FFmpegProgressTest::inputSeconds_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("seconds"); // -1: none

    QTest::newRow("input duration") << QByteArray("  Duration: 00:00:33.05, start: 1.400000, bitrate: 1543 kb/s") << 33;
    QTest::newRow("hours") << QByteArray("  Duration: 01:02:03.99, start: 0.000000, bitrate: N/A") << 3723;
    QTest::newRow("not available") << QByteArray("  Duration: N/A, start: 0.000000, bitrate: N/A") << -1;
    QTest::newRow("metadata named Duration") << QByteArray("      DURATION        : 00:00:10.000000000") << -1;
    QTest::newRow("progress line") << QByteArray("frame=1 time=00:00:05.00") << -1;
    QTest::newRow("cut short") << QByteArray("  Duration: 00:0") << -1;
}

void FFmpegProgressTest::inputSeconds()
{
    QFETCH(QByteArray, line);
    QFETCH(int, seconds);
    QCOMPARE(FFmpegProgress::inputSeconds(line).value_or(-1), seconds);
}

void FFmpegProgressTest::speed_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("speed"); // -1: none

    QTest::newRow("faster than real time")
        << QByteArray("frame=  250 fps=120 q=28.0 size=     512kB time=00:00:10.00 bitrate= 419.4kbits/s speed=4.81x") << 4.81;
    QTest::newRow("blank before the figure") << QByteArray("frame=1 time=00:00:00.04 speed=   0.5x") << 0.5;
    QTest::newRow("not yet known") << QByteArray("frame=0 time=N/A bitrate=N/A speed=N/A") << -1.0;
    QTest::newRow("still being written") << QByteArray("frame=1 time=00:00:00.04 speed=1.2") << -1.0;
    QTest::newRow("no field") << QByteArray("frame=1 time=00:00:00.04") << -1.0;
}

void FFmpegProgressTest::speed()
{
    QFETCH(QByteArray, line);
    QFETCH(double, speed);
    QCOMPARE(FFmpegProgress::speed(line).value_or(-1.0), speed);
}

QTEST_APPLESS_MAIN(FFmpegProgressTest)
#include "tst_ffmpegprogress.moc"
