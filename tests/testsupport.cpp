#include "testsupport.h"

#include "settings/selectorstatements.h"
#include "settings/tsqldatmod.h"
#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

namespace TestSupport {

QString programDir()
{
    return QStringLiteral(HALVORA_PROGRAM_DIR "/");
}

void execSql(const QString &databasePath, const QStringList &statements)
{
    // The sqlite3 shell would be one more package; makedat runs a script.
    QTemporaryFile script;
    QVERIFY(script.open());
    for (const QString &statement : statements)
        script.write(statement.toUtf8() + ";\n");
    script.close();
    const QString tool = QStringLiteral(HALVORA_MAKEDAT);
    QFile::remove(databasePath);
    QCOMPARE(runProgram(tool, {script.fileName(), databasePath}), 0);
}

void runSql(const QString &databasePath, const QStringList &statements)
{
    TSqliteConnection connection(databasePath);
    TSqliteQuery query(connection);
    for (const QString &statement : statements)
        query.run(statement);
}

QList<QStringList> sqlRows(const QString &databasePath, const QString &select, int columns)
{
    TSqliteConnection connection(databasePath);
    TSqliteQuery query(connection);
    query.run(select);
    QList<QStringList> rows;
    for (query.first(); !query.eof(); query.next()) {
        QStringList row;
        for (int column = 0; column < columns; ++column)
            row << query.text(column);
        rows << row;
    }
    return rows;
}

QString sqlValue(const QString &databasePath, const QString &select)
{
    return sqlRows(databasePath, select).value(0).value(0);
}

QString storedIndex(const QString &databasePath, int tag)
{
    return sqlValue(databasePath, SelectorStatements::savedIndexSql(tag));
}

int runProgram(const QString &program, const QStringList &arguments, const QString &workingDir,
               QByteArray *output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -1;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool writeScript(const QString &path, const QByteArray &text)
{
    QFile script(path);
    return QDir().mkpath(QFileInfo(path).path()) && script.open(QIODevice::WriteOnly)
        && script.write(text) == text.size() && (script.close(), script.error() == QFileDevice::NoError)
        && script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool makeClip(const QString &path, const QStringList &inputArgs)
{
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    args << inputArgs << path;
    QByteArray output;
    const int code = runProgram(QStringLiteral("ffmpeg"), args, QString(), &output);
    if (code != 0)
        qWarning("ffmpeg failed making %s: %s", qPrintable(path), output.constData());
    return code == 0;
}

bool makeH264Clip(const QString &path, int seconds)
{
    const QString duration = QString::number(seconds);
    return makeClip(path, {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("testsrc=size=160x120:rate=25:duration=") + duration,
                           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + duration,
                           QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                           QStringLiteral("yuv420p"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                           QStringLiteral("-shortest")});
}

QString systemLibraryPath(const QString &soname)
{
    QByteArray cache;
    const QString ldconfig = QFile::exists(QStringLiteral("/sbin/ldconfig")) ? QStringLiteral("/sbin/ldconfig")
                                                                              : QStringLiteral("ldconfig");
    if (runProgram(ldconfig, {QStringLiteral("-p")}, QString(), &cache) != 0)
        return QString();
    // Lines read "\tlibname.so.0 (libc6,x86-64) => /lib/x86_64-linux-gnu/libname.so.0".
    for (const QByteArray &line : cache.split('\n')) {
        const QByteArray entry = line.trimmed();
        const qsizetype arrow = entry.indexOf(" => ");
        if (entry.startsWith(soname.toUtf8() + " (") && arrow > 0)
            return QFile::decodeName(entry.mid(arrow + 4));
    }
    return QString();
}

int runTestFunctionInChild(const QString &testFunction, const QStringList &environment, QByteArray *output,
                           const QString &program)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVORA_TEST_CHILD"), QStringLiteral("1"));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, {testFunction});
    if (!child.waitForStarted() || !child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    *output = child.readAll();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

bool isTestChild()
{
    return qEnvironmentVariableIsSet("HALVORA_TEST_CHILD");
}

QString currentTestName()
{
    const char *row = QTest::currentDataTag();
    const QString name = QString::fromLatin1(QTest::currentTestFunction());
    return row ? name + QLatin1Char(':') + QString::fromUtf8(row) : name;
}

QByteArray waitForWindow(qint64 pid, const QString &title, int timeoutMs)
{
    // Other tests may show windows with the same title on the same display.
    // Only a mapped window takes focus and keys: one that exists but is not
    // yet shown is waited for.
    const QStringList args{"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", "^" + title + "$"};
    QElapsedTimer clock;
    clock.start();
    do {
        QByteArray ids;
        if (runProgram(QStringLiteral("xdotool"), args, QString(), &ids) == 0 && !ids.trimmed().isEmpty())
            return ids.trimmed().split('\n').first();
        QTest::qWait(100);
    } while (clock.elapsed() < timeoutMs);
    return QByteArray();
}

ShippedSettings::ShippedSettings() : m_oldDir(QDir::currentPath())
{
    if (!m_dir.isValid()
        || !QFile::copy(programDir() + QStringLiteral("LibFFmpeg.Dat"), m_dir.filePath(QStringLiteral("LibFFmpeg.Dat")))
        || !QDir::setCurrent(m_dir.path()))
        return;
    try {
        m_module = std::make_unique<TSqlDatMod>();
    } catch (const std::exception &error) {
        qWarning("cannot open the settings copy: %s", error.what());
    }
}

ShippedSettings::~ShippedSettings()
{
    m_module.reset();
    QDir::setCurrent(m_oldDir);
}

UrlSink::UrlSink(const QString &scheme) : m_scheme(scheme)
{
    QDesktopServices::setUrlHandler(m_scheme, this, "open");
}

UrlSink::~UrlSink()
{
    QDesktopServices::unsetUrlHandler(m_scheme);
}

namespace {

bool logindRegistered()
{
    return QDBusConnection::systemBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
}

} // namespace

bool PrivateSystemBus::start(const QString &folder)
{
    m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1",
                                                   "--address=unix:path=" + folder + "/bus"});
    if (!m_daemon.waitForStarted() || !m_daemon.waitForReadyRead(10000))
        return false;
    const QByteArray address = m_daemon.readLine().trimmed();
    if (!address.startsWith("unix:path=" + QFile::encodeName(folder)))
        return false;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    return QDBusConnection::systemBus().isConnected();
}

PrivateSystemBus::~PrivateSystemBus()
{
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

FakeLogind::FakeLogind(const QString &answer, bool accept, const QString &record)
{
    m_process.start(QStringLiteral(HALVORA_TEST_BIN_DIR "/fakelogind"),
                    {answer, accept ? "accept" : "refuse", record});
    if (!m_process.waitForStarted())
        return;
    QDBusInterface probe(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    QElapsedTimer clock;
    clock.start();
    while (!(m_ready = QDBusReply<QString>(probe.call(QStringLiteral("CanPowerOff"))).value() == answer)
           && clock.elapsed() < 20000)
        QTest::qWait(50);
}

FakeLogind::~FakeLogind()
{
    m_process.terminate();
    m_process.waitForFinished();
    QElapsedTimer clock;
    clock.start();
    while (logindRegistered() && clock.elapsed() < 10000)
        QTest::qWait(50);
}

namespace {

bool notificationsRegistered()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications"));
}

} // namespace

FakeNotifications::FakeNotifications(const QString &record, bool activate)
{
    m_process.start(QStringLiteral(HALVORA_TEST_BIN_DIR "/fakenotifications"),
                    {record, activate ? "activate" : "leave"});
    if (!m_process.waitForStarted())
        return;
    QElapsedTimer clock;
    clock.start();
    while (!(m_ready = notificationsRegistered()) && clock.elapsed() < 20000
           && m_process.state() == QProcess::Running)
        QTest::qWait(50);
}

FakeNotifications::~FakeNotifications()
{
    m_process.terminate();
    m_process.waitForFinished();
    QElapsedTimer clock;
    clock.start();
    while (notificationsRegistered() && clock.elapsed() < 10000)
        QTest::qWait(50);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ImmutableFile::ImmutableFile(const QString &path)
    : m_path(path), m_set(runProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0)
{
}

ImmutableFile::~ImmutableFile()
{
    if (m_set)
        runProgram(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
}

} // namespace TestSupport
