// Batch conversion operations of the main window's controller: the encoder's
// command line, its progress, and the batch carried by the cursor JvEditNumb.

#include "mainwindow/tffmpegfunc.h"

#include "desktop/batchnotifier.h"
#include "process/commandline.h"
#include "text/econverterror.h"
#include "process/eoserror.h"
#include "settings/esqliteerror.h"
#include "conversion/failurereason.h"
#include "conversion/ffmpegcommand.h"
#include "conversion/ffmpegprogress.h"
#include "intake/intakequeue.h"
#include "conversion/outputfile.h"
#include "desktop/poweroff.h"
#include "desktop/sleepinhibitor.h"
#include "conversion/streammap.h"
#include "text/textparse.h"
#include "mainwindow/tffmpegfrm.h"
#include "widgets/tjvcombobox.h"
#include "process/tjvcreateprocess.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cstring>
#include <stdexcept>

namespace {

constexpr int TimeColumn = 3;
constexpr int PercentColumn = 4;

constexpr int ImageWaiting = Picture::Waiting;
constexpr int ImageFinished = Picture::Finished;
constexpr int ImageFailed = Picture::Failed;
constexpr int ImageConverting = Picture::Converting;

// How long closing the window waits for a stopped encoder to finish its file.
constexpr int CloseWaitMs = 10000;

} // namespace

int TFFmpegFunc::BatchCursor()
{
    return TextParse::strToInt(JvEditNumb->text().toLatin1());
}

QTreeWidgetItem *TFFmpegFunc::CurrentItem()
{
    const int k = BatchCursor();
    return k >= 0 && k < FileListView->topLevelItemCount() ? FileListView->topLevelItem(k) : nullptr;
}

void TFFmpegFunc::WriteBatchCursor(int k)
{
    // The cursor's change handler starts an entry: writing it from here
    // must not, the caller starts the entry itself.
    const QSignalBlocker quiet(JvEditNumb);
    JvEditNumb->setText(QString::number(k));
}

QByteArray TFFmpegFunc::EncoderPath()
{
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/bin/ffmpeg")).toLocal8Bit();
}

QByteArray TFFmpegFunc::BuildCommandLine(const QByteArray &output)
{
    const QByteArray encoder = EncoderPath();
    QTreeWidgetItem *item = FileListView->topLevelItem(BatchCursor());
    const QByteArray source = TFFmpegFrm::itemPath(item);

    // What the output keeps is decided before the start (most often while
    // the entry before converted); what it leaves out stays with the entry.
    const StreamMap::Decision streams = NextStreams->take(FFmpegCommand::probeProgram(encoder), source);
    item->setData(0, TFFmpegFrm::StreamNoteRole, streams.note);
    item->setToolTip(0, streams.note);

    QList<QByteArray> fragments;
    for (TJvComboBox *selector : SelectorControls)
        fragments << LookupFragment(selector).toLocal8Bit();
    // The output is a file this run has just made, so "-y" replaces nothing else.
    return FFmpegCommand::commandLine(encoder, source, streams.arguments, fragments, output);
}

int TFFmpegFunc::CurrentItemSeconds()
{
    return TextParse::clockTextSeconds(FileListView->topLevelItem(BatchCursor())->text(TimeColumn).toLatin1());
}

std::optional<int> TFFmpegFunc::ProgressSeconds(const QByteArray &line)
{
    return FFmpegProgress::progressSeconds(line);
}

void TFFmpegFunc::HandleProgressLine(const QByteArray &line)
{
    if (!FFmpegProgress::isProgressLine(line)) {
        // Kept to tell why the run failed, should it fail.
        if (!line.trimmed().isEmpty())
            Encoder->output << line;
        return;
    }
    // A stopped encoder's last lines touch nothing: its entry keeps the
    // percentage it reached, and the list or a new batch may have moved on.
    if (Encoder->stopped)
        return;
    // The running encoder's own entry (gone when deleted); the current one
    // for a line handed in without an encoder.
    QTreeWidgetItem *item = Encoder->temporary.isEmpty() ? CurrentItem()
                          : Encoder->entry.isValid()     ? FileListView->itemFromIndex(Encoder->entry)
                                                         : nullptr;
    if (!item)
        return;
    const int total = TextParse::clockTextSeconds(item->text(TimeColumn).toLatin1());
    const std::optional<int> encoded = ProgressSeconds(line);
    // No time yet, or no playing time to measure against: only the status line moves.
    if (encoded && total > 0)
        item->setText(PercentColumn, QString::number(FFmpegProgress::percentage(*encoded, total)) + QLatin1Char('%'));
    JvEditCmdMsg->setText(QString::fromLocal8Bit(line));
}

