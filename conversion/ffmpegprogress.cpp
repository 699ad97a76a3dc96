#include "conversion/ffmpegprogress.h"

#include "text/textparse.h"

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

} // namespace FFmpegProgress
