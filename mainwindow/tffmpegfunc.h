#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;
class TFFmpegFrm;
class TJvComboBox;
class TSqliteQuery;
struct EntryOptions;

// The per-event controller of the main window. Each event handler creates
// one for its window, calls one operation and discards it. It reaches the
// window's controls through the window it is given and the settings through
// the shared query, owns neither and keeps nothing between events.
// Operations let errors propagate to the handler, which shows them.
class TFFmpegFunc {
public:
    explicit TFFmpegFunc(TFFmpegFrm &frm);

    // Shows the Open dialog and gives the chosen files' full paths, none
    // when the user cancels. The default runs the real modal dialog; tests
    // may replace it. Returns the previous function; an empty function
    // restores the default.
    using OpenDialogFunction = std::function<QStringList(QFileDialog *dialog)>;
    static OpenDialogFunction setOpenDialogFunction(OpenDialogFunction function);

    // Asks the user a yes-or-no question over the window; true for yes. The
    // default shows the real message box; tests may replace it. Returns the
    // previous function; an empty function restores the default.
    using QuestionFunction = std::function<bool(QWidget *window, const QString &text)>;
    static QuestionFunction setQuestionFunction(QuestionFunction function);

    // Shell
    void OpenHomePage();
    void BlinkTrayIcon();

    // File list and information panel
    void AddVideoFile();
    // Appends the batch entry of one file, kept by its exact path; false
    // when the media library is missing.
    bool AddRow(const QByteArray &file);
    // The panel shows a file just added, unless a batch runs: then it keeps
    // showing the file being converted.
    void ShowAddedFile(const QByteArray &file);
    // Queues files and folders to be added, as a drop does.
    void AddVideoFiles(const QList<QByteArray> &paths);
    void SelectVideoFile();
    void DeleteVideoFile();
    void ClearVideoFiles();
    void ShowMediaInfo(const QByteArray &fileName);
    // ShowMediaInfo at the next turn of the event loop, a failure clearing the panel.
    void ShowMediaInfoLater(const QByteArray &fileName);
    void ClearMediaInfo();

    // Selectors and output folder
    void FillSelectors();
    void FillSelector(TJvComboBox *selector);
    int ReadSavedIndex(int tag);
    QString LookupFragment(TJvComboBox *selector);
    void SaveSelection(TJvComboBox *selector);
    void LoadOutputDir();
    // The window's size kept from the last start; invalid when none is kept
    // or the settings file cannot tell.
    QSize KeptWindowSize();
    // Keeps the window's size (its unmaximised size) for the next start; a
    // settings file that cannot take it only costs the size.
    void KeepWindowSize();
    // The folder the Add dialog opens in: the one last added from, else the
    // user's videos folder.
    QString AddFolder();
    void KeepAddFolder(const QString &folder);
    // "Simultaneous conversions" and "Re-encode streams that already fit":
    // shown and handed to the batch, and saved when the user changes them.
    void LoadBatchSettings();
    void SaveSimultaneous();
    void SaveReencode();
    void ChooseOutputDir();
    void OpenOutputDir();

    // Conversion
    // What the entry starting now is converted with: the output folder and
    // the selectors' fragments, read from the settings file at this moment.
    EntryOptions OutputOptions();
    void StartConversion();
    void StopConversion();
    void StopOnClose();
    void DisableToolButtons();
    void EnableToolButtons();
    void PowerOffComputer();
    // The window, the tray icon and the sleep lock follow the batch's run.
    void BatchRunningChanged(bool running);
    // The batch went to its end: the status line, the notification, the power-off.
    void BatchFinished(int converted, int failed);
    // The run's progress in the status line, the tray icon's tip and the dock.
    void ShowBatchProgress();
    // A status text of the batch. During a run the run's progress holds the
    // status line: progress lines are dropped and the last other text is
    // kept for the run's end; otherwise the line shows the text.
    void ShowBatchStatus(const QString &text);
    // The sleep lock was refused: the status line says so now and again
    // when the batch ends.
    void SleepNotBlocked(const QString &why);

    // Preview
    void PlayVideoFile();

private:
    TFFmpegFrm &m_frm;
    TSqliteQuery *SqliteQuery;
};
