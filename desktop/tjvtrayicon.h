#pragma once

#include "widgets/timagelist.h"

#include <QFlags>
#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// How the application shows itself beside its tray icon.
enum TTrayVisibilityFlag {
    tvVisibleTaskBar = 0x1,  // the window has its task-bar entry
    tvVisibleTaskList = 0x2, // kept for completeness; no effect here
    tvAutoHide = 0x4,        // minimising the window hides it to the tray
};
Q_DECLARE_FLAGS(TTrayVisibility, TTrayVisibilityFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TTrayVisibility)

// The notification-area icon of a window, over QSystemTrayIcon. While Active
// the icon is up (from just after the window's first drawing when the window
// is shown then), shows picture IconIndex of Icons with the tip Hint, opens
// PopupMenu on a context request and reports clicks through OnClick; with
// tvAutoHide, minimising the window hides it to the tray, where a tray host
// exists (without one the window minimises normally and stays reachable).
// GUI thread only.
class TJvTrayIcon : public QObject {
    Q_OBJECT
public:
    using ClickEvent = std::function<void(TJvTrayIcon *Sender, Qt::MouseButton Button)>;

    TJvTrayIcon(QWidget *window, const TImageList &icons);
    ~TJvTrayIcon() override;

    bool Active() const { return m_active; }
    void setActive(bool active);

    const TImageList &Icons() const { return m_icons; }
    int IconIndex() const { return m_iconIndex; }
    void setIconIndex(int index);

    QString Hint;
    QMenu *PopupMenu = nullptr;
    ClickEvent OnClick;
    TTrayVisibility Visibility = tvVisibleTaskBar | tvVisibleTaskList | tvAutoHide;

    void HideToTray();
    void RestoreFromTray();

    // The platform icon, for tests that look at what the desktop is shown;
    // null until the icon is first put up.
    const QSystemTrayIcon *platformIcon() const { return m_tray; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QIcon currentIcon() const;
    // Makes the platform icon where needed and shows it as Active says.
    void putUp();
    void reportClick(Qt::MouseButton button);

    QWidget *m_window;
    const TImageList &m_icons;
    QSystemTrayIcon *m_tray = nullptr;
    bool m_active = false;
    bool m_windowPainted = false;
    int m_iconIndex = Picture::Waiting;
};
