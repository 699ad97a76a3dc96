#include "player/tmplayerfunc.h"

#include "media/mediaquery.h"
#include "player/tjvcolortrackbar.h"
#include "player/tmplayerfrm.h"
#include "process/commandline.h"
#include "process/eoserror.h"
#include "process/programpath.h"
#include "process/tjvcreateprocess.h"
#include "text/textparse.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>

#include <cstring>
#include <optional>
#include <stdexcept>

TMplayerFunc::TMplayerFunc()
{
    if (!MplayerFrm)
        throw std::logic_error("The Mini Player window does not exist");
    TMplayerFrm &frm = *MplayerFrm;
    // X11 window ids are 32 bits wide.
    PanelHandle = static_cast<std::uint32_t>(frm.JvMplayer->winId());
    PanelSize = frm.JvMplayer->size() * frm.JvMplayer->devicePixelRatio();
    PlayerPath = programInBin("mplayer");
    ElapsedLabel = frm.JvLabBgTime;
    TotalLabel = frm.JvLabEdTime;
    PositionBar = frm.JvColorTrkBar;
    PlayerRunner = frm.JvCmdProc;
}

QByteArray TMplayerFunc::BuildCommandLine(const QByteArray &path) const
{
    // Paths are quoted only where they need it, so each reaches mplayer whole.
    // The picture is scaled to fit the panel, its aspect ratio kept, before it
    // reaches the video output: the plain X11 output cannot scale by itself.
    const QByteArray fit = "dsize=" + QByteArray::number(PanelSize.width()) + ':'
                         + QByteArray::number(PanelSize.height()) + ":0,scale=0:0";
    return quoteArgument(PlayerPath) + "  -slave -identify -wid " + QByteArray::number(PanelHandle)
         + " -colorkey 0x" + QByteArray::number(TMplayerFrm::PanelColour, 16).rightJustified(6, '0') + " -framedrop -autosync 100 -vf " + fit + ",screenshot " + quoteArgument(path);
}

void TMplayerFunc::PlayFile(const QByteArray &path)
{
    const QByteArray commandLine = BuildCommandLine(path);
    PositionBar->setPosition(0);
    ShowDuration(path);
    PlayerRunner->CommandLine = commandLine;
    try {
        PlayerRunner->Run();
    } catch (const EOSError &error) {
        throw std::runtime_error(QStringLiteral("The file cannot be played: mplayer (%1) could not start: %2")
                                     .arg(QFile::decodeName(PlayerPath), QString::fromLocal8Bit(std::strerror(error.errorCode())))
                                     .toStdString());
    }
}

QString TMplayerFunc::EndMessage(std::uint32_t exitCode, int signal, bool started)
{
    if (signal != 0)
        return QStringLiteral("mplayer was ended by signal %1: playback stopped.").arg(signal);
    if (exitCode != 0)
        return QStringLiteral("mplayer ended with exit code %1: playback stopped.").arg(exitCode);
    if (!started)
        return QStringLiteral("mplayer could not play this file.");
    return QString();
}

bool TMplayerFunc::IsPlaybackStart(const QByteArray &line)
{
    return line.startsWith("Starting playback...");
}

void TMplayerFunc::ShowDuration(const QByteArray &path)
{
    const std::optional<QByteArray> total = MediaQuery::duration(path);
    if (!total)
        return;
    TotalLabel->setText(QString::fromLatin1(*total));
    // A file that tells no playing time leaves the track bar's range as it is.
    if (!total->isEmpty())
        PositionBar->setMaximum(TextParse::clockTextSeconds(*total));
}

void TMplayerFunc::StopPlayer()
{
    // mplayer reads commands from its input in slave mode.
    if (!PlayerRunner->Write("quit\n"))
        return;
    PlayerRunner->waitUntilEnded(QuitWaitMs, QEventLoop::ExcludeUserInputEvents);
}

void TMplayerFunc::TogglePause()
{
    PlayerRunner->Write("pause\n");
}

void TMplayerFunc::SeekTo(int seconds)
{
    // "2" makes the position absolute; without the prefix a paused player
    // would play on.
    PlayerRunner->Write("pausing_keep seek " + QByteArray::number(seconds) + " 2\n");
}

bool TMplayerFunc::IsStatusLine(const QByteArray &line)
{
    // Without sound mplayer writes "V:" where it writes "A:" with sound, the
    // position in the same place.
    return line.startsWith("A:") || line.startsWith("V:");
}

bool TMplayerFunc::IsPauseNotice(const QByteArray &line)
{
    // With -identify mplayer says so in this form whatever its language.
    return line == "ID_PAUSED";
}

int TMplayerFunc::ParseElapsed(const QByteArray &line)
{
    if (!IsStatusLine(line))
        return 0;
    return TextParse::strToInt(TextParse::stripped(line.mid(2, 4)));
}
