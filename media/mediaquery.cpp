#include "media/mediaquery.h"

#include "media/mediainfodll.h"
#include "media/sourcefile.h"
#include "text/textparse.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

using namespace MediaInfoDll;

namespace MediaQuery {

namespace {

struct Parameter {
    StreamKind kind;
    const char *name;
};

// One query sequence on an opened file: a fresh instance, the file opened
// in it by the name SourceFile gives, one value per parameter copied at once
// (a null text reads as empty), the instance closed and released. A file that is
// not open or not regular gives empty values without asking the library.
// No result when an entry point it calls is missing.
std::optional<QList<QByteArray>> query(const SourceFile &file, const QList<Parameter> &parameters)
{
    if (!MediaInfoA_New || !MediaInfoA_Open || !MediaInfoA_Get || !MediaInfoA_Close)
        return std::nullopt;
    if (file.kind() != SourceFile::Kind::Regular)
        return QList<QByteArray>(parameters.size());
    void *handle = MediaInfoA_New();
    if (!handle)
        return std::nullopt;
    MediaInfoA_Open(handle, file.libraryName().constData());
    QList<QByteArray> values;
    values.reserve(qsizetype(parameters.size()));
    for (const Parameter &parameter : parameters)
        values << QByteArray(MediaInfoA_Get(handle, parameter.kind, 0, parameter.name, Text, Name));
    MediaInfoA_Close(handle);
    if (MediaInfoA_Delete)
        MediaInfoA_Delete(handle);
    return values;
}

std::optional<QList<QByteArray>> loadAndQuery(const SourceFile &file, const QList<Parameter> &parameters)
{
    if (!LoadMediaInfo(libraryName()))
        return std::nullopt;
    return query(file, parameters);
}

// The parts of the file's name, split as the library splits a name: the
// name without folder, and around its last dot, the stem and the extension.
struct NameParts {
    QByteArray stem;
    QByteArray extension;
};
NameParts nameParts(const QByteArray &path)
{
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return {name, {}};
    return {name.left(dot), name.mid(dot + 1)};
}

QString openProblem(const SourceFile &file)
{
    switch (file.error()) {
    case 0:
        return QString();
    case ENOENT:
    case ENOTDIR:
        return QString::fromLatin1(MissingText);
    default:
        return QStringLiteral("The file cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(file.error())));
    }
}

// Why Halvora cannot read the file, from the system's answer and the
// library's stream counts; empty when it can, or cannot tell without
// reading a FIFO or device.
QString unreadableReason(const SourceFile &file, const QByteArray &videoCount, const QByteArray &audioCount)
{
    if (file.kind() == SourceFile::Kind::NotOpen)
        return openProblem(file);
    if (file.kind() == SourceFile::Kind::Other)
        return QString();
    if (file.kind() == SourceFile::Kind::Directory || videoCount.trimmed().toInt() + audioCount.trimmed().toInt() <= 0)
        return QString::fromLatin1(NotMediaText);
    return QString();
}

// The size text: the library's when it gives one, else the system's for a
// regular file; empty for anything else.
QByteArray shownSize(const SourceFile &file, const QByteArray &librarySize)
{
    if (file.kind() != SourceFile::Kind::Regular)
        return QByteArray();
    return librarySize.isEmpty() ? sizeText(file.size()) : sizeText(librarySize);
}

// `value` with four significant digits, in plain decimal notation.
QByteArray fourSignificantDigits(double value)
{
    if (value <= 0)
        return "0.000";
    const int magnitude = int(std::floor(std::log10(value)));
    int decimals = std::max(0, 3 - magnitude);
    // Rounding may carry into the next power of ten (9.9996 gives 10.000).
    const double scale = std::pow(10.0, decimals);
    if (decimals > 0 && std::round(value * scale) >= std::pow(10.0, magnitude + 1) * scale)
        --decimals;
    return QByteArray::number(value, 'f', decimals);
}

} // namespace

std::optional<FileEntry> fileEntry(const QByteArray &path)
{
    const SourceFile file(path);
    const auto values = loadAndQuery(file, {{General, "FileSize/String4"},
                                            {General, "Duration/String3"},
                                            {General, "VideoCount"},
                                            {General, "AudioCount"},
                                            {Video, "Width"},
                                            {Video, "Height"}});
    if (!values)
        return std::nullopt;
    const QList<QByteArray> &v = *values;
    const QString unreadable = unreadableReason(file, v[2], v[3]);
    return FileEntry{nameParts(path).extension, shownSize(file, v[0]),
                     unreadable.isEmpty() ? TextParse::clockText(v[1], QByteArray()) : QByteArray(), unreadable,
                     v[4].toLongLong() * v[5].toLongLong(), v[2].toInt() == 0 && v[3].toInt() > 0};
}

std::optional<PanelValues> panel(const QByteArray &path)
{
    const SourceFile file(path);
    const auto values = loadAndQuery(file, {{General, "FileSize/String4"},
                                            {General, "Duration/String3"},
                                            {General, "VideoCount"},
                                            {General, "AudioCount"},
                                            {Video, "Codec/String"},
                                            {Video, "BitRate/String"},
                                            {Video, "Width"},
                                            {Video, "Height"},
                                            {Video, "FrameRate/String"},
                                            {Video, "DisplayAspectRatio/String"},
                                            {Audio, "Codec/String"},
                                            {Audio, "BitRate/String"},
                                            {Audio, "Channel(s)/String"},
                                            {Audio, "SamplingRate/String"}});
    if (!values)
        return std::nullopt;
    const QList<QByteArray> &v = *values;
    const NameParts name = nameParts(path);
    const QString unreadable = unreadableReason(file, v[2], v[3]);
    // The values in the order of the panel's value rows.
    QByteArray shown[] = {name.stem + '.' + name.extension,
                          name.extension,
                          shownSize(file, v[0]),
                          TextParse::clockText(v[1], QByteArray()),
                          v[4],
                          v[5],
                          v[6].isEmpty() && v[7].isEmpty() ? QByteArray() : v[6] + 'x' + v[7],
                          v[8],
                          v[9],
                          v[10],
                          v[11],
                          v[12],
                          v[13]};
    if (!unreadable.isEmpty()) {
        // The name, why it cannot be read, and its size; nothing else.
        shown[1] = unreadable.toLocal8Bit();
        std::fill(std::begin(shown) + 3, std::end(shown), QByteArray());
    }
    PanelValues rows;
    const QByteArray *next = std::begin(shown);
    for (int row = 0; row < PanelRowCount; ++row) {
        if (isPanelValueRow(row))
            rows[row] = *next++;
    }
    Q_ASSERT(next == std::end(shown));
    return rows;
}

std::optional<ReadBack> readBack(const QByteArray &path)
{
    const SourceFile file(path);
    const auto values =
        loadAndQuery(file, {{General, "VideoCount"}, {General, "AudioCount"}, {General, "Duration"}});
    if (!values)
        return std::nullopt;
    ReadBack result{values->at(0).toInt(), values->at(1).toInt(), std::nullopt};
    bool ok = false;
    // Milliseconds, possibly with a fraction.
    const double ms = values->at(2).toDouble(&ok);
    if (ok && ms > 0)
        result.seconds = ms / 1000;
    return result;
}

std::optional<QByteArray> duration(const QByteArray &path)
{
    const SourceFile file(path);
    const auto values = loadAndQuery(file, {{General, "Duration/String3"}});
    if (!values)
        return std::nullopt;
    return TextParse::clockText(values->at(0), QByteArray());
}

QString openProblem(const QByteArray &path)
{
    return openProblem(SourceFile(path));
}

std::optional<QList<QByteArray>> generalValues(const QByteArray &path, const QList<QByteArray> &names)
{
    QList<Parameter> parameters;
    for (const QByteArray &name : names)
        parameters << Parameter{General, name.constData()};
    return loadAndQuery(SourceFile(path), parameters);
}

QByteArray fileName(const QByteArray &path)
{
    // The library names the descriptor, not the file: its answer only tells
    // that it read the file.
    const auto values = query(SourceFile(path), {{General, "FileName"}});
    return values && !values->at(0).isEmpty() ? nameParts(path).stem : QByteArray();
}

QByteArray sizeText(qint64 bytes)
{
    return fourSignificantDigits(double(bytes) / (1024.0 * 1024.0)) + " MB";
}

QByteArray sizeText(const QByteArray &fileSize)
{
    if (fileSize.isEmpty())
        return "MB";
    struct Unit {
        const char *name;
        int powerOf1024; // relative to MiB
    };
    static const Unit units[] = {{"Byte", -2}, {"Bytes", -2}, {"KiB", -1}, {"MiB", 0},
                                 {"GiB", 1},   {"TiB", 2},    {"PiB", 3}};
    const qsizetype blank = fileSize.indexOf(' ');
    if (blank > 0) {
        const QByteArray number = fileSize.left(blank);
        const QByteArray unitName = fileSize.mid(blank + 1);
        bool ok = false;
        const double value = number.toDouble(&ok);
        for (const Unit &unit : units) {
            if (!ok || !std::isfinite(value) || value < 0 || unitName != unit.name)
                continue;
            if (unit.powerOf1024 == 0)
                return number + " MB";
            return fourSignificantDigits(value * std::pow(1024.0, unit.powerOf1024)) + " MB";
        }
    }
    return fileSize.left(std::max<qsizetype>(0, fileSize.size() - 3)) + "MB";
}

} // namespace MediaQuery
