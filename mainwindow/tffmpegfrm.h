#pragma once

#include "batch/batchprogress.h"
#include "batch/batchrun.h"
#include "desktop/launcherentry.h"
#include "settings/selectors.h"
#include "widgets/timagelist.h"

#include <QKeySequence>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <array>

class BatchNotifier;
class BatchRun;
class IntakeQueue;
class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class SleepInhibitor;
class TJvComboBox;
class TJvTimer;
class TJvTrayIcon;
struct BatchEntry;

// The file list's columns, left to right.
enum FileColumn : int { ColumnFile, ColumnType, ColumnSize, ColumnTime, ColumnPercent, FileColumnCount };

// The main window. Shows the batch (its rows follow the batch's entries),
// the selectors, the output folder and the information panel, and wires each
// window event to one operation of a fresh TFFmpegFunc. Its controls are its
// own: the controller reaches them as a friend, tests by their object names.
class TFFmpegFrm : public QWidget {
    Q_OBJECT
public:
    static constexpr const char *HomePage = "https://halvora.org/";

    explicit TFFmpegFrm(QWidget *parent = nullptr);
    ~TFFmpegFrm() override;

    // The batch the list shows.
    BatchRun &batch() const { return *m_batch; }
    // Adds files and folders in slices, as a drop does.
    IntakeQueue &intake() const { return *Intake; }
    const TImageList &imageList() const { return ImageList; }
    // The Add dialog, made on first use.
    QFileDialog *OpenDialog1();

    // The picture of a list-view row: index into the image list, kept with the item.
    static int itemImage(const QTreeWidgetItem *item);
    // The exact path of a file list row, as bytes; the row's text shows it
    // decoded, with replacement characters where it is not valid text.
    static QByteArray itemPath(const QTreeWidgetItem *item);

    // Brings the window to the front, also from the notification area;
    // nothing once the window is closing.
    void bringToFront();
    // Closing has begun: the window waits, hidden, for a stopped encoder.
    bool isClosing() const { return m_closing; }

    // How long closing waits for a stopped encoder to finish its file: it
    // has ended by then, of itself or by force (see BatchRun::stop).
    static constexpr int CloseWaitMs = BatchRun::StopLimitMs + 5000;

    // The size the window is drawn for, and opens with unless the user
    // resized it last time or the screen is smaller.
    static constexpr QSize DefaultSize{852, 525};

    // How often a run's progress is shown afresh.
    static constexpr int ProgressMs = 500;

public slots:
    void AddFileBtnClick();
    void DelFileBtnClick();
    void ClearFileBtnClick();
    void ConvFileBtnClick();
    void StopConvBtnClick();
    void PlayBtnClick();
    void HttpBtnClick();
    void QuitBtnClick();
    void FileListViewClick();
    void JvBtnSltDirClick();
    void JvBtnOpenDirClick();
    void JvTimerTimer();
    void JvTrayIconClick(Qt::MouseButton Button);
    void OpenHalvora1Click();
    void Quit1Click();
    void FormShow();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class TFFmpegFunc;

    void createToolBar();
    void createFileList();
    void createOutputBox();
    void createPages();
    void createInformationPanel();
    void createComponents();
    void followBatch();
    // A tool bar button; its shortcut, if any, is named in its tooltip.
    QToolButton *addToolButton(const char *name, const QString &caption, int image, const QString &tip,
                               const QKeySequence &shortcut = QKeySequence());
    QAction *addSeparator(const char *name);
    void addSelector(int position);
    void selectorChange(TJvComboBox *selector);
    void fitText();
    // Places the controls for a window of `size` from the layout at the
    // default size: the list, its first column and the panel's values take
    // what the window gains; the banner and the list give up what it loses.
    void placeControls(QSize size);
    // The smallest size at which every control keeps its text and the panel its rows.
    QSize smallestSize() const;
    // Opens at the size kept from last time, within the screen, centred.
    void restoreSize(QSize kept);
    // The output folder and the status line are drawn as texts to read.
    void showReadOnly();
    static int neededWidth(const QComboBox *selector);
    // The row of a batch entry shows it: picture, texts and tip.
    void showEntry(QTreeWidgetItem *item, const BatchEntry &entry) const;
    void setItemImage(QTreeWidgetItem *item, int index) const;
    // Ends the program once a stopped encoder has ended or the wait is over.
    void finishClosing();
    TImageList ImageList;

    QFrame *JvCoolBar;
    QToolBar *JvToolBar;
    QToolButton *AddFileBtn;
    QToolButton *DelFileBtn;
    QToolButton *ClearFileBtn;
    QAction *ToolButton4;
    QToolButton *ConvFileBtn;
    QToolButton *StopConvBtn;
    QAction *ToolButton3;
    QToolButton *PlayBtn;
    QAction *ToolButton6;
    QToolButton *HttpBtn;
    QAction *ToolButton7;
    QToolButton *QuitBtn;

    QTreeWidget *FileListView;
    QGroupBox *JvGroupBox;
    QLineEdit *JvEditDir;
    // Shows the batch's current entry (hidden); nothing reacts to its text.
    QLineEdit *JvEditNumb;
    QToolButton *JvBtnSltDir;
    QToolButton *JvBtnOpenDir;

    QTabWidget *JvPageControl;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QWidget *TabSheet3;
    // The output-parameter selectors and their captions, in the order of
    // Selectors::All.
    std::array<TJvComboBox *, Selectors::Count> SelectorControls{};
    std::array<QLabel *, Selectors::Count> SelectorCaptions{};
    QCheckBox *JvCheckBox;
    QLabel *JvLabParallel;
    QComboBox *JvCmbParallel;
    QCheckBox *JvCheckReencode;

    QLabel *Image1;
    QTreeWidget *MsgListView;
    QLineEdit *JvEditCmdMsg;

    QMenu *JvPopupMenu;
    QAction *OpenHalvora1;
    QAction *N1;
    QAction *Quit1;
    TJvTrayIcon *JvTrayIcon;
    TJvTimer *JvTimer;
    IntakeQueue *Intake;
    // Held from a batch's start to its end, however it ends.
    SleepInhibitor *Inhibitor;
    // Tells the desktop when a batch has run to its end.
    BatchNotifier *Notifier;
    BatchRun *m_batch;

    // A run's progress, shown in the status line, the tray icon's tip and
    // the dock every ProgressMs while the run is on.
    BatchProgress m_progress;
    QTimer *ProgressTimer;
    LauncherEntry m_launcher;
    // The last thing the batch said during the run that is not a progress
    // line (an entry's outcome, Stopping): the status line shows it when the
    // run ends.
    QString m_runOutcome;
    // The run's progress as the status line last showed it.
    QString m_progressShown;

    // The controls' places at the default size, once fitText() has settled them.
    struct Layout {
        QRect coolBar, toolBar, list, outputBox, dirEdit, chooseButton, openButton, pages, banner, panel, status;
        int fileColumn = 0;
        int captionColumn = 0;
    };
    Layout m_layout;
    bool m_laidOut = false;

    // That the sleep lock was refused, said again when the batch ends.
    QString m_sleepNote;

    bool m_shown = false;
    bool m_closing = false;
    bool m_closed = false;
    QFileDialog *m_openDialog = nullptr;
};

// The process-wide main window, set while one exists.
extern TFFmpegFrm *FFmpegFrm;
