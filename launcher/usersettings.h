#pragma once

#include <QString>

// A user's own copy of the shipped settings file, kept in the user's data
// folder, so that an installation nobody may write to still saves choices.
// Throws std::runtime_error with a message that names the file on failure.
namespace UserSettings {

// The user's Halvora data folder: $XDG_DATA_HOME/halvora, or ~/.local/share/halvora.
QString dataFolder();

// A writable, existing folder for the user's converted files: the desktop's
// videos folder (created when missing), or else the home folder.
QString defaultOutputFolder();

enum class Outcome { Kept, Created, Upgraded };

// Makes sure `userCopy` exists: a new copy of `shipped` whose output folder
// is `outputFolder`. An existing copy is never replaced by the shipped file;
// one made from an older catalogue (a lower user_version) is upgraded: the new
// catalogue with the user's output folder and, for every selector whose
// option table is unchanged, the user's saved choice. The old file is kept
// beside it with the suffix ".old".
Outcome prepare(const QString &shipped, const QString &userCopy, const QString &outputFolder);

} // namespace UserSettings
