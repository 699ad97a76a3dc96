// The shipped settings database: its invariants, and every fragment of the
// catalogue accepted by the real ffmpeg.

#include "settings/selectors.h"
#include "settings/selectorstatements.h"
#include "settings/tsqldatmod.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Entry {
    int index;
    QString name;
    QString fragment;
};

QList<Entry> entries(TSqliteQuery &query, const QString &table)
{
    query.run(QStringLiteral("select cmbex_index,cmbex_name,cmbex_cmd from %1 order by rowid").arg(table));
    QList<Entry> result;
    for (query.first(); !query.eof(); query.next())
        result.append({query.integer(0), query.text(1), query.text(2)});
    return result;
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void optionTablesListEntriesWithoutGaps_data();
    void optionTablesListEntriesWithoutGaps();
    void everyTagHasOneSavedPositionInItsList();
    void outputFolderRowIsEmpty();
    void defaultChoicesGiveH264AacMp4();
    void ffmpegAcceptsEveryFragment_data();
    void ffmpegAcceptsEveryFragment();

private:
    QString convert(const QStringList &fragments, const QString &outputName);

    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    QString m_clip;
};

void CatalogueTest::initTestCase()
{
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    m_clip = m_settings->path("source.mp4");
    QVERIFY(TestSupport::makeH264Clip(m_clip, 1));
}

void CatalogueTest::cleanupTestCase()
{
    m_settings.reset();
}

void CatalogueTest::optionTablesListEntriesWithoutGaps_data()
{
    QTest::addColumn<QString>("table");
    for (const Selectors::Selector &selector : Selectors::All)
        QTest::newRow(selector.optionTable) << QString::fromLatin1(selector.optionTable);
}

void CatalogueTest::optionTablesListEntriesWithoutGaps()
{
    QFETCH(QString, table);
    const QList<Entry> list = entries(m_settings->module().SqliteQuery, table);
    QVERIFY(list.size() >= 2);
    for (int k = 0; k < list.size(); ++k) {
        QCOMPARE(list[k].index, k);
        QVERIFY(!list[k].name.isEmpty());
    }
    QCOMPARE(list[0].fragment, QString());
    // The listing statement's order must agree with the insertion order.
    TSqliteQuery &query = m_settings->module().SqliteQuery;
    query.run(QStringLiteral("select cmbex_index,cmbex_name from %1 order by cmbex_index").arg(table));
    for (int k = 0; k < list.size(); ++k, query.next())
        QCOMPARE(query.text(1), list[k].name);
}

void CatalogueTest::everyTagHasOneSavedPositionInItsList()
{
    TSqliteQuery &query = m_settings->module().SqliteQuery;
    for (const Selectors::Selector &selector : Selectors::All) {
        query.run(SelectorStatements::savedIndexSql(selector.tag));
        QCOMPARE(query.recordCount(), 1);
        const int saved = query.integer(0);
        QVERIFY2(saved >= 0 && saved < entries(query, QLatin1String(selector.optionTable)).size(), selector.optionTable);
    }
    query.run(QStringLiteral("select count(*) from cmbex_itemindex"));
    QCOMPARE(query.integer(0), Selectors::Count);
    // No two selectors share a Tag or an option table.
    QSet<int> tags;
    QSet<QString> tables;
    for (const Selectors::Selector &selector : Selectors::All) {
        tags.insert(selector.tag);
        tables.insert(QLatin1String(selector.optionTable));
    }
    QCOMPARE(tags.size(), Selectors::Count);
    QCOMPARE(tables.size(), Selectors::Count);
}

void CatalogueTest::outputFolderRowIsEmpty()
{
    TSqliteQuery &query = m_settings->module().SqliteQuery;
    query.run(QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.text(0), QString());
}

QString CatalogueTest::convert(const QStringList &fragments, const QString &outputName)
{
    QStringList args{"-nostdin", "-loglevel", "error", "-y", "-i", m_clip};
    for (const QString &fragment : fragments)
        args << fragment.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString output = m_settings->path(outputName);
    args << output;
    QByteArray log;
    const int code = TestSupport::runProgram(TestSupport::programDir() + "bin/ffmpeg", args, QString(), &log);
    return code == 0 && QFileInfo(output).size() > 0 ? QString() : QString::fromLocal8Bit(log);
}

void CatalogueTest::defaultChoicesGiveH264AacMp4()
{
    TSqliteQuery &query = m_settings->module().SqliteQuery;
    QStringList fragments;
    for (const Selectors::Selector &selector : Selectors::All) {
        query.run(SelectorStatements::savedIndexSql(selector.tag));
        const int saved = query.integer(0);
        fragments << entries(query, QLatin1String(selector.optionTable)).at(saved).fragment;
    }
    QCOMPARE(convert(fragments, "defaults.mp4"), QString());

    QByteArray codecs;
    QCOMPARE(TestSupport::runProgram("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of",
                                                 "csv=p=0", m_settings->path("defaults.mp4")},
                                     QString(), &codecs),
             0);
    QCOMPARE(codecs.split('\n').mid(0, 2), (QList<QByteArray>{"h264", "aac"}));
}

void CatalogueTest::ffmpegAcceptsEveryFragment_data()
{
    QTest::addColumn<QString>("fragment");
    for (const Selectors::Selector &selector : Selectors::All) {
        const QString table = QLatin1String(selector.optionTable);
        for (const Entry &entry : entries(m_settings->module().SqliteQuery, table))
            QTest::newRow(qPrintable(table + ": " + entry.name)) << entry.fragment;
    }
}

void CatalogueTest::ffmpegAcceptsEveryFragment()
{
    QFETCH(QString, fragment);
    QCOMPARE(convert({fragment}, "entry.mp4"), QString());
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
