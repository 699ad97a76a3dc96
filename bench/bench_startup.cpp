// Times Halvora's start, from exec to the first paint of its main window, and
// the same for a bare Qt window of the same size, started alternately under
// the same X server; prints both medians, their ratio and the resident memory
// of each at that moment, and the processor time each has used by then. A
// third program, the bare window with a few text controls, shows what any
// window that draws text pays on top (the font system, text shaping).
//
// The first paint is seen from outside: the X server reports the new
// top-level window's creation and mapping, and the DAMAGE extension its first
// drawing. Use an X server of its own, with nothing else drawing on it:
//   Xvfb :151 -screen 0 1280x1024x24 -nolisten tcp &
//   DISPLAY=:151 bench/bench_startup [runs]
// Without a session bus in the environment the programs run on one of the
// benchmark's own, as on a desktop; otherwise each start would launch a bus
// of its own first.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double milliseconds;
    double cpuMilliseconds;
    long residentKiB;
};

struct Program {
    const char *label;
    std::string path;
    std::string workingDir;
    std::vector<Sample> samples;
};

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

double milliseconds(const timeval &time)
{
    return double(time.tv_sec) * 1e3 + double(time.tv_usec) / 1e3;
}

class Display {
public:
    bool open()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return false;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_connection, &xcb_damage_id);
        if (!damage || !damage->present)
            return false;
        m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        return true;
    }

    ~Display()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    // Waits until a top-level window created after the call is mapped and
    // drawn into; false after timeoutMs.
    bool waitForFirstPaint(int timeoutMs)
    {
        std::set<xcb_window_t> created;
        std::set<xcb_window_t> mapped;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const std::unique_ptr<xcb_generic_event_t, decltype(&free)> owner(event, &free);
                const uint8_t type = event->response_type & 0x7f;
                if (type == XCB_CREATE_NOTIFY) {
                    const auto *create = reinterpret_cast<xcb_create_notify_event_t *>(event);
                    created.insert(create->window);
                    // Freed by the server with the window.
                    xcb_damage_create(m_connection, xcb_generate_id(m_connection), create->window,
                                      XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                    xcb_flush(m_connection);
                } else if (type == XCB_MAP_NOTIFY) {
                    const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                    if (created.count(map->window))
                        mapped.insert(map->window);
                } else if (type == m_damageEvent) {
                    const auto *damage = reinterpret_cast<xcb_damage_notify_event_t *>(event);
                    if (mapped.count(damage->drawable))
                        return true;
                }
            }
            if (xcb_connection_has_error(m_connection))
                return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&fd, 1, int(left));
        }
    }

    // Reads and drops what the last run left behind.
    void drain()
    {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            free(event);
    }

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    uint8_t m_damageEvent = 0;
};

// A private session bus for the programs, ended with the object.
class SessionBus {
public:
    bool start()
    {
        int address[2];
        if (pipe2(address, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, address[1], 3);
        char program[] = "dbus-daemon";
        char session[] = "--session";
        char noFork[] = "--nofork";
        char print[] = "--print-address=3";
        char *argv[] = {program, session, noFork, print, nullptr};
        const int failed = posix_spawnp(&m_pid, program, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed)
            m_pid = -1;
        close(address[1]);
        std::string text;
        char buffer[512];
        ssize_t got = 0;
        while (!failed && text.find('\n') == std::string::npos
               && ((got = read(address[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
            text.append(buffer, size_t(std::max<ssize_t>(got, 0)));
        close(address[0]);
        if (failed || text.find('\n') == std::string::npos)
            return false;
        text.resize(text.find('\n'));
        setenv("DBUS_SESSION_BUS_ADDRESS", text.c_str(), 1);
        return true;
    }

    ~SessionBus()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }

private:
    pid_t m_pid = -1;
};

bool runOnce(Display &display, Program &program)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, program.workingDir.c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = {program.path.data(), nullptr};

    display.drain();
    const auto start = Clock::now();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        std::fprintf(stderr, "cannot start %s: %s\n", program.path.c_str(), std::strerror(failed));
        return false;
    }
    const bool shown = display.waitForFirstPaint(20000);
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const long resident = residentKiB(pid);
    kill(pid, SIGKILL);
    // Time on a processor, all threads together (also those that have
    // ended): on a busy machine a steadier figure than the wall time.
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double cpu = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
    if (!shown) {
        std::fprintf(stderr, "%s showed no window\n", program.label);
        return false;
    }
    program.samples.push_back({elapsed, cpu, resident});
    return true;
}

template <typename Field>
double median(const std::vector<Sample> &samples, Field field)
{
    std::vector<double> values;
    for (const Sample &sample : samples)
        values.push_back(double(field(sample)));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "DISPLAY is not set: start an X server of its own for this benchmark\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    SessionBus bus;
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") && !bus.start())
        std::fprintf(stderr, "no dbus-daemon: the programs launch a session bus each\n");
    Display display;
    if (!display.open()) {
        std::fprintf(stderr, "cannot open the display, or it has no DAMAGE extension\n");
        return 1;
    }

    // Halvora runs on a copy of the shipped settings file, so the build tree's
    // copy stays as built.
    namespace fs = std::filesystem;
    char folderTemplate[] = "/tmp/bench_startup.XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = folderTemplate;
    std::error_code error;
    fs::copy_file(fs::path(HALVORA_PROGRAM_DIR) / "LibFFmpeg.Dat", folder / "LibFFmpeg.Dat", error);
    if (error) {
        std::fprintf(stderr, "cannot copy the settings file: %s\n", error.message().c_str());
        fs::remove_all(folder, error);
        return 1;
    }

    Program bare{"bare window", BARE_WINDOW, folder.string(), {}};
    Program text{"text window", TEXT_WINDOW, folder.string(), {}};
    Program halvora{"Halvora", HALVORA_PROGRAM_DIR "/halvora", folder.string(), {}};
    const std::vector<Program *> programs{&bare, &text, &halvora};
    const auto runEach = [&display, &programs] {
        for (Program *program : programs) {
            if (!runOnce(display, *program))
                return false;
        }
        return true;
    };
    // One unrecorded start each fills the file cache.
    bool ok = runEach();
    for (Program *program : programs)
        program->samples.clear();
    for (int i = 0; ok && i < runs; ++i)
        ok = runEach();
    fs::remove_all(folder, error);
    if (!ok)
        return 1;

    const auto time = [](const Sample &sample) { return sample.milliseconds; };
    const auto cpu = [](const Sample &sample) { return sample.cpuMilliseconds; };
    const auto memory = [](const Sample &sample) { return sample.residentKiB; };
    for (const Program *program : programs) {
        const auto worst = std::max_element(program->samples.begin(), program->samples.end(),
                                            [](const Sample &a, const Sample &b) { return a.milliseconds < b.milliseconds; });
        std::printf("%-12s median %7.1f ms  worst %7.1f ms  processor %7.1f ms  resident %7.1f MB  (%d starts)\n",
                    program->label, median(program->samples, time), worst->milliseconds, median(program->samples, cpu),
                    median(program->samples, memory) / 1024.0, runs);
    }
    for (const Program *yardstick : {&bare, &text}) {
        std::printf("Halvora / %s: time %.2f, processor time %.2f, extra resident memory %.1f MB\n", yardstick->label,
                    median(halvora.samples, time) / median(yardstick->samples, time),
                    median(halvora.samples, cpu) / median(yardstick->samples, cpu),
                    (median(halvora.samples, memory) - median(yardstick->samples, memory)) / 1024.0);
    }
    return 0;
}
