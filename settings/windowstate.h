#pragma once

#include <QString>

// What the window keeps between starts besides the user's choices: its size
// and the folder files were last added from. One text per key in the table
// window_state; an empty text means "nothing kept yet".
namespace WindowState {

// The window's size as "WIDTHxHEIGHT".
inline constexpr char SizeKey[] = "size";
// The folder the Add dialog last added from.
inline constexpr char AddFolderKey[] = "add_folder";

// Reads the value kept under a key (no row when the key is unknown).
QString loadStatement(const char *key);

// Stores a value under a key; the value may hold any character.
QString storeStatement(const char *key, const QString &value);

// Every key and value, for carrying them into a newer settings file.
QString allStatement();

} // namespace WindowState
