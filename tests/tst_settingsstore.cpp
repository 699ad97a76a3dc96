// The settings store against real SQLite files.

#include "settings/esqliteerror.h"
#include "settings/tsqldatmod.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <thread>

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFileIsCreatedAndHasNoTables();
    void notADatabaseFailsAtFirstStatement();
    void readOnlyFileLoadsButRefusesUpdates();
    void singleQuoteInTextValueRoundTrips();
    void emptyResultReadsAsEmptyTextAndZero();
    void resultRowsAreReadInOrder();
    void updateMatchingNoRowSucceeds();
    void lockHeldByAnotherConnection_data();
    void lockHeldByAnotherConnection();
    void sqlQuotedDoublesInnerQuotes_data();
    void sqlQuotedDoublesInnerQuotes();

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
};

void SettingsStoreTest::init()
{
    QVERIFY(m_dir.isValid());
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void SettingsStoreTest::cleanup()
{
    QDir::setCurrent(m_oldDir);
    QFile::remove(m_dir.filePath(QStringLiteral("LibFFmpeg.Dat")));
}

void SettingsStoreTest::missingFileIsCreatedAndHasNoTables()
{
    TSqlDatMod module;
    QCOMPARE(SqlDatMod, &module);
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("LibFFmpeg.Dat"))));
    try {
        module.SqliteQuery.run(QStringLiteral("select cmbex_index from cmbex_itemindex where cmbex_tag = 1"));
        QFAIL("the statement ran on an empty database");
    } catch (const ESQLiteError &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("no such table: cmbex_itemindex"));
    }
    QVERIFY(!module.SqliteQuery.isOpen());
}

