// What the .mp4 output keeps of a source's streams and what it copies as
// they are: the decision from a stream list, the plan from the decision and
// the selectors' fragments, the stream list from the media library and the
// probe, the encoder's command line, and real conversions of generated sources.

#include "batch/preparedstreams.h"
#include "batch/streamprobe.h"
#include "conversion/ffmpegcommand.h"
#include "conversion/streammap.h"
#include "media/mediastreams.h"
#include "process/commandline.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using MediaStreams::Counts;
using MediaStreams::Kind;
using MediaStreams::Stream;
using MediaStreams::StreamList;
using Arguments = QList<QByteArray>;
using OptionalStreams = std::optional<StreamList>;

Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(OptionalStreams)

namespace {

Stream video(const QByteArray &codec = "h264") { return {Kind::Video, codec, false}; }
Stream cover() { return {Kind::Video, "mjpeg", true}; }
Stream audio(const QByteArray &codec = "aac") { return {Kind::Audio, codec, false}; }
Stream subtitle(const QByteArray &codec) { return {Kind::Subtitle, codec, false}; }
Stream attachment() { return {Kind::Attachment, "ttf", false}; }
Stream data() { return {Kind::Data, "bin_data", false}; }

// Streams as the probe reads them from a container with presentation times.
Stream probedVideo(const QByteArray &codec, const QByteArray &pixelFormat, bool presentationTimes = true)
{
    Stream stream{Kind::Video, codec, false};
    stream.pixelFormat = pixelFormat;
    stream.presentationTimes = presentationTimes;
    return stream;
}
Stream probedAudio(const QByteArray &codec, int sampleRate, int channels, bool presentationTimes = true)
{
    Stream stream{Kind::Audio, codec, false};
    stream.sampleRate = sampleRate;
    stream.channels = channels;
    stream.presentationTimes = presentationTimes;
    return stream;
}

// The nine selector fragments: the two codecs' and, by position, any others.
Arguments choices(const QByteArray &videoCodec, const QByteArray &audioCodec, const QMap<int, QByteArray> &others = {})
{
    Arguments fragments{videoCodec, "", "", "", "", audioCodec, "", "", ""};
    for (auto other = others.begin(); other != others.end(); ++other)
        fragments[other.key()] = other.value();
    return fragments;
}

// The decision for the source, waited for while the probe runs.
StreamMap::Decision decided(PreparedStreams &streams, const QByteArray &source)
{
    std::optional<StreamMap::Decision> result;
    streams.decide(source, [&result](const StreamMap::Decision &decision) { result = decision; });
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 30000))
        qWarning("no stream decision came");
    return result.value_or(StreamMap::Decision{{"no decision"}, QStringLiteral("no decision"), QString()});
}

// What the probe program answers for the file, waited for; "no answer" when none comes.
OptionalStreams probed(const QByteArray &probeProgram, const QByteArray &path)
{
    StreamProbe probe;
    std::optional<OptionalStreams> answer;
    if (!probe.start(probeProgram, path, [&answer](const OptionalStreams &streams) { answer = streams; }))
        return std::nullopt;
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 30000))
        qWarning("the probe did not answer");
    return answer.value_or(StreamList{data()});
}

// The output's video, audio and subtitle streams as "type codec language"
// (video: "video codec WIDTHxHEIGHT"), then "chapters N".
QStringList outputStreams(const QString &path)
{
    QByteArray output;
    if (TestSupport::runProgram(QStringLiteral("ffprobe"),
                                {"-v", "error", "-show_entries",
                                 "stream=codec_type,codec_name,width,height:stream_tags=language", "-show_chapters",
                                 "-of", "compact=nk=1", path},
                                QString(), &output) != 0)
        return {QStringLiteral("ffprobe failed: ") + QString::fromUtf8(output)};
    QStringList streams;
    int chapters = 0;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> f = line.split('|');
        if (f.value(0) == "chapter")
            ++chapters;
        if (f.value(0) != "stream")
            continue;
        // stream|codec_name|codec_type[|width|height]|language: the output always names a language.
        const QByteArray type = f.value(2);
        if (type == "video")
            streams << QStringLiteral("video %1 %2x%3").arg(f.value(1), f.value(3), f.value(4));
        else if (type == "audio" || type == "subtitle")
            streams << QStringLiteral("%1 %2 %3").arg(type, f.value(1), f.last());
    }
    streams << QStringLiteral("chapters %1").arg(chapters);
    return streams;
}

