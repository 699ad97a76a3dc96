// A stand-in for systemd-logind's power-off and inhibitor methods, for tests
// on a private bus. Usage: fakelogind <CanPowerOff answer> <accept|refuse> <record file>
// Each PowerOff call appends "PowerOff <interactive>" to the record file.
// Each Inhibit call appends "Inhibit <what> <who> <why> <mode>" and hands out
// one end of a pipe as the lock; "Released" follows once every copy of that
// end is closed, as logind sees a lock end.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

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
        append(QByteArray("PowerOff ") + (interactive ? "true" : "false"));
        if (!m_accept)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
    }
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        append("Inhibit " + QStringList{what, who, why, mode}.join(QLatin1Char(' ')).toUtf8());
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("pipe2 failed"));
            return {};
        }
        // The read end sees the end of file once the holder has closed the lock.
        auto *watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [this, watch, fd = ends[0]] {
            char byte;
            if (::read(fd, &byte, 1) > 0)
                return;
            append("Released");
            watch->setEnabled(false);
            watch->deleteLater();
            ::close(fd);
        });
        // The answer carries its own copy of the write end.
        const QDBusUnixFileDescriptor lock(ends[1]);
        ::close(ends[1]);
        return lock;
    }

private:
    void append(const QByteArray &line)
    {
        QFile record(m_record);
        if (record.open(QIODevice::Append))
            record.write(line + '\n');
    }

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
