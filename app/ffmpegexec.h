#pragma once

// The program entry: creates the application, the settings store and the
// main window, and runs the event loop. Returns the process exit code; an
// error while the settings store is created shows the last-resort box and
// gives 1.
int FFmpegExec(int argc, char **argv);
