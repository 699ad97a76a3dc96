// The media information binding: loading by name with retries, rebinding,
// missing entry points, the duration and file-name queries, files named by
// bytes that are not valid text, files that cannot be read, and the rules
// for the size and clock texts.

#include "media/mediainfodll.h"
#include "media/mediaquery.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using namespace MediaInfoDll;

class MediaInfoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void missingLibraryIsLoadedByALaterQuery();
    void laterLoadsBindAgainWithoutLoading();
    void missingEntryPointsEndQueriesSilently();
    void durationAndFileNameQueries_data();
    void durationAndFileNameQueries();
    void codecRowsShowTheCodecs();
    void nameThatIsNotValidTextShowsTheFilesFigures();
    void unreadableFilesSayWhyAndShowNoTime_data();
    void unreadableFilesSayWhyAndShowNoTime();
    void sizeText_data();
    void sizeText();
    void sizeTextOfBytes_data();
    void sizeTextOfBytes();

private:
    QTemporaryDir m_dir;
    QByteArray m_clip;
};

void MediaInfoTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_clip = QFile::encodeName(m_dir.filePath(QStringLiteral("my clip.mp4")));
    QVERIFY(TestSupport::makeH264Clip(QFile::decodeName(m_clip), 1));
}

void MediaInfoTest::missingLibraryIsLoadedByALaterQuery()
{
    // Needs a process in which nothing has loaded the library yet.
    TESTSUPPORT_RUN_IN_FRESH_PROCESS(QStringList(), QString());
    QVERIFY2(!MediaInfoModule, "the library was loaded before this test");
    QTemporaryDir libraryDir;
    const QString libraryPath = libraryDir.filePath(QStringLiteral("libmediainfo.so.0"));
    setLibraryName(QFile::encodeName(libraryPath).constData());
    const auto restore = qScopeGuard([] { setLibraryName("libmediainfo.so.0"); });

    QVERIFY(!LoadMediaInfo(libraryName()));
    QVERIFY(!MediaInfoModule);
    QVERIFY(!MediaInfoA_New);
    QVERIFY(!MediaQuery::fileEntry(m_clip));
    QVERIFY(!MediaQuery::panel(m_clip));
    QVERIFY(!MediaQuery::duration(m_clip));
    // This query does not load; with nothing bound it gives no name.
    QCOMPARE(MediaQuery::fileName(m_clip), QByteArray());

    // Put the library in place: the next query loads it.
    const QString real = TestSupport::systemLibraryPath(QStringLiteral("libmediainfo.so.0"));
    QVERIFY2(!real.isEmpty(), "libmediainfo.so.0 is not installed");
    QVERIFY(QFile::link(real, libraryPath));
    const auto entry = MediaQuery::fileEntry(m_clip);
    QVERIFY(entry);
    QCOMPARE(entry->type, QByteArray("mp4"));
    QVERIFY(MediaInfoModule);
    const auto countBound = [](auto... entryPoints) { return (0 + ... + (entryPoints ? 1 : 0)); };
    QCOMPARE(countBound(MediaInfo_New, MediaInfo_Delete, MediaInfo_Open, MediaInfo_Close, MediaInfo_Inform,
                        MediaInfo_GetI, MediaInfo_Get, MediaInfo_Option, MediaInfo_State_Get, MediaInfo_Count_Get,
                        MediaInfoA_New, MediaInfoA_Delete, MediaInfoA_Open, MediaInfoA_Close, MediaInfoA_Inform,
                        MediaInfoA_GetI, MediaInfoA_Get, MediaInfoA_Option, MediaInfoA_State_Get,
                        MediaInfoA_Count_Get),
             20);
}

void MediaInfoTest::laterLoadsBindAgainWithoutLoading()
{
    QVERIFY(LoadMediaInfo(libraryName()));
    void *const module = MediaInfoModule;
    MediaInfoA_Get = nullptr;
    MediaInfo_Count_Get = nullptr;
    // A name that cannot load proves that nothing is loaded again.
    QVERIFY(LoadMediaInfo("/nonexistent/libmediainfo.so.0"));
    QCOMPARE(MediaInfoModule, module);
    QVERIFY(MediaInfoA_Get);
    QVERIFY(MediaInfo_Count_Get);
}

