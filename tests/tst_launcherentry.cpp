// The dock's progress bar: the Update signals a listener on the (private)
// session bus receives.

#include "desktop/launcherentry.h"

#include <QDBusConnection>
#include <QTest>

namespace {

struct Update {
    QString app;
    QVariantMap properties;
};

} // namespace

class LauncherEntryTest : public QObject {
    Q_OBJECT

public slots:
    void update(const QString &app, const QVariantMap &properties) { m_updates.append({app, properties}); }

private slots:
    void progressRisesAndEndsHidden();

private:
    QList<Update> m_updates;
};

void LauncherEntryTest::progressRisesAndEndsHidden()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a private session bus (run through ctest)");
    // A connection of its own, as a dock has: the signals come through the bus.
    QDBusConnection dock = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("dock"));
    QVERIFY(dock.isConnected());
    QVERIFY(dock.connect(QString(), QLatin1String(LauncherEntry::Path), QLatin1String(LauncherEntry::Interface),
                         QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap))));

    {
        LauncherEntry entry;
        entry.clear(); // nothing shown yet: nothing to take away
        for (double fraction : {0.0, 0.25, 0.2501, 0.25, 0.5, 1.0})
            entry.showProgress(fraction);
        entry.clear();
        entry.clear();
    }
    QTRY_COMPARE(m_updates.size(), 5);
    QTest::qWait(200);
    QCOMPARE(m_updates.size(), 5);

    // Only changes, rising, each shown; then hidden.
    QList<double> progress;
    for (const Update &update : m_updates) {
        QCOMPARE(update.app, QStringLiteral("application://halvora.desktop"));
        progress << update.properties.value(QStringLiteral("progress")).toDouble();
    }
    QCOMPARE(progress.mid(0, 4), (QList<double>{0.0, 0.25, 0.5, 1.0}));
    for (int k = 0; k < 4; ++k)
        QCOMPARE(m_updates[k].properties.value(QStringLiteral("progress-visible")), QVariant(true));
    QCOMPARE(m_updates.last().properties.value(QStringLiteral("progress-visible")), QVariant(false));
    QDBusConnection::disconnectFromBus(QStringLiteral("dock"));
}

QTEST_GUILESS_MAIN(LauncherEntryTest)
#include "tst_launcherentry.moc"
