#include "mainwindow/tffmpegfunc.h"

#include "desktop/tjvtrayicon.h"
#include "mainwindow/tffmpegfrm.h"
#include "settings/tsqldatmod.h"

#include <QDesktopServices>
#include <QUrl>

TFFmpegFunc::TFFmpegFunc(TFFmpegFrm &frm) : m_frm(frm), SqliteQuery(SqlDatMod ? &SqlDatMod->SqliteQuery : nullptr) {}

void TFFmpegFunc::OpenHomePage()
{
    // A failure to open the page is not reported.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(TFFmpegFrm::HomePage)));
}

void TFFmpegFunc::BlinkTrayIcon()
{
    TJvTrayIcon *tray = m_frm.JvTrayIcon;
    tray->setIconIndex(tray->IconIndex() == Picture::Waiting ? Picture::TrayBlink : Picture::Waiting);
}
