#include "media/mediastreams.h"

#include "media/mediaquery.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

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

// The path as QProcess passes it on. Its arguments are QStrings, so a path
// whose bytes are not text in the locale's encoding is reached through a
// link with a plain name, made in `linkDir`. Empty when that fails.
QString probeArgument(const QByteArray &path, std::optional<QTemporaryDir> &linkDir)
{
    const QString decoded = QFile::decodeName(path);
    if (QFile::encodeName(decoded) == path)
        return decoded;
    linkDir.emplace();
    if (!linkDir->isValid())
        return QString();
    const QString link = linkDir->filePath(QStringLiteral("source"));
    return ::symlink(path.constData(), QFile::encodeName(link).constData()) == 0 ? link : QString();
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
        list << Stream{kind, stream.value(QLatin1String("codec_name")).toString().toUtf8(),
                       disposition.value(QLatin1String("attached_pic")).toInt() == 1};
    }
    return list;
}

std::optional<StreamList> probe(const QByteArray &probeProgram, const QByteArray &path, int timeoutMs)
{
    std::optional<QTemporaryDir> linkDir;
    const QString source = probeArgument(path, linkDir);
    if (source.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QFile::decodeName(probeProgram),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_type,codec_name,codec_tag_string:stream_disposition=attached_pic"),
                   QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("-i"), source});
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return parseProbeOutput(process.readAllStandardOutput());
}

std::optional<StreamList> streams(const QByteArray &probeProgram, const QByteArray &path)
{
    if (const std::optional<Counts> known = counts(path)) {
        if (std::optional<StreamList> list = fromCounts(*known))
            return list;
    }
    return probe(probeProgram, path);
}

} // namespace MediaStreams
