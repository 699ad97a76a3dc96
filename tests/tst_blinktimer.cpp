// The threaded blink timer and the tray picture it switches, without a tray.

#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "mainwindow/tffmpegfrm.h"

#include "tests/windowcontrols.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

class BlinkTimerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstPictureComesAtOnceThenAlternates();
    void disablingIgnoresATickAlreadyPending();
    void disablingFromInsideATickOnlyPauses();
    void enablingAgainAfterDisablingStartsANewWorker();
    void noWorkerWithoutHandlerOrInterval_data();
    void noWorkerWithoutHandlerOrInterval();

private:
    // Stops the blinking as the batch does: timer off, resting picture.
    void stopBlinking();

    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QList<int> m_pictures;
};

void BlinkTimerTest::init()
{
    m_window = std::make_unique<TFFmpegFrm>();
    m_pictures.clear();
}

void BlinkTimerTest::cleanup()
{
    m_window.reset();
}

void BlinkTimerTest::stopBlinking()
{
    ui().JvTimer->setEnabled(false);
    ui().JvTrayIcon->setIconIndex(Picture::Waiting);
}

void BlinkTimerTest::firstPictureComesAtOnceThenAlternates()
{
    TJvTimer *timer = ui().JvTimer;
    TJvTrayIcon *tray = ui().JvTrayIcon;
    QCOMPARE(timer->Interval, 1000);
    QCOMPARE(tray->IconIndex(), Picture::Waiting);

    QElapsedTimer clock;
    clock.start();
    timer->setEnabled(true);
    QTRY_COMPARE_WITH_TIMEOUT(tray->IconIndex(), Picture::TrayBlink, 300);
    QVERIFY(clock.elapsed() < 300);
    QTRY_COMPARE_WITH_TIMEOUT(tray->IconIndex(), Picture::Waiting, 1500);
    QVERIFY(clock.elapsed() >= 900);
    QTRY_COMPARE_WITH_TIMEOUT(tray->IconIndex(), Picture::TrayBlink, 1500);
    QVERIFY(clock.elapsed() >= 1900);

    stopBlinking();
    QVERIFY(!timer->hasWorker());
    QTest::qWait(1300);
    QCOMPARE(tray->IconIndex(), Picture::Waiting);
}

void BlinkTimerTest::disablingIgnoresATickAlreadyPending()
{
    TJvTimer *timer = ui().JvTimer;
    timer->Interval = 50;
    timer->setEnabled(true);
    QTRY_COMPARE_WITH_TIMEOUT(ui().JvTrayIcon->IconIndex(), Picture::TrayBlink, 300);

    // Keep the GUI thread busy past the interval, so the worker hands over a
    // tick that is still waiting when the batch stops the blinking.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stopBlinking();
    QTest::qWait(300);
    QCOMPARE(ui().JvTrayIcon->IconIndex(), Picture::Waiting);
    QVERIFY(!timer->hasWorker());
}

void BlinkTimerTest::disablingFromInsideATickOnlyPauses()
{
    TJvTimer timer;
    timer.Interval = 20;
    int ticks = 0;
    timer.OnTimer = [&ticks](TJvTimer *sender) {
        if (++ticks == 2)
            sender->setEnabled(false);
    };
    timer.setEnabled(true);
    QTRY_COMPARE(ticks, 2);
    QTest::qWait(200);
    QCOMPARE(ticks, 2);
    QVERIFY(timer.hasWorker());

    timer.setEnabled(true);
    QTRY_VERIFY(ticks >= 4);
    QCOMPARE(timer.workersStarted(), 1);
}

void BlinkTimerTest::enablingAgainAfterDisablingStartsANewWorker()
{
    TJvTimer timer;
    timer.Interval = 20;
    int ticks = 0;
    timer.OnTimer = [&ticks](TJvTimer *) { ++ticks; };
    timer.setEnabled(true);
    QTRY_VERIFY(ticks >= 2);
    timer.setEnabled(false);
    QVERIFY(!timer.hasWorker());
    const int stoppedAt = ticks;
    QTest::qWait(100);
    QCOMPARE(ticks, stoppedAt);

    timer.setEnabled(true);
    QCOMPARE(timer.workersStarted(), 2);
    QTRY_VERIFY(ticks > stoppedAt);
}

void BlinkTimerTest::noWorkerWithoutHandlerOrInterval_data()
{
    QTest::addColumn<bool>("handler");
    QTest::addColumn<int>("interval");
    QTest::newRow("no handler") << false << 1000;
    QTest::newRow("zero interval") << true << 0;
}

void BlinkTimerTest::noWorkerWithoutHandlerOrInterval()
{
    QFETCH(bool, handler);
    QFETCH(int, interval);
    TJvTimer timer;
    timer.Interval = interval;
    if (handler)
        timer.OnTimer = [](TJvTimer *) {};
    timer.setEnabled(true);
    QVERIFY(timer.Enabled());
    QVERIFY(!timer.hasWorker());
}

QTEST_MAIN(BlinkTimerTest)
#include "tst_blinktimer.moc"
