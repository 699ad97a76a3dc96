// Preview operation of the main window's controller.

#include "tffmpegfunc.h"

void TFFmpegFunc::PlayVideoFile() {}
