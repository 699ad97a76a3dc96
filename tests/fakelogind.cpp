// A stand-in for systemd-logind's power-off methods, for tests on a private
// bus. Usage: fakelogind <CanPowerOff answer> <accept|refuse> <record file>
// Each PowerOff call appends "PowerOff <interactive>" to the record file.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QFile>

class Manager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    Manager(QString answer, bool accept, QString record)
        : m_answer(std::move(answer)), m_accept(accept), m_record(std::move(record)) {}

public slots:
    QString CanPowerOff() { return m_answer; }
    void PowerOff(bool interactive)
    {
        QFile record(m_record);
        if (record.open(QIODevice::Append))
            record.write(QByteArray("PowerOff ") + (interactive ? "true" : "false") + "\n");
        if (!m_accept)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
    }

private:
    QString m_answer;
    bool m_accept;
    QString m_record;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    Manager manager(QString::fromLocal8Bit(argv[1]), qstrcmp(argv[2], "accept") == 0, QString::fromLocal8Bit(argv[3]));
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.login1")))
        return 1;
    return app.exec();
}

#include "fakelogind.moc"
