#pragma once

#include <QByteArray>
#include <QString>

// Reading numbers and clock texts from the texts the external programs and
// the media library write, and the clock texts shown to the user. Plain
// functions; the readers throw EConvertError for a text that should hold a
// decimal integer but does not.
namespace TextParse {

// The text without the blanks and control characters at either end.
QByteArray stripped(const QByteArray &text);

// A decimal integer with an optional sign, nothing else (no blanks).
int strToInt(const QByteArray &text);

// The two characters at a position counted from 0; missing ones are left out.
QByteArray pairAt(const QByteArray &text, qsizetype at);

// Seconds of a clock text "HH:MM:SS", read by character position without
// trimming (characters 1-2, 4-5, 7-8).
int clockTextSeconds(const QByteArray &clock);

// "0H:MM:SS" for a number of seconds; a negative number counts as 0.
QString formatClock(int seconds);

// The first eight characters of a "Duration/String3" text ("00:01:02.345"
// gives "00:01:02"), or `fallback` when the text is empty.
QByteArray clockText(const QByteArray &duration, const QByteArray &fallback);

} // namespace TextParse
