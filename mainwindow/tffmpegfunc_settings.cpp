// Selector and output-folder operations of the main window's controller.

#include "mainwindow/tffmpegfunc.h"

#include "mainwindow/tffmpegfrm.h"
#include "batch/batchrun.h"
#include "settings/batchsettings.h"
#include "settings/esqliteerror.h"
#include "settings/outputfolder.h"
#include "settings/selectorstatements.h"
#include "settings/tsqlitequery.h"
#include "settings/windowstate.h"
#include "widgets/tjvcombobox.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QDir>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

void TFFmpegFunc::FillSelectors()
{
    for (TJvComboBox *selector : m_frm.SelectorControls)
        FillSelector(selector);
}

void TFFmpegFunc::FillSelector(TJvComboBox *selector)
{
    selector->clearItems();
    SqliteQuery->run(SelectorStatements::listingSql(selector->Tag));
    for (SqliteQuery->first(); !SqliteQuery->eof(); SqliteQuery->next())
        selector->appendItem(SqliteQuery->text(1));
    // Set from code: raises no change event, so filling stores nothing.
    selector->setItemIndex(ReadSavedIndex(selector->Tag));
}

int TFFmpegFunc::ReadSavedIndex(int tag)
{
    SqliteQuery->run(SelectorStatements::savedIndexSql(tag));
    SqliteQuery->first();
    return SqliteQuery->integer(0);
}

QString TFFmpegFunc::LookupFragment(TJvComboBox *selector)
{
    SqliteQuery->run(SelectorStatements::lookupSql(selector->Tag, selector->ItemIndex()));
    SqliteQuery->first();
    return SqliteQuery->text(0);
}

void TFFmpegFunc::SaveSelection(TJvComboBox *selector)
{
    try {
        SqliteQuery->run(SelectorStatements::storeIndexSql(selector->Tag, selector->ItemIndex()));
    } catch (const ESQLiteError &error) {
        // The box must not suggest that the choice will be there next time.
        throw ESQLiteError(std::string("Your choice was not saved and will be lost when Halvora ends: ") + error.what(),
                           error.errorCode());
    }
}

void TFFmpegFunc::LoadOutputDir()
{
    SqliteQuery->run(OutputFolder::loadStatement());
    SqliteQuery->first();
    const QString folder = SqliteQuery->text(0);
    m_frm.JvEditDir->setText(folder.isEmpty() ? OutputFolder::defaultFolder() : folder);
}

void TFFmpegFunc::ChooseOutputDir()
{
    // Opens in the current output folder, with no name typed in: accepting
    // right away chooses the folder the dialog shows.
    QFileDialog dialog(&m_frm, QStringLiteral("Please select the folder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(m_frm.JvEditDir->text());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString folder = dialog.selectedFiles().value(0);
    if (folder.isEmpty())
        return;
    // Shown first, so conversions use the choice even when storing it fails.
    m_frm.JvEditDir->setText(folder);
    try {
        SqliteQuery->run(OutputFolder::storeStatement(folder));
    } catch (const ESQLiteError &error) {
        throw ESQLiteError(
            std::string("The output folder is used but was not saved and will be lost when Halvora ends: ") + error.what(),
            error.errorCode());
    }
}

void TFFmpegFunc::OpenOutputDir()
{
    // A folder that cannot be opened is not reported.
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_frm.JvEditDir->text()));
}

namespace {

// The text kept under a key; empty when nothing is kept or the settings
// file cannot be read (the caller then uses its default).
QString keptText(TSqliteQuery *query, const char *key)
{
    if (!query)
        return QString();
    try {
        query->run(WindowState::loadStatement(key));
        query->first();
        return query->eof() ? QString() : query->text(0);
    } catch (const ESQLiteError &error) {
        qWarning("Halvora: could not read %s from the settings file: %s", key, error.what());
        return QString();
    }
}

void keepText(TSqliteQuery *query, const char *key, const QString &value)
{
    if (!query)
        return;
    try {
        query->run(WindowState::storeStatement(key, value));
    } catch (const ESQLiteError &error) {
        qWarning("Halvora: could not keep %s in the settings file: %s", key, error.what());
    }
}

} // namespace

QSize TFFmpegFunc::KeptWindowSize()
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch match = form.match(keptText(SqliteQuery, WindowState::SizeKey));
    if (!match.hasMatch())
        return QSize();
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

void TFFmpegFunc::KeepWindowSize()
{
    const QSize size = m_frm.isMaximized() || m_frm.isFullScreen() ? m_frm.normalGeometry().size() : m_frm.size();
    if (size.isValid())
        keepText(SqliteQuery, WindowState::SizeKey,
                 QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
}

QString TFFmpegFunc::AddFolder()
{
    const QString kept = keptText(SqliteQuery, WindowState::AddFolderKey);
    if (!kept.isEmpty() && QDir(kept).exists())
        return kept;
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QDir(videos).exists() ? videos : QDir::homePath();
}

void TFFmpegFunc::KeepAddFolder(const QString &folder)
{
    keepText(SqliteQuery, WindowState::AddFolderKey, folder);
}

void TFFmpegFunc::LoadBatchSettings()
{
    SqliteQuery->run(BatchSettings::loadStatement(BatchSettings::SimultaneousKey));
    SqliteQuery->first();
    const int simultaneous = SqliteQuery->eof() ? 0 : SqliteQuery->integer(0);
    // A number the list does not offer (edited by hand) reads as Automatic.
    const int shown = m_frm.JvCmbParallel->findData(simultaneous);
    m_frm.JvCmbParallel->setCurrentIndex(qMax(0, shown));
    m_frm.batch().setSimultaneous(m_frm.JvCmbParallel->currentData().toInt());

    SqliteQuery->run(BatchSettings::loadStatement(BatchSettings::ReencodeKey));
    SqliteQuery->first();
    m_frm.JvCheckReencode->setChecked(!SqliteQuery->eof() && SqliteQuery->integer(0) != 0);
}

namespace {

void storeBatchSetting(TSqliteQuery *query, const char *key, const QString &value)
{
    try {
        query->run(BatchSettings::storeStatement(key, value));
    } catch (const ESQLiteError &error) {
        throw ESQLiteError(std::string("Your choice was not saved and will be lost when Halvora ends: ") + error.what(),
                           error.errorCode());
    }
}

} // namespace

void TFFmpegFunc::SaveSimultaneous()
{
    // Used from the next file that starts, saved or not.
    const int simultaneous = m_frm.JvCmbParallel->currentData().toInt();
    m_frm.batch().setSimultaneous(simultaneous);
    storeBatchSetting(SqliteQuery, BatchSettings::SimultaneousKey, QString::number(simultaneous));
}

void TFFmpegFunc::SaveReencode()
{
    storeBatchSetting(SqliteQuery, BatchSettings::ReencodeKey,
                      m_frm.JvCheckReencode->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}
