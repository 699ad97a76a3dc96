// Power-off requests against a stand-in logind on a private bus: no test
// ever reaches the machine's real logind.

#include "poweroff.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class PowerOffTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void outcomeFollowsLogindAnswers_data();
    void outcomeFollowsLogindAnswers();

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
};

void PowerOffTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A private bus stands in for the system bus before anything connects to it.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {"--session", "--nofork", "--print-address=1", "--address=unix:path=" + m_dir.filePath("bus")});
    QVERIFY(m_bus.waitForStarted());
    QVERIFY(m_bus.waitForReadyRead(10000));
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(address.startsWith("unix:path=" + QFile::encodeName(m_dir.path())));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::systemBus().isConnected());
}

void PowerOffTest::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished();
}

void PowerOffTest::outcomeFollowsLogindAnswers_data()
{
    QTest::addColumn<QString>("answer"); // empty: no logind on the bus at all
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("permitted");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<int>("calls");
    QTest::newRow("allowed and done") << "yes" << true << true << true << 1;
    QTest::newRow("allowed after a challenge") << "challenge" << true << true << true << 1;
    QTest::newRow("not allowed, request still made") << "no" << true << false << true << 1;
    QTest::newRow("not available") << "na" << false << false << false << 1;
    QTest::newRow("allowed but refused") << "yes" << false << true << false << 1;
    QTest::newRow("no logind") << "" << false << false << false << 0;
}

void PowerOffTest::outcomeFollowsLogindAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, accept);
    QFETCH(bool, permitted);
    QFETCH(bool, requested);
    QFETCH(int, calls);

    const QString record = m_dir.filePath(QStringLiteral("record-%1").arg(QTest::currentDataTag()));
    QProcess logind;
    if (!answer.isEmpty()) {
        logind.start(QStringLiteral(HALVORA_TEST_BIN_DIR "/fakelogind"),
                     {answer, accept ? "accept" : "refuse", record});
        QVERIFY(logind.waitForStarted());
        QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.login1"));
    }

    const PowerOff::Outcome outcome = PowerOff::powerOff();

    QCOMPARE(outcome.permitted, permitted);
    QCOMPARE(outcome.requested, requested);
    QCOMPARE(outcome.endApplication(), !(permitted && requested));
    QFile file(record);
    const QByteArray made = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QCOMPARE(made, QByteArray("PowerOff false\n").repeated(calls));

    if (!answer.isEmpty()) {
        logind.terminate();
        QVERIFY(logind.waitForFinished());
        QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered("org.freedesktop.login1"));
    }
}

QTEST_GUILESS_MAIN(PowerOffTest)
#include "tst_poweroff.moc"
