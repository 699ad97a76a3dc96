// The media information binding: loading by name with retries, rebinding,
// missing entry points, the duration and file-name queries, and the rules for
// the size and clock texts.

#include "media/mediainfodll.h"
#include "media/mediaquery.h"
#include "testsupport.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

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
    void sizeText_data();
    void sizeText();

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
    QTest::newRow("missing file") << "gone.mp4" << QByteArray("02:50:00") << QByteArray();
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

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