void TFFmpegFunc::StartConversion()
{
    if (FileListView->topLevelItemCount() == 0 || *BatchRunning)
        return;
    *BatchRunning = true;
    DisableToolButtons();
    Inhibitor->hold();
    WriteBatchCursor(0);
    StartCurrentItem();
    // The batch may have ended already (no entry could start).
    if (*BatchRunning)
        JvTimer->setEnabled(true);
}

void TFFmpegFunc::StartCurrentItem()
{
    if (!BeginCurrentItem())
        AdvanceBatch();
}

bool TFFmpegFunc::BeginCurrentItem()
{
    QTreeWidgetItem *item = CurrentItem();
    if (!item)
        return true;
    FFmpegFrm->setItemImage(item, ImageConverting);
    item->setToolTip(0, QString());
    item->setData(0, TFFmpegFrm::StreamNoteRole, QVariant());
    if (JvCreateProcess->isWatching()) {
        // A stopped encoder is still finishing its file: start when it has ended.
        *StartWhenEncoderEnds = true;
        return true;
    }
    // Nothing that fails here may halt the batch: the reason goes to the
    // entry, and the batch goes on.
    bool started = false;
    try {
        StartEncoder(item);
        started = true;
    } catch (const std::exception &error) {
        MarkItem(item, ImageFailed, QString::fromLocal8Bit(error.what()));
    }
    // The panel shows the entry once its encoder runs, and the next entry's
    // streams are read meanwhile: either one first would hold the encoder back.
    ShowMediaInfoLater(TFFmpegFrm::itemPath(item), started);
    return started;
}

void TFFmpegFunc::ShowMediaInfoLater(const QByteArray &fileName, bool prepareNext)
{
    QTimer::singleShot(0, MsgListView, [fileName, prepareNext] {
        TFFmpegFunc func;
        // The panel is a courtesy here: the entry converts without it.
        try {
            func.ShowMediaInfo(fileName);
        } catch (const std::exception &) {
            func.ClearMediaInfo();
        }
        QTreeWidgetItem *next = func.FileListView->topLevelItem(func.BatchCursor() + 1);
        if (!prepareNext || !next || !*func.BatchRunning)
            return;
        try {
            func.NextStreams->prepare(FFmpegCommand::probeProgram(func.EncoderPath()), TFFmpegFrm::itemPath(next));
        } catch (const std::exception &) {
            // Decided again when the entry starts, which reports any failure.
        }
    });
}

void TFFmpegFunc::StartEncoder(QTreeWidgetItem *item)
{
    const QByteArray source = TFFmpegFrm::itemPath(item);
    const QByteArray folder = JvEditDir->text().toLocal8Bit();
    const QByteArray base = OutputFile::baseName(source);
    QByteArray temporary;
    try {
        temporary = OutputFile::createTemporary(folder, base);
    } catch (const EOSError &error) {
        throw std::runtime_error(QStringLiteral("Could not create the output file in %1: %2")
                                     .arg(QString::fromLocal8Bit(folder), QString::fromLocal8Bit(std::strerror(error.errorCode())))
                                     .toStdString());
    }
    // Made by this run, so removed when the encoder does not start.
    auto removeTemporary = qScopeGuard([&] { OutputFile::remove(temporary); });
    try {
        JvCreateProcess->CommandLine = BuildCommandLine(temporary);
    } catch (const ESQLiteError &error) {
        throw std::runtime_error(
            QStringLiteral("Could not read the output options from the settings file: %1").arg(QString::fromLocal8Bit(error.what())).toStdString());
    }
    try {
        JvCreateProcess->Run();
    } catch (const EOSError &error) {
        const QList<QByteArray> arguments = splitCommandLine(JvCreateProcess->CommandLine);
        throw std::runtime_error(QStringLiteral("Could not start ffmpeg (%1): %2")
                                     .arg(QString::fromLocal8Bit(arguments.value(0)), QString::fromLocal8Bit(std::strerror(error.errorCode())))
                                     .toStdString());
    }
    removeTemporary.dismiss();
    *Encoder = EncoderRun{QPersistentModelIndex(FileListView->indexFromItem(item)), temporary, folder, base, {}, false};
}

