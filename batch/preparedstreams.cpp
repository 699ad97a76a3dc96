#include "batch/preparedstreams.h"

#include "batch/streamprobe.h"
#include "media/mediastreams.h"

#include <sys/stat.h>

#include <utility>

namespace {

// Ends a probe whose answer is no longer wanted; it is let go, never waited for.
void drop(QPointer<StreamProbe> &probe)
{
    if (StreamProbe *running = probe.data())
        running->deleteLater();
    probe.clear();
}

} // namespace

PreparedStreams::PreparedStreams(QObject *parent) : QObject(parent) {}

PreparedStreams::~PreparedStreams() = default;

PreparedStreams::Identity PreparedStreams::identityOf(const QByteArray &path)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return Identity();
    return Identity{status.st_dev, status.st_ino, status.st_size,
                    (long long)status.st_ctim.tv_sec * 1000000000LL + status.st_ctim.tv_nsec};
}

bool PreparedStreams::decideNow(const QByteArray &source, bool codecs, QPointer<StreamProbe> &probe, Done done)
{
    // Only the probe tells each stream's codec and format, which copying a
    // stream that already fits needs. Without that need the library's counts,
    // read in a millisecond, settle most files; starting the probe costs
    // about 0.1 s of processor time, which encoders running at once miss.
    if (!codecs) {
        if (const std::optional<MediaStreams::Counts> counts = MediaStreams::counts(source)) {
            if (const std::optional<MediaStreams::StreamList> list = MediaStreams::fromCounts(*counts)) {
                done(StreamMap::decide(list));
                return true;
            }
        }
    }
    auto *running = new StreamProbe(this);
    const bool started = running->start(m_probeProgram, source, [running, done](const auto &streams) {
        running->deleteLater();
        if (running->timedOut()) {
            StreamMap::Decision unanswered;
            unanswered.unreadable =
                QStringLiteral("The file did not answer within %1 s: is its disk or network share still there?")
                    .arg(StreamProbe::TimeoutMs / 1000);
            done(unanswered);
            return;
        }
        done(StreamMap::decide(streams));
    });
    if (!started) {
        delete running;
        std::optional<MediaStreams::StreamList> list;
        if (const std::optional<MediaStreams::Counts> counts = MediaStreams::counts(source))
            list = MediaStreams::fromCounts(*counts);
        done(StreamMap::decide(list));
        return true;
    }
    probe = running;
    return false;
}

void PreparedStreams::decide(const QByteArray &source, Done done)
{
    cancel();
    const QByteArray prepared = std::exchange(m_preparedSource, QByteArray());
    const bool codecs = codecsWanted();
    if (!prepared.isEmpty() && prepared == source && m_preparedIdentity.size >= 0
        && (m_preparedWithCodecs || !codecs) && identityOf(source) == m_preparedIdentity) {
        if (m_preparedReady) {
            m_preparedReady = false;
            done(std::exchange(m_prepared, StreamMap::Decision()));
            return;
        }
        if (m_ahead) {
            // Still being read ahead: that answer serves this call.
            m_preparedSource = prepared;
            m_waiting = std::move(done);
            return;
        }
    }
    drop(m_ahead);
    m_preparedReady = false;
    decideNow(source, codecs, m_probe, std::move(done));
}

void PreparedStreams::cancel()
{
    drop(m_probe);
    m_waiting = Done();
}

void PreparedStreams::prepare(const QByteArray &source)
{
    drop(m_ahead);
    // Taken before reading, so a change while it is read counts as a change.
    m_preparedSource = source;
    m_preparedIdentity = identityOf(source);
    m_preparedReady = false;
    m_preparedWithCodecs = codecsWanted();
    decideNow(source, m_preparedWithCodecs, m_ahead, [this](const StreamMap::Decision &decision) { preparedDecided(decision); });
}

void PreparedStreams::preparedDecided(const StreamMap::Decision &decision)
{
    if (Done waiting = std::exchange(m_waiting, Done())) {
        m_preparedSource.clear();
        waiting(decision);
        return;
    }
    m_prepared = decision;
    m_preparedReady = true;
}
