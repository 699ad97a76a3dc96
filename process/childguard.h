#pragma once

#include <cerrno>

#include <unistd.h>

// What ChildStart and the guard program (guard/) agree on, and the program
// search both run. No Qt: the guard is built without it.
//
// The guard stands between this process and each program it starts, so that
// nothing started here outlives this process. It is started as
//
//   halvora-guard PARENT-PID COUNT CANDIDATE... ARGV0 ARG...
//
// with every signal blocked and the parent-death signal set. It runs the
// first of the COUNT candidate paths that can run, with ARGV0 ARG... as its
// arguments, and reports a failed start as one int (the errno) on ReportFd;
// it closes ReportFd once the program runs. Its exit mirrors the program's.
namespace ChildGuard {

// The guard's file name in the folder bin/ beside the running executable.
constexpr const char FileName[] = "halvora-guard";

// The descriptor the guard reports a failed start on.
constexpr int ReportFd = 3;

// Once PARENT-PID has ended the program gets SIGTERM (ffmpeg finishes its
// file then), and SIGKILL when it has used no processor time for
// OrphanGraceMs, checked every OrphanCheckMs, or OrphanLimitMs after SIGTERM
// at the latest: a stuck program goes after the grace, a working one may
// finish (a slow encoder's last frames can take half a minute under load).
constexpr int OrphanGraceMs = 5000;
constexpr int OrphanCheckMs = 250;
constexpr int OrphanLimitMs = 60000;

// Runs the first of the `count` candidate paths that can run, with `argv`
// and this process's environment. Like a shell's search, a program found but
// not allowed to run is reported over "not found", and any other failure ends
// the search. Returns only when nothing ran: the error to report. Makes only
// async-signal-safe calls (it runs between vfork and exec).
inline int execFirst(char *const *candidates, long count, char *const *argv)
{
    bool denied = false;
    for (long i = 0; i < count; ++i) {
        ::execve(candidates[i], argv, environ);
        if (errno == EACCES)
            denied = true;
        else if (errno != ENOENT && errno != ENOTDIR)
            return errno;
    }
    return denied ? EACCES : ENOENT;
}

} // namespace ChildGuard
