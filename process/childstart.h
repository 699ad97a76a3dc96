#pragma once

#include <QByteArray>
#include <QList>

// Starts child processes that never outlive this process: each child gets a
// parent-death signal (SIGTERM, after which ffmpeg and mplayer still end
// their work properly) and checks that its parent is still there before it
// runs the program. The death signal follows the thread that started the
// child, so every child starts from one thread that lives as long as the
// process.
namespace ChildStart {

// The signal a child receives when this process ends.
constexpr int DeathSignal = 15; // SIGTERM

// Starts the program named by arguments[0] (searched in PATH when it holds no
// '/') with the arguments, this process's environment and working directory.
// Each descriptor in `streams` (three entries, -1 for "inherit") goes onto
// standard input, output and error; the child keeps no other descriptor
// above 2, starts with no signal blocked and every signal at its default
// disposition. Returns the process id; throws EOSError with the error of the
// failed start (ENOENT for a missing program, EACCES for one that may not
// run), and then no child is left.
int start(const QList<QByteArray> &arguments, const int (&streams)[3]);

} // namespace ChildStart
