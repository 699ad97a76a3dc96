#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <memory>

class QTimer;
class TJvCreateProcess;

// How far Stop has gone with an encoder.
enum class StopStep {
    Running,   // not stopped
    Asked,     // asked to quit ("q")
    Terminated, // sent SIGTERM
    Killed,    // sent SIGKILL
};

// One encoder the batch runs, from its start to its end, also after Stop:
// its output lines and end belong to its entry only, whatever the list does
// meanwhile.
struct EncoderRun {
    quint64 entry = 0;           // the entry's id; gone once the entry is removed
    TJvCreateProcess *process = nullptr; // owned by the batch, freed after its end
    QByteArray temporary;        // the file ffmpeg writes
    QByteArray folder;
    QByteArray baseName;
    QList<QByteArray> output;    // ffmpeg's lines other than progress lines
    bool lastLineKept = false;   // the last line reported went to `output`
    int sourceSeconds = 0;       // the source's playing time as ffmpeg reports it; 0 until then
    // The streams the output is to have, as the stream map decided them; -1
    // when the source's streams were not known.
    int promisedVideo = -1;
    int promisedAudio = -1;
    // After Stop: how far it went, when the encoder last showed it still
    // works (a line of output, or its file grew), and the file's size then.
    StopStep stopStep = StopStep::Running;
    QElapsedTimer lastSignOfLife;
    qint64 lastSize = -1;
    QElapsedTimer stepStarted;
    QTimer *stopTimer = nullptr; // owned by the process

    bool stopped() const { return stopStep != StopStep::Running; }
};