void MediaInfoTest::missingEntryPointsEndQueriesSilently()
{
    // The first library this process loads stays loaded.
    TESTSUPPORT_RUN_IN_FRESH_PROCESS(QStringList(), QString());
    // A real library that exports none of the names.
    const QString other = TestSupport::systemLibraryPath(QStringLiteral("libsqlite3.so.0"));
    QVERIFY(!other.isEmpty());
    setLibraryName(QFile::encodeName(other).constData());
    QVERIFY(LoadMediaInfo(libraryName()));
    QVERIFY(MediaInfoModule);
    QVERIFY(!MediaInfoA_New);
    QVERIFY(!MediaQuery::fileEntry(m_clip));
    QVERIFY(!MediaQuery::panel(m_clip));
    QVERIFY(!MediaQuery::duration(m_clip));
    QCOMPARE(MediaQuery::fileName(m_clip), QByteArray());
}

void MediaInfoTest::durationAndFileNameQueries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("duration");
    QTest::addColumn<QByteArray>("fileName");
    QTest::newRow("clip") << "my clip.mp4" << QByteArray("00:00:01") << QByteArray("my clip");
    // Nothing to read, so no playing time: never a made-up one.
    QTest::newRow("missing file") << "gone.mp4" << QByteArray() << QByteArray();
}

void MediaInfoTest::durationAndFileNameQueries()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, duration);
    QFETCH(QByteArray, fileName);
    const QByteArray path = QFile::encodeName(m_dir.filePath(name));
    QCOMPARE(MediaQuery::duration(path), std::optional<QByteArray>(duration));
    QCOMPARE(MediaQuery::fileName(path), fileName);
}

void MediaInfoTest::codecRowsShowTheCodecs()
{
    const auto values = MediaQuery::panel(m_clip);
    QVERIFY(values);
    QCOMPARE((*values)[6], QByteArray("AVC"));
    QCOMPARE((*values)[12], QByteArray("AAC LC"));
    // The switch that brings the codecs back leaves the other texts as they were.
    QCOMPARE((*values)[1], QByteArray("my clip.mp4"));
    QCOMPARE((*values)[4], QByteArray("00:00:01"));
    QCOMPARE((*values)[8], QByteArray("160x120"));
}

void MediaInfoTest::nameThatIsNotValidTextShowsTheFilesFigures()
{
    // The library converts a name through the locale's character set, which
    // this one does not survive: it must read the file all the same.
    const QByteArray odd = QFile::encodeName(m_dir.path()) + "/bad\xffname.v1.MKV";
    QVERIFY(QFile::copy(QFile::decodeName(m_clip), QStringLiteral("%1/copy").arg(m_dir.path())));
    QCOMPARE(::rename(QFile::encodeName(m_dir.filePath(QStringLiteral("copy"))).constData(), odd.constData()), 0);
    // QTemporaryDir removes by text names, which miss this one.
    const auto remove = qScopeGuard([&odd] { ::unlink(odd.constData()); });

    const auto reference = MediaQuery::fileEntry(m_clip);
    const auto entry = MediaQuery::fileEntry(odd);
    QVERIFY(reference && entry);
    QCOMPARE(entry->type, QByteArray("MKV"));
    QCOMPARE(entry->size, reference->size);
    QCOMPARE(entry->time, QByteArray("00:00:01"));
    QCOMPARE(entry->unreadable, QString());

    const auto values = MediaQuery::panel(odd);
    QVERIFY(values);
    // The name is the file's own bytes, not the library's name for what it opened.
    QCOMPARE((*values)[1], QByteArray("bad\xffname.v1.MKV"));
    QCOMPARE((*values)[2], QByteArray("MKV"));
    QCOMPARE((*values)[3], reference->size);
    QCOMPARE((*values)[4], QByteArray("00:00:01"));
    QCOMPARE((*values)[6], QByteArray("AVC"));
    QCOMPARE((*values)[8], QByteArray("160x120"));
    QCOMPARE((*values)[12], QByteArray("AAC LC"));
    QCOMPARE(MediaQuery::duration(odd), std::optional<QByteArray>("00:00:01"));
    QCOMPARE(MediaQuery::fileName(odd), QByteArray("bad\xffname.v1"));
    QCOMPARE(MediaQuery::openProblem(odd), QString());
}

void MediaInfoTest::unreadableFilesSayWhyAndShowNoTime_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QString>("unreadable");

    const QString notMedia = QString::fromLatin1(MediaQuery::NotMediaText);
    QTest::newRow("text named .avi") << "notes.avi" << QByteArray("avi") << QByteArray("0.000005722 MB") << notMedia;
    QTest::newRow("empty file") << "empty.avi" << QByteArray("avi") << QByteArray("0.000 MB") << notMedia;
    QTest::newRow("missing file") << "gone.mkv" << QByteArray("mkv") << QByteArray()
                                  << QString::fromLatin1(MediaQuery::MissingText);
    QTest::newRow("folder named .mkv") << "folder.mkv" << QByteArray("mkv") << QByteArray() << notMedia;
    // Streams but no playing time: readable, and still no time is made up.
    QTest::newRow("audio without a playing time") << "tone.aac" << QByteArray("aac") << QByteArray("?") << QString();
    // Not judged: reading it would wait for a writer that never comes.
    QTest::newRow("FIFO") << "pipe.avi" << QByteArray("avi") << QByteArray() << QString();
}

