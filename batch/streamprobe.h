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
// after TimeoutMs at the latest (then without a list, the probe left to end
// on its own); none comes once the object is destroyed. The answer may run
// inside the runner's end event: it must not destroy the probe (deleteLater
// does). GUI thread only.
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

private:
    void finish(const std::optional<MediaStreams::StreamList> &streams);

    std::unique_ptr<TJvCreateProcess> m_process;
    QList<QByteArray> m_lines;
    QTimer m_timeout;
    Answer m_answer;
};
