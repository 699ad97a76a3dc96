#pragma once

#include "desktop/sleepinhibitor.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "widgets/tjvcombobox.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

// The main window's controls, found by their object names as a user's
// tools find them: the window keeps them to itself.
class WindowControls {
    // First: the controls below are found through it as they are initialised.
    const QObject *m_window;

public:
    explicit WindowControls(const QObject *window) : m_window(window) {}

    QWidget *JvCoolBar = find<QWidget>("JvCoolBar");
    QToolBar *JvToolBar = find<QToolBar>("JvToolBar");
    QToolButton *AddFileBtn = find<QToolButton>("AddFileBtn");
    QToolButton *DelFileBtn = find<QToolButton>("DelFileBtn");
    QToolButton *ClearFileBtn = find<QToolButton>("ClearFileBtn");
    QToolButton *ConvFileBtn = find<QToolButton>("ConvFileBtn");
    QToolButton *StopConvBtn = find<QToolButton>("StopConvBtn");
    QToolButton *PlayBtn = find<QToolButton>("PlayBtn");
    QToolButton *HttpBtn = find<QToolButton>("HttpBtn");
    QToolButton *QuitBtn = find<QToolButton>("QuitBtn");
    QTreeWidget *FileListView = find<QTreeWidget>("FileListView");
    QTreeWidget *MsgListView = find<QTreeWidget>("MsgListView");
    QLineEdit *JvEditDir = find<QLineEdit>("JvEditDir");
    QLineEdit *JvEditNumb = find<QLineEdit>("JvEditNumb");
    QLineEdit *JvEditCmdMsg = find<QLineEdit>("JvEditCmdMsg");
    QToolButton *JvBtnSltDir = find<QToolButton>("JvBtnSltDir");
    QToolButton *JvBtnOpenDir = find<QToolButton>("JvBtnOpenDir");
    QWidget *JvGroupBox = find<QWidget>("JvGroupBox");
    QTabWidget *JvPageControl = find<QTabWidget>("JvPageControl");
    QCheckBox *JvCheckBox = find<QCheckBox>("JvCheckBox");
    TJvComboBox *JvCmbVdo1 = find<TJvComboBox>("JvCmbVdo1");
    QLabel *Image1 = find<QLabel>("Image1");
    QMenu *JvPopupMenu = find<QMenu>("JvPopupMenu");
    QAction *OpenHalvora1 = find<QAction>("OpenHalvora1");
    QAction *Quit1 = find<QAction>("Quit1");
    TJvTrayIcon *JvTrayIcon = find<TJvTrayIcon>("JvTrayIcon");
    TJvTimer *JvTimer = find<TJvTimer>("JvTimer");
    SleepInhibitor *Inhibitor = find<SleepInhibitor>("Inhibitor");

private:
    template <typename T>
    T *find(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        if (!found) {
            std::fprintf(stderr, "The window has no control %s\n", name);
            std::abort();
        }
        return found;
    }
};
