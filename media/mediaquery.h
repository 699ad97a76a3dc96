#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <iterator>
#include <optional>

// The query sequences Halvora runs against the media information library,
// and the rules that turn the library's texts into what the list, the panel
// and the player show. Each query opens the file by its exact name (see
// SourceFile, which also gives the name the library can open it by), creates
// one library instance, opens the file in it, reads its parameters, and
// closes and releases the instance before it returns. The file's name and
// type come from its own name, never from the library, which may see only
// the descriptor's name. Only regular files go to the library: a FIFO or a
// device could block it.
// Paths and texts are byte strings in the locale's encoding. A query that
// loads the library gives no result when the library (or one of the entry
// points it calls) is missing; a parameter the file does not have reads as
// the empty text. GUI thread only.
namespace MediaQuery {

// Why Halvora cannot read a file, as the list's tooltip, the panel and the
// batch say it. Any other failure to open the file reads
// "The file cannot be opened: " and the system's text.
inline constexpr char MissingText[] = "The file is missing";
inline constexpr char NotMediaText[] = "Not a video or audio file Halvora can read";

// A file list entry's texts: type, size and playing time, and whether the
// file can be read at all.
struct FileEntry {
    QByteArray type; // the extension of the file's name
    QByteArray size; // empty when the file is missing or not a regular file
    QByteArray time; // clock text; empty when the file tells none
    // Why Halvora cannot read the file: missing, not to be opened, or the
    // library finds neither video nor audio in it. Empty when it can. A FIFO
    // or device is not judged here: reading it could block.
    QString unreadable;
    // The video's width × height; 0 without video or when the file does not tell.
    qint64 framePixels = 0;
    // Audio and no video.
    bool audioOnly = false;
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
// The row of the file's name: bytes of the file system's name, not text.
constexpr int FileNameRow = 1;
// The panel's values by row; heading rows stay empty.
using PanelValues = std::array<QByteArray, PanelRowCount>;
constexpr bool isPanelValueRow(int row)
{
    return row >= 0 && row < PanelRowCount && PanelRows[row].kind == PanelRowKind::Value;
}

std::optional<FileEntry> fileEntry(const QByteArray &path);
// For a file that cannot be read: its name, the reason in the type row and
// its size; every other row empty.
std::optional<PanelValues> panel(const QByteArray &path);

// What a converted file holds, read back to check it: its video and audio
// streams and its playing time in seconds (empty when it tells none).
struct ReadBack {
    int video = 0;
    int audio = 0;
    std::optional<double> seconds;
};
// No result when the library is missing.
std::optional<ReadBack> readBack(const QByteArray &path);

// The playing time as a clock text; empty when the file tells none.
std::optional<QByteArray> duration(const QByteArray &path);

// Why the file cannot be opened now (MissingText, or the system's reason);
// empty when it opens. Asks nothing of the library.
QString openProblem(const QByteArray &path);

// The General-stream values of the named parameters, in their order.
std::optional<QList<QByteArray>> generalValues(const QByteArray &path, const QList<QByteArray> &names);

// The file's name without folder and extension, for naming the output file.
// Does not load the library: it is loaded by the time a file is in the list.
// Empty when the library is not loaded or cannot read the file.
QByteArray fileName(const QByteArray &path);

// The size text in megabytes (units of 1024 × 1024 bytes) from the library's
// "FileSize/String4" text, such as "45.08 KiB" or "1.087 MiB": a MiB value
// keeps its digits, any other unit is converted and shown with four
// significant digits, as the library shows its own; "MB" alone when the
// library gives no size. A text in an unknown form loses its last three
// characters to "MB".
QByteArray sizeText(const QByteArray &fileSize);
// The same text for a size in bytes.
QByteArray sizeText(qint64 bytes);

} // namespace MediaQuery
