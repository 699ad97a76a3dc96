// Selector and output-folder operations of the main window's controller.

#include "tffmpegfunc.h"

void TFFmpegFunc::FillSelectors() {}
void TFFmpegFunc::FillSelector(TJvComboBox *) {}
int TFFmpegFunc::ReadSavedIndex(int) { return 0; }
QString TFFmpegFunc::LookupFragment(TJvComboBox *) { return QString(); }
void TFFmpegFunc::SaveSelection(TJvComboBox *) {}
void TFFmpegFunc::LoadOutputDir() {}
void TFFmpegFunc::ChooseOutputDir() {}
void TFFmpegFunc::OpenOutputDir() {}
