#include "conversion/failurereason.h"

#include "conversion/ffmpegprogress.h"

#include <QStringList>

namespace FailureReason {
namespace {

// Error lines kept at most.
constexpr int MaxLines = 4;

// Lines ffmpeg prints in every run, failed or not.
constexpr const char *InformationStarts[] = {
    "ffmpeg version", "Input #", "Output #", "Stream mapping:", "Press [q]", "[q] command received",
    "size=", "video:", "Guessed Channel Layout", "Exiting normally", "Last message repeated",
};

// Words by which a library's own message ("[name @ 0x...] text") reports a
// problem; its other messages are settings and statistics.
constexpr const char *ProblemWords[] = {
    "error", "fail", "invalid", "unable", "could not", "cannot", "can't", "not ", "no such", "no space",
    "denied", "unknown", "unsupported", "unrecognized", "incorrect", "too ", "missing", "corrupt",
};

bool containsProblemWord(const QByteArray &line)
{
    const QByteArray lower = line.toLower();
    for (const char *word : ProblemWords) {
        if (lower.contains(word))
            return true;
    }
    return false;
}

} // namespace

bool isErrorLine(const QByteArray &rawLine)
{
    const QByteArray line = rawLine.trimmed();
    // Indented lines are the banner's details, metadata and stream listings.
    if (line.isEmpty() || rawLine.startsWith(' ') || rawLine.startsWith('\t') || FFmpegProgress::isProgressLine(line))
        return false;
    for (const char *start : InformationStarts) {
        if (line.startsWith(start))
            return false;
    }
    if (line.startsWith('[') && line.contains(" @ "))
        return containsProblemWord(line);
    return true;
}

QString ending(int exitCode, int signal)
{
    return signal != 0 ? QStringLiteral("ffmpeg was killed by signal %1").arg(signal)
                       : QStringLiteral("ffmpeg ended with exit code %1").arg(exitCode);
}

QString reason(const QList<QByteArray> &output, int exitCode, int signal)
{
    QStringList lines;
    for (const QByteArray &line : output) {
        if (!isErrorLine(line))
            continue;
        const QString text = QString::fromLocal8Bit(line.trimmed());
        if (!lines.contains(text))
            lines << text;
    }
    // The first lines name the cause, the last one what ffmpeg gave up on.
    if (lines.size() > MaxLines)
        lines = lines.mid(0, MaxLines - 1) << lines.last();
    lines << ending(exitCode, signal);
    return lines.join(QLatin1Char('\n'));
}

} // namespace FailureReason
