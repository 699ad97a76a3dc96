#pragma once

#include <QString>

// The output folder's place in the settings database, and the folder used
// when nothing usable is stored there.
namespace OutputFolder {

// Reads the stored folder (row 001).
QString loadStatement();

// Stores a folder in row 001; the path may hold any character.
QString storeStatement(const QString &folder);

// The program folder followed by "FFOutput". Never stored.
QString defaultFolder();

// The same for a given program folder, which ends in '/'.
QString defaultFolder(const QString &programDir);

} // namespace OutputFolder
