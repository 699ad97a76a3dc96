#include "batch/preparedstreams.h"

#include "media/mediastreams.h"

#include <sys/stat.h>

#include <utility>

void PreparedStreams::prepare(const QByteArray &probeProgram, const QByteArray &source)
{
    // Taken before reading, so a change while it is read counts as a change.
    m_identity = identityOf(source);
    m_decision = decide(probeProgram, source);
    m_source = source;
}

StreamMap::Decision PreparedStreams::take(const QByteArray &probeProgram, const QByteArray &source)
{
    const QByteArray prepared = std::exchange(m_source, QByteArray());
    if (!prepared.isEmpty() && prepared == source && m_identity.size >= 0 && identityOf(source) == m_identity)
        return std::exchange(m_decision, StreamMap::Decision());
    return decide(probeProgram, source);
}

PreparedStreams::Identity PreparedStreams::identityOf(const QByteArray &path)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return Identity();
    return Identity{status.st_dev, status.st_ino, status.st_size,
                    (long long)status.st_ctim.tv_sec * 1000000000LL + status.st_ctim.tv_nsec};
}

StreamMap::Decision PreparedStreams::decide(const QByteArray &probeProgram, const QByteArray &source)
{
    return StreamMap::decide(MediaStreams::streams(probeProgram, source));
}
