#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Turns what a user hands over (dropped URLs, command-line arguments, paths
// sent by a second start) into the list of files to add. Paths are raw bytes
// as the file system holds them, so names that are not valid text in the
// locale's encoding reach ffmpeg and the media library unchanged.
namespace FileIntake {

// The name patterns of the Add dialog's "all video files" row, such as "*.mp4".
const QStringList &videoPatterns();

// The Add dialog's name filters: all video files, then each kind on its own
// ("mp4 video file (*.mp4)"), from the same patterns.
QStringList dialogFilters();

// True when the file name's extension is one of the video patterns, in any letter case.
bool isVideoName(const QByteArray &path);

// The local paths of the file: URLs in a text/uri-list body, in their order,
// percent-decoded to the exact bytes. Comment lines, other schemes and
// URLs naming another host are left out.
QList<QByteArray> pathsFromUriList(const QByteArray &uriList);

// `path` made absolute against the folder `base` (itself absolute), with
// "." and ".." resolved by name.
QByteArray absolutePath(const QByteArray &path, const QByteArray &base);

// The current folder's exact path.
QByteArray currentFolder();

// The arguments after the program name, each made absolute against the
// current folder.
QList<QByteArray> commandLinePaths(int argc, char **argv);

// The files to add for `paths`, in order: a folder gives the video files in
// it and its subfolders sorted by path (symbolic links to folders are not
// followed), a file gives itself when it is a video file. A single file
// handed over on its own is kept whatever its name, as Add keeps it. Paths
// that do not exist are kept, so that the add reports them as Add does.
QList<QByteArray> expand(const QList<QByteArray> &paths);

} // namespace FileIntake
