#include "tjvtrayicon.h"

#include "timagelist.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

TJvTrayIcon::TJvTrayIcon(QWidget *window, const TImageList &icons)
    : QObject(window), m_window(window), m_icons(icons), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && OnClick)
            OnClick(this, Qt::LeftButton);
    });
}

TJvTrayIcon::~TJvTrayIcon() = default;

void TJvTrayIcon::setActive(bool active)
{
    m_active = active;
    if (active) {
        m_tray->setIcon(m_icons.icon(m_iconIndex));
        m_tray->setToolTip(Hint.section(QLatin1Char('|'), 0, 0).left(127));
        m_tray->setContextMenu(PopupMenu);
    }
    m_tray->setVisible(active);
}

void TJvTrayIcon::setIconIndex(int index)
{
    if (index == m_iconIndex)
        return;
    m_iconIndex = index;
    if (m_active)
        m_tray->setIcon(m_icons.icon(index));
}

void TJvTrayIcon::HideToTray()
{
    m_window->hide();
}

void TJvTrayIcon::RestoreFromTray()
{
    m_window->showNormal();
    m_window->activateWindow();
}
