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

// The percentage shown while the encoder runs: percentage(), kept within
// 0..99. A source whose length was misjudged (joined streams whose clock
// starts over) is encoded past its "end"; 100 is shown only once the encoder
// has ended well.
int runningPercentage(int encoded, int total);

// The input's playing time in whole seconds from ffmpeg's own report of it,
// the "  Duration: 00:00:33.05, start: ..." line below "Input #0"; empty for
// any other line and for "Duration: N/A".
std::optional<int> inputSeconds(const QByteArray &line);

// The encoder's speed as a multiple of real time from a progress line's
// "speed=" field ("speed=2.41x"); empty for "speed=N/A", a field still being
// written and a line without one.
std::optional<double> speed(const QByteArray &line);

} // namespace FFmpegProgress