// The file's streams as "codec,tag[,channels]", one a stream.
QStringList codecsAndTags(const QString &path)
{
    QByteArray output;
    if (TestSupport::runProgram(QStringLiteral("ffprobe"),
                                {"-v", "error", "-show_entries", "stream=codec_name,codec_tag_string,channels", "-of",
                                 "csv=p=0", path},
                                QString(), &output) != 0)
        return {QStringLiteral("ffprobe failed: ") + QString::fromUtf8(output)};
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A digest of one stream's packets ("v:0", "a:1"), as they are stored.
QByteArray packetDigest(const QString &path, const QString &stream)
{
    QByteArray output;
    if (TestSupport::runProgram(QStringLiteral("ffmpeg"),
                                {"-nostdin", "-v", "error", "-i", path, "-map", "0:" + stream, "-c", "copy", "-f", "md5",
                                 "-"},
                                QString(), &output) != 0)
        return "ffmpeg failed: " + output;
    return output.trimmed();
}

// Runs the encoder's command line to its end; false, with its output told, when it failed.
bool runEncoder(const QByteArray &commandLine)
{
    const Arguments line = splitCommandLine(commandLine);
    QStringList arguments{"-nostdin"};
    for (qsizetype i = 1; i < line.size(); ++i)
        arguments << QFile::decodeName(line[i]);
    QByteArray log;
    if (TestSupport::runProgram(QFile::decodeName(line[0]), arguments, QString(), &log) != 0) {
        qWarning("conversion failed: %s", log.constData());
        return false;
    }
    return true;
}

// Track titles of one kind ("Audio", "Text") as the media library's command
// reads them from the file.
QStringList titles(const QString &path, const QString &kind)
{
    QByteArray output;
    TestSupport::runProgram(QStringLiteral("mediainfo"), {QStringLiteral("--Inform=%1;%Title%\\n").arg(kind), path},
                            QString(), &output);
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class StreamMapTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void decide_data();
    void decide();
    void unknownStreamsAskForEverythingOptional();
    void planCopiesWhatFits_data();
    void planCopiesWhatFits();
    void codecsAreReadOnlyWhereACopyCanHappen_data();
    void codecsAreReadOnlyWhereACopyCanHappen();
    void countsSettleOnlyPlainFiles_data();
    void countsSettleOnlyPlainFiles();
    void probeOutput_data();
    void probeOutput();
    void commandLine_data();
    void commandLine();
    void probeProgramFollowsTheEncoderLink();
    void probeReadsAPathThatIsNotText();
    void preparedDecisionServesOnlyTheUnchangedFile();

    void conversionKeepsStreams_data();
    void conversionKeepsStreams();
    void tracksKeepTheirTitles();
    void probeReadsWhatCopyingNeeds_data();
    void probeReadsWhatCopyingNeeds();
    void copiedStreamsKeepTheirPackets_data();
    void copiedStreamsKeepTheirPackets();

private:
    // Makes `name` in the temporary folder with ffmpeg from `arguments`
    // (placeholders {srt}, {chapters}, {cover}, {font} name the side files).
    QString source(const QString &name, QStringList arguments);
    // Converts the source as Halvora does; the output path, empty on failure.
    QString convert(const QString &sourcePath, QString *note = nullptr);
    // Converts the source with the plan for the fragments, as the batch does;
    // the output path, empty on failure. The plan's note goes to *note.
    QString convertPlanned(const QString &sourcePath, const Arguments &fragments, bool reencodeFitting, QString *note);

    QTemporaryDir m_dir;
};

void StreamMapTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile srt(m_dir.filePath("sub.srt"));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n\n2\n00:00:01,000 --> 00:00:02,000\nWorld\n");
    srt.close();
    QFile chapters(m_dir.filePath("chapters.txt"));
    QVERIFY(chapters.open(QIODevice::WriteOnly));
    chapters.write(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Two\n");
    chapters.close();
    QFile font(m_dir.filePath("font.ttf"));
    QVERIFY(font.open(QIODevice::WriteOnly));
    font.write("not really a font");
    font.close();
    QVERIFY(TestSupport::makeClip(m_dir.filePath("cover.png"),
                                  {"-f", "lavfi", "-i", "color=red:size=640x480", "-frames:v", "1"}));
}

void StreamMapTest::decide_data()
{
    QTest::addColumn<StreamList>("streams");
    QTest::addColumn<Arguments>("arguments");
    QTest::addColumn<QString>("note");

    QTest::newRow("video and audio") << StreamList{video(), audio()} << Arguments{"-map", "0:V:0?", "-map", "0:a?"}
                                     << QString();
    QTest::newRow("video only") << StreamList{video()} << Arguments{"-map", "0:V:0?"} << QString();
    QTest::newRow("audio only") << StreamList{audio("mp3")} << Arguments{"-map", "0:a?"} << QString();
    QTest::newRow("two audio and text subtitles of every kind")
        << StreamList{video(), audio(), audio("ac3"), subtitle("subrip"), subtitle("ass"), subtitle("webvtt"),
                      subtitle("mov_text"), subtitle("ssa")}
        << Arguments{"-map", "0:V:0?", "-map", "0:a?", "-map", "0:s:0", "-map", "0:s:1", "-map", "0:s:2",
                     "-map", "0:s:3", "-map", "0:s:4", "-c:s", "mov_text"}
        << QString();
    QTest::newRow("picture subtitles keep the numbering of text ones")
        << StreamList{video(), audio(), subtitle("hdmv_pgs_subtitle"), subtitle("subrip"), subtitle("dvd_subtitle")}
        << Arguments{"-map", "0:V:0?", "-map", "0:a?", "-map", "0:s:1", "-c:s", "mov_text"}
        << QStringLiteral("2 picture subtitle tracks not kept: MP4 cannot hold them");
    QTest::newRow("only subtitle is a picture one")
        << StreamList{video(), audio(), subtitle("dvd_subtitle")} << Arguments{"-map", "0:V:0?", "-map", "0:a?"}
        << QStringLiteral("1 picture subtitle track not kept: MP4 cannot hold it");
    QTest::newRow("cover before the main video")
        << StreamList{cover(), video(), audio()} << Arguments{"-map", "0:V:0?", "-map", "0:a?"}
        << QStringLiteral("1 cover picture not kept");
    QTest::newRow("everything left out is named, one line each")
        << StreamList{video(), video("mpeg4"), audio(), subtitle("dvb_teletext"), subtitle("dvb_subtitle"),
                      attachment(), attachment(), data(), cover()}
        << Arguments{"-map", "0:V:0?", "-map", "0:a?"}
        << QStringLiteral("1 picture subtitle track not kept: MP4 cannot hold it\n"
                          "1 subtitle track of another kind not kept: MP4 cannot hold it\n"
                          "2 attachments (such as fonts) not kept: MP4 cannot hold them\n"
                          "1 data track not kept\n"
                          "1 further video track not kept: only the main video is converted\n"
                          "1 cover picture not kept");
    QTest::newRow("nothing known to keep") << StreamList{data()} << Arguments{}
                                           << QStringLiteral("1 data track not kept");
}

void StreamMapTest::decide()
{
    QFETCH(StreamList, streams);
    QFETCH(Arguments, arguments);
    QFETCH(QString, note);
    const StreamMap::Decision decision = StreamMap::decide(streams);
    QCOMPARE(decision.arguments, arguments);
    QCOMPARE(decision.note, note);
}

void StreamMapTest::unknownStreamsAskForEverythingOptional()
{
    const StreamMap::Decision decision = StreamMap::decide(std::nullopt);
    QCOMPARE(decision.arguments, (Arguments{"-map", "0:V:0?", "-map", "0:a?", "-map", "0:s?", "-c:s", "mov_text"}));
    QCOMPARE(decision.note, QString());
}

void StreamMapTest::planCopiesWhatFits_data()
{
    QTest::addColumn<OptionalStreams>("streams");
    QTest::addColumn<Arguments>("fragments");
    QTest::addColumn<bool>("reencodeFitting");
    QTest::addColumn<Arguments>("planned");
    QTest::addColumn<QString>("note");

    const QByteArray x264 = "-c:v libx264 -preset medium -pix_fmt yuv420p";
    const QByteArray x265 = "-c:v libx265 -preset medium -pix_fmt yuv420p -tag:v hvc1";
    const StreamList h264{probedVideo("h264", "yuv420p"), probedAudio("aac", 48000, 2)};
    const StreamList videoOnly{probedVideo("h264", "yuv420p")};
    const QString videoCopied = QStringLiteral("Video copied: already H.264");
    const QString audioCopied = QStringLiteral("Audio copied: already AAC");

    // Video.
    QTest::newRow("H.264 4:2:0 with H.264 chosen is copied")
        << OptionalStreams(h264) << choices(x264, "-c:a aac", {{6, "-b:a 128k"}, {7, "-ac 2"}}) << false
        << choices("-c:v copy", "-c:a aac", {{6, "-b:a 128k"}, {7, "-ac 2"}}) << videoCopied;
    QTest::newRow("full-range H.264 4:2:0 is copied")
        << OptionalStreams(StreamList{probedVideo("h264", "yuvj420p")}) << choices(x264, "") << false
        << choices("-c:v copy", "") << videoCopied;
    QTest::newRow("H.264 4:2:2 is re-encoded")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv422p")}) << choices(x264, "") << false
        << choices(x264, "") << QString();
    QTest::newRow("10-bit H.264 is re-encoded")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv420p10le")}) << choices(x264, "") << false
        << choices(x264, "") << QString();
    QTest::newRow("a size choice re-encodes the video")
        << OptionalStreams(videoOnly) << choices(x264, "", {{2, "-s 640x360"}}) << false
        << choices(x264, "", {{2, "-s 640x360"}}) << QString();
    QTest::newRow("a bitrate choice re-encodes the video")
        << OptionalStreams(videoOnly) << choices(x264, "", {{1, "-b:v 1000k"}}) << false
        << choices(x264, "", {{1, "-b:v 1000k"}}) << QString();
    QTest::newRow("a frame rate choice re-encodes the video")
        << OptionalStreams(videoOnly) << choices(x264, "", {{3, "-r 25"}}) << false
        << choices(x264, "", {{3, "-r 25"}}) << QString();
    QTest::newRow("an aspect choice re-encodes the video")
        << OptionalStreams(videoOnly) << choices(x264, "", {{4, "-aspect 16:9"}}) << false
        << choices(x264, "", {{4, "-aspect 16:9"}}) << QString();
    QTest::newRow("another pixel format chosen re-encodes the video")
        << OptionalStreams(videoOnly) << choices("-c:v libx264 -pix_fmt yuv444p", "") << false
        << choices("-c:v libx264 -pix_fmt yuv444p", "") << QString();
    QTest::newRow("an encoder option not known here re-encodes the video")
        << OptionalStreams(videoOnly) << choices("-c:v libx264 -profile:v baseline", "") << false
        << choices("-c:v libx264 -profile:v baseline", "") << QString();
    QTest::newRow("H.264 from a container without presentation times is re-encoded")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv420p", false)}) << choices(x264, "") << false
        << choices(x264, "") << QString();
    QTest::newRow("keeping the source copies H.264")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv420p")}) << choices("", "") << false
        << choices("-c:v copy", "") << videoCopied;
    QTest::newRow("keeping the source copies AV1")
        << OptionalStreams(StreamList{probedVideo("av1", "yuv420p")}) << choices("", "") << false
        << choices("-c:v copy", "") << QStringLiteral("Video copied: already AV1");
    QTest::newRow("keeping the source re-encodes what MP4 players do not take")
        << OptionalStreams(StreamList{probedVideo("mpeg2video", "yuv420p")}) << choices("", "") << false
        << choices("", "") << QString();
    QTest::newRow("HEVC with H.265 chosen is copied with the hvc1 tag")
        << OptionalStreams(StreamList{probedVideo("hevc", "yuv420p")}) << choices(x265, "") << false
        << choices("-c:v copy -tag:v hvc1", "") << QStringLiteral("Video copied: already H.265");
    QTest::newRow("keeping the source copies HEVC with the hvc1 tag")
        << OptionalStreams(StreamList{probedVideo("hevc", "yuv420p")}) << choices("", "") << false
        << choices("-c:v copy -tag:v hvc1", "") << QStringLiteral("Video copied: already H.265");
    QTest::newRow("H.264 with H.265 chosen is re-encoded")
        << OptionalStreams(videoOnly) << choices(x265, "") << false << choices(x265, "") << QString();
    QTest::newRow("MPEG-4 Part 2 chosen and found is copied without its quality")
        << OptionalStreams(StreamList{probedVideo("mpeg4", "yuv420p")}) << choices("-c:v mpeg4 -q:v 4", "") << false
        << choices("-c:v copy", "") << QStringLiteral("Video copied: already MPEG-4 Part 2");
    QTest::newRow("VP9 with VP9 chosen is copied without the encoder's speed")
        << OptionalStreams(StreamList{probedVideo("vp9", "yuv420p")})
        << choices("-c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -pix_fmt yuv420p", "") << false
        << choices("-c:v copy", "") << QStringLiteral("Video copied: already VP9");
    QTest::newRow("AV1 with SVT-AV1 chosen is copied")
        << OptionalStreams(StreamList{probedVideo("av1", "yuv420p")})
        << choices("-c:v libsvtav1 -preset 8 -pix_fmt yuv420p", "") << false << choices("-c:v copy", "")
        << QStringLiteral("Video copied: already AV1");
    QTest::newRow("the main video is copied past a cover")
        << OptionalStreams(StreamList{cover(), probedVideo("h264", "yuv420p")}) << choices(x264, "") << false
        << choices("-c:v copy", "") << videoCopied;

    // Audio.
    QTest::newRow("AAC at the chosen settings is copied")
        << OptionalStreams(StreamList{probedAudio("aac", 44100, 2)})
        << choices(x264, "-c:a aac", {{7, "-ac 2"}, {8, "-ar 44100"}}) << false << choices(x264, "-c:a copy")
        << audioCopied;
    QTest::newRow("AAC at another sampling frequency is re-encoded")
        << OptionalStreams(StreamList{probedAudio("aac", 44100, 2)}) << choices(x264, "-c:a aac", {{8, "-ar 48000"}})
        << false << choices(x264, "-c:a aac", {{8, "-ar 48000"}}) << QString();
    QTest::newRow("stereo AAC with mono chosen is re-encoded")
        << OptionalStreams(StreamList{probedAudio("aac", 44100, 2)}) << choices(x264, "-c:a aac", {{7, "-ac 1"}})
        << false << choices(x264, "-c:a aac", {{7, "-ac 1"}}) << QString();
    QTest::newRow("a bitrate chosen that the container does not tell re-encodes")
        << OptionalStreams(StreamList{probedAudio("aac", 44100, 2)}) << choices(x264, "-c:a aac", {{6, "-b:a 128k"}})
        << false << choices(x264, "-c:a aac", {{6, "-b:a 128k"}}) << QString();
    Stream at128 = probedAudio("aac", 44100, 2);
    at128.bitRate = 128036;
    Stream at96 = at128;
    at96.bitRate = 96000;
    QTest::newRow("AAC at the chosen bitrate is copied")
        << OptionalStreams(StreamList{at128}) << choices(x264, "-c:a aac", {{6, "-b:a 128k"}, {7, "-ac 2"}}) << false
        << choices(x264, "-c:a copy") << audioCopied;
    QTest::newRow("AAC at another bitrate is re-encoded")
        << OptionalStreams(StreamList{at96}) << choices(x264, "-c:a aac", {{6, "-b:a 128k"}}) << false
        << choices(x264, "-c:a aac", {{6, "-b:a 128k"}}) << QString();
    QTest::newRow("Opus with Opus chosen is copied")
        << OptionalStreams(StreamList{probedAudio("opus", 48000, 2)}) << choices(x264, "-c:a libopus") << false
        << choices(x264, "-c:a copy") << QStringLiteral("Audio copied: already Opus");
    QTest::newRow("MP3 with AAC chosen is re-encoded")
        << OptionalStreams(StreamList{probedAudio("mp3", 44100, 2)}) << choices(x264, "-c:a aac") << false
        << choices(x264, "-c:a aac") << QString();
    QTest::newRow("MP3 with MP3 chosen is copied")
        << OptionalStreams(StreamList{probedAudio("mp3", 44100, 2)}) << choices(x264, "-c:a libmp3lame") << false
        << choices(x264, "-c:a copy") << QStringLiteral("Audio copied: already MP3");
    QTest::newRow("keeping the source copies every track MP4 holds, each codec named once")
        << OptionalStreams(StreamList{probedAudio("aac", 48000, 2), probedAudio("ac3", 48000, 6),
                                      probedAudio("aac", 48000, 1)})
        << choices(x264, "") << false << choices(x264, "-c:a copy")
        << QStringLiteral("Audio copied: already AAC, AC-3");
    QTest::newRow("keeping the source re-encodes PCM")
        << OptionalStreams(StreamList{probedAudio("pcm_s16le", 48000, 2)}) << choices(x264, "") << false
        << choices(x264, "") << QString();
    QTest::newRow("only the tracks that fit are copied, each by its number")
        << OptionalStreams(StreamList{probedAudio("aac", 48000, 1), probedAudio("aac", 48000, 2),
                                      probedAudio("mp3", 48000, 2)})
        << choices(x264, "-c:a aac", {{7, "-ac 2"}}) << false
        << choices(x264, "-c:a:0 aac -c:a:1 copy -c:a:2 aac", {{7, "-ac 2"}})
        << QStringLiteral("Audio track 2 copied: already AAC");
    QTest::newRow("with the source's codec kept only the copied tracks are named")
        << OptionalStreams(StreamList{probedAudio("aac", 44100, 2), probedAudio("aac", 48000, 2)})
        << choices(x264, "", {{8, "-ar 48000"}}) << false << choices(x264, "-c:a:1 copy", {{8, "-ar 48000"}})
        << QStringLiteral("Audio track 2 copied: already AAC");

    // Both, or neither.
    QTest::newRow("video and audio copied") << OptionalStreams(h264) << choices(x264, "-c:a aac") << false
                                            << choices("-c:v copy", "-c:a copy") << videoCopied + QLatin1Char('\n') + audioCopied;
    QTest::newRow("re-encoding fitting streams copies nothing")
        << OptionalStreams(h264) << choices(x264, "-c:a aac") << true << choices(x264, "-c:a aac") << QString();
    QTest::newRow("copying chosen stays as chosen")
        << OptionalStreams(StreamList{probedVideo("hevc", "yuv420p"), probedAudio("aac", 44100, 2)})
        << choices("-c:v copy", "-c:a copy") << false << choices("-c:v copy", "-c:a copy") << QString();
    QTest::newRow("the library's counts tell too little to copy")
        << MediaStreams::fromCounts(Counts{1, 1, 0, 0, 0, false, false}) << choices(x264, "-c:a aac") << false
        << choices(x264, "-c:a aac") << QString();
    QTest::newRow("unknown streams are encoded as chosen")
        << OptionalStreams() << choices(x264, "-c:a aac") << false << choices(x264, "-c:a aac") << QString();
}

void StreamMapTest::planCopiesWhatFits()
{
    QFETCH(OptionalStreams, streams);
    QFETCH(Arguments, fragments);
    QFETCH(bool, reencodeFitting);
    QFETCH(Arguments, planned);
    QFETCH(QString, note);
    const StreamMap::Decision decision = StreamMap::decide(streams);
    const StreamMap::Plan plan = StreamMap::plan(decision, fragments, reencodeFitting);
    QCOMPARE(plan.arguments, decision.arguments);
    QCOMPARE(plan.fragments, planned);
    QCOMPARE(plan.note, note);
    // Where a copy happens, the codecs must have been asked for.
    if (!note.isEmpty())
        QVERIFY(StreamMap::mayCopy(fragments, reencodeFitting));
}

void StreamMapTest::codecsAreReadOnlyWhereACopyCanHappen_data()
{
    QTest::addColumn<Arguments>("fragments");
    QTest::addColumn<bool>("reencodeFitting");
    QTest::addColumn<bool>("mayCopy");

    const QByteArray x264 = "-c:v libx264 -preset medium -pix_fmt yuv420p";
    QTest::newRow("H.264 and AAC") << choices(x264, "-c:a aac") << false << true;
    QTest::newRow("re-encoding asked for") << choices(x264, "-c:a aac") << true << false;
    QTest::newRow("bitrates for both: the audio may have its already")
        << choices(x264, "-c:a aac", {{1, "-b:v 1000k"}, {6, "-b:a 128k"}}) << false << true;
    QTest::newRow("a video bitrate, the audio may fit")
        << choices(x264, "-c:a aac", {{1, "-b:v 1000k"}}) << false << true;
    QTest::newRow("4:4:4 video, the user's own audio copy")
        << choices("-c:v libx264 -pix_fmt yuv444p", "-c:a copy") << false << false;
    QTest::newRow("the user's own copy") << choices("-c:v copy", "-c:a copy") << false << false;
    QTest::newRow("not the nine fragments") << Arguments{x264, "-c:a aac"} << false << false;
}

void StreamMapTest::codecsAreReadOnlyWhereACopyCanHappen()
{
    QFETCH(Arguments, fragments);
    QFETCH(bool, reencodeFitting);
    QFETCH(bool, mayCopy);
    QCOMPARE(StreamMap::mayCopy(fragments, reencodeFitting), mayCopy);
}

void StreamMapTest::countsSettleOnlyPlainFiles_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<OptionalStreams>("streams");

    QTest::newRow("video and two audio") << Counts{1, 2, 0, 0, 0, false, false}
                                         << OptionalStreams(StreamList{video({}), audio({}), audio({})});
    QTest::newRow("audio only") << Counts{0, 1, 0, 0, 0, false, false} << OptionalStreams(StreamList{audio({})});
    QTest::newRow("video only") << Counts{1, 0, 0, 0, 0, false, false} << OptionalStreams(StreamList{video({})});
    QTest::newRow("nothing found") << Counts{} << OptionalStreams();
    QTest::newRow("subtitles") << Counts{1, 1, 1, 0, 0, false, false} << OptionalStreams();
    QTest::newRow("data") << Counts{1, 1, 0, 1, 0, false, false} << OptionalStreams();
    QTest::newRow("picture") << Counts{1, 1, 0, 0, 1, false, false} << OptionalStreams();
    QTest::newRow("cover") << Counts{1, 1, 0, 0, 0, true, false} << OptionalStreams();
    QTest::newRow("attachments") << Counts{1, 1, 0, 0, 0, false, true} << OptionalStreams();
    QTest::newRow("two videos") << Counts{2, 1, 0, 0, 0, false, false} << OptionalStreams();
}

