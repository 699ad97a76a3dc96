// Batch conversion operations of the main window's controller: the encoder's
// command line, its progress, and the batch carried by the cursor JvEditNumb.

#include "tffmpegfunc.h"

#include "batchnotifier.h"
#include "econverterror.h"
#include "ffmpegcommand.h"
#include "ffmpegprogress.h"
#include "intakequeue.h"
#include "outputpath.h"
#include "poweroff.h"
#include "sleepinhibitor.h"
#include "streammap.h"
#include "tffmpegfrm.h"
#include "tjvcombobox.h"
#include "tjvcreateprocess.h"
#include "tjvtimer.h"
#include "tjvtrayicon.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int TimeColumn = 3;
constexpr int PercentColumn = 4;

constexpr int ImageFinished = 11;
constexpr int ImageFailed = 12;
constexpr int ImageConverting = 3;

// How long closing the window waits for a stopped encoder to finish its file.
constexpr int CloseWaitMs = 10000;

} // namespace

int TFFmpegFunc::BatchCursor()
{
    return FFmpegProgress::strToInt(JvEditNumb->text().toLatin1());
}

QTreeWidgetItem *TFFmpegFunc::CurrentItem()
{
    const int k = BatchCursor();
    return k >= 0 && k < FileListView->topLevelItemCount() ? FileListView->topLevelItem(k) : nullptr;
}

void TFFmpegFunc::WriteBatchCursor(int k)
{
    const QString text = QString::number(k);
    if (JvEditNumb->text() == text)
        return;
    // What the cursor's change handler does, called here so that an error
    // reaches the writer instead of stopping in the handler.
    {
        const QSignalBlocker quiet(JvEditNumb);
        JvEditNumb->setText(text);
    }
    TFFmpegFunc().StartCurrentItem();
}

QByteArray TFFmpegFunc::BuildCommandLine()
{
    const QByteArray encoder = (QCoreApplication::applicationDirPath() + QStringLiteral("/bin/ffmpeg")).toLocal8Bit();
    QTreeWidgetItem *item = FileListView->topLevelItem(BatchCursor());
    const QByteArray source = TFFmpegFrm::itemPath(item);
    const QByteArray output = OutputFilePath(source);

    // What the output keeps is decided before the start; what it leaves out
    // stays with the entry.
    const StreamMap::Decision streams =
        StreamMap::decide(MediaStreams::streams(FFmpegCommand::probeProgram(encoder), source));
    item->setData(0, TFFmpegFrm::StreamNoteRole, streams.note);
    item->setToolTip(0, streams.note);

    QList<QByteArray> fragments;
    for (int n = 1; n <= 5; ++n)
        fragments << LookupFragment(JvCmbVdo[n]).toLocal8Bit();
    for (int n = 1; n <= 4; ++n)
        fragments << LookupFragment(JvCmbAdo[n]).toLocal8Bit();
    return FFmpegCommand::commandLine(encoder, source, streams.arguments, fragments, output);
}

QByteArray TFFmpegFunc::OutputFilePath(const QByteArray &sourcePath)
{
    // Starting an entry needs the path twice.
    if (m_outputPath.first != sourcePath || m_outputPath.second.isEmpty())
        m_outputPath = {sourcePath, OutputPath::join(JvEditDir->text().toLocal8Bit(), OutputPath::sourceName(sourcePath))};
    return m_outputPath.second;
}

int TFFmpegFunc::CurrentItemSeconds()
{
    return FFmpegProgress::clockTextSeconds(FileListView->topLevelItem(BatchCursor())->text(TimeColumn).toLatin1());
}

std::optional<int> TFFmpegFunc::ProgressSeconds(const QByteArray &line)
{
    return FFmpegProgress::progressSeconds(line);
}

void TFFmpegFunc::HandleProgressLine(const QByteArray &line)
{
    QTreeWidgetItem *item = CurrentItem();
    if (!FFmpegProgress::isProgressLine(line)) {
        // Kept to tell why an entry failed: ffmpeg's last words are its reason.
        if (item && !line.trimmed().isEmpty())
            item->setData(0, TFFmpegFrm::LastMessageRole, QString::fromLocal8Bit(line.trimmed()));
        return;
    }
    if (!item) // the list changed after Stop while the encoder was still writing
        return;
    const int total = CurrentItemSeconds();
    const std::optional<int> encoded = ProgressSeconds(line);
    // No time yet, or no playing time to measure against: only the status line moves.
    if (encoded && total > 0)
        item->setText(PercentColumn, QString::number(FFmpegProgress::percentage(*encoded, total)) + QLatin1Char('%'));
    JvEditCmdMsg->setText(QString::fromLocal8Bit(line));
}

void TFFmpegFunc::StartConversion()
{
    if (FileListView->topLevelItemCount() == 0 || !AddFileBtn->isEnabled())
        return;
    DisableToolButtons();
    Inhibitor->hold();
    if (JvEditNumb->text() == QLatin1String("0"))
        StartCurrentItem();
    else
        WriteBatchCursor(0);
    // Entry 0 may already have ended the batch (an entry that is skipped).
    if (!AddFileBtn->isEnabled())
        JvTimer->setEnabled(true);
}

