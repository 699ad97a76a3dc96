#include "ffmpegprogress.h"

#include "econverterror.h"

#include <limits>

namespace FFmpegProgress {
namespace {

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// The two characters at a position counted from 0; missing ones are left out.
QByteArray pair(const QByteArray &text, qsizetype at)
{
    return at < text.size() ? text.mid(at, 2) : QByteArray();
}

} // namespace

QByteArray stripped(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

int strToInt(const QByteArray &text)
{
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    if (i == text.size())
        throw EConvertError(text.toStdString());
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            throw EConvertError(text.toStdString());
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int>::max() + (negative ? 1LL : 0LL))
            throw EConvertError(text.toStdString());
    }
    return int(negative ? -value : value);
}

int clockTextSeconds(const QByteArray &clock)
{
    return strToInt(pair(clock, 0)) * 3600 + strToInt(pair(clock, 3)) * 60 + strToInt(pair(clock, 6));
}

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
    return strToInt(stripped(pair(line, p))) * 3600 + strToInt(stripped(pair(line, p + 3))) * 60
         + strToInt(stripped(pair(line, p + 6)));
}

int percentage(int encoded, int total)
{
    const long double quotient = static_cast<long double>(encoded) / static_cast<long double>(total);
    return static_cast<int>(quotient * 100.0L);
}

} // namespace FFmpegProgress
