#include "mainwindow/tffmpegfunc.h"

#include "mainwindow/tffmpegfrm.h"
#include "widgets/tjvcombobox.h"
#include "desktop/tjvtrayicon.h"
#include "settings/tsqldatmod.h"

#include <QDesktopServices>
#include <QUrl>

#include <stdexcept>

TFFmpegFunc::TFFmpegFunc()
{
    if (!FFmpegFrm)
        throw std::logic_error("The main window does not exist");
    TFFmpegFrm &frm = *FFmpegFrm;

    SqliteQuery = SqlDatMod ? &SqlDatMod->SqliteQuery : nullptr;
    SelectorControls = frm.SelectorControls;
    FileListView = frm.FileListView;
    MsgListView = frm.MsgListView;
    AddFileBtn = frm.AddFileBtn;
    DelFileBtn = frm.DelFileBtn;
    ClearFileBtn = frm.ClearFileBtn;
    ConvFileBtn = frm.ConvFileBtn;
    StopConvBtn = frm.StopConvBtn;
    PlayBtn = frm.PlayBtn;
    JvEditDir = frm.JvEditDir;
    JvEditNumb = frm.JvEditNumb;
    JvEditCmdMsg = frm.JvEditCmdMsg;
    JvCheckBox = frm.JvCheckBox;
    JvCreateProcess = frm.JvCreateProcess;
    JvTrayIcon = frm.JvTrayIcon;
    JvTimer = frm.JvTimer;
    StartWhenEncoderEnds = &frm.StartWhenEncoderEnds;
    BatchRunning = &frm.BatchRunning;
    Inhibitor = frm.Inhibitor;
    Notifier = frm.Notifier;
    Encoder = &frm.Encoder;
    NextStreams = &frm.NextStreams;
}

void TFFmpegFunc::OpenHomePage()
{
    // A failure to open the page is not reported.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(TFFmpegFrm::HomePage)));
}

void TFFmpegFunc::BlinkTrayIcon()
{
    JvTrayIcon->setIconIndex(JvTrayIcon->IconIndex() == Picture::Waiting ? Picture::TrayBlink : Picture::Waiting);
}
