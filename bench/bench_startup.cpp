// Times Halvora's start, from exec to the first paint of its main window, and
// the same for a bare Qt window of the same size, started alternately under
// the same X server; prints both medians, their ratio and the resident memory
// of each at that moment, and the processor time each has used by then.
//
// The first paint is seen from outside: the X server reports the new
// top-level window's creation and mapping, and the DAMAGE extension its first
// drawing. Use an X server of its own, with nothing else drawing on it:
//   Xvfb :151 -screen 0 1280x1024x24 -nolisten tcp &
//   DISPLAY=:151 bench/bench_startup [runs]

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

// Time on a processor so far, all threads of the process together: on a busy
// machine a steadier figure than the wall time.
double cpuMilliseconds(pid_t pid)
{
    double total = 0;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds)
            total += nanoseconds / 1e6;
    }
    return total;
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
    const double cpu = cpuMilliseconds(pid);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
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
    Program halvora{"Halvora", HALVORA_PROGRAM_DIR "/halvora", folder.string(), {}};
    // One unrecorded start each fills the file cache.
    bool ok = runOnce(display, bare) && runOnce(display, halvora);
    bare.samples.clear();
    halvora.samples.clear();
    for (int i = 0; ok && i < runs; ++i)
        ok = runOnce(display, bare) && runOnce(display, halvora);
    fs::remove_all(folder, error);
    if (!ok)
        return 1;

    const auto time = [](const Sample &sample) { return sample.milliseconds; };
    const auto cpu = [](const Sample &sample) { return sample.cpuMilliseconds; };
    const auto memory = [](const Sample &sample) { return sample.residentKiB; };
    for (const Program *program : {&bare, &halvora}) {
        const auto worst = std::max_element(program->samples.begin(), program->samples.end(),
                                            [](const Sample &a, const Sample &b) { return a.milliseconds < b.milliseconds; });
        std::printf("%-12s median %7.1f ms  worst %7.1f ms  processor %7.1f ms  resident %7.1f MB  (%d starts)\n",
                    program->label, median(program->samples, time), worst->milliseconds, median(program->samples, cpu),
                    median(program->samples, memory) / 1024.0, runs);
    }
    std::printf("ratio (Halvora / bare window): %.2f  (processor time: %.2f)\n",
                median(halvora.samples, time) / median(bare.samples, time),
                median(halvora.samples, cpu) / median(bare.samples, cpu));
    std::printf("extra resident memory: %.1f MB\n",
                (median(halvora.samples, memory) - median(bare.samples, memory)) / 1024.0);
    return 0;
}
