// Batch operations of the main window's controller: the batch itself is a
// BatchRun; these start and stop it and show what it does.

#include "mainwindow/tffmpegfunc.h"

#include "batch/batchrun.h"
#include "desktop/batchnotifier.h"
#include "desktop/poweroff.h"
#include "desktop/sleepinhibitor.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "mainwindow/tffmpegfrm.h"
#include "settings/esqliteerror.h"
#include "widgets/tjvcombobox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

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
        DisableToolButtons();
        m_frm.Inhibitor->hold();
        m_frm.JvTimer->setEnabled(!m_frm.isClosing());
        return;
    }
    EnableToolButtons();
    m_frm.JvTimer->setEnabled(false);
    m_frm.JvTrayIcon->setIconIndex(Picture::Waiting);
    m_frm.Inhibitor->release();
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
