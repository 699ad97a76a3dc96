#pragma once

#include "settings/selectors.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <functional>

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class BatchNotifier;
class SleepInhibitor;
class TJvComboBox;
class TJvCreateProcess;
class TJvTimer;
class TJvTrayIcon;
class TSqliteQuery;
struct EncoderRun;
class PreparedStreams;

// The per-event controller of the main window. Each event handler creates
// one, calls one operation and discards it. It refers to the controls of the
// process-wide main window and to the shared query, owns none of them and
// keeps nothing between events. Operations let errors propagate to the
// handler, which shows them.
class TFFmpegFunc {
public:
    TFFmpegFunc();

    // Shows the Open dialog and gives the chosen file's full path, or an
    // empty text when the user cancels. The default runs the real modal
    // dialog; tests may replace it. Returns the previous function; an empty
    // function restores the default.
    using OpenDialogFunction = std::function<QString(QFileDialog *dialog)>;
    static OpenDialogFunction setOpenDialogFunction(OpenDialogFunction function);

    // Shell
    void OpenHomePage();
    void BlinkTrayIcon();

    // File list and information panel
    void AddVideoFile();
    // Appends the row of one file, kept by its exact path; false when the
    // media library is missing.
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
    // ShowMediaInfo at the next turn of the event loop, a failure clearing
    // the panel; with `prepareNext`, then the next entry's streams too.
    void ShowMediaInfoLater(const QByteArray &fileName, bool prepareNext = false);
    void ClearMediaInfo();

    // Selectors and output folder
    void FillSelectors();
    void FillSelector(TJvComboBox *selector);
    int ReadSavedIndex(int tag);
    QString LookupFragment(TJvComboBox *selector);
    void SaveSelection(TJvComboBox *selector);
    void LoadOutputDir();
    void ChooseOutputDir();
    void OpenOutputDir();

    // Conversion
    // The encoder's command line for the current entry, writing to `output`.
    // bin/ffmpeg in the program folder.
    QByteArray EncoderPath();
    QByteArray BuildCommandLine(const QByteArray &output);
    int CurrentItemSeconds();
    // Empty for a line without a usable time ("time=N/A", a negative time).
    std::optional<int> ProgressSeconds(const QByteArray &line);
    void HandleProgressLine(const QByteArray &line);
    void StartConversion();
    // Starts the entry the batch cursor names; an entry that cannot start is
    // marked failed and the batch goes on with the next.
    void StartCurrentItem();
    void StopConversion();
    void StopOnClose();
    void DisableToolButtons();
    void EnableToolButtons();
    void PowerOffComputer();
    // The encoder ended with exitCode (or by signal, when not 0): its output
    // gets its final name (or is removed when the encoder failed), its entry
    // its picture and reason; a running batch goes on.
    void EncoderEnded(std::uint32_t exitCode, int signal);
    // Starts the next entry that can start, or ends the batch.
    void AdvanceBatch();

    // Preview
    void PlayVideoFile();

private:
    int BatchCursor();
    QTreeWidgetItem *CurrentItem();
    void WriteBatchCursor(int k);
    // Starts the current entry's encoder; false when it could not start (the
    // entry is then marked failed with the reason).
    bool BeginCurrentItem();
    void StartEncoder(QTreeWidgetItem *item);
    void MarkItem(QTreeWidgetItem *item, int image, const QString &why);
    void EndBatch();
    // Stop and closing alike: with a batch running, free the buttons and
    // write "q" to the encoder. False when no batch runs.
    bool QuitEncoder();

    TSqliteQuery *SqliteQuery;
    // The output-parameter selectors, in the order of Selectors::All.
    std::array<TJvComboBox *, Selectors::Count> SelectorControls{};
    QTreeWidget *FileListView;
    QTreeWidget *MsgListView;
    QToolButton *AddFileBtn;
    QToolButton *DelFileBtn;
    QToolButton *ClearFileBtn;
    QToolButton *ConvFileBtn;
    QToolButton *StopConvBtn;
    QToolButton *PlayBtn;
    QLineEdit *JvEditDir;
    QLineEdit *JvEditNumb;
    QLineEdit *JvEditCmdMsg;
    QCheckBox *JvCheckBox;
    TJvCreateProcess *JvCreateProcess;
    TJvTrayIcon *JvTrayIcon;
    TJvTimer *JvTimer;
    bool *StartWhenEncoderEnds;
    bool *BatchRunning;
    SleepInhibitor *Inhibitor;
    BatchNotifier *Notifier;
    EncoderRun *Encoder;
    PreparedStreams *NextStreams;
};
