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
#include <QTimer>
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
    const QString path = openDialogFunction()(m_frm.OpenDialog1());
    if (path.isEmpty())
        return;
    const QByteArray file = QFile::encodeName(path);
    if (AddRow(file))
        ShowAddedFile(file);
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
        if (MediaQuery::isPanelValueRow(row))
            m_frm.MsgListView->topLevelItem(row)->setText(1, QString::fromLocal8Bit((*values)[row]));
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
        if (MediaQuery::isPanelValueRow(row))
            m_frm.MsgListView->topLevelItem(row)->setText(1, QString());
    }
}

void TFFmpegFunc::SelectVideoFile()
{
    const QList<QTreeWidgetItem *> selected = m_frm.FileListView->selectedItems();
    if (!selected.isEmpty())
        ShowMediaInfo(TFFmpegFrm::itemPath(selected.first()));
}

void TFFmpegFunc::DeleteVideoFile()
{
    const QList<QTreeWidgetItem *> selected = m_frm.FileListView->selectedItems();
    if (!selected.isEmpty())
        m_frm.batch().remove(m_frm.FileListView->indexOfTopLevelItem(selected.first()));
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
