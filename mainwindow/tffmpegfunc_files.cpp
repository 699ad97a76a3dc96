// File list and information panel operations of the main window's controller.

#include "mainwindow/tffmpegfunc.h"

#include "batch/batchrun.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "media/mediaquery.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
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

QStringList runOpenDialog(QFileDialog *dialog)
{
    // A fresh name each use: typing must not append to the last one.
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->clear();
    const int result = dialog->exec();
    hideCompletionPopups(dialog);
    if (result != QDialog::Accepted)
        return {};
    return dialog->selectedFiles();
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
    const QStringList picked = openDialogFunction()(m_frm.OpenDialog1());
    QList<QByteArray> files;
    for (const QString &path : picked) {
        if (!path.isEmpty())
            files << QFile::encodeName(path);
    }
    if (files.isEmpty())
        return;
    // The dialog opens there next time, also after a restart.
    KeepAddFolder(QFileInfo(picked.first()).absolutePath());
    // Added as a drop is, in slices: a few hundred picked files do not freeze the window.
    m_frm.intake().enqueueFiles(files);
}

void TFFmpegFunc::AddVideoFiles(const QList<QByteArray> &paths)
{
    m_frm.intake().enqueue(paths);
}

bool TFFmpegFunc::AddRow(const QByteArray &file)
{
    const std::optional<MediaQuery::FileEntry> entry = MediaQuery::fileEntry(file);
    if (!entry)
        return false;
    BatchEntry added;
    added.path = file;
    added.type = entry->type;
    added.size = entry->size;
    added.time = entry->time;
    added.unreadable = entry->unreadable;
    added.framePixels = entry->framePixels;
    added.audioOnly = entry->audioOnly;
    m_frm.batch().add(added);
    return true;
}

void TFFmpegFunc::ShowAddedFile(const QByteArray &file)
{
    if (!m_frm.batch().isRunning())
        ShowMediaInfo(file);
}

void TFFmpegFunc::ShowMediaInfo(const QByteArray &fileName)
{
    const std::optional<MediaQuery::PanelValues> values = MediaQuery::panel(fileName);
    if (!values)
        return;
    for (int row = 0; row < MediaQuery::PanelRowCount; ++row) {
        if (!MediaQuery::isPanelValueRow(row))
            continue;
        // The file's name is decoded as the list decodes its path.
        const QString text = row == MediaQuery::FileNameRow ? QFile::decodeName((*values)[row])
                                                            : QString::fromLocal8Bit((*values)[row]);
        QTreeWidgetItem *item = m_frm.MsgListView->topLevelItem(row);
        item->setText(1, text);
        // The column is narrow: the whole text shows when pointed at.
        item->setToolTip(1, text);
    }
}

void TFFmpegFunc::ShowMediaInfoLater(const QByteArray &fileName)
{
    TFFmpegFrm *frm = &m_frm;
    QTimer::singleShot(0, frm, [frm, fileName] {
        TFFmpegFunc func(*frm);
        // The panel is a courtesy here: the entry converts without it.
        try {
            func.ShowMediaInfo(fileName);
        } catch (const std::exception &) {
            func.ClearMediaInfo();
        }
    });
}

void TFFmpegFunc::ClearMediaInfo()
{
    for (int row = 0; row < MediaQuery::PanelRowCount; ++row) {
        if (!MediaQuery::isPanelValueRow(row))
            continue;
        m_frm.MsgListView->topLevelItem(row)->setText(1, QString());
        m_frm.MsgListView->topLevelItem(row)->setToolTip(1, QString());
    }
}

void TFFmpegFunc::SelectVideoFile()
{
    // The current row when it is selected, else the first selected one.
    QTreeWidgetItem *shown = m_frm.FileListView->currentItem();
    if (!shown || !shown->isSelected())
        shown = m_frm.FileListView->selectedItems().value(0);
    if (!shown)
        return;
    ShowMediaInfo(TFFmpegFrm::itemPath(shown));
    // The panel's narrow column cuts the reason: the status line has room.
    const int row = m_frm.FileListView->indexOfTopLevelItem(shown);
    if (row < 0 || row >= m_frm.batch().count() || m_frm.batch().isRunning())
        return;
    const QString unreadable = m_frm.batch().entry(row).unreadable;
    if (!unreadable.isEmpty())
        m_frm.JvEditCmdMsg->setText(QStringLiteral("%1: %2.").arg(shown->text(ColumnFile), unreadable));
}

void TFFmpegFunc::DeleteVideoFile()
{
    QList<int> rows;
    for (QTreeWidgetItem *item : m_frm.FileListView->selectedItems())
        rows << m_frm.FileListView->indexOfTopLevelItem(item);
    // From the bottom up, so that each index still names its entry.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_frm.batch().remove(row);
    // The panel keeps showing its file, even a deleted one, while rows remain.
    if (m_frm.batch().count() == 0)
        ClearMediaInfo();
}

void TFFmpegFunc::ClearVideoFiles()
{
    if (m_frm.batch().count() == 0)
        return;
    m_frm.batch().clear();
    ClearMediaInfo();
    m_frm.JvEditCmdMsg->setText(QString());
}
