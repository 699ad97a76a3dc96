// The user's own settings copy: made once from the shipped file, never
// replaced, upgraded from an older catalogue with the choices that still fit.

#include "launcher/usersettings.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::runSql;
using TestSupport::sqlValue;
using TestSupport::storedIndex;

class UserSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstStartCopiesShippedFileWithOutputFolder();
    void existingCopyIsKept();
    void olderCatalogueKeepsChoicesWhereTablesMatch();
    void windowStateIsCarriedOver();
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
    QCOMPARE(sqlValue(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"), folder);
    QCOMPARE(sqlValue(m_shipped, "select dir_name from savedir_videofile where dir_numb = '001'"), QString());
    QVERIFY(!QFileInfo::exists(m_user + ".new"));
}

void UserSettingsTest::existingCopyIsKept()
{
    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/first"), UserSettings::Outcome::Created);
    runSql(m_user, {"update cmbex_itemindex set cmbex_index = 3 where cmbex_tag = 1"});
    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/second"), UserSettings::Outcome::Kept);
    QCOMPARE(storedIndex(m_user, 1), QStringLiteral("3"));
    QCOMPARE(sqlValue(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"), QStringLiteral("/first"));
}

void UserSettingsTest::olderCatalogueKeepsChoicesWhereTablesMatch()
{
    // The user's copy comes from version 0 of the catalogue, whose audio
    // codec table differed; the new catalogue is the shipped one.
    QVERIFY(QFile::copy(m_shipped, m_user));
    runSql(m_user, {"PRAGMA user_version = 0",
                    "update cmbex_adocodec set cmbex_name = 'Old AAC' where cmbex_index = 1",
                    "update cmbex_itemindex set cmbex_index = 3 where cmbex_tag = 1",
                    "update cmbex_itemindex set cmbex_index = 2 where cmbex_tag = 6",
                    "update savedir_videofile set dir_name = '/home/ann/Out' where dir_numb = '001'"});

    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/unused"), UserSettings::Outcome::Upgraded);
    QCOMPARE(sqlValue(m_user, "PRAGMA user_version"), sqlValue(m_shipped, "PRAGMA user_version"));
    QCOMPARE(storedIndex(m_user, 1), QStringLiteral("3"));  // same table: choice kept
    QCOMPARE(storedIndex(m_user, 6), storedIndex(m_shipped, 6)); // changed table: new default
    QCOMPARE(sqlValue(m_user, "select cmbex_name from cmbex_adocodec where cmbex_index = 1"), QStringLiteral("AAC"));
    QCOMPARE(sqlValue(m_user, "select dir_name from savedir_videofile where dir_numb = '001'"),
             QStringLiteral("/home/ann/Out"));
    QCOMPARE(sqlValue(m_user + ".old", "PRAGMA user_version"), QStringLiteral("0"));
}

void UserSettingsTest::windowStateIsCarriedOver()
{
    // An older copy that already kept the window's state and the batch's
    // choices; a key the new catalogue no longer has is dropped.
    QVERIFY(QFile::copy(m_shipped, m_user));
    runSql(m_user, {"PRAGMA user_version = 2",
                    "update window_state set state_value = '1000x600' where state_key = 'size'",
                    "update window_state set state_value = '/home/ann/Clips ''old''' where state_key = 'add_folder'",
                    "insert into window_state values ('retired', 'x')",
                    "update batch_settings set setting_value = '3' where setting_key = 'simultaneous'"});

    QCOMPARE(UserSettings::prepare(m_shipped, m_user, "/unused"), UserSettings::Outcome::Upgraded);
    QCOMPARE(sqlValue(m_user, "select state_value from window_state where state_key = 'size'"),
             QStringLiteral("1000x600"));
    QCOMPARE(sqlValue(m_user, "select state_value from window_state where state_key = 'add_folder'"),
             QStringLiteral("/home/ann/Clips 'old'"));
    QCOMPARE(sqlValue(m_user, "select count(*) from window_state"), QStringLiteral("2"));
    QCOMPARE(sqlValue(m_user, "select setting_value from batch_settings where setting_key = 'simultaneous'"),
             QStringLiteral("3"));
}

void UserSettingsTest::missingShippedFileIsReported()
{
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, UserSettings::prepare(m_dir.filePath("none.Dat"), m_user, "/x"));
    QVERIFY(!QFileInfo::exists(m_user));
}

QTEST_GUILESS_MAIN(UserSettingsTest)
#include "tst_usersettings.moc"
