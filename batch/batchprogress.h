#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

struct BatchEntry;

// How far a run of the batch has come and how long it still takes: the
// files done of those the run converts, the share of their playing time
// dealt with, the speed measured since the run began (media seconds
// converted per second of wall-clock time) and the time left at the pace
// measured so far.
// The caller hands it the batch's entries; it keeps only which of them the
// run converts and when the run began. Plain data, one thread at a time.
//
// Each entry weighs its playing time; one whose playing time is unknown
// weighs as much as the average known one (when none is known, every entry
// weighs the same and no speed is given). Converted and failed entries are
// done; a failed one's time counts as dealt with, and the part its encoder
// got through counts towards the speed. The time left is reckoned in encoder
// work rather than playing time: a second of a large frame takes an encoder
// longer than one of a small frame (see FrameCostPixels), so a batch whose
// large files come last would otherwise be promised too early an end.
class BatchProgress {
public:
    // Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;

    // How long the speed is measured before a time left is given.
    static constexpr qint64 MeasureMs = 3000;
    // An encoder's work on a second of video: its frames' pixels plus what
    // every frame costs whatever its size (reading, audio, writing), which is
    // about as much as this many pixels more (x264 and AAC, 320x240 to
    // 1280x720). A frame size unknown counts as the average known one; a
    // file of audio alone has no frames and costs only this.
    static constexpr double FrameCostPixels = 64000;

    struct Summary {
        int done = 0;            // entries of the run converted or failed
        int total = 0;           // entries the run converts
        double fraction = 0;     // share of the run's playing time dealt with, 0..1
        double speed = 0;        // multiple of real time; 0 while unknown
        double secondsLeft = -1; // -1 while estimating
    };

    // Without a clock, a steady clock of its own.
    explicit BatchProgress(Clock clock = Clock());

    // A run begins with these entries: it converts those not done yet, and
    // any entry appended later. The speed is measured from now.
    void begin(const QList<BatchEntry> &entries);
    // The entry at `index` has left the list.
    void removed(int index);

    Summary summary(const QList<BatchEntry> &entries) const;

    // "3 of 20 files · 41 % · 2.4× · about 6 min left", or "… · estimating…"
    // while the time left is unknown.
    static QString text(const Summary &summary);
    // "2.4×"
    static QString speedText(double speed);
    // "about 40 s left", "about 6 min left", "about 1 h 20 min left".
    static QString timeLeftText(double seconds);

private:
    bool inRun(qsizetype index) const;

    Clock m_clock;
    qint64 m_began = 0;
    // Per entry at the run's beginning: whether the run converts it. Entries
    // past the end were appended since, and are converted.
    std::vector<bool> m_converts;
};
