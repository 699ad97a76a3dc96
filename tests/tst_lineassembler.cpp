// The terminal-line rules that turn a child's output pieces into line reports.

#include "process/lineassembler.h"

#include <QTest>

#include <stdexcept>

namespace {

struct Report {
    QByteArray S;
    bool startsOnNewLine;
    bool operator==(const Report &other) const = default;
};

char *toString(const Report &report)
{
    return QTest::toString(QByteArray(report.S + (report.startsOnNewLine ? " |new" : " |same")));
}

// Assembles the pieces and ends the output, recording every report.
QList<Report> reportsOf(const QList<QByteArray> &pieces)
{
    LineAssembler assembler;
    QList<Report> reports;
    const LineAssembler::Report record = [&reports](const QByteArray &line, bool startsOnNewLine) {
        reports.append({line, startsOnNewLine});
        return true;
    };
    for (const QByteArray &piece : pieces)
        assembler.assemble(piece.constData(), piece.size(), record);
    assembler.finish(record);
    return reports;
}

} // namespace

Q_DECLARE_METATYPE(Report)

class LineAssemblerTest : public QObject {
    Q_OBJECT

private slots:
    void reports_data();
    void reports();
    void sinceReturn_data();
    void sinceReturn();
    void failedReportDropsRestOfPieceAndKeepsLine();
    void stoppedReportTouchesNothingMore();
};

void LineAssemblerTest::reports_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<Report>>("expected");

    QTest::newRow("no output") << QList<QByteArray>{} << QList<Report>{};
    QTest::newRow("carriage return rewrites from the start")
        << QList<QByteArray>{"ab\rc"} << QList<Report>{{"cb", true}, {"cb", false}};
    QTest::newRow("shorter rewrite leaves the older tail")
        << QList<QByteArray>{"frame=  100 fps=25.0\rframe= 99\r"}
        << QList<Report>{{"frame= 9900 fps=25.0", true}, {"frame= 9900 fps=25.0", false}};
    QTest::newRow("three rewrites in one piece report the last")
        << QList<QByteArray>{"p=1\rp=2\rp=3\r"} << QList<Report>{{"p=3", true}, {"p=3", false}};
    QTest::newRow("rewrite split over pieces")
        << QList<QByteArray>{"progress 111111\r", "progress 22", "2222\r"}
        << QList<Report>{{"progress 111111", true},
                         {"progress 221111", false},
                         {"progress 222222", false},
                         {"progress 222222", false}};
    QTest::newRow("carriage return and line feed in one piece")
        << QList<QByteArray>{"abc\r\n"} << QList<Report>{{"abc", true}, {"", true}};
    QTest::newRow("carriage return ends one piece, line feed starts the next")
        << QList<QByteArray>{"abc\r", "\n"} << QList<Report>{{"abc", true}, {"abc", false}, {"", true}};
    QTest::newRow("piece ending in a line feed, then the next line")
        << QList<QByteArray>{"one\n", "two"}
        << QList<Report>{{"one", true}, {"", true}, {"two", false}, {"two", false}};
    QTest::newRow("several lines in one piece")
        << QList<QByteArray>{"l1\nl2\nl3"} << QList<Report>{{"l1", true}, {"l2", true}, {"l3", true}, {"l3", false}};
    QTest::newRow("empty lines") << QList<QByteArray>{"\n\n"} << QList<Report>{{"", true}, {"", true}, {"", true}};
    QTest::newRow("tab writes eight blanks at the cursor")
        << QList<QByteArray>{"abc\tX"} << QList<Report>{{"abc        X", true}, {"abc        X", false}};
    QTest::newRow("tab overwrites after a carriage return")
        << QList<QByteArray>{"abcdefghijklmn\rabc\tX"}
        << QList<Report>{{"abc        Xmn", true}, {"abc        Xmn", false}};
    QTest::newRow("backspace at 0 does nothing")
        << QList<QByteArray>{"\b\bab"} << QList<Report>{{"ab", true}, {"ab", false}};
    QTest::newRow("backspace moves back without erasing")
        << QList<QByteArray>{"abc\b\bX"} << QList<Report>{{"aXc", true}, {"aXc", false}};
    QTest::newRow("NUL and BEL show as blanks")
        << QList<QByteArray>{QByteArray("a\0b\ac\0", 6)} << QList<Report>{{"a b c ", true}, {"a b c ", false}};
    QTest::newRow("other control and high bytes pass unchanged")
        << QList<QByteArray>{"\x1b[K\x7f\xc3\xbc\x01"}
        << QList<Report>{{"\x1b[K\x7f\xc3\xbc\x01", true}, {"\x1b[K\x7f\xc3\xbc\x01", false}};
    QTest::newRow("cursor kept across pieces")
        << QList<QByteArray>{"abcdef\r", "X", "Y\n"}
        << QList<Report>{{"abcdef", true}, {"Xbcdef", false}, {"XYcdef", false}, {"", true}};
}

