// Batch conversion operations of the main window's controller.

#include "tffmpegfunc.h"

QByteArray TFFmpegFunc::BuildCommandLine() { return QByteArray(); }
QByteArray TFFmpegFunc::OutputFilePath(const QByteArray &) { return QByteArray(); }
int TFFmpegFunc::CurrentItemSeconds() { return 0; }
int TFFmpegFunc::ProgressSeconds(const QByteArray &) { return 0; }
void TFFmpegFunc::HandleProgressLine(const QByteArray &) {}
void TFFmpegFunc::StartConversion() {}
void TFFmpegFunc::StartCurrentItem() {}
void TFFmpegFunc::StopConversion() {}
void TFFmpegFunc::StopOnClose() {}
void TFFmpegFunc::DisableToolButtons() {}
void TFFmpegFunc::EnableToolButtons() {}
void TFFmpegFunc::PowerOffComputer() {}
