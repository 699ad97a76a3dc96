#include "conversion/ffmpegprogress.h"

#include "text/textparse.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace FFmpegProgress {

using TextParse::pairAt;
using TextParse::stripped;
using TextParse::strToInt;

bool isProgressLine(const QByteArray &line)
{
    return line.startsWith("frame=");
}

std::optional<int> progressSeconds(const QByteArray &line)
{
    const qsizetype found = line.indexOf("time=");
    // A line whose time has not fully arrived is one still being written:
    // its bytes came in more than one read. It is complete in a later event.
    const qsizetype p = found + 5;
    if (found < 0 || line.size() < p + 8)
        return std::nullopt;
    // ffmpeg writes these while it has no position yet, or before the first
    // timestamp of some inputs: not an error, just nothing to measure.
    if (line.mid(p, 3) == "N/A" || line.mid(p, 1) == "-")
        return std::nullopt;
    return strToInt(stripped(pairAt(line, p))) * 3600 + strToInt(stripped(pairAt(line, p + 3))) * 60
         + strToInt(stripped(pairAt(line, p + 6)));
}

int percentage(int encoded, int total)
{
    const long double quotient = static_cast<long double>(encoded) / static_cast<long double>(total);
    return static_cast<int>(quotient * 100.0L);
}

int runningPercentage(int encoded, int total)
{
    return std::clamp(percentage(encoded, total), 0, 99);
}

std::optional<int> inputSeconds(const QByteArray &line)
{
    static constexpr char Field[] = "Duration: ";
    const QByteArray text = line.trimmed();
    if (!text.startsWith(Field))
        return std::nullopt;
    const QByteArray clock = text.mid(int(sizeof Field) - 1, 8);
    // "HH:MM:SS", by position; anything else (N/A) is no figure.
    if (clock.size() != 8 || clock[2] != ':' || clock[5] != ':')
        return std::nullopt;
    try {
        return TextParse::clockTextSeconds(clock);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::optional<double> speed(const QByteArray &line)
{
    static constexpr char Field[] = "speed=";
    const qsizetype at = line.lastIndexOf(Field);
    if (at < 0)
        return std::nullopt;
    const QByteArray value = line.mid(at + qsizetype(sizeof Field) - 1).trimmed();
    // Only a whole figure: "2.41x", not "2.4" of a line still arriving.
    if (!value.endsWith('x'))
        return std::nullopt;
    bool ok = false;
    const double figure = value.chopped(1).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(figure) || figure < 0)
        return std::nullopt;
    return figure;
}

} // namespace FFmpegProgress
