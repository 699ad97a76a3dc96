#pragma once

#include <QByteArray>

#include <optional>

// The rules for reading ffmpeg's progress lines. Plain functions; they throw
// EConvertError for a text that should hold a decimal integer but does not.
namespace FFmpegProgress {

// Whether the line is a progress line: it starts with "frame=" exactly.
bool isProgressLine(const QByteArray &line);

// The encoded time of a progress line in whole seconds, from the first
// "time=" field (hours, minutes and seconds by position; hundredths ignored).
// Empty where ffmpeg reports no usable time: "time=N/A" or a negative time,
// and where the line does not yet hold a whole "HH:MM:SS" after "time=" (a
// line still being written).
std::optional<int> progressSeconds(const QByteArray &line);

// encoded / total * 100 in extended precision, truncated toward zero and not
// limited to 100. total must not be 0.
int percentage(int encoded, int total);

} // namespace FFmpegProgress
