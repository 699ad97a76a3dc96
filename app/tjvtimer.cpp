#include "tjvtimer.h"

#include <QTimer>

TJvTimer::TJvTimer(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_enabled && OnTimer)
            OnTimer(this);
    });
}

void TJvTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled) {
        m_timer->start(Interval);
        QTimer::singleShot(0, this, [this] {
            if (m_enabled && OnTimer)
                OnTimer(this);
        });
    } else {
        m_timer->stop();
    }
}
