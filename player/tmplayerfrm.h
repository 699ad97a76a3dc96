#pragma once

#include "process/handlererror.h"

#include <QDialog>

#include <cstdint>
#include <exception>
#include <functional>

class QLabel;
class TJvColorTrackBar;
class TJvCreateProcess;

// The Mini Player: a modal window in which mplayer draws the file named by
// JvLabFile into the panel JvMplayer, started by the window's own runner
// JvCmdProc when the window is first shown. The elapsed time, the total time
// and the track bar follow the player's status lines; a paused player keeps
// them where it stopped. Space pauses and resumes the player wherever the
// focus is in the window, and letting go of the track bar's marker (after a
// click or a drag) sends the player there. Closing the window
// asks a running player to quit and waits a few seconds for its end, so that
// no player outlives the panel it draws into.
//
// One window at a time; MplayerFrm refers to it while it exists. GUI thread
// only. Errors that leave the show and close handlers go to the handler
// error display; errors of the runner's events go to the runner's.
class TMplayerFrm : public QDialog {
    Q_OBJECT
public:
    using HandlerErrorDisplay = HandlerError::Display;

    // The background colour of the panel, also given to the player as its colour key.
    static constexpr unsigned PanelColour = 0x101010;

    explicit TMplayerFrm(QWidget *parent = nullptr);
    ~TMplayerFrm() override;

    // Where errors raised by this window's handlers go; an empty function
    // restores the default (a warning on the log). Returns the previous one.
    static HandlerErrorDisplay setHandlerErrorDisplay(HandlerErrorDisplay display);

    QWidget *JvMplayer;
    QLabel *JvLabBgTime;
    QLabel *JvLabLine;
    QLabel *JvLabEdTime;
    QLabel *JvLabFile;
    TJvColorTrackBar *JvColorTrkBar;
    TJvCreateProcess *JvCmdProc;

    void FormShow();
    void FormClose();
    void JvCmdProcRead(TJvCreateProcess *Sender, const QByteArray &S, bool StartsOnNewLine);
    void JvCmdProcTerminate(TJvCreateProcess *Sender, std::uint32_t ExitCode);
    void PauseKeyPress();
    void JvColorTrkBarPositionPicked(int Position);

    // Ends every way of closing the window (close box, Escape, close()).
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_shown = false;
    bool m_closing = false;
    bool m_quitting = false; // the player was asked to quit: its end needs no word
    bool m_started = false;  // the player began to play the file
    bool m_paused = false;   // the player said it paused and has shown no position since
    int m_lastElapsed = 0;   // what the last status line showed, label and marker
    int m_lastMarker = 0;
};

extern TMplayerFrm *MplayerFrm;
