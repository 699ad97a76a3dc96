// File list and information panel operations of the main window's controller.

#include "mainwindow/tffmpegfunc.h"

#include "media/mediaquery.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>

#include <utility>

namespace {

// Closes the name completion's list, which can outlive the dialog on screen
// and would then swallow the next click.
void hideCompletionPopups(QFileDialog *dialog)
{
    for (QCompleter *completer : dialog->findChildren<QCompleter *>()) {
        if (completer->popup())
            completer->popup()->hide();
    }
}

QString runOpenDialog(QFileDialog *dialog)
{
    // A fresh name each use: typing must not append to the last one.
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->clear();
    // One file per use.
    const int result = dialog->exec();
    hideCompletionPopups(dialog);
    if (result != QDialog::Accepted)
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
    const QByteArray file = QFile::encodeName(path);
    if (AddRow(file))
        ShowAddedFile(file);
}

void TFFmpegFunc::AddVideoFiles(const QList<QByteArray> &paths)
{
    FFmpegFrm->Intake->enqueue(paths);
}

bool TFFmpegFunc::AddRow(const QByteArray &file)
{
    const std::optional<MediaQuery::FileEntry> entry = MediaQuery::fileEntry(file);
    if (!entry)
        return false;

    auto *item = new QTreeWidgetItem;
    TFFmpegFrm::setItemPath(item, file);
    item->setText(1, QString::fromLocal8Bit(entry->type));
    item->setText(2, QString::fromLocal8Bit(entry->size));
    item->setText(3, QString::fromLocal8Bit(entry->time));
    item->setText(4, QStringLiteral("0%"));
    FFmpegFrm->setItemImage(item, Picture::Waiting);
    // Appending leaves the selection where it was.
    FileListView->addTopLevelItem(item);
    return true;
}

void TFFmpegFunc::ShowAddedFile(const QByteArray &file)
{
    if (!*BatchRunning)
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
        ShowMediaInfo(TFFmpegFrm::itemPath(selected.first()));
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
