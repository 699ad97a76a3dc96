#pragma once

#include "process/uniquefd.h"

#include <QByteArray>
#include <QList>
#include <QLockFile>
#include <QObject>

class QSocketNotifier;

// One running Halvora per user and settings file. The first start holds a
// lock file and listens on a Unix socket in $XDG_RUNTIME_DIR; a later start
// with the same settings file hands its paths to it over that socket and
// ends. The lock names its owner's process, so one left by a killed Halvora
// is taken over instead of blocking.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `settingsFile` is the absolute path of the settings file this start uses.
    explicit SingleInstance(const QString &settingsFile, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one to run: it then listens for later
    // starts. False when a running Halvora took `paths` (possibly none), and
    // this process should end.
    bool claim(const QList<QByteArray> &paths);

    // The socket's path, for the tests.
    QString socketPath() const { return m_socketPath; }

signals:
    // A later start handed over these paths (possibly none): add them and
    // come to the front.
    void pathsArrived(const QList<QByteArray> &paths);

private:
    bool handOver(const QList<QByteArray> &paths) const;
    void serve();
    void accept();

    QString m_socketPath;
    QLockFile m_lock;
    UniqueFd m_listener;
    QSocketNotifier *m_listening = nullptr;
};
