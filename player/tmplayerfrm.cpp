#include "player/tmplayerfrm.h"

#include "player/tjvcolortrackbar.h"
#include "player/tmplayerfunc.h"
#include "process/handlererror.h"
#include "process/tjvcreateprocess.h"
#include "text/textparse.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <stdexcept>
#include <utility>

TMplayerFrm *MplayerFrm = nullptr;

namespace {

HandlerError::Channel &handlerErrors()
{
    static HandlerError::Channel channel("Mini Player: ");
    return channel;
}

// Runs a handler's body; an error that leaves it goes to the handler error
// display, so no exception crosses a Qt frame.
template <typename Body>
void runHandler(Body &&body) noexcept
{
    try {
        body();
    } catch (...) {
        handlerErrors().show(std::current_exception());
    }
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

TMplayerFrm::TMplayerFrm(QWidget *parent) : QDialog(parent)
{
    if (!MplayerFrm)
        MplayerFrm = this;

    setObjectName(QStringLiteral("MplayerFrm"));
    setWindowTitle(QStringLiteral("Mini Player"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(372, 310);
    QFont windowFont = QApplication::font();
    windowFont.setPointSize(8);
    setFont(windowFont);

    // The player draws into this panel's own X window.
    JvMplayer = new QWidget(this);
    JvMplayer->setObjectName(QStringLiteral("JvMplayer"));
    JvMplayer->setGeometry(0, 0, 372, 259);
    JvMplayer->setAttribute(Qt::WA_NativeWindow);
    QPalette panelPalette = JvMplayer->palette();
    panelPalette.setColor(QPalette::Window, QColor::fromRgb(PanelColour));
    JvMplayer->setPalette(panelPalette);
    JvMplayer->setAutoFillBackground(true);

    // The clock labels grow where the window's font is wider than the 46
    // pixels they were laid out for, keeping their edges beside the "/".
    const QString clock = QStringLiteral("00:00:00");
    const QSize clockSize(std::max(46, fontMetrics().horizontalAdvance(clock) + 2),
                          std::max(13, fontMetrics().height()));
    JvLabBgTime = label(this, "JvLabBgTime", clock, QRect(QPoint(181 - clockSize.width(), 263), clockSize));
    JvLabBgTime->setAlignment(Qt::AlignRight | Qt::AlignTop);
    JvLabLine = label(this, "JvLabLine", QStringLiteral("/"), QRect(186, 262, 6, clockSize.height()));
    JvLabEdTime = label(this, "JvLabEdTime", clock, QRect(QPoint(197, 263), clockSize));
    JvLabFile = label(this, "JvLabFile", QString(), QRect(258, 265, 92, 13));
    JvLabFile->hide();

    JvColorTrkBar = new TJvColorTrackBar(this);
    JvColorTrkBar->setObjectName(QStringLiteral("JvColorTrkBar"));
    JvColorTrkBar->setGeometry(5, 278, 362, 24);
    connect(JvColorTrkBar, &TJvColorTrackBar::positionPicked, this, &TMplayerFrm::JvColorTrkBarPositionPicked);

    // A window shortcut takes the key before the focused control sees it, so
    // Space never also presses a button or moves the track bar.
    auto *pauseKey = new QShortcut(QKeySequence(Qt::Key_Space), this);
    pauseKey->setAutoRepeat(false);
    connect(pauseKey, &QShortcut::activated, this, &TMplayerFrm::PauseKeyPress);

    JvCmdProc = new TJvCreateProcess(this);
    JvCmdProc->setObjectName(QStringLiteral("JvCmdProc"));
    JvCmdProc->StartupInfo.DefaultSize = false;
    JvCmdProc->StartupInfo.ShowWindow = TJvCPSShowWindow::swHide;
    JvCmdProc->StartupInfo.DefaultWindowState = false;
    JvCmdProc->ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData) | unsigned(TJvConsoleOption::coRedirect);
    JvCmdProc->OnRead = [this](TJvCreateProcess *sender, const QByteArray &s, bool startsOnNewLine) {
        JvCmdProcRead(sender, s, startsOnNewLine);
    };
    JvCmdProc->OnTerminate = [this](TJvCreateProcess *sender, std::uint32_t exitCode) {
        JvCmdProcTerminate(sender, exitCode);
    };

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMplayerFrm::~TMplayerFrm()
{
    // A window destroyed without being closed still ends its player first.
    if (JvCmdProc->isWatching())
        FormClose();
    if (MplayerFrm == this)
        MplayerFrm = nullptr;
}

TMplayerFrm::HandlerErrorDisplay TMplayerFrm::setHandlerErrorDisplay(HandlerErrorDisplay display)
{
    return handlerErrors().setDisplay(std::move(display));
}

void TMplayerFrm::FormShow()
{
    m_quitting = false;
    m_started = false;
    m_paused = false;
    m_lastElapsed = m_lastMarker = 0;
    runHandler([this] {
        // The exact path where the caller gave one: the text may hold replacement characters.
        const QVariant exact = JvLabFile->property("path");
        TMplayerFunc().PlayFile(exact.isValid() ? exact.toByteArray() : JvLabFile->text().toLocal8Bit());
    });
}

void TMplayerFrm::FormClose()
{
    m_quitting = true;
    runHandler([] { TMplayerFunc().StopPlayer(); });
}

void TMplayerFrm::JvCmdProcRead(TJvCreateProcess *, const QByteArray &S, bool)
{
    // Errors leave through the runner, which shows them.
    if (TMplayerFunc::IsPlaybackStart(S))
        m_started = true;
    if (TMplayerFunc::IsPauseNotice(S)) {
        // The lines just before the notice put the display back to the start:
        // show where the player stopped until it reports a position again.
        m_paused = true;
        JvLabBgTime->setText(TextParse::formatClock(m_lastElapsed));
        JvColorTrkBar->setPosition(m_lastMarker);
        return;
    }
    const bool status = TMplayerFunc::IsStatusLine(S);
    if (m_paused && !status)
        return;
    const int elapsed = TMplayerFunc::ParseElapsed(S);
    JvLabBgTime->setText(TextParse::formatClock(elapsed));
    JvColorTrkBar->setPosition(elapsed);
    if (status) {
        m_paused = false;
        m_lastElapsed = elapsed;
        m_lastMarker = JvColorTrkBar->position();
    }
}

void TMplayerFrm::JvCmdProcTerminate(TJvCreateProcess *Sender, std::uint32_t ExitCode)
{
    JvLabBgTime->setText(QStringLiteral("00:00:00"));
    m_paused = false;
    // A player that ended on its own says why the panel stays dark.
    if (m_quitting)
        return;
    const QString message = TMplayerFunc::EndMessage(ExitCode, Sender->TerminationSignal(), m_started);
    if (!message.isEmpty())
        throw std::runtime_error(message.toStdString());
}

void TMplayerFrm::PauseKeyPress()
{
    runHandler([] { TMplayerFunc().TogglePause(); });
}

void TMplayerFrm::JvColorTrkBarPositionPicked(int Position)
{
    // The player's next status line moves the labels and the marker there.
    runHandler([Position] { TMplayerFunc().SeekTo(Position); });
}

void TMplayerFrm::done(int result)
{
    // The wait for the player handles events: a second close meanwhile is
    // left to the first.
    if (std::exchange(m_closing, true))
        return;
    FormClose();
    m_closing = false;
    QDialog::done(result);
}

void TMplayerFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!std::exchange(m_shown, true))
        FormShow();
}
