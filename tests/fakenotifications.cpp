// A stand-in desktop notification service, for tests on a private session
// bus. Usage: fakenotifications <record file> <activate|leave>
// Each Notify call appends "<app>|<icon>|<summary>|<body>|<actions>" to the
// record file and gets the next id; with "activate" the user seems to click
// each notification a moment later (its "default" action is invoked).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QTimer>
#include <QVariantMap>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    Notifications(QString record, bool activate) : m_record(std::move(record)), m_activate(activate) {}

public slots:
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        const uint id = ++m_last;
        QFile record(m_record);
        if (record.open(QIODevice::Append))
            record.write(QStringList{app, icon, summary, body, actions.join(QLatin1Char(','))}.join('|').toUtf8() + '\n');
        if (m_activate) {
            QTimer::singleShot(300, this, [id] {
                QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                                 QStringLiteral("org.freedesktop.Notifications"),
                                                                 QStringLiteral("ActionInvoked"));
                signal << id << QStringLiteral("default");
                QDBusConnection::sessionBus().send(signal);
            });
        }
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QString m_record;
    bool m_activate;
    uint m_last = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    Notifications service(QString::fromLocal8Bit(argv[1]), qstrcmp(argv[2], "activate") == 0);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return 1;
    return app.exec();
}

#include "fakenotifications.moc"
