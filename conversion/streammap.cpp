#include "conversion/streammap.h"

#include <QHash>
#include <QSet>

#include <cstdlib>

using MediaStreams::Kind;
using MediaStreams::Stream;

namespace StreamMap {

namespace {

// "1 data track not kept" / "2 data tracks not kept", then the reason.
QString notKept(int count, const QString &singular, const QString &plural, const QString &reason)
{
    QString sentence = QStringLiteral("%1 %2 not kept").arg(count).arg(count == 1 ? singular : plural);
    if (!reason.isEmpty())
        sentence += QStringLiteral(": ") + reason;
    return sentence;
}

QString cannotHold(int count)
{
    return count == 1 ? QStringLiteral("MP4 cannot hold it") : QStringLiteral("MP4 cannot hold them");
}

// The fragments come in the selectors' order: five video ones, then four
// audio ones, each kind's codec first.
constexpr qsizetype VideoFragments = 0;
constexpr qsizetype AudioFragments = 5;
constexpr qsizetype FragmentCount = 9;

// Codecs an .mp4 holds and players take as they are, by name in words; empty
// for any other.
QString videoCodecName(const QByteArray &codec)
{
    static const QHash<QByteArray, QString> names{{"h264", QStringLiteral("H.264")},
                                                  {"hevc", QStringLiteral("H.265")},
                                                  {"mpeg4", QStringLiteral("MPEG-4 Part 2")},
                                                  {"av1", QStringLiteral("AV1")},
                                                  {"vp9", QStringLiteral("VP9")}};
    return names.value(codec);
}

QString audioCodecName(const QByteArray &codec)
{
    static const QHash<QByteArray, QString> names{{"aac", QStringLiteral("AAC")},
                                                  {"mp3", QStringLiteral("MP3")},
                                                  {"ac3", QStringLiteral("AC-3")},
                                                  {"opus", QStringLiteral("Opus")}};
    return names.value(codec);
}

// The codec an encoder writes; empty for an encoder not known here.
QByteArray codecOf(const QByteArray &encoder)
{
    static const QHash<QByteArray, QByteArray> codecs{
        {"libx264", "h264"},  {"h264_vaapi", "h264"}, {"h264_nvenc", "h264"}, {"h264_qsv", "h264"},
        {"libx265", "hevc"},  {"hevc_vaapi", "hevc"}, {"hevc_nvenc", "hevc"}, {"hevc_qsv", "hevc"},
        {"mpeg4", "mpeg4"},   {"libxvid", "mpeg4"},
        {"libsvtav1", "av1"}, {"libaom-av1", "av1"},  {"librav1e", "av1"},
        {"libvpx-vp9", "vp9"}, {"vp9_vaapi", "vp9"},
        {"aac", "aac"},       {"libfdk_aac", "aac"},  {"libmp3lame", "mp3"},  {"ac3", "ac3"},
        {"libopus", "opus"},  {"opus", "opus"}};
    return codecs.value(encoder);
}

bool isCodecOption(const QByteArray &option, Kind kind)
{
    if (kind == Kind::Video)
        return option == "-c:v" || option == "-vcodec" || option == "-codec:v";
    return option == "-c:a" || option == "-acodec" || option == "-codec:a";
}

// A fragment's options as option-value pairs in a row; none when it holds
// anything else (a lone flag, quoting), which is not read here.
std::optional<QList<QByteArray>> optionWords(const QByteArray &fragment)
{
    const QByteArray simplified = fragment.simplified();
    if (simplified.isEmpty())
        return QList<QByteArray>();
    const QList<QByteArray> words = simplified.split(' ');
    if (words.size() % 2 != 0 || simplified.contains('"') || simplified.contains('\\'))
        return std::nullopt;
    for (qsizetype i = 0; i < words.size(); i += 2) {
        if (!words[i].startsWith('-'))
            return std::nullopt;
    }
    return words;
}

// What the fragments of one kind ask of a stream, as far as copying goes.
struct Choice {
    // Every option is one known here; otherwise the stream is encoded as
    // the fragments say.
    bool understood = true;
    QByteArray encoder;     // empty keeps the source's codec; "copy" is the user's own choice
    QByteArray pixelFormat; // video; empty keeps the source's
    int channels = 0;       // audio; 0 keeps the source's
    int sampleRate = 0;     // audio; 0 keeps the source's
    int bitRate = 0;        // audio, in bit/s; 0 keeps the source's
};

// "128k", "1.5M", "96000": bit/s; 0 when it is none of these.
int bitRateOf(const QByteArray &value)
{
    const QByteArray lower = value.toLower();
    double scale = 1;
    QByteArray number = lower;
    if (lower.endsWith('k') || lower.endsWith('m')) {
        scale = lower.endsWith('k') ? 1000 : 1000000;
        number.chop(1);
    }
    bool ok = false;
    const double rate = number.toDouble(&ok) * scale;
    return ok && rate > 0 && rate < 1e9 ? int(rate) : 0;
}

Choice choiceOf(const QList<QByteArray> &fragments, Kind kind)
{
    // The encoder's speed, quality and tag: nothing they ask changes a stream
    // that is copied.
    static const QSet<QByteArray> encoderOnly{"-preset",  "-tune",    "-crf",   "-q:v",
                                              "-qscale:v", "-tag:v",  "-deadline", "-cpu-used",
                                              "-row-mt"};
    Choice choice;
    for (const QByteArray &fragment : fragments) {
        const std::optional<QList<QByteArray>> words = optionWords(fragment);
        if (!words) {
            choice.understood = false;
            return choice;
        }
        for (qsizetype i = 0; i < words->size(); i += 2) {
            const QByteArray &option = words->at(i);
            const QByteArray &value = words->at(i + 1);
            bool ok = true;
            if (isCodecOption(option, kind))
                choice.encoder = value;
            else if (kind == Kind::Video && option == "-pix_fmt")
                choice.pixelFormat = value;
            else if (kind == Kind::Video && encoderOnly.contains(option))
                ok = true;
            else if (kind == Kind::Audio && option == "-ac")
                ok = (choice.channels = value.toInt()) > 0;
            else if (kind == Kind::Audio && option == "-ar")
                ok = (choice.sampleRate = value.toInt()) > 0;
            else if (kind == Kind::Audio && (option == "-b:a" || option == "-ab"))
                ok = (choice.bitRate = bitRateOf(value)) > 0;
            else
                ok = false;
            if (!ok) {
                choice.understood = false;
                return choice;
            }
        }
    }
    return choice;
}

// The stream's codec is the one chosen, or it is kept and .mp4 holds it.
bool codecFits(const QByteArray &codec, const Choice &choice, const QString &nameInWords)
{
    if (!choice.understood || choice.encoder == "copy" || nameInWords.isEmpty())
        return false;
    return choice.encoder.isEmpty() || codecOf(choice.encoder) == codec;
}

// 8-bit 4:2:0, the pictures every player takes.
bool isPlainPixelFormat(const QByteArray &format)
{
    return format == "yuv420p" || format == "yuvj420p";
}

bool videoFits(const Stream &stream, const Choice &choice)
{
    // Without presentation times (AVI) the copy would lose the display order
    // of reordered frames.
    return codecFits(stream.codec, choice, videoCodecName(stream.codec)) && stream.presentationTimes
        && isPlainPixelFormat(stream.pixelFormat)
        && (choice.pixelFormat.isEmpty() || isPlainPixelFormat(choice.pixelFormat));
}

bool audioFits(const Stream &stream, const Choice &choice)
{
    // An encoder's bitrate is an average: a track made at the chosen one
    // measures a little off it.
    const bool bitRateFits = choice.bitRate == 0
        || (stream.bitRate > 0 && std::abs(stream.bitRate - choice.bitRate) <= choice.bitRate / 20);
    return codecFits(stream.codec, choice, audioCodecName(stream.codec))
        && (choice.channels == 0 || choice.channels == stream.channels)
        && (choice.sampleRate == 0 || choice.sampleRate == stream.sampleRate) && bitRateFits;
}

// The fragment without its codec option.
QByteArray withoutCodec(const QByteArray &fragment, Kind kind)
{
    const QList<QByteArray> words = optionWords(fragment).value_or(QList<QByteArray>());
    QList<QByteArray> kept;
    for (qsizetype i = 0; i + 1 < words.size(); i += 2) {
        if (!isCodecOption(words[i], kind))
            kept << words[i] << words[i + 1];
    }
    return kept.join(' ');
}

} // namespace

bool isTextSubtitle(const QByteArray &codec)
{
    static const QSet<QByteArray> text{"subrip", "srt", "ass", "ssa", "webvtt", "mov_text", "text"};
    return text.contains(codec);
}

bool isPictureSubtitle(const QByteArray &codec)
{
    static const QSet<QByteArray> pictures{"dvd_subtitle", "hdmv_pgs_subtitle", "dvb_subtitle", "xsub"};
    return pictures.contains(codec);
}

Decision decide(const std::optional<MediaStreams::StreamList> &streams)
{
    Decision decision;
    if (!streams) {
        decision.arguments = {"-map", "0:V:0?", "-map", "0:a?", "-map", "0:s?", "-c:s", "mov_text"};
        return decision;
    }

    int videos = 0, furtherVideos = 0, pictures = 0, audios = 0, textSubtitles = 0;
    int pictureSubtitles = 0, otherSubtitles = 0, attachments = 0, data = 0;
    QList<QByteArray> subtitleMaps;
    int subtitleIndex = 0;
    for (const MediaStreams::Stream &stream : *streams) {
        switch (stream.kind) {
        case Kind::Video:
            if (stream.attachedPicture)
                ++pictures;
            else if (videos == 0)
                ++videos;
            else
                ++furtherVideos;
            break;
        case Kind::Audio:
            ++audios;
            break;
        case Kind::Subtitle:
            // Subtitles are numbered among the subtitle streams, kept or not.
            if (isTextSubtitle(stream.codec)) {
                subtitleMaps << "-map" << "0:s:" + QByteArray::number(subtitleIndex);
                ++textSubtitles;
            } else if (isPictureSubtitle(stream.codec)) {
                ++pictureSubtitles;
            } else {
                ++otherSubtitles;
            }
            ++subtitleIndex;
            break;
        case Kind::Attachment:
            ++attachments;
            break;
        case Kind::Data:
            ++data;
            break;
        }
    }

    // The V specifier passes over attached pictures, so a cover is never
    // taken for the main video. The '?' keeps a stream the list named but the
    // encoder does not see from failing the conversion.
    if (videos > 0)
        decision.arguments << "-map" << "0:V:0?";
    if (audios > 0)
        decision.arguments << "-map" << "0:a?";
    decision.arguments << subtitleMaps;
    if (textSubtitles > 0)
        decision.arguments << "-c:s" << "mov_text";

    QStringList sentences;
    if (pictureSubtitles > 0)
        sentences << notKept(pictureSubtitles, QStringLiteral("picture subtitle track"),
                             QStringLiteral("picture subtitle tracks"), cannotHold(pictureSubtitles));
    if (otherSubtitles > 0)
        sentences << notKept(otherSubtitles, QStringLiteral("subtitle track of another kind"),
                             QStringLiteral("subtitle tracks of another kind"), cannotHold(otherSubtitles));
    if (attachments > 0)
        sentences << notKept(attachments, QStringLiteral("attachment (such as a font)"),
                             QStringLiteral("attachments (such as fonts)"), cannotHold(attachments));
    if (data > 0)
        sentences << notKept(data, QStringLiteral("data track"), QStringLiteral("data tracks"), QString());
    if (furtherVideos > 0)
        sentences << notKept(furtherVideos, QStringLiteral("further video track"), QStringLiteral("further video tracks"),
                             QStringLiteral("only the main video is converted"));
    if (pictures > 0)
        sentences << notKept(pictures, QStringLiteral("cover picture"), QStringLiteral("cover pictures"), QString());
    decision.note = sentences.join(QLatin1Char('\n'));
    decision.streams = streams;
    return decision;
}

bool mayCopy(const QList<QByteArray> &fragments, bool reencodeFitting)
{
    if (reencodeFitting || fragments.size() != FragmentCount)
        return false;
    const Choice video = choiceOf(fragments.mid(VideoFragments, AudioFragments - VideoFragments), Kind::Video);
    const Choice audio = choiceOf(fragments.mid(AudioFragments), Kind::Audio);
    const auto copiesSome = [](const Choice &choice) {
        return choice.understood && choice.encoder != "copy" && (choice.encoder.isEmpty() || !codecOf(choice.encoder).isEmpty());
    };
    return (copiesSome(video) && (video.pixelFormat.isEmpty() || isPlainPixelFormat(video.pixelFormat)))
        || copiesSome(audio);
}

Plan plan(const Decision &decision, const QList<QByteArray> &fragments, bool reencodeFitting)
{
    Plan result{decision.arguments, fragments, QString()};
    if (reencodeFitting || !decision.streams || fragments.size() != FragmentCount)
        return result;
    // The streams as decide() maps them: the main video, then every audio track in order.
    const Stream *video = nullptr;
    QList<const Stream *> audios;
    for (const Stream &stream : *decision.streams) {
        if (stream.kind == Kind::Video && !stream.attachedPicture && !video)
            video = &stream;
        else if (stream.kind == Kind::Audio)
            audios << &stream;
    }
    QStringList sentences;

    const Choice videoChoice = choiceOf(fragments.mid(VideoFragments, AudioFragments - VideoFragments), Kind::Video);
    if (video && videoFits(*video, videoChoice)) {
        // Players want HEVC in .mp4 tagged hvc1, not the muxer's hev1.
        result.fragments[VideoFragments] = video->codec == "hevc" ? "-c:v copy -tag:v hvc1" : "-c:v copy";
        for (qsizetype i = VideoFragments + 1; i < AudioFragments; ++i)
            result.fragments[i].clear();
        sentences << QStringLiteral("Video copied: already %1").arg(videoCodecName(video->codec));
    }

    const Choice audioChoice = choiceOf(fragments.mid(AudioFragments), Kind::Audio);
    QList<qsizetype> copied;
    for (qsizetype i = 0; i < audios.size(); ++i) {
        if (audioFits(*audios[i], audioChoice))
            copied << i;
    }
    if (!copied.isEmpty() && copied.size() == audios.size()) {
        result.fragments[AudioFragments] = "-c:a copy";
        for (qsizetype i = AudioFragments + 1; i < FragmentCount; ++i)
            result.fragments[i].clear();
        QStringList names;
        for (const Stream *audio : audios) {
            if (!names.contains(audioCodecName(audio->codec)))
                names << audioCodecName(audio->codec);
        }
        sentences << QStringLiteral("Audio copied: already %1").arg(names.join(QStringLiteral(", ")));
    } else if (!copied.isEmpty()) {
        // A codec option per track: copying for those that fit, the chosen
        // encoder for the others. The channels and frequency chosen stay for
        // the tracks encoded; a copied track is not touched by them.
        QList<QByteArray> perTrack;
        for (qsizetype i = 0; i < audios.size(); ++i) {
            const QByteArray track = "-c:a:" + QByteArray::number(i);
            if (copied.contains(i)) {
                perTrack << track + " copy";
                sentences << QStringLiteral("Audio track %1 copied: already %2")
                                 .arg(i + 1)
                                 .arg(audioCodecName(audios[i]->codec));
            } else if (!audioChoice.encoder.isEmpty()) {
                perTrack << track + ' ' + audioChoice.encoder;
            }
        }
        for (qsizetype i = AudioFragments; i < FragmentCount; ++i)
            result.fragments[i] = withoutCodec(fragments[i], Kind::Audio);
        result.fragments[AudioFragments] =
            (perTrack.join(' ') + ' ' + result.fragments[AudioFragments]).trimmed();
    }
    result.note = sentences.join(QLatin1Char('\n'));
    return result;
}

} // namespace StreamMap
