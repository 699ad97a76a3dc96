#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstdint>

class QLabel;
class TJvColorTrackBar;
class TJvCreateProcess;

// The per-event controller of the Mini Player. Each handler creates one,
// calls one operation and discards it. It refers to the controls of the
// window MplayerFrm (which must exist), owns none of them and keeps nothing
// between events. Operations let errors propagate to the handler.
class TMplayerFunc {
public:
    TMplayerFunc();

    // Starts the player on the file: the marker to 0, the total time shown,
    // then mplayer run through PlayerRunner, drawing into the panel.
    void PlayFile(const QByteArray &path);
    // The player's command line for the file.
    QByteArray BuildCommandLine(const QByteArray &path) const;
    // The total time label and the track bar maximum from the file's playing
    // time; both stay as they are when the media library is missing.
    void ShowDuration(const QByteArray &path);
    // Asks a running player to quit and waits, at most QuitWaitMs, for the
    // runner to report its end. Other events are handled meanwhile, but no
    // user input.
    void StopPlayer();
    // Asks a running player to pause, or to play on when it is paused.
    void TogglePause();
    // Asks a running player to go to the position, in whole seconds from the
    // start; a paused player stays paused.
    void SeekTo(int seconds);

    // The whole seconds of a status line of the player ("A:" with sound,
    // "V:" without, then the position right-aligned in six characters); 0
    // for any other line. Throws EConvertError when the four characters
    // after the colon, trimmed, are not a whole number.
    static int ParseElapsed(const QByteArray &line);
    // Whether the line is a status line of the player, carrying its position.
    static bool IsStatusLine(const QByteArray &line);
    // Whether the line says that the player has paused.
    static bool IsPauseNotice(const QByteArray &line);

    // What to tell the user when the player ended on its own: empty after a
    // file that played to its end, else why nothing (more) is seen.
    // `started` tells whether the player began to play the file.
    static QString EndMessage(std::uint32_t exitCode, int signal, bool started);
    // Whether a line of the player's output says that the file began to play.
    static bool IsPlaybackStart(const QByteArray &line);

    static constexpr int QuitWaitMs = 5000;

    std::uint32_t PanelHandle;
    QSize PanelSize; // in device pixels
    QByteArray PlayerPath;
    QLabel *ElapsedLabel;
    QLabel *TotalLabel;
    TJvColorTrackBar *PositionBar;
    TJvCreateProcess *PlayerRunner;
};
