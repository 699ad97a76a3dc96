#include "batch/batchprogress.h"

#include "batch/batchrun.h"
#include "text/textparse.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

namespace {

// The playing time in seconds; empty when unknown. "00:00:00" stands for a
// clip shorter than a second.
std::optional<double> playingSeconds(const QByteArray &clock)
{
    if (clock.isEmpty())
        return std::nullopt;
    try {
        const int seconds = TextParse::clockTextSeconds(clock);
        if (seconds < 0)
            return std::nullopt;
        return seconds == 0 ? 0.5 : double(seconds);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

} // namespace

BatchProgress::BatchProgress(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        QElapsedTimer timer;
        timer.start();
        m_clock = [timer] { return timer.elapsed(); };
    }
}

void BatchProgress::begin(const QList<BatchEntry> &entries)
{
    m_began = m_clock();
    m_converts.clear();
    for (const BatchEntry &entry : entries)
        m_converts.push_back(entry.state != EntryState::Done);
}

void BatchProgress::removed(int index)
{
    if (index >= 0 && std::size_t(index) < m_converts.size())
        m_converts.erase(m_converts.begin() + index);
}

bool BatchProgress::inRun(qsizetype index) const
{
    return std::size_t(index) >= m_converts.size() || m_converts[std::size_t(index)];
}

BatchProgress::Summary BatchProgress::summary(const QList<BatchEntry> &entries) const
{
    // The averages of the known playing times and frame sizes stand in for
    // the unknown ones.
    double knownSeconds = 0;
    int secondsKnown = 0;
    double knownPixels = 0;
    int pixelsKnown = 0;
    for (qsizetype k = 0; k < entries.size(); ++k) {
        if (!inRun(k))
            continue;
        if (const std::optional<double> seconds = playingSeconds(entries[k].time)) {
            knownSeconds += *seconds;
            ++secondsKnown;
        }
        if (entries[k].framePixels > 0) {
            knownPixels += double(entries[k].framePixels);
            ++pixelsKnown;
        }
    }
    const double standInSeconds = secondsKnown > 0 ? knownSeconds / secondsKnown : 1.0;
    const double standInPixels = pixelsKnown > 0 ? knownPixels / pixelsKnown : 0.0;

    Summary summary;
    double total = 0;
    double remaining = 0;
    double converted = 0;
    // The same in encoder work, which the time left is reckoned in.
    double workRemaining = 0;
    double workConverted = 0;
    for (qsizetype k = 0; k < entries.size(); ++k) {
        if (!inRun(k))
            continue;
        const BatchEntry &entry = entries[k];
        const double seconds = playingSeconds(entry.time).value_or(standInSeconds);
        const double pixels = entry.audioOnly           ? 0.0
                              : entry.framePixels > 0 ? double(entry.framePixels)
                                                      : standInPixels;
        const double work = pixelsKnown > 0 ? seconds * (pixels + FrameCostPixels) : seconds;
        const double reached = std::clamp(entry.percent, 0, 100) / 100.0;
        // The entry's shares converted and still to convert.
        double done = 0;
        double left = 0;
        switch (entry.state) {
        case EntryState::Done:
            ++summary.done;
            done = 1;
            break;
        case EntryState::Failed:
            // Its time is dealt with; what its encoder got through took time.
            ++summary.done;
            done = reached;
            break;
        case EntryState::Converting:
            done = reached;
            left = 1 - reached;
            break;
        case EntryState::Pending:
        case EntryState::Stopped:
            // Converted from the start when its turn comes.
            left = 1;
            break;
        }
        ++summary.total;
        total += seconds;
        converted += seconds * done;
        remaining += seconds * left;
        workConverted += work * done;
        workRemaining += work * left;
    }
    summary.fraction = total > 0 ? std::clamp(1.0 - remaining / total, 0.0, 1.0) : 0.0;

    const qint64 elapsedMs = m_clock() - m_began;
    if (elapsedMs < MeasureMs || workConverted <= 0)
        return summary;
    const double elapsed = elapsedMs / 1000.0;
    // Without any playing time the entries count alike: that rate is no speed.
    if (secondsKnown > 0)
        summary.speed = converted / elapsed;
    summary.secondsLeft = workRemaining / (workConverted / elapsed);
    return summary;
}

QString BatchProgress::speedText(double speed)
{
    const int decimals = speed >= 10 ? 0 : speed >= 0.1 ? 1 : 2;
    return QString::number(speed, 'f', decimals) + QChar(0x00D7);
}

QString BatchProgress::timeLeftText(double seconds)
{
    // Under a minute in steps of 5 s, under an hour in minutes, beyond in
    // steps of 10 min: finer figures would only flicker.
    if (seconds < 57.5) {
        const qint64 shown = std::max<qint64>(5, 5 * qRound64(seconds / 5));
        return QStringLiteral("about %1 s left").arg(shown);
    }
    const qint64 minutes = qRound64(seconds / 60);
    if (minutes < 60)
        return QStringLiteral("about %1 min left").arg(minutes);
    const qint64 tens = qRound64(seconds / 600);
    const qint64 hours = tens / 6;
    const qint64 rest = tens % 6 * 10;
    return rest == 0 ? QStringLiteral("about %1 h left").arg(hours)
                     : QStringLiteral("about %1 h %2 min left").arg(hours).arg(rest);
}

QString BatchProgress::text(const Summary &summary)
{
    const QString separator = QStringLiteral(" \u00B7 ");
    QString text = QStringLiteral("%1 of %2 %3")
                       .arg(summary.done)
                       .arg(summary.total)
                       .arg(summary.total == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    // Whole per cent, down: 100 % only when everything is dealt with.
    const int percent = std::clamp(int(std::floor(summary.fraction * 100 + 1e-9)), 0, 100);
    text += separator + QString::number(percent) + QStringLiteral(" %");
    if (summary.secondsLeft < 0)
        return text + separator + QStringLiteral("estimating\u2026");
    if (summary.speed > 0)
        text += separator + speedText(summary.speed);
    // Nothing left but the last encoder's end.
    if (summary.secondsLeft > 0)
        text += separator + timeLeftText(summary.secondsLeft);
    return text;
}
