#pragma once

#include "media/mediastreams.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class TJvCreateProcess;

// Runs the probe program on one file as a child of the process runner and
// hands its stream list to a callback, without waiting for it: the GUI
// thread goes on while a slow source is read. The answer comes at most once,
// after TimeoutMs at the latest (then without a list, and timedOut() tells
// so); none comes once the object is destroyed. A probe whose answer is no
// longer wanted, at the timeout or when the object goes, is killed: one
// blocked on a source that never answers would otherwise wait forever. The
// answer may run inside the runner's end event: it must not destroy the
// probe (deleteLater does). GUI thread only.
class StreamProbe : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const std::optional<MediaStreams::StreamList> &streams)>;

    static constexpr int TimeoutMs = 10000;

    explicit StreamProbe(QObject *parent = nullptr);
    ~StreamProbe() override;

    // Starts the probe; false, with no answer to follow, when it cannot start
    // (no probe program, or it failed to start).
    bool start(const QByteArray &probeProgram, const QByteArray &path, Answer answer);
    // The source did not answer within TimeoutMs.
    bool timedOut() const { return m_timedOut; }

private:
    // Kills a probe that still runs and stops watching it.
    void end();
    void finish(const std::optional<MediaStreams::StreamList> &streams);

    std::unique_ptr<TJvCreateProcess> m_process;
    QList<QByteArray> m_lines;
    QTimer m_timeout;
    Answer m_answer;
    bool m_timedOut = false;
};
