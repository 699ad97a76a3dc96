// Halvora installed system-wide and started by a normal user through the
// launcher, on a real X server: the user's own settings copy takes the
// choices, the installed files stay as they were.

#include "esqliteerror.h"
#include "testsupport.h"
#include "tsqliteconnection.h"
#include "tsqlitequery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

QByteArray treeDigest(const QString &root)
{
    QByteArray all;
    QDir dir(root);
    for (const QString &name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        all += name.toUtf8() + ':' + digest(dir.filePath(name)) + '\n';
    return all;
}

struct Stored {
    QString folder;
    int videoCodec = -1;
};

Stored stored(const QString &database)
{
    // The running program may be writing the file just then: read again.
    for (int attempt = 1;; ++attempt) {
        try {
            TSqliteConnection connection(database);
            TSqliteQuery query(connection);
            Stored s;
            query.run(QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
            s.folder = query.text(0);
            query.run(QStringLiteral("select cmbex_index from cmbex_itemindex where cmbex_tag = 1"));
            s.videoCodec = query.integer(0);
            return s;
        } catch (const ESQLiteError &) {
            if (attempt == 50)
                throw;
            QTest::qWait(100);
        }
    }
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void userStartKeepsChoicesInOwnCopy();

private:
    // Starts the launcher as the unprivileged user; the caller stops it.
    void startAsUser(QProcess &process);

    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_home;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

void InstallTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (the test command starts Xvfb)");
    if (geteuid() != 0)
        QSKIP("needs root to act as another user");
    const passwd *nobody = getpwnam("nobody");
    QVERIFY(nobody);
    m_uid = nobody->pw_uid;
    m_gid = nobody->pw_gid;

    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ReadOther | QFile::ExeOther));
    m_prefix = m_dir.filePath("prefix");
    m_home = m_dir.filePath("home");
    QByteArray log;
    QCOMPARE(TestSupport::runProgram("cmake", {"--install", HALVORA_BINARY_DIR, "--prefix", m_prefix}, QString(), &log),
             0);
    const QString entry = m_prefix + "/share/applications/halvora.desktop";
    QByteArray complaints;
    QCOMPARE(TestSupport::runProgram("desktop-file-validate", {entry}, QString(), &complaints), 0);
    QCOMPARE(complaints, QByteArray());
    QVERIFY(QFileInfo::exists(m_prefix + "/share/icons/hicolor/scalable/apps/halvora.svg"));
    QVERIFY(QDir().mkpath(m_home + "/runtime"));
    QCOMPARE(::chown(QFile::encodeName(m_home).constData(), m_uid, m_gid), 0);
    QCOMPARE(::chown(QFile::encodeName(m_home + "/runtime").constData(), m_uid, m_gid), 0);
    QFile::setPermissions(m_home + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void InstallTest::startAsUser(QProcess &process)
{
    process.setProgram(QStringLiteral("setpriv"));
    process.setArguments({"--reuid=" + QString::number(m_uid), "--regid=" + QString::number(m_gid),
                          "--clear-groups", "--", "env", "-i", "HOME=" + m_home, "USER=nobody",
                          "XDG_RUNTIME_DIR=" + m_home + "/runtime", "DISPLAY=" + qEnvironmentVariable("DISPLAY"),
                          "QT_QPA_PLATFORM=xcb", "PATH=" + m_prefix + "/bin:/usr/bin:/bin", "halvora"});
    process.setWorkingDirectory(QStringLiteral("/"));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    QVERIFY(process.waitForStarted());
}

void InstallTest::userStartKeepsChoicesInOwnCopy()
{
    const QString program = m_prefix + "/lib/halvora";
    const QByteArray installedBefore = treeDigest(program);
    const QString userCopy = m_home + "/.local/share/halvora/LibFFmpeg.Dat";

    QProcess first;
    startAsUser(first);
    auto stopFirst = qScopeGuard([&first] { first.kill(); first.waitForFinished(); });
    const QByteArray window = TestSupport::waitForWindow(first.processId(), QStringLiteral("Halvora"));
    QVERIFY2(!window.isEmpty(), "the main window did not appear");

    // The copy exists, owned by the user, with a writable output folder of theirs.
    QVERIFY(QFileInfo::exists(userCopy));
    QCOMPARE(QFileInfo(userCopy).ownerId(), m_uid);
    const Stored initial = stored(userCopy);
    QCOMPARE(initial.folder, m_home + "/Videos");
    QCOMPARE(QFileInfo(initial.folder).ownerId(), m_uid);
    QCOMPARE(initial.videoCodec, 1);

    // Pick the next video codec with the keyboard in the real window.
    QByteArray geometry;
    QCOMPARE(TestSupport::runProgram("xdotool", {"getwindowgeometry", "--shell", window}, QString(), &geometry), 0);
    int x = 0, y = 0;
    for (const QByteArray &line : geometry.split('\n')) {
        if (line.startsWith("X="))
            x = line.mid(2).toInt();
        if (line.startsWith("Y="))
            y = line.mid(2).toInt();
    }
    // No window manager runs here: give the window the keyboard focus first.
    QCOMPARE(TestSupport::runProgram("xdotool", {"windowfocus", "--sync", window}), 0);
    // The first selector of the first page: page control at (5, 408), selector at (72, 6) below the tabs.
    QCOMPARE(TestSupport::runProgram("xdotool", {"mousemove", "--sync", QString::number(x + 5 + 72 + 40),
                                                 QString::number(y + 408 + 16 + 25), "click", "1"}),
             0);
    QTest::qWait(300);
    QCOMPARE(TestSupport::runProgram("xdotool", {"key", "Down"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(stored(userCopy).videoCodec, 2, 10000);

    stopFirst.dismiss();
    first.kill();
    first.waitForFinished();

    // A second start keeps the user's copy and its choice.
    QProcess second;
    startAsUser(second);
    auto stopSecond = qScopeGuard([&second] { second.kill(); second.waitForFinished(); });
    QVERIFY(!TestSupport::waitForWindow(second.processId(), QStringLiteral("Halvora")).isEmpty());
    QCOMPARE(stored(userCopy).videoCodec, 2);
    QCOMPARE(stored(userCopy).folder, m_home + "/Videos");

    QCOMPARE(treeDigest(program), installedBefore);
    QCOMPARE(stored(program + "/LibFFmpeg.Dat").videoCodec, 1);
}

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