void StreamMapTest::countsSettleOnlyPlainFiles()
{
    QFETCH(Counts, counts);
    QFETCH(OptionalStreams, streams);
    QCOMPARE(MediaStreams::fromCounts(counts), streams);
}

void StreamMapTest::probeOutput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<OptionalStreams>("streams");

    QTest::newRow("kinds, codecs and a cover")
        << QByteArray(R"({"programs": [], "streams": [
               {"index": 0, "codec_name": "h264", "codec_type": "video", "disposition": {"attached_pic": 0}},
               {"index": 1, "codec_name": "aac", "codec_type": "audio", "disposition": {"attached_pic": 0}},
               {"index": 2, "codec_name": "subrip", "codec_type": "subtitle", "disposition": {"attached_pic": 0}},
               {"index": 3, "codec_name": "mjpeg", "codec_type": "video", "disposition": {"attached_pic": 1}},
               {"index": 4, "codec_type": "attachment", "disposition": {"attached_pic": 0}},
               {"index": 5, "codec_name": "bin_data", "codec_type": "data"},
               {"index": 6, "codec_type": "unknown"},
               {"index": 7, "codec_name": "bin_data", "codec_type": "data", "codec_tag_string": "text"}]})")
        << OptionalStreams(StreamList{video(), audio(), subtitle("subrip"), cover(), {Kind::Attachment, {}, false},
                                      data(), {Kind::Data, {}, false}});
    QTest::newRow("what copying needs, from a container with presentation times")
        << QByteArray(R"({"streams": [
               {"codec_name": "h264", "codec_type": "video", "pix_fmt": "yuv420p"},
               {"codec_name": "aac", "codec_type": "audio", "sample_rate": "48000", "channels": 2}],
               "format": {"format_name": "matroska,webm"}})")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv420p"), probedAudio("aac", 48000, 2)});
    QTest::newRow("AVI stores no presentation times")
        << QByteArray(R"({"streams": [{"codec_name": "h264", "codec_type": "video", "pix_fmt": "yuv420p"}],
               "format": {"format_name": "avi"}})")
        << OptionalStreams(StreamList{probedVideo("h264", "yuv420p", false)});
    QTest::newRow("no streams") << QByteArray(R"({"streams": []})") << OptionalStreams(StreamList{});
    QTest::newRow("not json") << QByteArray("Invalid data found when processing input") << OptionalStreams();
    QTest::newRow("no stream list") << QByteArray(R"({"format": {}})") << OptionalStreams();
    QTest::newRow("stream without a type") << QByteArray(R"({"streams": [{"codec_name": "h264"}]})")
                                           << OptionalStreams();
}

