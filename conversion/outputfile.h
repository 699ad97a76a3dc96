#pragma once

#include <QByteArray>

#include <functional>

// The converted file's names: ffmpeg writes to a new temporary file in the
// output folder, which is then moved to the first free final name. Neither
// step ever replaces a file that is already there.
namespace OutputFile {

// The source's file name without its last extension ("holiday" for
// ".../holiday.avi"); a name whose only dot leads it is kept whole.
QByteArray baseName(const QByteArray &sourcePath);

// Creates an empty file "base.part.mp4" in the folder, or "base.part (N).mp4"
// with the lowest N from 2 up when that is taken, and returns its path.
// Where that name would be longer than the folder's file system allows
// (while "base.mp4" may still fit), the file is a hidden
// ".prefix.halvora-part-N.mp4" instead, the prefix cut from the base to fit.
// Throws EOSError (missing folder, no permission, full disk...).
// `choosing`, when given, hears each name just before it is tried.
QByteArray createTemporary(const QByteArray &folder, const QByteArray &base,
                           const std::function<void(const QByteArray &name)> &choosing = {});

// Whether the path's file name is one createTemporary() makes; the folder
// and base are not looked at.
bool isTemporaryName(const QByteArray &path);

// Moves `temporary` (in `folder`) to the first of "base.mp4", "base (2).mp4",
// "base (3).mp4"... that no file holds at the moment of the move, and
// returns the new path. Throws EOSError; the temporary file stays then.
QByteArray moveToFreeName(const QByteArray &temporary, const QByteArray &folder, const QByteArray &base);

// Whether a file of that name exists (of any size).
bool exists(const QByteArray &path);

// Whether the file exists and holds at least one byte.
bool hasContent(const QByteArray &path);

// Removes a file this run made; a file already gone is no error.
void remove(const QByteArray &path);

} // namespace OutputFile
