#pragma once

#include <QByteArray>
#include <QList>
#include <QPersistentModelIndex>

// The encoder run in progress, kept by the main window from its start to the
// end of its encoder, also after Stop: its output lines and end belong to
// this run's entry only, whatever the list or the batch cursor do meanwhile.
struct EncoderRun {
    QPersistentModelIndex entry; // invalid once the entry is deleted
    QByteArray temporary;        // the file ffmpeg writes; empty when none runs
    QByteArray folder;
    QByteArray baseName;
    QList<QByteArray> output; // ffmpeg's lines other than progress lines
    bool stopped = false;
};