void StreamMapTest::probeOutput()
{
    QFETCH(QByteArray, json);
    QFETCH(OptionalStreams, streams);
    QCOMPARE(MediaStreams::parseProbeOutput(json), streams);
}

void StreamMapTest::commandLine_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<Arguments>("streamArguments");
    QTest::addColumn<Arguments>("fragments");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("line");

    const Arguments nine{"-c:v libx264 -preset medium", "-b:v 1000k", "-s 640x360", "-r 25", "-aspect 16:9",
                         "-c:a aac",                    "-b:a 128k",  "-ac 2",      "-ar 44100"};
    QTest::newRow("plain paths")
        << QByteArray("/v/in.avi") << Arguments{"-map", "0:V:0?", "-map", "0:a?"} << nine << QByteArray("/o/in.mp4")
        << QByteArray("/p/bin/ffmpeg -y -i /v/in.avi -map 0:V:0? -map 0:a? -c:v libx264 -preset medium -b:v 1000k "
                      "-s 640x360 -r 25 -aspect 16:9 -c:a aac -b:a 128k -ac 2 -ar 44100 /o/in.mp4");
    QTest::newRow("empty fragments leave two blanks")
        << QByteArray("/v/in.avi") << Arguments{} << Arguments{"", "-b:v 500k", "", "", "", "", "", "", ""}
        << QByteArray("/o/in.mp4")
        << QByteArray("/p/bin/ffmpeg -y -i /v/in.avi  -b:v 500k        /o/in.mp4");
    QTest::newRow("odd paths are quoted, fragments are not")
        << QByteArray("/v/my \"best\" clip.mkv") << Arguments{"-map", "0:s:1"} << Arguments{"-c:a aac"}
        << QByteArray("/o u t/a\\b.mp4")
        << QByteArray("/p/bin/ffmpeg -y -i \"/v/my \\\"best\\\" clip.mkv\" -map 0:s:1 -c:a aac \"/o u t/a\\\\b.mp4\"");
}

