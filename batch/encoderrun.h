#pragma once

#include <QByteArray>
#include <QList>

#include <memory>

class TJvCreateProcess;

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
    bool stopped = false;
};
