#include "media/mediastreams.h"

#include "media/mediaquery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


namespace MediaStreams {

namespace {

// A count text of the library: empty when there are none.
int countValue(const QByteArray &text)
{
    return text.trimmed().toInt();
}

// The kind of a stream by the probe's codec type; anything unknown counts as data.
Kind kindOf(const QString &codecType)
{
    if (codecType == QLatin1String("video"))
        return Kind::Video;
    if (codecType == QLatin1String("audio"))
        return Kind::Audio;
    if (codecType == QLatin1String("subtitle"))
        return Kind::Subtitle;
    if (codecType == QLatin1String("attachment"))
        return Kind::Attachment;
    return Kind::Data;
}

// Containers that give every packet its presentation time, by the probe's format names.
bool storesPresentationTimes(const QString &formatName)
{
    return formatName == QLatin1String("matroska,webm") || formatName == QLatin1String("mov,mp4,m4a,3gp,3g2,mj2")
        || formatName == QLatin1String("mpegts");
}

} // namespace

std::optional<Counts> counts(const QByteArray &path)
{
    const auto values = MediaQuery::generalValues(
        path, {"VideoCount", "AudioCount", "TextCount", "OtherCount", "ImageCount", "Cover", "Attachments"});
    if (!values)
        return std::nullopt;
    const QList<QByteArray> &v = *values;
    return Counts{countValue(v[0]), countValue(v[1]),          countValue(v[2]),         countValue(v[3]),
                  countValue(v[4]), !v[5].trimmed().isEmpty(), !v[6].trimmed().isEmpty()};
}

std::optional<StreamList> fromCounts(const Counts &counts)
{
    if (counts.text > 0 || counts.other > 0 || counts.image > 0 || counts.cover || counts.attachments
        || counts.video > 1 || counts.video + counts.audio == 0)
        return std::nullopt;
    StreamList list;
    if (counts.video == 1)
        list << Stream{Kind::Video, {}, false};
    for (int i = 0; i < counts.audio; ++i)
        list << Stream{Kind::Audio, {}, false};
    return list;
}

std::optional<StreamList> parseProbeOutput(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonValue streams = document.object().value(QLatin1String("streams"));
    if (!streams.isArray())
        return std::nullopt;
    const bool presentationTimes = storesPresentationTimes(
        document.object().value(QLatin1String("format")).toObject().value(QLatin1String("format_name")).toString());
    StreamList list;
    for (const QJsonValue &value : streams.toArray()) {
        const QJsonObject stream = value.toObject();
        if (!stream.value(QLatin1String("codec_type")).isString())
            return std::nullopt;
        const Kind kind = kindOf(stream.value(QLatin1String("codec_type")).toString());
        // A QuickTime text track read as data carries the chapter titles: the
        // chapters travel by themselves, so it is no stream of its own.
        if (kind == Kind::Data && stream.value(QLatin1String("codec_tag_string")).toString() == QLatin1String("text"))
            continue;
        const QJsonObject disposition = stream.value(QLatin1String("disposition")).toObject();
        Stream entry{kind, stream.value(QLatin1String("codec_name")).toString().toUtf8(),
                     disposition.value(QLatin1String("attached_pic")).toInt() == 1};
        entry.pixelFormat = stream.value(QLatin1String("pix_fmt")).toString().toUtf8();
        // The probe writes the rate as a text and the channels as a number.
        entry.sampleRate = stream.value(QLatin1String("sample_rate")).toString().toInt();
        entry.channels = stream.value(QLatin1String("channels")).toInt();
        if (entry.kind == Kind::Audio)
            entry.bitRate = stream.value(QLatin1String("bit_rate")).toString().toInt();
        entry.presentationTimes = presentationTimes;
        list << entry;
    }
    return list;
}

} // namespace MediaStreams
