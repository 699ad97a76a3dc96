#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class TSqlDatMod;

namespace TestSupport {

// Where the build laid out the program folder, with a trailing '/'.
QString programDir();

// Makes the SQLite file anew (replacing one that is there) from the statements.
void execSql(const QString &databasePath, const QStringList &statements);

// Runs the statements one by one on an SQLite file through a connection of
// their own, as another program would. Throws ESQLiteError.
void runSql(const QString &databasePath, const QStringList &statements);

// The first `columns` columns of every row the query gives, as texts.
QList<QStringList> sqlRows(const QString &databasePath, const QString &query, int columns = 1);

// The first column of the query's first row; empty when it gives no row.
QString sqlValue(const QString &databasePath, const QString &query);

// The position stored for the selector with Tag `tag`; empty when no row holds one.
QString storedIndex(const QString &databasePath, int tag);

// Runs a program to its end (at most timeoutMs) and returns its exit code,
// -1 when it could not start or did not end. Output goes to *output if given.
int runProgram(const QString &program, const QStringList &arguments, const QString &workingDir = QString(),
               QByteArray *output = nullptr, int timeoutMs = 120000);

// Generates a media clip with ffmpeg's lavfi sources: `inputArgs` are the
// ffmpeg arguments before the output path. Returns false when ffmpeg failed.
bool makeClip(const QString &path, const QStringList &inputArgs);

// A small H.264/AAC clip of the given length in seconds.
bool makeH264Clip(const QString &path, int seconds = 1);

// Writes `text` as an executable script at `path` (its folder made if
// missing); false when that failed.
bool writeScript(const QString &path, const QByteArray &text);

// The file the dynamic linker's cache resolves a library name to, such as
// "libmediainfo.so.0"; empty when the cache does not list it.
QString systemLibraryPath(const QString &soname);

// Runs this test program again with only `testFunction`, with `environment`
// ("NAME=value" entries) added to this process's environment. Returns its
// exit code, -1 when it did not end normally; its output goes to *output.
// `program` runs a copy of this test program from elsewhere instead.
int runTestFunctionInChild(const QString &testFunction, const QStringList &environment, QByteArray *output,
                           const QString &program = QString());

// True in a program started by runTestFunctionInChild.
bool isTestChild();

// The running test function with its data row ("name:row"), as the command
// line selects it.
QString currentTestName();

// The X11 id of the first shown window of process `pid` whose title is
// exactly `title`, waiting up to timeoutMs for it; empty when none appears.
QByteArray waitForWindow(qint64 pid, const QString &title, int timeoutMs = 20000);

// The settings store opened on a copy of the shipped settings file, in a
// temporary folder made the current directory for the fixture's lifetime:
// what the main window's first show needs. ok() tells whether it opened.
class ShippedSettings {
public:
    ShippedSettings();
    ~ShippedSettings();
    bool ok() const { return m_module != nullptr; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // The opened store; only when ok().
    TSqlDatMod &module() const { return *m_module; }

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
    std::unique_ptr<TSqlDatMod> m_module;
};

// Takes the URLs of one scheme that the program asks the desktop to open,
// for its lifetime, in place of the desktop.
class UrlSink : public QObject {
    Q_OBJECT
public:
    explicit UrlSink(const QString &scheme);
    ~UrlSink() override;
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }

private:
    QString m_scheme;
};

// A private dbus-daemon standing in for the system bus, so that no test ever
// reaches the machine's logind. start() points DBUS_SYSTEM_BUS_ADDRESS at it;
// call it before anything connects to the system bus.
class PrivateSystemBus {
public:
    bool start(const QString &folder);
    ~PrivateSystemBus();

private:
    QProcess m_daemon;
};

// The stand-in logind on that bus for its lifetime: answers CanPowerOff with
// `answer`, accepts or refuses PowerOff, and appends "PowerOff <interactive>"
// to `record` for each call. ready() tells whether this very stand-in answers
// (not one that is still going away).
class FakeLogind {
public:
    FakeLogind(const QString &answer, bool accept, const QString &record);
    // Ends it and waits until its name has left the bus.
    ~FakeLogind();
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

// A stand-in desktop notification service on the session bus for its
// lifetime (the test runs on a private one): appends each notification to
// `record`, and with `activate` invokes its default action a moment later.
// ready() tells whether it has taken the service's name.
class FakeNotifications {
public:
    FakeNotifications(const QString &record, bool activate);
    // Ends it and waits until its name has left the bus.
    ~FakeNotifications();
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

// The whole content of a file; empty when it cannot be read.
QByteArray readAll(const QString &path);

// Makes a file immutable (even for root) for its lifetime; unsupported()
// tells when the file system or the privileges do not allow it.
class ImmutableFile {
public:
    explicit ImmutableFile(const QString &path);
    ~ImmutableFile();
    bool unsupported() const { return !m_set; }

private:
    QString m_path;
    bool m_set;
};

} // namespace TestSupport

// For a case that needs a process of its own (nothing loaded yet, another
// locale, a copy of the program elsewhere): outside a child, runs the current
// test function and row again in a fresh process and passes or fails with it;
// inside that child, does nothing, so the rest of the body runs there.
// `environment` and `program` are as for runTestFunctionInChild.
#define TESTSUPPORT_RUN_IN_FRESH_PROCESS(environment, program)                                                       \
    do {                                                                                                             \
        if (!TestSupport::isTestChild()) {                                                                           \
            QByteArray childOutput;                                                                                  \
            const int childCode = TestSupport::runTestFunctionInChild(TestSupport::currentTestName(), (environment), \
                                                                      &childOutput, (program));                     \
            QVERIFY2(childCode == 0, childOutput.constData());                                                       \
            return;                                                                                                  \
        }                                                                                                            \
    } while (false)