void LineAssemblerTest::reports()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<Report>, expected);
    QCOMPARE(reportsOf(pieces), expected);
}

void LineAssemblerTest::sinceReturn_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<QByteArray>>("expected"); // at each report

    QTest::newRow("message written over a longer progress line")
        << QList<QByteArray>{"frame= 10 time=00:00:06.84 speed=1.91x    \r", "av_write(): No space left on device\n"}
        << QList<QByteArray>{"", "av_write(): No space left on device", ""};
    QTest::newRow("line without a carriage return is whole")
        << QList<QByteArray>{"Error opening input\nnext"} << QList<QByteArray>{"Error opening input", "next"};
    QTest::newRow("rewrite split over pieces, then a shorter one")
        << QList<QByteArray>{"progress 111111\r", "progr", "ess\rab\n"}
        << QList<QByteArray>{"", "progr", "ab", ""};
    QTest::newRow("backspace within the rewrite")
        << QList<QByteArray>{"abcdef\rxyz\b\b1\n"} << QList<QByteArray>{"x1z", ""};
}

void LineAssemblerTest::sinceReturn()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<QByteArray>, expected);
    LineAssembler assembler;
    QList<QByteArray> reported;
    for (const QByteArray &piece : pieces) {
        assembler.assemble(piece.constData(), piece.size(), [&](const QByteArray &, bool) {
            reported << assembler.sinceReturn();
            return true;
        });
    }
    QCOMPARE(reported, expected);
}

void LineAssemblerTest::failedReportDropsRestOfPieceAndKeepsLine()
{
    LineAssembler assembler;
    QList<Report> reports;
    bool fail = true;
    const LineAssembler::Report report = [&](const QByteArray &line, bool startsOnNewLine) {
        reports.append({line, startsOnNewLine});
        if (std::exchange(fail, false))
            throw std::runtime_error("handler failed");
        return true;
    };
    const QByteArray first = "ab\ncd\n";
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, assembler.assemble(first.constData(), first.size(), report));
    // The line is as it was at the failed line-end report: not emptied, and
    // the next report still counts as the start of a line.
    QCOMPARE(assembler.line(), QByteArray("ab"));
    QCOMPARE(assembler.cursor(), 2);
    QVERIFY(assembler.startsOnNewLine());
    const QByteArray second = "X\n";
    QVERIFY(assembler.assemble(second.constData(), second.size(), report));
    QCOMPARE(reports, (QList<Report>{{"ab", true}, {"abX", true}, {"", true}}));
}

void LineAssemblerTest::stoppedReportTouchesNothingMore()
{
    auto assembler = std::make_unique<LineAssembler>();
    int reports = 0;
    // The owner goes away during the first report, as a handler may destroy it.
    const LineAssembler::Report report = [&](const QByteArray &, bool) {
        ++reports;
        assembler.reset();
        return false;
    };
    const QByteArray piece = "a\nb\nc";
    QVERIFY(!assembler->assemble(piece.constData(), piece.size(), report));
    QCOMPARE(reports, 1);
}

QTEST_APPLESS_MAIN(LineAssemblerTest)
#include "tst_lineassembler.moc"
