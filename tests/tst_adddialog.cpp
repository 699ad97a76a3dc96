// The real Add dialog as a user meets it, under a window manager (openbox) on
// a real X server, driven with xdotool: several uses in a row leave nothing
// on screen, each starts with an empty name, and tooltips still show.

#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

class AddDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void addDialogSeveralTimesLeavesNothingOnScreen();
    void addDialogTakesSeveralFilesAtOnce();

private:
    // Runs a shell script with xdotool commands without waiting for it: the
    // modal dialog it drives keeps this thread busy meanwhile.
    void drive(const QString &script);
    // Clicks Add, runs the xdotool lines `typing` in the dialog, then presses
    // Return until it has closed.
    void addThroughDialog(const QString &typing);
    QPoint onScreen(QWidget *widget, QPoint at) const { return widget->mapToGlobal(at); }

    QProcess m_windowManager;
    QProcess m_driver;
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
};

void AddDialogTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (the test command starts Xvfb)");
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QVERIFY(m_windowManager.waitForStarted());
    QTest::qWait(1000); // until it manages windows
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });
    for (const char *name : {"one.avi", "two.mkv", "three.mp4"})
        QVERIFY(TestSupport::makeH264Clip(m_settings->path(QLatin1String(name)), 1));
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->OpenDialog1()->setDirectory(m_settings->path(QString()));
}

void AddDialogTest::cleanupTestCase()
{
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.kill();
        m_driver.waitForFinished();
    }
    m_window.reset();
    m_settings.reset();
    ErrorDisplay::setBoxFunction({});
    if (m_windowManager.state() != QProcess::NotRunning) {
        m_windowManager.terminate();
        m_windowManager.waitForFinished();
    }
    QCOMPARE(m_boxes, QStringList());
}

void AddDialogTest::drive(const QString &script)
{
    m_driver.setProcessChannelMode(QProcess::ForwardedChannels);
    m_driver.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    QVERIFY(m_driver.waitForStarted());
}

void AddDialogTest::addThroughDialog(const QString &typing)
{
    const QPoint add = onScreen(ui().AddFileBtn, ui().AddFileBtn->rect().center());
    drive(QStringLiteral("set -e\n"
                         "xdotool mousemove --sync %1 %2 click 1\n"
                         "dialog=$(xdotool search --sync --onlyvisible --name '^Add video files$' | head -n1)\n"
                         "xdotool windowactivate --sync $dialog 2>/dev/null || true\n"
                         "sleep 0.3\n")
              .arg(add.x())
              .arg(add.y())
          + typing
          + QStringLiteral("sleep 0.3\n"
                           "for i in 1 2 3 4 5; do\n"
                           "  xdotool search --onlyvisible --name '^Add video files$' >/dev/null || exit 0\n"
                           "  xdotool key Return; sleep 0.5\n"
                           "done\n"
                           "exit 1\n"));
}

void AddDialogTest::addDialogSeveralTimesLeavesNothingOnScreen()
{
    // "t" opens the completion list (three.mp4, two.mkv, and more); the rest
    // of the name follows, then Return until the dialog has closed.
    const QStringList names{QStringLiteral("two.mkv"), QStringLiteral("three.mp4"), QStringLiteral("one.avi"),
                            QStringLiteral("two.mkv")};
    for (int use = 0; use < names.size(); ++use) {
        const QString rest = names[use].mid(1);
        addThroughDialog(QStringLiteral("xdotool type --delay 80 '%1'\n"
                                        "sleep 0.5\n"
                                        "xdotool type --delay 80 '%2'\n")
                             .arg(names[use].left(1), rest));
        QTRY_VERIFY_WITH_TIMEOUT(m_driver.state() == QProcess::NotRunning, 30000);
        QCOMPARE(m_driver.exitCode(), 0);
        QTRY_COMPARE(ui().FileListView->topLevelItemCount(), use + 1);
        QCOMPARE(ui().FileListView->topLevelItem(use)->text(0), m_settings->path(names[use]));
        // Nothing of the dialog stays on screen.
        QTest::qWait(300);
        for (const QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(widget == m_window.get() || !widget->isVisible(), widget->metaObject()->className());
    }

    // A failed entry's reason shows as its tooltip when pointed at.
    ui().JvEditDir->setText(m_settings->path(QStringLiteral("no such folder")));
    ui().ConvFileBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui().AddFileBtn->isEnabled(), 60000);
    m_boxes.clear();
    QTreeWidget *list = ui().FileListView;
    const QString why = list->topLevelItem(0)->toolTip(0);
    QVERIFY(!why.isEmpty());
    const QPoint row = onScreen(list->viewport(), list->visualItemRect(list->topLevelItem(0)).center());
    drive(QStringLiteral("xdotool mousemove --sync %1 %2; sleep 0.2; xdotool mousemove --sync %3 %4")
              .arg(row.x() + 20)
              .arg(row.y())
              .arg(row.x())
              .arg(row.y()));
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 10000);
    QCOMPARE(QToolTip::text(), why);
    QTRY_VERIFY(m_driver.state() == QProcess::NotRunning);
}

void AddDialogTest::addDialogTakesSeveralFilesAtOnce()
{
    // Two names typed at once, each in quotes, as the dialog takes them.
    QTreeWidget *list = ui().FileListView;
    const int before = list->topLevelItemCount();
    addThroughDialog(QStringLiteral("xdotool type --delay 60 '\"three.mp4\" \"one.avi\"'\n"));
    QTRY_VERIFY_WITH_TIMEOUT(m_driver.state() == QProcess::NotRunning, 30000);
    QCOMPARE(m_driver.exitCode(), 0);
    QTRY_COMPARE(list->topLevelItemCount(), before + 2);
    QStringList added{list->topLevelItem(before)->text(0), list->topLevelItem(before + 1)->text(0)};
    added.sort();
    QCOMPARE(added, QStringList({m_settings->path(QStringLiteral("one.avi")), m_settings->path(QStringLiteral("three.mp4"))}));
}

QTEST_MAIN(AddDialogTest)
#include "tst_adddialog.moc"
