// Numbers and clock texts read from the external programs' output and the
// clock texts shown to the user.

#include "text/econverterror.h"
#include "text/textparse.h"

#include <QTest>

class TextParseTest : public QObject {
    Q_OBJECT

private slots:
    void strToInt_data();
    void strToInt();
    void stripped_data();
    void stripped();
    void clockTextSeconds_data();
    void clockTextSeconds();
    void formatClock_data();
    void formatClock();
    void clockText_data();
    void clockText();
};

void TextParseTest::strToInt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("error");
    QTest::newRow("plain") << QByteArray("1234") << 1234 << "";
    QTest::newRow("leading zeros") << QByteArray("007") << 7 << "";
    QTest::newRow("plus sign") << QByteArray("+12") << 12 << "";
    QTest::newRow("minus sign") << QByteArray("-12") << -12 << "";
    QTest::newRow("minus zero") << QByteArray("-0") << 0 << "";
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647 << "";
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1) << "";
    QTest::newRow("too large") << QByteArray("2147483648") << 0 << "'2147483648' is not a valid integer value";
    QTest::newRow("too small") << QByteArray("-2147483649") << 0 << "'-2147483649' is not a valid integer value";
    QTest::newRow("empty") << QByteArray() << 0 << "'' is not a valid integer value";
    QTest::newRow("sign alone") << QByteArray("-") << 0 << "'-' is not a valid integer value";
    QTest::newRow("blank inside") << QByteArray(" 1") << 0 << "' 1' is not a valid integer value";
    QTest::newRow("decimal point") << QByteArray("1.5") << 0 << "'1.5' is not a valid integer value";
    QTest::newRow("letters") << QByteArray("1x") << 0 << "'1x' is not a valid integer value";
}

void TextParseTest::strToInt()
{
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QFETCH(QString, error);
    try {
        QCOMPARE(TextParse::strToInt(text), value);
        QVERIFY2(error.isEmpty(), "no error raised");
    } catch (const EConvertError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), error);
    }
}

void TextParseTest::stripped_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("blanks both ends") << QByteArray("  12 ") << QByteArray("12");
    QTest::newRow("tab and escape") << QByteArray("\t12\x1b") << QByteArray("12");
    QTest::newRow("inner blank kept") << QByteArray(" 1 2 ") << QByteArray("1 2");
    QTest::newRow("blanks only") << QByteArray("    ") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TextParseTest::stripped()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(TextParse::stripped(text), expected);
}

void TextParseTest::clockTextSeconds_data()
{
    QTest::addColumn<QByteArray>("clock");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("error");
    QTest::newRow("list default") << QByteArray("02:50:00") << 10200 << "";
    QTest::newRow("zero") << QByteArray("00:00:00") << 0 << "";
    QTest::newRow("separators not looked at") << QByteArray("01x02y03") << 3723 << "";
    QTest::newRow("not trimmed") << QByteArray(" 1:00:00") << 0 << "' 1' is not a valid integer value";
    QTest::newRow("empty") << QByteArray() << 0 << "'' is not a valid integer value";
}

void TextParseTest::clockTextSeconds()
{
    QFETCH(QByteArray, clock);
    QFETCH(int, seconds);
    QFETCH(QString, error);
    try {
        QCOMPARE(TextParse::clockTextSeconds(clock), seconds);
        QVERIFY(error.isEmpty());
    } catch (const EConvertError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), error);
    }
}

void TextParseTest::formatClock_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0 << "00:00:00";
    QTest::newRow("12 s") << 12 << "00:00:12";
    QTest::newRow("1234 s") << 1234 << "00:20:34";
    QTest::newRow("last second of an hour") << 3599 << "00:59:59";
    QTest::newRow("one hour") << 3600 << "01:00:00";
    QTest::newRow("9999 s, the largest position read") << 9999 << "02:46:39";
    QTest::newRow("negative counts as zero") << -12 << "00:00:00";
}

void TextParseTest::formatClock()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(TextParse::formatClock(seconds), text);
}

void TextParseTest::clockText_data()
{
    QTest::addColumn<QByteArray>("duration");
    QTest::addColumn<QByteArray>("fallback");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("milliseconds cut") << QByteArray("01:02:03.456") << QByteArray("02:50:00") << QByteArray("01:02:03");
    QTest::newRow("short text whole") << QByteArray("1:02") << QByteArray("02:50:00") << QByteArray("1:02");
    QTest::newRow("empty list") << QByteArray() << QByteArray("02:50:00") << QByteArray("02:50:00");
    QTest::newRow("empty panel") << QByteArray() << QByteArray("02:00:00") << QByteArray("02:00:00");
}

void TextParseTest::clockText()
{
    QFETCH(QByteArray, duration);
    QFETCH(QByteArray, fallback);
    QFETCH(QByteArray, expected);
    QCOMPARE(TextParse::clockText(duration, fallback), expected);
}

QTEST_APPLESS_MAIN(TextParseTest)
#include "tst_textparse.moc"
