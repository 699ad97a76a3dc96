#pragma once

#include "batch/encoderrun.h"
#include "batch/preparedstreams.h"
#include "settings/selectors.h"
#include "widgets/timagelist.h"

#include <QWidget>

#include <array>
#include <cstdint>

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
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class BatchNotifier;
class SleepInhibitor;
class TJvComboBox;
class TJvCreateProcess;
class TJvTimer;
class TJvTrayIcon;

// The main window. Holds every control whose content outlives an event and
// wires each window event to one operation of a fresh TFFmpegFunc.
class TFFmpegFrm : public QWidget {
    Q_OBJECT
public:
    static constexpr const char *HomePage = "https://halvora.org/";

    explicit TFFmpegFrm(QWidget *parent = nullptr);
    ~TFFmpegFrm() override;

    // The picture of a list-view row: index into ImageList, kept with the item.
    void setItemImage(QTreeWidgetItem *item, int index) const;
    static int itemImage(const QTreeWidgetItem *item);
    // The exact path of a file list row, as bytes; the row's text shows it
    // decoded, with replacement characters where it is not valid text.
    static void setItemPath(QTreeWidgetItem *item, const QByteArray &path);
    static QByteArray itemPath(const QTreeWidgetItem *item);

    // Brings the window to the front, also from the notification area.
    void bringToFront();

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
    TJvComboBox *&JvCmbVdo1 = SelectorControls[0], *&JvCmbVdo2 = SelectorControls[1],
                *&JvCmbVdo3 = SelectorControls[2], *&JvCmbVdo4 = SelectorControls[3],
                *&JvCmbVdo5 = SelectorControls[4];
    TJvComboBox *&JvCmbAdo1 = SelectorControls[5], *&JvCmbAdo2 = SelectorControls[6],
                *&JvCmbAdo3 = SelectorControls[7], *&JvCmbAdo4 = SelectorControls[8];
    QCheckBox *JvCheckBox;

    QLabel *Image1;
    QTreeWidget *MsgListView;
    QLineEdit *JvEditCmdMsg;

    // The Add dialog, made on first use.
    QFileDialog *OpenDialog1();
    TJvCreateProcess *JvCreateProcess;
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

    // Convert was pressed while a stopped encoder was still ending: the entry
    // the batch cursor names starts when that encoder's end arrives.
    bool StartWhenEncoderEnds = false;
    // A batch runs: from Convert until its last entry has ended, or Stop.
    // The tool buttons show it; the controller asks this.
    bool BatchRunning = false;

    // The streams of the entry's source that its output leaves out, in words.
    // (Picture and exact path use UserRole + 1 and + 2.)
    static constexpr int StreamNoteRole = Qt::UserRole + 3;
    // The encoder that runs or is still ending after Stop.
    EncoderRun Encoder;
    // The next entry's streams, decided while the running entry converts.
    PreparedStreams NextStreams;

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
    void JvEditNumbChange();
    void JvCreateProcessRead(TJvCreateProcess *Sender, const QByteArray &S, bool StartsOnNewLine);
    void JvCreateProcessTerminate(TJvCreateProcess *Sender, std::uint32_t ExitCode);
    void JvTimerTimer();
    void JvTrayIconClick(Qt::MouseButton Button);
    void OpenHalvora1Click();
    void Quit1Click();
    void FormShow();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createToolBar();
    void createFileList();
    void createOutputBox();
    void createPages();
    void createInformationPanel();
    void createComponents();
    QToolButton *addToolButton(const char *name, const QString &caption, int image, const QString &tip);
    QAction *addSeparator(const char *name);
    void addSelector(int position);
    void selectorChange(TJvComboBox *selector);
    void fitText();
    static int neededWidth(const QComboBox *selector);

    bool m_shown = false;
    QFileDialog *m_openDialog = nullptr;
};

// The process-wide main window, set while one exists.
extern TFFmpegFrm *FFmpegFrm;
