#pragma once

#include <QObject>

#include <functional>

class QTimer;

// The blink timer of the main window: while enabled, OnTimer runs on the GUI
// thread once at once and then every Interval milliseconds.
class TJvTimer : public QObject {
    Q_OBJECT
public:
    explicit TJvTimer(QObject *parent = nullptr);

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    int Interval = 1000;
    std::function<void(TJvTimer *Sender)> OnTimer;

private:
    QTimer *m_timer;
    bool m_enabled = false;
};
