#pragma once

#include <QByteArray>
#include <QList>

#include <array>
#include <iterator>
#include <optional>

// The query sequences Halvora runs against the media information library,
// and the rules that turn the library's texts into what the list, the panel
// and the player show. Each query creates one library instance, opens the
// file, reads its parameters, and closes and releases the instance before it
// returns. Paths and texts are byte strings in the locale's encoding. A query
// that loads the library gives no result when the library (or one of the
// entry points it calls) is missing; a file that is missing or holds no
// media is not detected: its parameters read as empty texts. GUI thread only.
namespace MediaQuery {

// A file list entry's texts: type, size and playing time.
struct FileEntry {
    QByteArray type;
    QByteArray size;
    QByteArray time;
};

// The information panel's rows, in order: three headings (file, video,
// audio), each followed by the rows whose values the panel shows.
enum class PanelRowKind { FileHeading, VideoHeading, AudioHeading, Value };
struct PanelRow {
    const char *caption;
    PanelRowKind kind;
};
inline constexpr PanelRow PanelRows[] = {
    {"Video File", PanelRowKind::FileHeading},        {"File Name", PanelRowKind::Value},
    {"File Type", PanelRowKind::Value},               {"File Size", PanelRowKind::Value},
    {"Playing Time", PanelRowKind::Value},            {"Video Parameters", PanelRowKind::VideoHeading},
    {"Video Codec", PanelRowKind::Value},             {"Video Bitrate", PanelRowKind::Value},
    {"Video Size", PanelRowKind::Value},              {"Video Frame Rate", PanelRowKind::Value},
    {"Width Ratio", PanelRowKind::Value},             {"Audio Parameters", PanelRowKind::AudioHeading},
    {"Audio Codec", PanelRowKind::Value},             {"Audio Bitrate", PanelRowKind::Value},
    {"Audio Channel", PanelRowKind::Value},           {"Sampling Frequency", PanelRowKind::Value},
};
constexpr int PanelRowCount = int(std::size(PanelRows));
// The panel's values by row; heading rows stay empty.
using PanelValues = std::array<QByteArray, PanelRowCount>;
constexpr bool isPanelValueRow(int row)
{
    return row >= 0 && row < PanelRowCount && PanelRows[row].kind == PanelRowKind::Value;
}

// The playing time shown when the library gives none: in the file list and
// the player, and in the information panel.
inline constexpr char ListDefaultTime[] = "02:50:00";
inline constexpr char PanelDefaultTime[] = "02:00:00";

std::optional<FileEntry> fileEntry(const QByteArray &path);
std::optional<PanelValues> panel(const QByteArray &path);

// The playing time as a clock text, ListDefaultTime when the file has none.
std::optional<QByteArray> duration(const QByteArray &path);

// The General-stream values of the named parameters, in their order.
std::optional<QList<QByteArray>> generalValues(const QByteArray &path, const QList<QByteArray> &names);

// The file's name without folder and extension, for naming the output file.
// Does not load the library: it is loaded by the time a file is in the list.
// Empty when the library is not loaded.
QByteArray fileName(const QByteArray &path);

// The size text in megabytes (units of 1024 × 1024 bytes) from the library's
// "FileSize/String4" text, such as "45.08 KiB" or "1.087 MiB": a MiB value
// keeps its digits, any other unit is converted and shown with four
// significant digits, as the library shows its own; "MB" alone when the
// library gives no size. A text in an unknown form loses its last three
// characters to "MB".
QByteArray sizeText(const QByteArray &fileSize);

} // namespace MediaQuery
