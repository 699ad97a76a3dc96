#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The streams a media file holds, in the order and with the kinds the
// encoder sees them, for deciding what the output keeps and what it can copy
// as it is. Two sources: the encoder's probe program, which answers for every
// file it can read, with each stream's codec and format (run by the caller,
// as a child that the GUI thread does not wait for), and the media
// information library, whose stream counts settle only which streams there
// are, and only when they leave nothing open. GUI thread only.
namespace MediaStreams {

enum class Kind { Video, Audio, Subtitle, Attachment, Data };

struct Stream {
    Kind kind = Kind::Data;
    // The encoder's codec name ("h264", "subrip", "hdmv_pgs_subtitle");
    // empty when the source does not tell it.
    QByteArray codec;
    // A still picture attached to the file (a cover), not a video track.
    bool attachedPicture = false;
    // What copying the stream as it is depends on; empty or 0 when unknown,
    // as always from the library's counts.
    QByteArray pixelFormat{}; // video: "yuv420p", "yuv420p10le"
    int sampleRate = 0;       // audio, in Hz
    int channels = 0;         // audio
    int bitRate = 0;          // audio, in bit/s, where the container tells it (MP4 does, Matroska not)
    // The container stores each packet's presentation time (Matroska, MP4,
    // MPEG-TS; AVI does not), so a copy keeps reordered frames in order.
    bool presentationTimes = false;

    bool operator==(const Stream &other) const = default;
};
using StreamList = QList<Stream>;

// What the library's stream counts say about a file, for fromCounts.
struct Counts {
    int video = 0;
    int audio = 0;
    int text = 0;
    int other = 0;
    int image = 0;
    bool cover = false;
    bool attachments = false;
};

// The file's stream counts from the media information library; no result
// when the library is missing. Loads the library when needed.
std::optional<Counts> counts(const QByteArray &path);

// The stream list when the counts alone settle it: the file holds video and
// audio streams only, at most one video and at least one stream. Subtitles,
// data, attachments, pictures and several videos need the probe: the library
// does not number them as the encoder does, nor name their codecs.
std::optional<StreamList> fromCounts(const Counts &counts);

// The stream list from the probe program's JSON output (its "streams" with
// codec_type, codec_name, codec_tag_string, pix_fmt, sample_rate, channels, bit_rate
// and disposition.attached_pic, and the "format" with format_name); no
// result when the text is not such output. The text track that carries an
// MP4 file's chapter titles is left out: the chapters are copied by themselves.
std::optional<StreamList> parseProbeOutput(const QByteArray &json);

} // namespace MediaStreams
