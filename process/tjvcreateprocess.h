#pragma once

#include "process/handlererror.h"
#include "process/tjvreader.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

class QSocketNotifier;
class TJvConsoleThread;
class WakeSignal;

// Window settings of the child's console window. Linux gives a console child
// no window, so these are kept for their owners and have no further effect.
enum class TJvCPSShowWindow { swHide, swMinimize, swMaximize, swNormal };

struct TJvCPSStartupInfo {
    int Width = 0;
    int Height = 0;
    bool DefaultSize = true;
    TJvCPSShowWindow ShowWindow = TJvCPSShowWindow::swNormal;
    bool DefaultWindowState = true;
};

enum class TJvConsoleOption : unsigned { coOwnerData = 1, coRedirect = 2 };

// A runner operation refused in the runner's present state.
class EJvProcessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Starts one console program with piped standard streams and reports its
// output as line events and its end, on the GUI thread.
//
// CommandLine is split into the program and its arguments (see
// commandline.h); the first names the program, searched in PATH when it has
// no '/'. No shell is involved. The child inherits the working directory and
// the environment. With coRedirect its standard input is a pipe fed by
// Write, and its standard output and error share one pipe whose bytes arrive
// as OnRead line reports (see LineAssembler); OnTerminate follows once per
// run, after the child has ended and all its output has been reported.
// Without coRedirect the child shares this process's standard streams and
// is not watched: no event follows.
//
// Lives on the GUI thread, which must run an event loop; every function and
// every event runs there. Per watched child there are two worker threads (a
// reading thread and a wait thread) that never touch the runner itself.
// An error that an OnRead or OnTerminate handler raises goes to the handler
// error display; the run goes on and still ends with OnTerminate.
class TJvCreateProcess : public QObject, private TJvReader::Owner {
    Q_OBJECT
public:
    using ReadEvent = std::function<void(TJvCreateProcess *Sender, const QByteArray &S, bool StartsOnNewLine)>;
    using TerminateEvent = std::function<void(TJvCreateProcess *Sender, std::uint32_t ExitCode)>;
    using HandlerErrorDisplay = HandlerError::Display;

    explicit TJvCreateProcess(QObject *parent = nullptr);
    // Stops watching: no event follows and the child is not ended.
    ~TJvCreateProcess() override;

    QByteArray CommandLine;
    TJvCPSStartupInfo StartupInfo;
    unsigned ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData);
    ReadEvent OnRead;
    TerminateEvent OnTerminate;

    // Starts the child. Throws EJvProcessError ("Cannot perform this
    // operation when process is running") while a child is watched, and
    // EOSError when the pipes or the process cannot be made (code 2 for a
    // program that does not exist); nothing is left behind and no event
    // follows then.
    void Run();
    // Queues the bytes, exactly as they are, for the child's input and
    // returns true; false when no child is watched, its input is closed, or
    // more than 1024 bytes would be waiting. Never waits for the child.
    bool Write(const QByteArray &S);
    // Stops watching the child without ending it: no further event. Input
    // already queued is handed to the pipe as far as it takes it at once,
    // then the pipes are closed on this side: the child sees the end of its
    // input, and a later write of its output fails with a broken pipe (by
    // default SIGPIPE ends it, as it would any program whose reader went
    // away). The child is still reaped when it ends.
    void StopWatching();
    // Within OnRead: what the reported line got after its last carriage
    // return (see LineAssembler::sinceReturn), the whole line when it had none.
    QByteArray LineSinceReturn() const;
    // Sends the signal (SIGTERM, SIGKILL...) to the watched child; false when
    // no child is watched or it has already ended. Its end is reported as
    // usual.
    bool Signal(int number);
    // Whether a started child is being watched (its end not yet reported).
    bool isWatching() const noexcept { return m_state == State::Watching; }
    // Runs a local event loop until the watched child's end has been reported
    // (OnTerminate has returned) or timeoutMs has passed; true when it ended.
    // Sleeps between events instead of polling. At once true when no child
    // is watched.
    bool waitUntilEnded(int timeoutMs, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
    // The signal that ended the child whose end was reported last, 0 when it
    // exited on its own (its ExitCode is then its exit status).
    int TerminationSignal() const noexcept { return m_endSignal; }

    // Where errors raised by OnRead and OnTerminate handlers of every runner
    // go; an empty function restores the default (a warning on the log).
    // Returns the previous display.
    static HandlerErrorDisplay setHandlerErrorDisplay(HandlerErrorDisplay display);

signals:
    // The watched child's end has been reported, after OnTerminate.
    void ended();

private:
    enum class State { Idle, Watching };

    void runRedirected(const QList<QByteArray> &arguments);
    void ensureNotifier();
    void wakeUp();
    void runWaitEndStepIfRequested();
    void postWorkerFinished();
    void workerFinished(quint64 run);
    // TJvReader::Owner
    void lineRead(const QByteArray &line, bool startsOnNewLine) override;
    void outputEnded() override;

    State m_state = State::Idle;
    int m_countdown = 0;
    quint64 m_run = 0; // numbers the watched runs, so a stale notification is never counted
    std::uint32_t m_exitCode = 0;
    int m_endSignal = 0;
    std::shared_ptr<TJvConsoleThread> m_waitThread;
    std::unique_ptr<TJvReader> m_reader;
    std::shared_ptr<WakeSignal> m_wake;
    QSocketNotifier *m_notifier = nullptr;
};
