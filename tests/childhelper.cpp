// A child process for the runner tests: runs the commands given as its
// arguments, in order, and exits with 0 unless told otherwise.
//
//   out TEXT          writes TEXT to standard output (escapes \n \r \t \b \a \0 \\ \xHH)
//   err TEXT          the same to standard error
//   argv              writes every argument it got, argv[0] first, one per
//                     line, and exits: the arguments after it are data
//   readin            one read of standard input: "in:<hex>\n", or "in:eof\n"
//   fds               its open descriptors: "fds:0,1,2\n"
//   pid               its process id: "pid:<n>\n"
//   pidfile PATH      writes its process id into the file PATH
//   trap PATH ACTION  from now on SIGTERM, SIGINT and SIGHUP each add a line
//                     "<signal number>\n" to the file PATH; then with ACTION
//                     "die" it dies by that signal, with "stay" it carries on
//                     (what it was blocked in goes on blocking)
//   openfifo PATH     opens the FIFO PATH (made if missing) for reading: blocks
//                     until a writer comes, as on a source that never answers
//   lines N           N lines "line <6 digits>\n"
//   grandchild MS T   leaves a process behind that holds the output open,
//                     writes T after MS milliseconds and exits
//   sleep MS          sleeps
//   spin MS           keeps the processor busy for MS milliseconds, as an
//                     encoder finishing its file
//   hang              sleeps until killed
//   signal N          dies by signal N (writing no core)
//   exit N            exits with code N

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

namespace {

void writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0)
            std::_Exit(100);
        done += size_t(n);
    }
}

std::string unescape(const char *text)
{
    std::string bytes;
    for (const char *p = text; *p; ++p) {
        if (*p != '\\' || !p[1]) {
            bytes += *p;
            continue;
        }
        switch (*++p) {
        case 'n': bytes += '\n'; break;
        case 'r': bytes += '\r'; break;
        case 't': bytes += '\t'; break;
        case 'b': bytes += '\b'; break;
        case 'a': bytes += '\a'; break;
        case '0': bytes += '\0'; break;
        case 'x':
            if (p[1] && p[2]) {
                const char hex[3] = {p[1], p[2], 0};
                bytes += char(std::strtol(hex, nullptr, 16));
                p += 2;
            }
            break;
        default: bytes += *p; break;
        }
    }
    return bytes;
}

// Where the trap command records the signals, and whether it then dies.
int g_trapFd = -1;
bool g_trapDies = false;

void trapped(int signal)
{
    char line[8];
    int length = 0;
    if (signal >= 10)
        line[length++] = char('0' + signal / 10);
    line[length++] = char('0' + signal % 10);
    line[length++] = '\n';
    (void)!::write(g_trapFd, line, size_t(length));
    if (g_trapDies) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
}

void sleepMs(long ms)
{
    ::usleep(useconds_t(ms * 1000));
}

std::string openDescriptors()
{
    std::string list;
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return "?";
    const int own = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
            continue;
        list += (list.empty() ? "" : ",") + std::string(entry->d_name);
    }
    ::closedir(dir);
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const char *arg = i + 1 < argc ? argv[i + 1] : "";
        if (command == "out") {
            writeAll(1, unescape(arg));
            ++i;
        } else if (command == "err") {
            writeAll(2, unescape(arg));
            ++i;
        } else if (command == "argv") {
            for (int k = 0; k < argc; ++k)
                writeAll(1, std::string(argv[k]) + "\n");
            return 0;
        } else if (command == "readin") {
            char buffer[4096];
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            std::string line = "in:";
            if (n <= 0)
                line += "eof";
            for (ssize_t k = 0; k < n; ++k) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", unsigned(static_cast<unsigned char>(buffer[k])));
                line += hex;
            }
            writeAll(1, line + "\n");
        } else if (command == "fds") {
            writeAll(1, "fds:" + openDescriptors() + "\n");
        } else if (command == "pid") {
            writeAll(1, "pid:" + std::to_string(::getpid()) + "\n");
        } else if (command == "pidfile") {
            // Whole or not at all for a reader: written aside, then renamed.
            const std::string path = arg;
            const int fd = ::open((path + ".new").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                return 98;
            writeAll(fd, std::to_string(::getpid()));
            ::close(fd);
            if (::rename((path + ".new").c_str(), path.c_str()) != 0)
                return 98;
            ++i;
        } else if (command == "trap") {
            g_trapFd = ::open(arg, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            g_trapDies = std::string(i + 2 < argc ? argv[i + 2] : "") == "die";
            if (g_trapFd < 0)
                return 98;
            struct sigaction action {};
            action.sa_handler = trapped;
            action.sa_flags = SA_RESTART;
            sigemptyset(&action.sa_mask);
            for (const int signal : {SIGTERM, SIGINT, SIGHUP})
                ::sigaction(signal, &action, nullptr);
            i += 2;
        } else if (command == "openfifo") {
            if (::mkfifo(arg, 0600) != 0 && errno != EEXIST)
                return 98;
            const int fd = ::open(arg, O_RDONLY);
            if (fd >= 0)
                ::close(fd);
            ++i;
        } else if (command == "lines") {
            const long count = std::atol(arg);
            std::string block;
            for (long k = 1; k <= count; ++k) {
                char line[32];
                std::snprintf(line, sizeof line, "line %06ld\n", k);
                block += line;
                if (block.size() > 60000 || k == count)
                    writeAll(1, std::exchange(block, std::string()));
            }
            ++i;
        } else if (command == "grandchild") {
            const long ms = std::atol(arg);
            const std::string text = unescape(i + 2 < argc ? argv[i + 2] : "");
            if (::fork() == 0) {
                sleepMs(ms);
                writeAll(1, text);
                std::_Exit(0);
            }
            i += 2;
        } else if (command == "sleep") {
            sleepMs(std::atol(arg));
            ++i;
        } else if (command == "spin") {
            timespec start, now;
            ::clock_gettime(CLOCK_MONOTONIC, &start);
            const long long ms = std::atoll(arg);
            do
                ::clock_gettime(CLOCK_MONOTONIC, &now);
            while ((now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000 < ms);
            ++i;
        } else if (command == "hang") {
            for (;;)
                ::pause();
        } else if (command == "signal") {
            const int signal = std::atoi(arg);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::signal(signal, SIG_DFL);
            ::raise(signal);
            ++i;
        } else if (command == "exit") {
            std::_Exit(std::atoi(arg));
        } else {
            writeAll(2, "childhelper: unknown command " + command + "\n");
            return 99;
        }
    }
    return 0;
}