void StreamMapTest::commandLine()
{
    QFETCH(QByteArray, source);
    QFETCH(Arguments, streamArguments);
    QFETCH(Arguments, fragments);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, line);
    const QByteArray built = FFmpegCommand::commandLine("/p/bin/ffmpeg", source, streamArguments, fragments, output);
    QCOMPARE(built, line);
    // What the encoder receives: the paths whole, wherever they sit.
    const Arguments split = splitCommandLine(built);
    QCOMPARE(split.at(3), source);
    QCOMPARE(split.last(), output);
}

void StreamMapTest::probeProgramFollowsTheEncoderLink()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("bin")));
    QVERIFY(QFile::link("/usr/bin/ffmpeg", dir.filePath("bin/ffmpeg")));
    const QByteArray encoder = QFile::encodeName(dir.filePath("bin/ffmpeg"));
    QCOMPARE(FFmpegCommand::probeProgram(encoder), QByteArray("/usr/bin/ffprobe"));
    // A probe program beside the encoder's link comes first.
    QVERIFY(QFile::link("/usr/bin/ffprobe", dir.filePath("bin/ffprobe")));
    QCOMPARE(FFmpegCommand::probeProgram(encoder), QFile::encodeName(dir.filePath("bin/ffprobe")));
    QCOMPARE(FFmpegCommand::probeProgram(QFile::encodeName(dir.filePath("nothing/ffmpeg"))), QByteArray());
}