void TFFmpegFunc::StartCurrentItem()
{
    QTreeWidgetItem *item = CurrentItem();
    if (!item)
        return;
    const QByteArray source = TFFmpegFrm::itemPath(item);
    ShowMediaInfo(source);
    FFmpegFrm->setItemImage(item, ImageConverting);
    item->setToolTip(0, QString());
    item->setData(0, TFFmpegFrm::LastMessageRole, QVariant());
    item->setData(0, TFFmpegFrm::StreamNoteRole, QVariant());

    if (JvCreateProcess->isWatching()) {
        // A stopped encoder is still finishing its file: start when it has ended.
        *StartWhenEncoderEnds = true;
        return;
    }
    const QByteArray output = OutputFilePath(source);
    if (OutputPath::sameFile(source, output)) {
        // ffmpeg would overwrite the file it reads: leave the source alone.
        MarkCurrentItem(ImageFailed, QStringLiteral("Not converted: the output file would replace the source file %1")
                                         .arg(QString::fromLocal8Bit(source)));
        AdvanceBatch();
        return;
    }
    JvCreateProcess->CommandLine = BuildCommandLine();
    JvCreateProcess->Run();
}

void TFFmpegFunc::MarkCurrentItem(int image, const QString &why)
{
    if (QTreeWidgetItem *item = CurrentItem()) {
        FFmpegFrm->setItemImage(item, image);
        // The streams left out stay named after the outcome.
        const QString note = item->data(0, TFFmpegFrm::StreamNoteRole).toString();
        item->setToolTip(0, why.isEmpty() || note.isEmpty() ? why + note : why + QLatin1Char('\n') + note);
        if (!why.isEmpty())
            JvEditCmdMsg->setText(why);
    }
}

void TFFmpegFunc::FinishCurrentItem(std::uint32_t exitCode)
{
    QTreeWidgetItem *item = CurrentItem();
    if (exitCode == 0 || !item) {
        MarkCurrentItem(ImageFinished, QString());
    } else {
        // A failure is not a finished file: keep the encoder's reason with the entry.
        const QString reason = item->data(0, TFFmpegFrm::LastMessageRole).toString();
        MarkCurrentItem(ImageFailed, reason.isEmpty() ? QStringLiteral("ffmpeg failed with exit code %1").arg(exitCode)
                                                      : reason);
    }
    AdvanceBatch();
}

void TFFmpegFunc::AdvanceBatch()
{
    const int k = BatchCursor();
    // Files still being added belong to this batch.
    if (k == FileListView->topLevelItemCount() - 1)
        FFmpegFrm->Intake->addNext();
    if (k < FileListView->topLevelItemCount() - 1) {
        WriteBatchCursor(k + 1);
        return;
    }
    TFFmpegFunc().EnableToolButtons();
    Inhibitor->release();
    if (JvCheckBox->isChecked())
        TFFmpegFunc().PowerOffComputer();
    int failed = 0;
    for (int i = 0; i < FileListView->topLevelItemCount(); ++i)
        failed += TFFmpegFrm::itemImage(FileListView->topLevelItem(i)) == ImageFailed;
    if (failed == 0)
        JvEditCmdMsg->clear();
    else
        JvEditCmdMsg->setText(QStringLiteral("%1 of %2 files were not converted: point at a file to see why.")
                                  .arg(failed)
                                  .arg(FileListView->topLevelItemCount()));
    JvTimer->setEnabled(false);
    JvTrayIcon->setIconIndex(15);
    Notifier->batchEnded(FileListView->topLevelItemCount() - failed, failed);
}

bool TFFmpegFunc::QuitEncoder()
{
    if (FileListView->topLevelItemCount() == 0 || AddFileBtn->isEnabled())
        return false;
    EnableToolButtons();
    *StartWhenEncoderEnds = false;
    JvCreateProcess->Write("q");
    return true;
}

void TFFmpegFunc::StopConversion()
{
    if (!QuitEncoder())
        return;
    if (QTreeWidgetItem *item = CurrentItem())
        FFmpegFrm->setItemImage(item, ImageFinished);
    JvTimer->setEnabled(false);
    JvTrayIcon->setIconIndex(15);
    Inhibitor->release();
}

void TFFmpegFunc::StopOnClose()
{
    if (!QuitEncoder())
        return;

    // Let the encoder finish its file, out of sight, so that the output plays
    // and no encoder outlives the window; its end is ignored (buttons enabled).
    FFmpegFrm->hide();
    const QDeadlineTimer deadline(CloseWaitMs);
    while (JvCreateProcess->isWatching() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    Inhibitor->release();
}

void TFFmpegFunc::DisableToolButtons()
{
    for (QToolButton *button : {AddFileBtn, DelFileBtn, ClearFileBtn, ConvFileBtn, PlayBtn})
        button->setEnabled(false);
}

void TFFmpegFunc::EnableToolButtons()
{
    for (QToolButton *button : {AddFileBtn, DelFileBtn, ClearFileBtn, ConvFileBtn, PlayBtn})
        button->setEnabled(true);
}

void TFFmpegFunc::PowerOffComputer()
{
    // Any refusal ends the application, once the running handler has returned.
    if (PowerOff::powerOff().endApplication())
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
}
