#pragma once

#include "process/childguard.h"

#include <QByteArray>
#include <QList>

// Starts child processes that never outlive this process. Each program runs
// under a guard (bin/halvora-guard beside the running executable, see
// childguard.h) that gets a parent-death signal and checks that its parent is
// still there; when this process ends, however it ends, the guard sends the
// program SIGTERM (after which ffmpeg and mplayer still end their work
// properly), and SIGKILL once it has used no processor time for
// OrphanGraceMs (see childguard.h). The death
// signal follows the thread that started the child, so every child starts
// from one thread that lives as long as the process.
//
// Without the guard (a warning on the log, once) the program itself gets the
// parent-death signal: one stuck on SIGTERM would then live on.
namespace ChildStart {

// The signal a child receives when this process ends.
constexpr int DeathSignal = 15; // SIGTERM

// Starts the program named by arguments[0] (searched in PATH when it holds no
// '/') with the arguments, this process's environment and working directory.
// Each descriptor in `streams` (three entries, -1 for "inherit") goes onto
// standard input, output and error; the child keeps no other descriptor
// above 2, starts with no signal blocked and every signal at its default
// disposition. Returns the process id of the child, the guard: signals sent
// to it (SIGTERM, SIGINT, SIGHUP...) reach the program, SIGKILL ends both, and
// it ends as the program ended (same exit code, or killed by the same
// signal). Throws EOSError with the error of the failed start of the program
// (ENOENT for a missing program, EACCES for one that may not run), and then
// no child is left.
int start(const QList<QByteArray> &arguments, const int (&streams)[3]);

} // namespace ChildStart
