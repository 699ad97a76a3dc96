#pragma once

#include <QByteArray>

// The path of an outside program in the folder bin/ beside the running
// executable ("bin/ffmpeg"), as the exact bytes the runner starts.
QByteArray programInBin(const char *name);
