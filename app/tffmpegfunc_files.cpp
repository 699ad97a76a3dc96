// File list and information panel operations of the main window's controller.

#include "tffmpegfunc.h"

void TFFmpegFunc::AddVideoFile() {}
void TFFmpegFunc::SelectVideoFile() {}
void TFFmpegFunc::DeleteVideoFile() {}
void TFFmpegFunc::ClearVideoFiles() {}
void TFFmpegFunc::ShowMediaInfo(const QByteArray &) {}
void TFFmpegFunc::ClearMediaInfo() {}
