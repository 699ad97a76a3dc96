#pragma once

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <functional>

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

// Starts one console program with piped standard streams and reports its
// output as line events and its end, on the GUI thread.
class TJvCreateProcess : public QObject {
    Q_OBJECT
public:
    using ReadEvent = std::function<void(TJvCreateProcess *Sender, const QByteArray &S, bool StartsOnNewLine)>;
    using TerminateEvent = std::function<void(TJvCreateProcess *Sender, std::uint32_t ExitCode)>;

    explicit TJvCreateProcess(QObject *parent = nullptr);
    ~TJvCreateProcess() override;

    QByteArray CommandLine;
    TJvCPSStartupInfo StartupInfo;
    unsigned ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData);
    ReadEvent OnRead;
    TerminateEvent OnTerminate;

    void Run();
    bool Write(const QByteArray &S);
    void StopWatching();
};
