// Splitting a child's command line into its arguments, and quoting arguments
// so that any of them reaches the child whole.

#include "process/commandline.h"

#include <QTest>

using Arguments = QList<QByteArray>;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void quote_data();
    void quote();
    void roundTrip_data();
    void roundTrip();
};

void CommandLineTest::split_data()
{
    QTest::addColumn<QByteArray>("commandLine");
    QTest::addColumn<Arguments>("arguments");

    QTest::newRow("empty") << QByteArray() << Arguments{};
    QTest::newRow("blanks only") << QByteArray(" \t  ") << Arguments{};
    QTest::newRow("blanks and tabs separate") << QByteArray("  a b\t\tc  ") << Arguments{"a", "b", "c"};
    QTest::newRow("encoder line")
        << QByteArray("/opt/h/bin/ffmpeg -y -i /v/in.avi -vcodec libx264 -b:v 800k /o/in.mp4")
        << Arguments{"/opt/h/bin/ffmpeg", "-y", "-i", "/v/in.avi", "-vcodec", "libx264", "-b:v", "800k", "/o/in.mp4"};
    QTest::newRow("quoted section keeps blanks") << QByteArray("\"a b\"\tc") << Arguments{"a b", "c"};
    QTest::newRow("quotes inside an argument") << QByteArray("ab\"c d\"e") << Arguments{"abc de"};
    QTest::newRow("empty quotes give an empty argument") << QByteArray("a \"\" b") << Arguments{"a", "", "b"};
    QTest::newRow("escaped quote outside quotes") << QByteArray("\\\"x\\\"") << Arguments{"\"x\""};
    QTest::newRow("escaped quote inside quotes") << QByteArray("\"a\\\" b\"") << Arguments{"a\" b"};
    QTest::newRow("escaped backslash") << QByteArray("a\\\\b \"c\\\\\"") << Arguments{"a\\b", "c\\"};
    QTest::newRow("other backslashes are literal") << QByteArray("a\\b c\\ d\\") << Arguments{"a\\b", "c\\", "d\\"};
    QTest::newRow("open quote runs to the end") << QByteArray("x \"a b") << Arguments{"x", "a b"};
    QTest::newRow("line breaks do not separate") << QByteArray("a\nb c\r") << Arguments{"a\nb", "c\r"};
}

void CommandLineTest::split()
{
    QFETCH(QByteArray, commandLine);
    QFETCH(Arguments, arguments);
    QCOMPARE(splitCommandLine(commandLine), arguments);
}

void CommandLineTest::quote_data()
{
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("quoted");

    QTest::newRow("plain path unchanged") << QByteArray("/home/u/v/clip-1_x.mp4") << QByteArray("/home/u/v/clip-1_x.mp4");
    QTest::newRow("dollar, apostrophe and non-ASCII unchanged")
        << QByteArray("/v/$HOME's_caf\xc3\xa9.avi") << QByteArray("/v/$HOME's_caf\xc3\xa9.avi");
    QTest::newRow("empty") << QByteArray() << QByteArray("\"\"");
    QTest::newRow("blank") << QByteArray("/v/my clip.avi") << QByteArray("\"/v/my clip.avi\"");
    QTest::newRow("tab") << QByteArray("a\tb") << QByteArray("\"a\tb\"");
    QTest::newRow("quote") << QByteArray("say \"hi\"") << QByteArray("\"say \\\"hi\\\"\"");
    QTest::newRow("backslash") << QByteArray("a\\b\\") << QByteArray("\"a\\\\b\\\\\"");
}

void CommandLineTest::quote()
{
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, quoted);
    QCOMPARE(quoteArgument(argument), quoted);
}

void CommandLineTest::roundTrip_data()
{
    QTest::addColumn<Arguments>("arguments");

    QTest::newRow("none") << Arguments{};
    QTest::newRow("one empty") << Arguments{""};
    QTest::newRow("odd file names") << Arguments{"/bin/x", "/v/a b.avi", "/v/it's \"q\" $x.avi", "/v/\xc3\xbc\xe2\x82\xac.mkv"};
    QTest::newRow("backslashes before quotes") << Arguments{"\\", "\\\\", "\\\"", "a\\\" b\\", "\"\\"};
    QTest::newRow("blanks and empties") << Arguments{" ", "", "\t", " a ", ""};
    QTest::newRow("control and high bytes") << Arguments{QByteArray("\x01\x7f\xff\n\r", 5), "-vf", "scale=1:2"};
}

void CommandLineTest::roundTrip()
{
    QFETCH(Arguments, arguments);
    QCOMPARE(splitCommandLine(joinCommandLine(arguments)), arguments);
}

QTEST_APPLESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
