#pragma once

#include <QByteArray>
#include <QList>

// The encoder's command line, as one text for the process runner.
namespace FFmpegCommand {

// The encoder, "-y -i" and the source, the stream arguments, each selector
// fragment after one blank, and the output. Paths and stream arguments are
// quoted where they need it, so each reaches the encoder whole; fragments
// hold several options each and go in unchanged.
QByteArray commandLine(const QByteArray &encoder, const QByteArray &source, const QList<QByteArray> &streamArguments,
                       const QList<QByteArray> &fragments, const QByteArray &output);

// The probe program that belongs to the encoder: "ffprobe" beside it, or
// beside the program it links to, when one is there; empty otherwise.
QByteArray probeProgram(const QByteArray &encoder);

} // namespace FFmpegCommand
