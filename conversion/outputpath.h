#pragma once

#include <QByteArray>

// Where a converted file goes, and whether writing it would touch its source.
namespace OutputPath {

// The folder as it stands, one '/', the name and ".mp4".
QByteArray join(const QByteArray &folder, const QByteArray &name);

// The source's file name without its folder and its last extension, as bytes:
// "/v/holiday.avi" gives "holiday". Names that are not valid text stay exact.
QByteArray sourceName(const QByteArray &sourcePath);

// Whether both paths name one existing file, however spelt (links included).
bool sameFile(const QByteArray &a, const QByteArray &b);

} // namespace OutputPath