void TFFmpegFunc::MarkItem(QTreeWidgetItem *item, int image, const QString &why)
{
    FFmpegFrm->setItemImage(item, image);
    // The streams left out stay named after the outcome.
    const QString note = item->data(0, TFFmpegFrm::StreamNoteRole).toString();
    item->setToolTip(0, why.isEmpty() || note.isEmpty() ? why + note : why + QLatin1Char('\n') + note);
    // The status line holds one line.
    if (!why.isEmpty())
        JvEditCmdMsg->setText(QString(why).replace(QLatin1Char('\n'), QLatin1String("; ")));
}

void TFFmpegFunc::EncoderEnded(std::uint32_t exitCode, int signal)
{
    const EncoderRun run = std::exchange(*Encoder, EncoderRun());
    QTreeWidgetItem *item = run.entry.isValid() ? FileListView->itemFromIndex(run.entry) : nullptr;
    if (run.temporary.isEmpty())
        return;

    if (exitCode != 0 || signal != 0 || !OutputFile::hasContent(run.temporary)) {
        // A failed encoder leaves nothing behind: the file is this run's own.
        OutputFile::remove(run.temporary);
        if (!item)
            return;
        if (run.stopped && exitCode == 0 && signal == 0)
            MarkItem(item, ImageWaiting, QStringLiteral("Stopped before anything was written"));
        else
            MarkItem(item, ImageFailed, FailureReason::reason(run.output, int(exitCode), signal));
        return;
    }
    QString written;
    try {
        written = QString::fromLocal8Bit(OutputFile::moveToFreeName(run.temporary, run.folder, run.baseName));
    } catch (const EOSError &error) {
        if (item)
            MarkItem(item, ImageFailed, QStringLiteral("The converted file stays as %1: it could not be renamed: %2")
                                            .arg(QString::fromLocal8Bit(run.temporary),
                                                 QString::fromLocal8Bit(std::strerror(error.errorCode()))));
        return;
    }
    if (!item)
        return;
    // ffmpeg's last progress line may fall short of the end (whole seconds).
    if (!run.stopped)
        item->setText(PercentColumn, QStringLiteral("100%"));
    MarkItem(item, ImageFinished, (run.stopped ? QStringLiteral("Stopped; written to %1") : QStringLiteral("Written to %1")).arg(written));
}

void TFFmpegFunc::AdvanceBatch()
{
    // A loop, not a chain of calls: a long list of entries that cannot start
    // would otherwise nest as deep as it is long.
    for (int k = BatchCursor() + 1;; ++k) {
        // Files still being added belong to this batch (one may fail to add).
        while (k >= FileListView->topLevelItemCount() && FFmpegFrm->Intake->addNext()) {
        }
        if (k >= FileListView->topLevelItemCount())
            break;
        WriteBatchCursor(k);
        if (BeginCurrentItem())
            return;
    }
    EndBatch();
}

void TFFmpegFunc::EndBatch()
{
    *BatchRunning = false;
    TFFmpegFunc().EnableToolButtons();
    JvTimer->setEnabled(false);
    JvTrayIcon->setIconIndex(Picture::Waiting);
    int failed = 0;
    for (int i = 0; i < FileListView->topLevelItemCount(); ++i)
        failed += TFFmpegFrm::itemImage(FileListView->topLevelItem(i)) == ImageFailed;
    if (failed != 0)
        JvEditCmdMsg->setText(QStringLiteral("%1 of %2 files were not converted: point at a file to see why.")
                                  .arg(failed)
                                  .arg(FileListView->topLevelItemCount()));
    Notifier->batchEnded(FileListView->topLevelItemCount() - failed, failed);
    Inhibitor->release();
    if (JvCheckBox->isChecked())
        TFFmpegFunc().PowerOffComputer();
}

bool TFFmpegFunc::QuitEncoder()
{
    if (FileListView->topLevelItemCount() == 0 || !*BatchRunning)
        return false;
    *BatchRunning = false;
    EnableToolButtons();
    *StartWhenEncoderEnds = false;
    Encoder->stopped = true;
    JvCreateProcess->Write("q");
    return true;
}

void TFFmpegFunc::StopConversion()
{
    if (!QuitEncoder())
        return;
    // The entry gets its picture when the encoder has ended: done when it
    // wrote a file, failed when it did not.
    JvTimer->setEnabled(false);
    JvTrayIcon->setIconIndex(Picture::Waiting);
    Inhibitor->release();
}

void TFFmpegFunc::StopOnClose()
{
    if (!QuitEncoder())
        return;

    // Let the encoder finish its file, out of sight, so that the output plays
    // and no encoder outlives the window; its end names the file.
    FFmpegFrm->hide();
    JvCreateProcess->waitUntilEnded(CloseWaitMs);
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
