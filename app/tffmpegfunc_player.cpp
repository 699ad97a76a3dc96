// Preview operation of the main window's controller.

#include "tffmpegfunc.h"

#include "errordisplay.h"
#include "tffmpegfrm.h"
#include "tmplayerfrm.h"

#include <QLabel>
#include <QTreeWidget>

#include <memory>

void TFFmpegFunc::PlayVideoFile()
{
    const QList<QTreeWidgetItem *> selected = FileListView->selectedItems();
    if (selected.isEmpty()) {
        ErrorDisplay::showMessage(QStringLiteral("message"), QStringLiteral("Please choose to play video file"));
        return;
    }
    // The window sets MplayerFrm for its lifetime; it closes its player when it closes.
    const auto frm = std::make_unique<TMplayerFrm>();
    frm->JvLabFile->setText(selected.first()->text(0));
    frm->JvLabFile->setProperty("path", TFFmpegFrm::itemPath(selected.first()));
    frm->exec();
}
