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
};

// Codecs the output keeps as text subtitles, and subtitles drawn as pictures.
bool isTextSubtitle(const QByteArray &codec);
bool isPictureSubtitle(const QByteArray &codec);

// The decision for a known stream list. Without a list (the streams could not
// be read) the video, all audio and all subtitles are asked for where they
// exist: a subtitle the output cannot hold then fails the conversion with the
// encoder's reason rather than vanishing unnoticed.
Decision decide(const std::optional<MediaStreams::StreamList> &streams);

} // namespace StreamMap