void StreamMapTest::probeReadsAPathThatIsNotText()
{
    const QString made = source("bytes.mkv", {"-f", "lavfi", "-i", "sine=duration=1", "-i", "{srt}", "-c:a", "aac",
                                              "-c:s", "srt"});
    QVERIFY(!made.isEmpty());
    const QByteArray path = QFile::encodeName(m_dir.path()) + "/caf\xe9 \xff.mkv";
    QCOMPARE(::rename(QFile::encodeName(made).constData(), path.constData()), 0);
    const OptionalStreams streams = probed("/usr/bin/ffprobe", path);
    // The temporary folder cannot remove a name that is not text.
    ::remove(path.constData());
    Stream text = subtitle("subrip");
    text.presentationTimes = true;
    QCOMPARE(streams, OptionalStreams(StreamList{probedAudio("aac", 44100, 1), text}));
    QCOMPARE(probed("/usr/bin/ffprobe", path + ".missing"), OptionalStreams());
}

void StreamMapTest::preparedDecisionServesOnlyTheUnchangedFile()
{
    // A font attachment: only the probe finds it, and the note names it.
    const QString font = source("prepared font.mkv", {"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac", "-attach",
                                                      "{font}", "-metadata:s:t", "mimetype=application/x-truetype-font"});
    const QString plain = source("prepared plain.m4a", {"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac"});
    QVERIFY(!font.isEmpty() && !plain.isEmpty());
    const QByteArray path = QFile::encodeName(font);
    const QByteArray probe = "/usr/bin/ffprobe";
    // Decided without a probe program, a file with an attachment gets no note.
    const QByteArray noProbe = "/nonexistent/ffprobe";
    const QString fontNote = QStringLiteral("1 attachment (such as a font) not kept: MP4 cannot hold it");
    PreparedStreams prepared;
    prepared.setProbeProgram(noProbe);
    QCOMPARE(decided(prepared, path).note, QString());

    // Used as prepared, once (also when asked for while still being read).
    prepared.setProbeProgram(probe);
    prepared.prepare(path);
    prepared.setProbeProgram(noProbe);
    QCOMPARE(decided(prepared, path).note, fontNote);
    QCOMPARE(decided(prepared, path).note, QString());
    // Not for another path, and dropped by it.
    prepared.setProbeProgram(probe);
    prepared.prepare(path);
    prepared.setProbeProgram(noProbe);
    QCOMPARE(decided(prepared, QFile::encodeName(plain)).note, QString());
    QCOMPARE(decided(prepared, path).note, QString());
    // Not once another file has taken the path's place.
    prepared.setProbeProgram(probe);
    prepared.prepare(path);
    const QString kept = font + QStringLiteral(".kept");
    QVERIFY(QFile::rename(font, kept));
    QVERIFY(QFile::copy(plain, font));
    const StreamMap::Decision replaced = decided(prepared, path);
    QCOMPARE(replaced.note, QString());
    QCOMPARE(replaced.arguments, StreamMap::decide(StreamList{audio()}).arguments);
}

QString StreamMapTest::source(const QString &name, QStringList arguments)
{
    for (QString &argument : arguments) {
        argument.replace("{srt}", m_dir.filePath("sub.srt"));
        argument.replace("{chapters}", m_dir.filePath("chapters.txt"));
        argument.replace("{cover}", m_dir.filePath("cover.png"));
        argument.replace("{font}", m_dir.filePath("font.ttf"));
    }
    const QString path = m_dir.filePath(name);
    return TestSupport::makeClip(path, arguments) ? path : QString();
}

QString StreamMapTest::convert(const QString &sourcePath, QString *note)
{
    const QByteArray encoder = "/usr/bin/ffmpeg";
    const QByteArray source = QFile::encodeName(sourcePath);
    const QString output = sourcePath + QStringLiteral(".out.mp4");
    PreparedStreams prepared;
    prepared.setProbeProgram(FFmpegCommand::probeProgram(encoder));
    const StreamMap::Decision streams = decided(prepared, source);
    if (note)
        *note = streams.note;
    const Arguments fragments{"-c:v libx264 -preset ultrafast -pix_fmt yuv420p", "", "", "", "", "-c:a aac", "", "",
                              ""};
    return runEncoder(FFmpegCommand::commandLine(encoder, source, streams.arguments, fragments,
                                                 QFile::encodeName(output)))
        ? output
        : QString();
}