void SettingsStoreTest::notADatabaseFailsAtFirstStatement()
{
    QFile file(m_dir.filePath(QStringLiteral("LibFFmpeg.Dat")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();

    TSqlDatMod module;
    QVERIFY_THROWS_EXCEPTION(ESQLiteError, module.SqliteQuery.run(QStringLiteral("select 1 from savedir_videofile")));
    try {
        module.SqliteQuery.run(QStringLiteral("select 1 from savedir_videofile"));
    } catch (const ESQLiteError &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("file is not a database"));
    }
}

void SettingsStoreTest::readOnlyFileLoadsButRefusesUpdates()
{
    const QString path = m_dir.filePath(QStringLiteral("LibFFmpeg.Dat"));
    TestSupport::execSql(path, {QStringLiteral("create table savedir_videofile (dir_numb text, dir_name text)"),
                                QStringLiteral("insert into savedir_videofile values ('001', '/videos')")});
    TestSupport::ImmutableFile immutable(path);
    if (immutable.unsupported())
        QSKIP("cannot make a file read-only for this user here");

    TSqlDatMod module;
    TSqliteQuery &query = module.SqliteQuery;
    query.run(QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
    QCOMPARE(query.text(0), QStringLiteral("/videos"));
    try {
        query.run(QStringLiteral("update savedir_videofile set dir_name = '/other' where dir_numb = '001'"));
        QFAIL("an update of a read-only file succeeded");
    } catch (const ESQLiteError &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("attempt to write a readonly database"));
    }
    query.run(QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
    QCOMPARE(query.text(0), QStringLiteral("/videos"));
}

void SettingsStoreTest::singleQuoteInTextValueRoundTrips()
{
    TSqlDatMod module;
    TSqliteQuery &query = module.SqliteQuery;
    const QString folder = QStringLiteral("/home/ann/Bob's \"clips\" $HOME \u00e9t\u00e9 \u6620\u50cf");
    query.run(QStringLiteral("create table savedir_videofile (dir_numb text, dir_name text)"));
    query.run(QStringLiteral("insert into savedir_videofile values ('001', '')"));
    query.run(QStringLiteral("update savedir_videofile set dir_name = ") + sqlQuoted(folder)
              + QStringLiteral(" where dir_numb = ") + sqlQuoted(QStringLiteral("001")));
    QVERIFY(!query.isOpen());
    query.run(QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
    QVERIFY(query.isOpen());
    QCOMPARE(query.text(0), folder);
}

void SettingsStoreTest::emptyResultReadsAsEmptyTextAndZero()
{
    TSqlDatMod module;
    TSqliteQuery &query = module.SqliteQuery;
    query.run(QStringLiteral("create table t (a integer, b text)"));
    query.run(QStringLiteral("select a, b from t"));
    QVERIFY(query.isOpen());
    QCOMPARE(query.recordCount(), 0);
    QVERIFY(query.eof());
    QCOMPARE(query.text(1), QString());
    QCOMPARE(query.integer(0), 0);
    QCOMPARE(query.text(7), QString());
}

void SettingsStoreTest::resultRowsAreReadInOrder()
{
    TSqlDatMod module;
    TSqliteQuery &query = module.SqliteQuery;
    query.run(QStringLiteral("create table t (a integer, b text)"));
    query.run(QStringLiteral("insert into t values (2, 'two'), (-1, 'minus one'), (10, '')"));
    query.run(QStringLiteral("select a, b from t order by a"));
    QCOMPARE(query.recordCount(), 3);
    QStringList seen;
    for (query.first(); !query.eof(); query.next())
        seen << QString::number(query.integer(0)) + QLatin1Char('=') + query.text(1);
    QCOMPARE(seen, (QStringList{"-1=minus one", "2=two", "10="}));
    // A new statement discards the previous result.
    query.run(QStringLiteral("select b from t where a = 2"));
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.text(0), QStringLiteral("two"));
}

void SettingsStoreTest::updateMatchingNoRowSucceeds()
{
    TSqlDatMod module;
    TSqliteQuery &query = module.SqliteQuery;
    query.run(QStringLiteral("create table cmbex_itemindex (cmbex_tag integer, cmbex_index integer)"));
    query.run(QStringLiteral("update cmbex_itemindex set cmbex_index = -1 where cmbex_tag = 4"));
    QVERIFY(!query.isOpen());
}

void SettingsStoreTest::lockHeldByAnotherConnection_data()
{
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("released within the wait") << 800 << true;
    QTest::newRow("held past the wait") << TSqliteConnection::BusyTimeoutMs + 2000 << false;
}

void SettingsStoreTest::lockHeldByAnotherConnection()
{
    QFETCH(int, holdMs);
    QFETCH(bool, succeeds);
    TSqlDatMod module;
    module.SqliteQuery.run(QStringLiteral("create table t (a integer)"));
    // Another connection, as another program would, holds a write lock for a while.
    std::promise<void> locked;
    std::thread other([&] {
        TSqliteConnection connection(QStringLiteral("LibFFmpeg.Dat"));
        TSqliteQuery query(connection);
        query.run(QStringLiteral("begin exclusive"));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        query.run(QStringLiteral("rollback"));
    });
    locked.get_future().wait();
    QElapsedTimer clock;
    clock.start();
    QString error;
    try {
        module.SqliteQuery.run(QStringLiteral("insert into t values (1)"));
    } catch (const ESQLiteError &e) {
        error = QString::fromUtf8(e.what());
    }
    const qint64 waited = clock.elapsed();
    other.join();
    if (succeeds) {
        QCOMPARE(error, QString());
        QVERIFY2(waited >= holdMs / 2, qPrintable(QString::number(waited)));
    } else {
        QCOMPARE(error, QStringLiteral("database is locked"));
        QVERIFY2(waited >= TSqliteConnection::BusyTimeoutMs - 200, qPrintable(QString::number(waited)));
    }
}

void SettingsStoreTest::sqlQuotedDoublesInnerQuotes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("literal");
    QTest::newRow("plain") << "001" << "'001'";
    QTest::newRow("empty") << "" << "''";
    QTest::newRow("inner quotes doubled") << "Bob's 'x'" << "'Bob''s ''x'''";
}

void SettingsStoreTest::sqlQuotedDoublesInnerQuotes()
{
    QFETCH(QString, value);
    QFETCH(QString, literal);
    QCOMPARE(::sqlQuoted(value), literal);
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