void MediaInfoTest::unreadableFilesSayWhyAndShowNoTime()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, size);
    QFETCH(QString, unreadable);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(name);
    if (name == QLatin1String("notes.avi") || name == QLatin1String("empty.avi")) {
        QFile text(file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(name == QLatin1String("notes.avi") ? "hello\n" : "");
    } else if (name == QLatin1String("folder.mkv")) {
        QVERIFY(QDir().mkpath(file));
    } else if (name == QLatin1String("tone.aac")) {
        QVERIFY(TestSupport::makeClip(file, {"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac", "-f", "adts"}));
    } else if (name == QLatin1String("pipe.avi")) {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    }
    const QByteArray path = QFile::encodeName(file);

    const auto entry = MediaQuery::fileEntry(path);
    QVERIFY(entry);
    QCOMPARE(entry->type, type);
    if (size == "?")
        QVERIFY2(entry->size.endsWith(" MB") && entry->size != "0.000 MB", entry->size.constData());
    else
        QCOMPARE(entry->size, size);
    QCOMPARE(entry->time, QByteArray());
    QCOMPARE(entry->unreadable, unreadable);
    QCOMPARE(MediaQuery::duration(path), std::optional<QByteArray>(QByteArray()));

    const auto values = MediaQuery::panel(path);
    QVERIFY(values);
    QCOMPARE((*values)[1], QFile::encodeName(name));
    QCOMPARE((*values)[2], unreadable.isEmpty() ? type : unreadable.toLocal8Bit());
    QCOMPARE((*values)[3], entry->size);
    QCOMPARE((*values)[4], QByteArray());
    // No video size of "x" for a file without video.
    QCOMPARE((*values)[8], QByteArray());
    if (!unreadable.isEmpty()) {
        for (int row = 4; row < MediaQuery::PanelRowCount; ++row)
            QVERIFY2((*values)[row].isEmpty(), qPrintable(QStringLiteral("row %1: %2").arg(row).arg(QString::fromLocal8Bit((*values)[row]))));
    }
    QCOMPARE(MediaQuery::openProblem(path), unreadable == QLatin1String(MediaQuery::MissingText) ? unreadable : QString());
}

void MediaInfoTest::sizeText_data()
{
    QTest::addColumn<QByteArray>("fileSize");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("MiB keeps its digits") << QByteArray("1.087 MiB") << QByteArray("1.087 MB");
    QTest::newRow("KiB") << QByteArray("45.08 KiB") << QByteArray("0.04402 MB");
    QTest::newRow("small KiB") << QByteArray("9.975 KiB") << QByteArray("0.009741 MB");
    QTest::newRow("bytes") << QByteArray("36.00 Bytes") << QByteArray("0.00003433 MB");
    QTest::newRow("empty file") << QByteArray("0.000 Byte") << QByteArray("0.000 MB");
    QTest::newRow("GiB") << QByteArray("1.2 GiB") << QByteArray("1229 MB");
    QTest::newRow("TiB") << QByteArray("2.000 TiB") << QByteArray("2097152 MB");
    QTest::newRow("rounding carries") << QByteArray("1023.99 KiB") << QByteArray("1.000 MB");
    QTest::newRow("no size") << QByteArray() << QByteArray("MB");
    QTest::newRow("unknown unit") << QByteArray("12.5 QiB") << QByteArray("12.5 MB");
    QTest::newRow("unknown form") << QByteArray("abc") << QByteArray("MB");
}

void MediaInfoTest::sizeText()
{
    QFETCH(QByteArray, fileSize);
    QFETCH(QByteArray, expected);
    QCOMPARE(MediaQuery::sizeText(fileSize), expected);
}

void MediaInfoTest::sizeTextOfBytes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << qint64(0) << QByteArray("0.000 MB");
    QTest::newRow("a few bytes") << qint64(6) << QByteArray("0.000005722 MB");
    QTest::newRow("megabytes") << qint64(1139802) << QByteArray("1.087 MB");
}

void MediaInfoTest::sizeTextOfBytes()
{
    QFETCH(qint64, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(MediaQuery::sizeText(bytes), expected);
}

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
