#include "conversion/streammap.h"

#include <QSet>

using MediaStreams::Kind;

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
    return decision;
}

} // namespace StreamMap
