// File list and information panel operations of the main window's controller.

#include "tffmpegfunc.h"

#include "mediaquery.h"
#include "tffmpegfrm.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTreeWidget>

#include <utility>

namespace {

QString runOpenDialog(QFileDialog *dialog)
{
    // One file per use.
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    return dialog->selectedFiles().value(0);
}

TFFmpegFunc::OpenDialogFunction &openDialogFunction()
{
    static TFFmpegFunc::OpenDialogFunction function = runOpenDialog;
    return function;
}

} // namespace

TFFmpegFunc::OpenDialogFunction TFFmpegFunc::setOpenDialogFunction(OpenDialogFunction function)
{
    if (!function)
        function = runOpenDialog;
    return std::exchange(openDialogFunction(), std::move(function));
}

void TFFmpegFunc::AddVideoFile()
{
    const QString path = openDialogFunction()(FFmpegFrm->OpenDialog1());
    if (path.isEmpty())
        return;
    const QByteArray file = path.toLocal8Bit();
    const std::optional<MediaQuery::FileEntry> entry = MediaQuery::fileEntry(file);
    if (!entry)
        return;

    auto *item = new QTreeWidgetItem;
    item->setText(0, path);
    item->setText(1, QString::fromLocal8Bit(entry->type));
    item->setText(2, QString::fromLocal8Bit(entry->size));
    item->setText(3, QString::fromLocal8Bit(entry->time));
    item->setText(4, QStringLiteral("0%"));
    FFmpegFrm->setItemImage(item, 15);
    // Appending leaves the selection where it was.
    FileListView->addTopLevelItem(item);

    ShowMediaInfo(file);
}

void TFFmpegFunc::ShowMediaInfo(const QByteArray &fileName)
{
    const std::optional<MediaQuery::PanelValues> values = MediaQuery::panel(fileName);
    if (!values)
        return;
    for (int row = 1; row < MediaQuery::PanelRowCount; ++row) {
        const bool hasValue = MediaQuery::isPanelValueRow(row);
        MsgListView->topLevelItem(row)->setText(1, hasValue ? QString::fromLocal8Bit((*values)[row]) : QString());
    }
}

void TFFmpegFunc::ClearMediaInfo()
{
    for (int row = 1; row < MediaQuery::PanelRowCount; ++row)
        MsgListView->topLevelItem(row)->setText(1, QString());
}

void TFFmpegFunc::SelectVideoFile()
{
    const QList<QTreeWidgetItem *> selected = FileListView->selectedItems();
    if (!selected.isEmpty())
        ShowMediaInfo(selected.first()->text(0).toLocal8Bit());
}

void TFFmpegFunc::DeleteVideoFile()
{
    const QList<QTreeWidgetItem *> selected = FileListView->selectedItems();
    if (!selected.isEmpty())
        delete selected.first();
    // The panel keeps showing its file, even a deleted one, while rows remain.
    if (FileListView->topLevelItemCount() == 0)
        ClearMediaInfo();
}

void TFFmpegFunc::ClearVideoFiles()
{
    if (FileListView->topLevelItemCount() == 0)
        return;
    FileListView->clear();
    ClearMediaInfo();
    JvEditNumb->setText(QStringLiteral("-1"));
    JvEditCmdMsg->setText(QString());
}
