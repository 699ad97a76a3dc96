#pragma once

#include <QObject>

#include <functional>

// Tells the desktop that a batch has ended, with a notification through
// org.freedesktop.Notifications on the session bus. Activating the
// notification calls OnActivate. Without a session bus or a notification
// service nothing happens and nothing waits. GUI thread only.
class BatchNotifier : public QObject {
    Q_OBJECT
public:
    explicit BatchNotifier(QObject *parent = nullptr);

    std::function<void()> OnActivate;

    // "N files converted", and "M not converted" where some failed.
    void batchEnded(int converted, int failed);

private slots:
    void actionInvoked(uint id, const QString &action);

private:
    bool m_listening = false;
    QList<uint> m_sent;
};
