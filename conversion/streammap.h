#pragma once

#include "media/mediastreams.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Which of a source's streams the .mp4 output keeps, as encoder arguments.
//
// Kept: the main video (the first video stream that is not an attached
// picture), every audio stream, and every text subtitle, converted to the
// container's own text format. Language and title travel with each kept
// stream and the chapters with the file, as the encoder copies them by
// default. Left out, and named in the note: picture subtitles, subtitles of
// other kinds, further video streams, attached pictures, attachments and
// data streams.
namespace StreamMap {

struct Decision {
    // "-map"/codec arguments, one per entry, placed before the output options.
    QList<QByteArray> arguments;
    // One plain sentence per kind of stream left out, joined by line breaks;
    // empty when everything is kept.
    QString note;
    // Set instead of a decision when the source did not answer while its
    // streams were read: why it cannot be converted now.
    QString unreadable;
    // The stream list the decision was made from; none when it was not known.
    std::optional<MediaStreams::StreamList> streams{};
};

// What the encoder is given for one source: the stream arguments and the
// selector fragments, where a stream that already is what the fragments
// would make of it is copied instead of encoded again.
struct Plan {
    // The decision's "-map"/codec arguments, unchanged.
    QList<QByteArray> arguments;
    // The nine fragments in the selectors' order, with "-c:v copy" or
    // "-c:a copy" (per track, "-c:a:N copy", when only some fit) where a
    // stream is copied, and without the encoder's options for it.
    QList<QByteArray> fragments;
    // What is copied, one sentence a line ("Video copied: already H.264");
    // empty when nothing is.
    QString note;
};

// Codecs the output keeps as text subtitles, and subtitles drawn as pictures.
bool isTextSubtitle(const QByteArray &codec);
bool isPictureSubtitle(const QByteArray &codec);

// The decision for a known stream list. Without a list (the streams could not
// be read) the video, all audio and all subtitles are asked for where they
// exist: a subtitle the output cannot hold then fails the conversion with the
// encoder's reason rather than vanishing unnoticed.
Decision decide(const std::optional<MediaStreams::StreamList> &streams);

// The plan for a decision and the nine fragments (video codec, bitrate, size,
// frame rate, aspect; audio codec, bitrate, channels, sampling frequency).
// The main video is copied when its codec is the one chosen (or the source's
// is kept and .mp4 holds it), it is 8-bit 4:2:0, its container stores
// presentation times, and the other video fragments ask for nothing. An audio
// track is copied when its codec is the one chosen (or kept and .mp4 holds
// it) and the channels, sampling frequency and bitrate chosen are its own (a
// bitrate within 5 %, and only where its container tells it). Fragments holding anything else leave their kind
// encoded. With `reencodeFitting`, without a stream list, or for any other
// number of fragments, the fragments come back unchanged.
Plan plan(const Decision &decision, const QList<QByteArray> &fragments, bool reencodeFitting);

// Whether plan() could copy a stream of some source under these fragments;
// false when it never would, so the streams' codecs need not be read.
bool mayCopy(const QList<QByteArray> &fragments, bool reencodeFitting);

} // namespace StreamMap
