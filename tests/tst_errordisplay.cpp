// The default error display and the last-resort text.

#include "widgets/errordisplay.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <stdexcept>

class ErrorDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void fullStopRule_data();
    void fullStopRule();
    void handlerErrorReachesTheBoxWithCaption();
    void realBoxesHaveTheirIconCaptionAndOneButton_data();
    void realBoxesHaveTheirIconCaptionAndOneButton();
    void applicationErrorText_data();
    void applicationErrorText();
};

void ErrorDisplayTest::fullStopRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "no such table: x" << "no such table: x.";
    QTest::newRow("digit") << "Code: 2" << "Code: 2.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("comma") << "a," << "a,";
    QTest::newRow("closing parenthesis") << "(x)" << "(x)";
    QTest::newRow("blank") << "a " << "a ";
    QTest::newRow("line break") << "line\r\n" << "line\r\n";
    QTest::newRow("slash sorts after the full stop") << "/tmp/" << "/tmp/.";
    QTest::newRow("quote sorts before") << "'x'" << "'x'";
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("caf\u00e9") << QString::fromUtf8("caf\u00e9.");
    QTest::newRow("empty") << "" << "";
}

void ErrorDisplayTest::fullStopRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorDisplay::withFullStop(message), shown);
}

void ErrorDisplayTest::handlerErrorReachesTheBoxWithCaption()
{
    QStringList boxes;
    const auto previous = ErrorDisplay::setBoxFunction(
        [&boxes](ErrorDisplay::BoxKind kind, const QString &caption, const QString &text) {
            QCOMPARE(kind, ErrorDisplay::BoxKind::Error);
            boxes << caption + QLatin1Char('|') + text;
        });
    bool after = false;
    ErrorDisplay::runHandler([&after] {
        throw std::runtime_error("Cannot perform this operation when process is running");
        after = true;
    });
    ErrorDisplay::runHandler([] { throw 42; });
    ErrorDisplay::setBoxFunction(previous);
    QVERIFY(!after);
    QCOMPARE(boxes, (QStringList{"Halvora|Cannot perform this operation when process is running.",
                                 "Halvora|Unknown error."}));
}

void ErrorDisplayTest::realBoxesHaveTheirIconCaptionAndOneButton_data()
{
    QTest::addColumn<bool>("error");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("error") << true << int(QMessageBox::Critical) << "Halvora" << "Missing file.";
    QTest::newRow("message") << false << int(QMessageBox::NoIcon) << "message" << "Please choose to play video file";
}

void ErrorDisplayTest::realBoxesHaveTheirIconCaptionAndOneButton()
{
    QFETCH(bool, error);
    QFETCH(int, icon);
    QFETCH(QString, caption);
    QFETCH(QString, text);

    // Reads the real modal box once it is up, then presses its button.
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen << QString::number(box->icon()) << box->windowTitle() << box->text()
             << QString::number(box->standardButtons()) << QString::number(box->buttons().size());
        box->buttons().value(0)->click();
    });
    poll.start(10);
    if (error)
        ErrorDisplay::showError(QStringLiteral("Missing file"));
    else
        ErrorDisplay::showMessage(caption, text);
    QCOMPARE(seen, (QStringList{QString::number(icon), caption, text, QString::number(QMessageBox::Ok), "1"}));
}

void ErrorDisplayTest::applicationErrorText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("appends full stop")
        << "Cannot load client DLL: libsqlite3.so.0"
        << "Exception ESQLiteError in module halvora at 0012ABCD.\nCannot load client DLL: libsqlite3.so.0.\n";
    QTest::newRow("keeps full stop") << "Done."
                                     << "Exception ESQLiteError in module halvora at 0012ABCD.\nDone.\n";
    // Unlike the default display, anything but a full stop gets one.
    QTest::newRow("after a parenthesis") << "(x)"
                                         << "Exception ESQLiteError in module halvora at 0012ABCD.\n(x).\n";
}

void ErrorDisplayTest::applicationErrorText()
{
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(ErrorDisplay::applicationErrorText("ESQLiteError", "halvora", 0x0012abcd, message), text);
}

QTEST_MAIN(ErrorDisplayTest)
#include "tst_errordisplay.moc"
