#pragma once

#include "conversion/streammap.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>

#include <sys/types.h>

class StreamProbe;

// Decides which of a source's streams the output keeps, without blocking
// the GUI thread: by running the probe program as a child, which also tells
// each stream's codec and format for copying; without a probe program, from
// the media library's stream counts at once where they settle it. One decision
// can be made ahead, for the batch's next entry while the one before it
// converts; it is used only for the same path and an unchanged file (same
// size and time of change). GUI thread only.
class PreparedStreams : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const StreamMap::Decision &decision)>;

    explicit PreparedStreams(QObject *parent = nullptr);
    ~PreparedStreams() override;

    // The probe program; empty decides without it.
    void setProbeProgram(const QByteArray &probeProgram) { m_probeProgram = probeProgram; }
    // Whether decisions need each stream's codec and format (for copying);
    // when not, the library's counts settle what they can and the probe runs
    // only for the rest. Unset, they always do.
    void setCodecsWanted(std::function<bool()> wanted) { m_codecsWanted = std::move(wanted); }

    // Decides for the source and calls `done` with the decision: before this
    // returns when it is known at once, later when the probe must run. Drops
    // a decision still being made by an earlier call. The decision made
    // ahead for this source is used once.
    void decide(const QByteArray &source, Done done);
    // Drops the decision being made by decide(); `done` is not called.
    void cancel();

    // Starts deciding ahead for the source and keeps the decision for decide().
    void prepare(const QByteArray &source);

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long changedNs = -1;
        bool operator==(const Identity &) const = default;
    };
    static Identity identityOf(const QByteArray &path);
    // Decides through `probe`, or at once when no probe can run; false when
    // the probe runs and `done` comes later.
    bool decideNow(const QByteArray &source, bool codecs, QPointer<StreamProbe> &probe, Done done);
    bool codecsWanted() const { return !m_codecsWanted || m_codecsWanted(); }
    void preparedDecided(const StreamMap::Decision &decision);

    QByteArray m_probeProgram;
    std::function<bool()> m_codecsWanted;
    QPointer<StreamProbe> m_probe;   // deciding for decide()
    QPointer<StreamProbe> m_ahead;   // deciding ahead
    QByteArray m_preparedSource;     // empty while nothing is kept
    Identity m_preparedIdentity;
    bool m_preparedReady = false;
    bool m_preparedWithCodecs = false;
    Done m_waiting; // decide() waits for the decision being made ahead
    StreamMap::Decision m_prepared;
};
