// Batch operations of the main window's controller: the batch itself is a
// BatchRun; these start and stop it and show what it does.

#include "mainwindow/tffmpegfunc.h"

#include "batch/batchprogress.h"
#include "batch/batchrun.h"
#include "conversion/ffmpegprogress.h"
#include "desktop/batchnotifier.h"
#include "desktop/poweroff.h"
#include "desktop/sleepinhibitor.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "settings/esqliteerror.h"
#include "widgets/tjvcombobox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <stdexcept>
#include <utility>

EntryOptions TFFmpegFunc::OutputOptions()
{
    EntryOptions options;
    options.folder = m_frm.JvEditDir->text().toLocal8Bit();
    options.reencodeFitting = m_frm.JvCheckReencode->isChecked();
    try {
        for (TJvComboBox *selector : m_frm.SelectorControls)
            options.fragments << LookupFragment(selector).toLocal8Bit();
    } catch (const ESQLiteError &error) {
        throw std::runtime_error(QStringLiteral("Could not read the output options from the settings file: %1")
                                     .arg(QString::fromLocal8Bit(error.what()))
                                     .toLocal8Bit()
                                     .toStdString());
    }
    return options;
}

namespace {

bool askInBox(QWidget *window, const QString &text)
{
    return QMessageBox::question(window, QStringLiteral("Halvora"), text) == QMessageBox::Yes;
}

TFFmpegFunc::QuestionFunction &questionFunction()
{
    static TFFmpegFunc::QuestionFunction function = askInBox;
    return function;
}

QList<BatchEntry> entriesOf(const BatchRun &batch)
{
    QList<BatchEntry> entries;
    entries.reserve(batch.count());
    for (int k = 0; k < batch.count(); ++k)
        entries << batch.entry(k);
    return entries;
}

void setTrayHint(TJvTrayIcon &tray, const QString &hint)
{
    if (tray.Hint == hint)
        return;
    tray.Hint = hint;
    // Putting the icon up again passes the new tip to the desktop.
    tray.setActive(tray.Active());
}

} // namespace

TFFmpegFunc::QuestionFunction TFFmpegFunc::setQuestionFunction(QuestionFunction function)
{
    if (!function)
        function = askInBox;
    return std::exchange(questionFunction(), std::move(function));
}

void TFFmpegFunc::StartConversion()
{
    BatchRun &batch = m_frm.batch();
    // Convert goes on with what is not done; a list that is all done is
    // converted again only when the user says so.
    if (batch.count() > 0 && batch.allDone()) {
        if (questionFunction()(&m_frm, QStringLiteral("Every file in the list is converted already. Convert them all again?")))
            batch.startAgain();
        return;
    }
    batch.start();
}

void TFFmpegFunc::StopConversion()
{
    // The entry gets its picture when the encoder has ended: done when it
    // wrote a file, failed when it did not.
    m_frm.batch().stop();
}

void TFFmpegFunc::StopOnClose()
{
    // The encoder finishes its file out of sight, so that the output plays;
    // the window waits for its end before the program ends.
    m_frm.batch().stop();
}

void TFFmpegFunc::BatchRunningChanged(bool running)
{
    m_frm.StopConvBtn->setEnabled(running);
    if (running) {
        m_frm.m_runOutcome.clear();
        m_frm.m_progress.begin(entriesOf(m_frm.batch()));
        m_frm.ProgressTimer->start();
        ShowBatchProgress();
        DisableToolButtons();
        m_frm.Inhibitor->hold();
        m_frm.JvTimer->setEnabled(!m_frm.isClosing());
        return;
    }
    EnableToolButtons();
    m_frm.ProgressTimer->stop();
    // What the run said last (the last entry's outcome, or Stopping) takes
    // the place of its progress.
    const QString outcome = std::exchange(m_frm.m_runOutcome, QString());
    if (!outcome.isEmpty())
        m_frm.JvEditCmdMsg->setText(outcome);
    else if (m_frm.JvEditCmdMsg->text() == m_frm.m_progressShown)
        m_frm.JvEditCmdMsg->clear();
    m_frm.m_progressShown.clear();
    setTrayHint(*m_frm.JvTrayIcon, QStringLiteral("Halvora"));
    m_frm.m_launcher.clear();
    // A stopped encoder still finishing its file has no speed to show.
    const BatchRun &batch = m_frm.batch();
    for (int k = 0; k < batch.count(); ++k) {
        if (batch.entry(k).state == EntryState::Converting)
            m_frm.showEntry(m_frm.FileListView->topLevelItem(k), batch.entry(k));
    }
    m_frm.JvTimer->setEnabled(false);
    m_frm.JvTrayIcon->setIconIndex(Picture::Waiting);
    m_frm.Inhibitor->release();
}

void TFFmpegFunc::ShowBatchProgress()
{
    const BatchRun &batch = m_frm.batch();
    if (!batch.isRunning())
        return;
    const BatchProgress::Summary summary = m_frm.m_progress.summary(entriesOf(batch));
    const QString text = BatchProgress::text(summary);
    // While files are being added the line counts them; the progress follows.
    if (!m_frm.Intake->isBusy()) {
        m_frm.JvEditCmdMsg->setText(text);
        m_frm.m_progressShown = text;
    }
    setTrayHint(*m_frm.JvTrayIcon, text);
    m_frm.m_launcher.showProgress(summary.fraction);
}

void TFFmpegFunc::ShowBatchStatus(const QString &text)
{
    if (!m_frm.batch().isRunning()) {
        m_frm.JvEditCmdMsg->setText(text);
        return;
    }
    if (!FFmpegProgress::isProgressLine(text.toLocal8Bit()))
        m_frm.m_runOutcome = text;
}

void TFFmpegFunc::BatchFinished(int converted, int failed)
{
    QStringList status;
    if (failed != 0)
        status << QStringLiteral("%1 of %2 files were not converted: point at a file to see why.")
                      .arg(failed)
                      .arg(converted + failed);
    // Progress lines have covered the note since it came: it is repeated once.
    if (!m_frm.m_sleepNote.isEmpty())
        status << std::exchange(m_frm.m_sleepNote, QString());
    if (!status.isEmpty())
        m_frm.JvEditCmdMsg->setText(status.join(QLatin1Char(' ')));
    m_frm.Notifier->batchEnded(converted, failed);
    if (m_frm.JvCheckBox->isChecked())
        PowerOffComputer();
}

void TFFmpegFunc::SleepNotBlocked(const QString &why)
{
    m_frm.m_sleepNote = QStringLiteral("The computer may sleep during the conversion: the sleep lock was refused (%1).")
                            .arg(why);
    m_frm.JvEditCmdMsg->setText(m_frm.m_sleepNote);
}

void TFFmpegFunc::DisableToolButtons()
{
    for (QToolButton *button : {m_frm.AddFileBtn, m_frm.DelFileBtn, m_frm.ClearFileBtn, m_frm.ConvFileBtn, m_frm.PlayBtn})
        button->setEnabled(false);
}

void TFFmpegFunc::EnableToolButtons()
{
    for (QToolButton *button : {m_frm.AddFileBtn, m_frm.DelFileBtn, m_frm.ClearFileBtn, m_frm.ConvFileBtn, m_frm.PlayBtn})
        button->setEnabled(true);
}

void TFFmpegFunc::PowerOffComputer()
{
    // Any refusal ends the application, once the running handler has returned.
    if (PowerOff::powerOff().endApplication())
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
}
