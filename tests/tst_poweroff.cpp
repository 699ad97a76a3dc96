// Power-off requests against a stand-in logind on a private bus: no test
// ever reaches the machine's real logind.

#include "desktop/poweroff.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class PowerOffTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void outcomeFollowsLogindAnswers_data();
    void outcomeFollowsLogindAnswers();

private:
    QTemporaryDir m_dir;
    TestSupport::PrivateSystemBus m_bus;
};

void PowerOffTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_bus.start(m_dir.path()));
}

void PowerOffTest::outcomeFollowsLogindAnswers_data()
{
    QTest::addColumn<QString>("answer"); // empty: no logind on the bus at all
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("permitted");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<QByteArray>("made");
    QTest::newRow("allowed and done") << "yes" << true << true << true << QByteArray("PowerOff false\n");
    QTest::newRow("challenge asks interactively") << "challenge" << true << true << true << QByteArray("PowerOff true\n");
    QTest::newRow("challenge refused") << "challenge" << false << true << false << QByteArray("PowerOff true\n");
    QTest::newRow("not allowed, request still made") << "no" << true << false << true << QByteArray("PowerOff false\n");
    QTest::newRow("not available") << "na" << false << false << false << QByteArray("PowerOff false\n");
    QTest::newRow("allowed but refused") << "yes" << false << true << false << QByteArray("PowerOff false\n");
    QTest::newRow("no logind") << "" << false << false << false << QByteArray();
}

void PowerOffTest::outcomeFollowsLogindAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, accept);
    QFETCH(bool, permitted);
    QFETCH(bool, requested);
    QFETCH(QByteArray, made);

    const QString record = m_dir.filePath(QStringLiteral("record-%1").arg(QTest::currentDataTag()));
    std::optional<TestSupport::FakeLogind> logind;
    if (!answer.isEmpty()) {
        logind.emplace(answer, accept, record);
        QVERIFY(logind->ready());
    }

    const PowerOff::Outcome outcome = PowerOff::powerOff();

    QCOMPARE(outcome.permitted, permitted);
    QCOMPARE(outcome.requested, requested);
    QCOMPARE(outcome.endApplication(), !(permitted && requested));
    QFile file(record);
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), made);
}

QTEST_GUILESS_MAIN(PowerOffTest)
#include "tst_poweroff.moc"
