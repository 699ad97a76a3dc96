#pragma once

// What /proc tells about other processes, for tests and benchmarks that
// follow the children they started: each program runs under its guard, so
// the program is a grandchild. Header only, Qt Core only (no QProcess).

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <optional>

namespace ProcInfo {

// A process's name, state ("R", "S", "Z"...) and parent.
struct Stat {
    QByteArray name;
    QByteArray state;
    qint64 parent = 0;
};

// Empty when the process is gone.
inline std::optional<Stat> stat(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    const QByteArray text = file.readAll();
    const qsizetype open = text.indexOf('(');
    const qsizetype close = text.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return Stat{text.mid(open + 1, close - open - 1), fields.value(0), fields.value(1).toLongLong()};
}

// Gone, or a zombie nobody has reaped yet (a child handed to init may stay one).
inline bool hasEnded(qint64 pid)
{
    const std::optional<Stat> found = stat(pid);
    return !found || found->state == "Z";
}

// The process's parent; 0 when it is gone.
inline qint64 parentOf(qint64 pid)
{
    const std::optional<Stat> found = stat(pid);
    return found ? found->parent : 0;
}

// The ids of every process there is now.
inline QList<qint64> allProcesses()
{
    QList<qint64> pids;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            pids << pid;
    }
    return pids;
}

// The processes whose parent is `parent`.
inline QList<qint64> childrenOf(qint64 parent)
{
    QList<qint64> children;
    for (const qint64 pid : allProcesses()) {
        if (parentOf(pid) == parent)
            children << pid;
    }
    return children;
}

// The running processes named `name` that `parent` started: under their
// guard, or directly when started without one.
inline QList<qint64> programsOf(qint64 parent, const QByteArray &name)
{
    QList<qint64> programs;
    for (const qint64 pid : allProcesses()) {
        const std::optional<Stat> found = stat(pid);
        if (found && found->name == name && found->state != "Z" && found->parent != 0
            && (found->parent == parent || parentOf(found->parent) == parent))
            programs << pid;
    }
    return programs;
}

// The processes, this one left out, whose command line holds `text` (a path
// of the test's own, so only processes it started).
inline QList<qint64> processesWith(const QByteArray &text)
{
    QList<qint64> pids;
    for (const qint64 pid : allProcesses()) {
        if (pid == QCoreApplication::applicationPid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text))
            pids << pid;
    }
    return pids;
}

} // namespace ProcInfo
