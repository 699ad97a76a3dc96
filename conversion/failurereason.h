#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Why an encoder run failed, in words for the entry's tooltip: the lines of
// ffmpeg's output that say what went wrong, then how ffmpeg ended.
namespace FailureReason {

// Whether a line of ffmpeg's output reports a problem, as opposed to its
// banner, the stream listing, progress and the encoders' statistics.
bool isErrorLine(const QByteArray &line);

// How the encoder ended: "ffmpeg ended with exit code N", or "ffmpeg was
// killed by signal N" when signal is not 0.
QString ending(int exitCode, int signal);

// The error lines among `output` (repeats dropped; of many, the first few and
// the last), each on its own line, then the ending.
QString reason(const QList<QByteArray> &output, int exitCode, int signal);

} // namespace FailureReason