QString StreamMapTest::convertPlanned(const QString &sourcePath, const Arguments &fragments, bool reencodeFitting,
                                      QString *note)
{
    const QByteArray encoder = "/usr/bin/ffmpeg";
    const QByteArray source = QFile::encodeName(sourcePath);
    const QString output = sourcePath + QStringLiteral(".planned.mp4");
    PreparedStreams prepared;
    prepared.setProbeProgram(FFmpegCommand::probeProgram(encoder));
    const StreamMap::Plan plan = StreamMap::plan(decided(prepared, source), fragments, reencodeFitting);
    *note = plan.note;
    return runEncoder(FFmpegCommand::commandLine(encoder, source, plan.arguments, plan.fragments,
                                                 QFile::encodeName(output)))
        ? output
        : QString();
}

void StreamMapTest::conversionKeepsStreams_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("note");

    const QStringList videoIn{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2"};
    const QStringList audioIn{"-f", "lavfi", "-i", "sine=duration=2"};
    const QStringList audio2In{"-f", "lavfi", "-i", "sine=frequency=880:duration=2"};
    const QStringList encode{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac"};

    QTest::newRow("two languages and a SubRip track")
        << "languages.mkv"
        << (videoIn + audioIn + audio2In
            + QStringList{"-i", "{srt}", "-map", "0", "-map", "1", "-map", "2", "-map", "3"} + encode + QStringList{"-c:s", "srt", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1",
                                   "language=ger", "-metadata:s:s:0", "language=fre"})
        << QStringList{"video h264 160x120", "audio aac eng", "audio aac ger", "subtitle mov_text fre", "chapters 0"}
        << QString();
    QTest::newRow("chapters")
        << "chapters.mkv"
        << (videoIn + audioIn + QStringList{"-i", "{chapters}", "-map", "0", "-map", "1", "-map_chapters", "2"}
            + encode)
        << QStringList{"video h264 160x120", "audio aac und", "chapters 2"} << QString();
    // The probe reads this one (it has a subtitle); the track that carries
    // the chapter titles is not named as left out.
    QTest::newRow("chapters and a subtitle in MP4")
        << "chapters.mp4"
        << (videoIn + audioIn + QStringList{"-i", "{srt}", "-i", "{chapters}", "-map", "0", "-map", "1", "-map", "2",
                                            "-map_chapters", "3"}
            + encode + QStringList{"-c:s", "mov_text"})
        << QStringList{"video h264 160x120", "audio aac und", "subtitle mov_text und", "chapters 2"} << QString();
    // The cover reads as a second video stream: only the main video is kept.
    QTest::newRow("attached cover picture")
        << "cover.mp4"
        << (videoIn + audioIn + QStringList{"-i", "{cover}", "-map", "0", "-map", "1", "-map", "2"} + encode
            + QStringList{"-c:v:1", "png", "-disposition:v:1", "attached_pic"})
        << QStringList{"video h264 160x120", "audio aac und", "chapters 0"}
        << QStringLiteral("1 cover picture not kept");
    QTest::newRow("font attachment")
        << "font.mkv"
        << (videoIn + audioIn + encode
            + QStringList{"-attach", "{font}", "-metadata:s:t", "mimetype=application/x-truetype-font"})
        << QStringList{"video h264 160x120", "audio aac und", "chapters 0"}
        << QStringLiteral("1 attachment (such as a font) not kept: MP4 cannot hold it");
    QTest::newRow("video only") << "video.mp4" << (videoIn + QStringList{"-c:v", "libx264", "-preset", "ultrafast"})
                                << QStringList{"video h264 160x120", "chapters 0"} << QString();
    QTest::newRow("audio only") << "audio.m4a" << (audioIn + QStringList{"-c:a", "aac"})
                                << QStringList{"audio aac und", "chapters 0"} << QString();
}

void StreamMapTest::conversionKeepsStreams()
{
    QFETCH(QString, name);
    QFETCH(QStringList, make);
    QFETCH(QStringList, expected);
    QFETCH(QString, note);
    const QString path = source(name, make);
    QVERIFY(!path.isEmpty());
    QString told;
    const QString output = convert(path, &told);
    QVERIFY(!output.isEmpty());
    QCOMPARE(outputStreams(output), expected);
    QCOMPARE(told, note);
}

void StreamMapTest::tracksKeepTheirTitles()
{
    const QString path = source("titles.mkv", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                                               "-f", "lavfi", "-i", "sine=duration=1", "-f", "lavfi", "-i",
                                               "sine=frequency=880:duration=1", "-i", "{srt}", "-map", "0", "-map",
                                               "1", "-map", "2", "-map", "3", "-c:v", "libx264", "-c:a", "aac",
                                               "-c:s", "srt", "-metadata:s:a:0", "title=Main mix", "-metadata:s:a:1",
                                               "title=Commentary \u00e9", "-metadata:s:s:0", "title=Signs"});
    QVERIFY(!path.isEmpty());
    const QString output = convert(path);
    QVERIFY(!output.isEmpty());
    QCOMPARE(titles(output, "Audio"), (QStringList{"Main mix", QString::fromUtf8("Commentary \u00e9")}));
    QCOMPARE(titles(output, "Text"), QStringList{"Signs"});
}

void StreamMapTest::probeReadsWhatCopyingNeeds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<StreamList>("streams");

    const QStringList videoIn{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1"};
    const QStringList audioIn{"-f", "lavfi", "-i", "sine=duration=1"};
    QTest::newRow("H.264 4:2:0 and stereo AAC in Matroska")
        << "details.mkv"
        << (videoIn + audioIn
            + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-ar", "48000", "-ac", "2"})
        << StreamList{probedVideo("h264", "yuv420p"), probedAudio("aac", 48000, 2)};
    QTest::newRow("full-range H.264 in MPEG-TS")
        << "details.ts" << (videoIn + QStringList{"-c:v", "libx264", "-pix_fmt", "yuvj420p"})
        << StreamList{probedVideo("h264", "yuvj420p")};
    // AVI tells the audio's bitrate; Matroska does not.
    Stream mp3 = probedAudio("mp3", 22050, 1, false);
    mp3.bitRate = 32000;
    QTest::newRow("10-bit 4:2:2 H.264 and mono MP3 in AVI")
        << "details.avi"
        << (videoIn + audioIn
            + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv422p10le", "-c:a", "libmp3lame", "-ar", "22050", "-ac",
                          "1", "-b:a", "32k"})
        << StreamList{probedVideo("h264", "yuv422p10le", false), mp3};
}

