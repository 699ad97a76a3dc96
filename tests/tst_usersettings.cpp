// The user's own settings copy: made once from the shipped file, never
// replaced, upgraded from an older catalogue with the choices that still fit.

#include "testsupport.h"
#include "tsqliteconnection.h"
#include "tsqlitequery.h"
#include "usersettings.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString value(const QString &database, const QString &sql)
{
    TSqliteConnection connection(database);
    TSqliteQuery query(connection);
    query.run(sql);
    return query.text(0);
}

void run(const QString &database, const QString &sql)
{
    TSqliteConnection connection(database);
    TSqliteQuery query(connection);
    query.run(sql);
}

QString savedIndex(const QString &database, int tag)
{
    return value(database, QStringLiteral("select cmbex_index from cmbex_itemindex where cmbex_tag = %1").arg(tag));
}

} // namespace

class UserSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstStartCopiesShippedFileWithOutputFolder();
    void existingCopyIsKept();
    void olderCatalogueKeepsChoicesWhereTablesMatch();
    void missingShippedFileIsReported();

private:
    QTemporaryDir m_dir;
    QString m_shipped;
    QString m_user;
};

void UserSettingsTest::init()
{
    QVERIFY(m_dir.isValid());
    m_shipped = m_dir.filePath("shipped.Dat");
    m_user = m_dir.filePath("user.Dat");
    QFile::remove(m_shipped);
    QFile::remove(m_user);
    QFile::remove(m_user + ".old");
    QVERIFY(QFile::copy(TestSupport::programDir() + "LibFFmpeg.Dat", m_shipped));
}

void UserSettingsTest::firstStartCopiesShippedFileWithOutputFolder()
{
    const QString folder = m_dir.filePath("Bob's videos");
    QCOMPARE(UserSettings::prepare(m_shipped, m_user, folder), UserSettings::Outcome::Created);
    QCOMPARE(value(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"), folder);
    QCOMPARE(value(m_shipped, "select dir_name from savedir_videofile where dir_numb = '001'"), QString());
    QVERIFY(!QFileInfo::exists(m_user + ".new"));
}

void UserSettingsTest::existingCopyIsKept()
{
    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/first"), UserSettings::Outcome::Created);
    run(m_user, "update cmbex_itemindex set cmbex_index = 3 where cmbex_tag = 1");
    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/second"), UserSettings::Outcome::Kept);
    QCOMPARE(savedIndex(m_user, 1), QStringLiteral("3"));
    QCOMPARE(value(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"), QStringLiteral("/first"));
}

void UserSettingsTest::olderCatalogueKeepsChoicesWhereTablesMatch()
{
    // The user's copy comes from version 0 of the catalogue, whose audio
    // codec table differed; the new catalogue is the shipped one.
    QVERIFY(QFile::copy(m_shipped, m_user));
    run(m_user, "PRAGMA user_version = 0");
    run(m_user, "update cmbex_adocodec set cmbex_name = 'Old AAC' where cmbex_index = 1");
    run(m_user, "update cmbex_itemindex set cmbex_index = 3 where cmbex_tag = 1");
    run(m_user, "update cmbex_itemindex set cmbex_index = 2 where cmbex_tag = 6");
    run(m_user, "update savedir_videofile set dir_name = '/home/ann/Out' where dir_numb = '001'");

    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/unused"), UserSettings::Outcome::Upgraded);
    QCOMPARE(value(m_user, "PRAGMA user_version"), QStringLiteral("1"));
    QCOMPARE(savedIndex(m_user, 1), QStringLiteral("3"));  // same table: choice kept
    QCOMPARE(savedIndex(m_user, 6), savedIndex(m_shipped, 6)); // changed table: new default
    QCOMPARE(value(m_user, "select cmbex_name from cmbex_adocodec where cmbex_index = 1"), QStringLiteral("AAC"));
    QCOMPARE(value(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"),
             QStringLiteral("/home/ann/Out"));
    QCOMPARE(value(m_user + ".old", "PRAGMA user_version"), QStringLiteral("0"));
}

void UserSettingsTest::missingShippedFileIsReported()
{
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, UserSettings::prepare(m_dir.filePath("none.Dat"), m_user, "/x"));
    QVERIFY(!QFileInfo::exists(m_user));
}

QTEST_GUILESS_MAIN(UserSettingsTest)
#include "tst_usersettings.moc"
