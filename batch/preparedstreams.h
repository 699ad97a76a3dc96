#pragma once

#include "conversion/streammap.h"

#include <QByteArray>

#include <sys/types.h>

// The stream decision for the batch's next entry, made while the entry
// before it converts, so that starting the next encoder waits for no file to
// be read. A decision is used only for the same path and an unchanged file.
class PreparedStreams {
public:
    // Decides for the source now and keeps the decision.
    void prepare(const QByteArray &probeProgram, const QByteArray &source);
    // The decision for the source: the one prepared, when it was for this
    // path and the file is still the same one with the same size and time of
    // change; otherwise one made now. What was prepared is used once.
    StreamMap::Decision take(const QByteArray &probeProgram, const QByteArray &source);

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long changedNs = -1;
        bool operator==(const Identity &) const = default;
    };
    static Identity identityOf(const QByteArray &path);
    static StreamMap::Decision decide(const QByteArray &probeProgram, const QByteArray &source);

    QByteArray m_source; // empty when nothing is prepared
    Identity m_identity;
    StreamMap::Decision m_decision;
};
