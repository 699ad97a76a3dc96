#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QWidget;
class TImageList;

// The notification-area icon of the main window.
class TJvTrayIcon : public QObject {
    Q_OBJECT
public:
    using ClickEvent = std::function<void(TJvTrayIcon *Sender, Qt::MouseButton Button)>;

    TJvTrayIcon(QWidget *window, const TImageList &icons);
    ~TJvTrayIcon() override;

    void setActive(bool active);
    bool Active() const { return m_active; }

    int IconIndex() const { return m_iconIndex; }
    void setIconIndex(int index);

    QString Hint;
    QMenu *PopupMenu = nullptr;
    ClickEvent OnClick;

    void HideToTray();
    void RestoreFromTray();

private:
    QWidget *m_window;
    const TImageList &m_icons;
    QSystemTrayIcon *m_tray;
    bool m_active = false;
    int m_iconIndex = 15;
};
