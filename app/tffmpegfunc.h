#pragma once

#include <QByteArray>
#include <QPair>
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
    QByteArray BuildCommandLine();
    QByteArray OutputFilePath(const QByteArray &sourcePath);
    int CurrentItemSeconds();
    // Empty for a line without a usable time ("time=N/A", a negative time).
    std::optional<int> ProgressSeconds(const QByteArray &line);
    void HandleProgressLine(const QByteArray &line);
    void StartConversion();
    void StartCurrentItem();
    void StopConversion();
    void StopOnClose();
    void DisableToolButtons();
    void EnableToolButtons();
    void PowerOffComputer();
    // The end of the current entry, whose encoder ended with exitCode: marks
    // it finished (or failed) and starts the next entry or ends the batch.
    void FinishCurrentItem(std::uint32_t exitCode);

    // Preview
    void PlayVideoFile();

private:
    int BatchCursor();
    QTreeWidgetItem *CurrentItem();
    void WriteBatchCursor(int k);
    void MarkCurrentItem(int image, const QString &why);
    void AdvanceBatch();
    // Stop and closing alike: with a batch running, free the buttons and
    // write "q" to the encoder. False when no batch runs.
    bool QuitEncoder();

    TSqliteQuery *SqliteQuery;
    std::array<TJvComboBox *, 6> JvCmbVdo{}; // indexed 1 to 5
    std::array<TJvComboBox *, 5> JvCmbAdo{}; // indexed 1 to 4
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
    SleepInhibitor *Inhibitor;
    BatchNotifier *Notifier;

    // The last output path worked out in this event, for its source path.
    QPair<QByteArray, QByteArray> m_outputPath;
};
