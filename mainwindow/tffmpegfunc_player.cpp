// Preview operation of the main window's controller.

#include "mainwindow/tffmpegfunc.h"

#include "batch/batchrun.h"
#include "mainwindow/tffmpegfrm.h"
#include "media/mediaquery.h"
#include "player/tmplayerfrm.h"
#include "widgets/errordisplay.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTreeWidget>

#include <memory>

void TFFmpegFunc::PlayVideoFile()
{
    const QList<QTreeWidgetItem *> selected = m_frm.FileListView->selectedItems();
    if (selected.isEmpty()) {
        ErrorDisplay::showMessage(QStringLiteral("message"), QStringLiteral("Please choose to play video file"));
        return;
    }
    // A file known to be unreadable, or gone since it was added, is not
    // handed to the player: it would only fail there.
    const QByteArray path = TFFmpegFrm::itemPath(selected.first());
    const int index = m_frm.FileListView->indexOfTopLevelItem(selected.first());
    QString problem = index >= 0 && index < m_frm.batch().count() ? m_frm.batch().entry(index).unreadable : QString();
    if (problem.isEmpty())
        problem = MediaQuery::openProblem(path);
    if (!problem.isEmpty()) {
        ErrorDisplay::showMessage(QStringLiteral("message"),
                                  QStringLiteral("This file cannot be played.\n%1.").arg(problem));
        return;
    }
    // mplayer draws into the panel by its X11 window id; other platforms have none.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        ErrorDisplay::showMessage(QStringLiteral("message"),
                                  QStringLiteral("The preview needs an X11 display (XWayland). Start Halvora in a "
                                                 "session that provides one to play video files."));
        return;
    }
    // The window sets MplayerFrm for its lifetime; it closes its player when
    // it closes. As a child of the main window it stays attached to it.
    const auto frm = std::make_unique<TMplayerFrm>(&m_frm);
    frm->JvLabFile->setText(selected.first()->text(0));
    frm->JvLabFile->setProperty("path", path);
    frm->exec();
}
