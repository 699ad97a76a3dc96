#include "desktop/tjvtrayicon.h"

#include "widgets/errordisplay.h"
#include "widgets/timagelist.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

TJvTrayIcon::TJvTrayIcon(QWidget *window, const TImageList &icons)
    : QObject(window), m_window(window), m_icons(icons)
{
    m_window->installEventFilter(this);
}

TJvTrayIcon::~TJvTrayIcon()
{
    if (m_tray)
        m_tray->hide();
}

void TJvTrayIcon::putUp()
{
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(this);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            switch (reason) {
            case QSystemTrayIcon::Trigger:
                reportClick(Qt::LeftButton);
                break;
            case QSystemTrayIcon::MiddleClick:
                reportClick(Qt::MiddleButton);
                break;
            case QSystemTrayIcon::Context:
                // The platform opens PopupMenu at the pointer; the click itself is reported too.
                reportClick(Qt::RightButton);
                break;
            case QSystemTrayIcon::DoubleClick:
            case QSystemTrayIcon::Unknown:
                // A double click arrives after its first click, which was reported already.
                break;
            }
        });
    }
    if (m_active) {
        m_tray->setIcon(currentIcon());
        m_tray->setToolTip(Hint.section(QLatin1Char('|'), 0, 0).left(127));
        m_tray->setContextMenu(PopupMenu);
    }
    m_tray->setVisible(m_active);
}

QIcon TJvTrayIcon::currentIcon() const
{
    const QIcon icon = m_icons.icon(m_iconIndex);
    return icon.isNull() ? m_window->windowIcon() : icon;
}

void TJvTrayIcon::setActive(bool active)
{
    m_active = active;
    if (m_tray || m_windowPainted || !active) {
        if (m_tray || active)
            putUp();
        return;
    }
    // Putting the icon up waits on the desktop's session bus, so a window
    // about to be shown is drawn first; one that stays hidden gets its icon
    // at once.
    QTimer::singleShot(0, this, [this] {
        if (!m_tray && m_active && !m_window->isVisible())
            putUp();
    });
}

void TJvTrayIcon::setIconIndex(int index)
{
    if (index == m_iconIndex)
        return;
    m_iconIndex = index;
    if (m_active && m_tray)
        m_tray->setIcon(currentIcon());
}

void TJvTrayIcon::reportClick(Qt::MouseButton button)
{
    if (OnClick)
        ErrorDisplay::runHandler([this, button] { OnClick(this, button); });
}

void TJvTrayIcon::HideToTray()
{
    if (!m_window->isMinimized())
        m_window->showMinimized();
    m_window->hide();
    Visibility &= ~TTrayVisibility(tvVisibleTaskBar);
}

void TJvTrayIcon::RestoreFromTray()
{
    Visibility |= tvVisibleTaskBar;
    // Shown whatever state the window system last reported: some never
    // report a minimise, so a window that seems shown is mapped afresh.
    if (m_window->isVisible() && !m_window->isActiveWindow())
        m_window->hide();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool TJvTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint && !m_windowPainted) {
        m_windowPainted = true;
        // Up once this first drawing is on the screen.
        QTimer::singleShot(0, this, [this] {
            if (!m_tray && m_active)
                putUp();
        });
    }
    if (watched == m_window && event->type() == QEvent::WindowStateChange && m_window->isMinimized()
        && m_active && (Visibility & tvAutoHide) && QSystemTrayIcon::isSystemTrayAvailable()) {
        // Hide once the minimise has taken its course; without a tray host the
        // window stays minimised in the task bar, where the user can find it.
        QTimer::singleShot(0, this, [this] {
            if (m_window->isMinimized())
                HideToTray();
        });
    }
    return QObject::eventFilter(watched, event);
}