void StreamMapTest::probeReadsWhatCopyingNeeds()
{
    QFETCH(QString, name);
    QFETCH(QStringList, make);
    QFETCH(StreamList, streams);
    const QString path = source(name, make);
    QVERIFY(!path.isEmpty());
    QCOMPARE(probed("/usr/bin/ffprobe", QFile::encodeName(path)), OptionalStreams(streams));
}

void StreamMapTest::copiedStreamsKeepTheirPackets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<Arguments>("fragments");
    QTest::addColumn<bool>("reencodeFitting");
    QTest::addColumn<QString>("note");
    // The streams whose packets the output carries unchanged; the source's
    // other streams come out encoded anew.
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<QStringList>("output");

    const QStringList videoIn{"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2"};
    const QStringList stereoIn{"-f", "lavfi", "-i", "sine=duration=2,aformat=sample_rates=48000:channel_layouts=stereo"};
    const QStringList monoIn{"-f", "lavfi", "-i", "sine=frequency=880:duration=2"};
    const QStringList h264{"-c:v", "libx264", "-pix_fmt", "yuv420p"};
    // The selectors' fragments as the catalogue offers them.
    const QByteArray x264 = "-c:v libx264 -preset medium -pix_fmt yuv420p";
    const QByteArray x265 = "-c:v libx265 -preset medium -pix_fmt yuv420p -tag:v hvc1";

    QTest::newRow("H.264 with the shipped choices: the video is copied, the audio takes its bitrate")
        << "shipped.mkv" << (videoIn + stereoIn + h264 + QStringList{"-c:a", "aac"})
        << Arguments{x264, "", "", "", "", "-c:a aac", "-b:a 128k", "-ac 2", ""} << false
        << QStringLiteral("Video copied: already H.264") << QStringList{"v:0"}
        << QStringList{"h264,avc1", "aac,mp4a,2"};
    QTest::newRow("an MP4's AAC at the chosen bitrate is copied with the video")
        << "bitrate.mp4" << (videoIn + stereoIn + h264 + QStringList{"-c:a", "aac", "-b:a", "128k"})
        << Arguments{x264, "", "", "", "", "-c:a aac", "-b:a 128k", "-ac 2", ""} << false
        << QStringLiteral("Video copied: already H.264\nAudio copied: already AAC") << QStringList{"v:0", "a:0"}
        << QStringList{"h264,avc1", "aac,mp4a,2"};
    QTest::newRow("H.264 and AAC that fit are both copied")
        << "fits.mkv" << (videoIn + stereoIn + h264 + QStringList{"-c:a", "aac"})
        << Arguments{x264, "", "", "", "", "-c:a aac", "", "-ac 2", ""} << false
        << QStringLiteral("Video copied: already H.264\nAudio copied: already AAC") << QStringList{"v:0", "a:0"}
        << QStringList{"h264,avc1", "aac,mp4a,2"};
    QTest::newRow("asked to re-encode, nothing is copied")
        << "fits.mkv" << (videoIn + stereoIn + h264 + QStringList{"-c:a", "aac"})
        << Arguments{x264, "", "", "", "", "-c:a aac", "", "-ac 2", ""} << true << QString() << QStringList()
        << QStringList{"h264,avc1", "aac,mp4a,2"};
    QTest::newRow("HEVC with H.265 chosen is copied and tagged hvc1")
        << "hevc.mkv" << (videoIn + QStringList{"-c:v", "libx265", "-pix_fmt", "yuv420p", "-x265-params", "log-level=error"})
        << Arguments{x265, "", "", "", "", "-c:a aac", "", "", ""} << false
        << QStringLiteral("Video copied: already H.265") << QStringList{"v:0"} << QStringList{"hevc,hvc1"};
    QTest::newRow("of two AAC tracks only the stereo one fits stereo")
        << "two tracks.mkv"
        << (videoIn + stereoIn + monoIn + QStringList{"-map", "0", "-map", "1", "-map", "2"} + h264
            + QStringList{"-c:a", "aac"})
        << Arguments{x264, "", "", "", "", "-c:a aac", "", "-ac 2", ""} << false
        << QStringLiteral("Video copied: already H.264\nAudio track 1 copied: already AAC")
        << QStringList{"v:0", "a:0"} << QStringList{"h264,avc1", "aac,mp4a,2", "aac,mp4a,2"};
    QTest::newRow("the source's MP3 and Opus are kept as they are")
        << "kept.mkv"
        << (videoIn + stereoIn + monoIn + QStringList{"-map", "0", "-map", "1", "-map", "2"} + h264
            + QStringList{"-c:a:0", "libmp3lame", "-c:a:1", "libopus"})
        << Arguments{"", "", "", "", "", "", "", "", ""} << false
        << QStringLiteral("Video copied: already H.264\nAudio copied: already MP3, Opus")
        << QStringList{"v:0", "a:0", "a:1"} << QStringList{"h264,avc1", "mp3,mp4a,2", "opus,Opus,1"};
}

void StreamMapTest::copiedStreamsKeepTheirPackets()
{
    QFETCH(QString, name);
    QFETCH(QStringList, make);
    QFETCH(Arguments, fragments);
    QFETCH(bool, reencodeFitting);
    QFETCH(QString, note);
    QFETCH(QStringList, copied);
    QFETCH(QStringList, output);
    const QString path = QFile::exists(m_dir.filePath(name)) ? m_dir.filePath(name) : source(name, make);
    QVERIFY(!path.isEmpty());
    QString told;
    const QString converted = convertPlanned(path, fragments, reencodeFitting, &told);
    QVERIFY(!converted.isEmpty());
    QCOMPARE(told, note);
    QCOMPARE(codecsAndTags(converted), output);
    // Each source here has one video and its audio tracks.
    QStringList streams{QStringLiteral("v:0")};
    for (qsizetype track = 0; track < codecsAndTags(path).size() - 1; ++track)
        streams << QStringLiteral("a:%1").arg(track);
    for (const QString &stream : streams) {
        const QByteArray before = packetDigest(path, stream);
        const QByteArray after = packetDigest(converted, stream);
        QVERIFY2(before.startsWith("MD5=") && after.startsWith("MD5="), before + " / " + after);
        if (copied.contains(stream))
            QVERIFY2(before == after, qPrintable(stream));
        else
            QVERIFY2(before != after, qPrintable(stream));
    }
}

QTEST_GUILESS_MAIN(StreamMapTest)
#include "tst_streammap.moc"
