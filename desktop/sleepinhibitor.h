#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

// Keeps the computer from sleeping (and from going idle into sleep) while it
// is held, through systemd-logind's inhibitor lock on the system bus. The
// lock is the descriptor logind hands out: it lasts while the descriptor is
// open, so it also ends when the process dies. Without logind, or when it
// refuses, refused() says why, once. The request is asynchronous, so a slow bus never freezes the
// window. GUI thread only.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    explicit SleepInhibitor(QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // Asks for the lock, unless it is held or asked for already.
    void hold();
    // Closes the lock; an answer still on its way is dropped when it arrives.
    void release();
    // The lock's descriptor is open.
    bool isHeld() const { return m_lock.isValid(); }

signals:
    // The lock asked for was not given: the bus's error message. Only the
    // first refusal in the process is told.
    void refused(const QString &why);

private:
    QDBusUnixFileDescriptor m_lock;
    QDBusPendingCallWatcher *m_pending = nullptr;
};
