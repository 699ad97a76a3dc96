#pragma once

// The program entry: creates the application, the settings store and the
// main window, and runs the event loop. Returns the process exit code; an
// error while the settings store is created shows the last-resort box and
// gives 1.
int FFmpegExec(int argc, char **argv);

// Sets the locale from the environment, with a UTF-8 character type where the
// environment's is not (LC_ALL=C included): file names reach the media
// library through the C library's multibyte conversions, which would fail on
// non-ASCII names otherwise.
void setLocaleFromEnvironment();

// Chooses Qt's platform before the application object exists: X11 (through
// XWayland) when both a Wayland and an X11 display are there and the user
// has not chosen, because the preview needs an X11 window id.
void choosePlatform();
