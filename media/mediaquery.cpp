#include "media/mediaquery.h"

#include "media/mediainfodll.h"
#include "text/textparse.h"

#include <QList>

#include <cmath>

using namespace MediaInfoDll;

namespace MediaQuery {

namespace {

struct Parameter {
    StreamKind kind;
    const char *name;
};

// One query sequence: a fresh instance, the file opened, one value per
// parameter copied at once (a null text reads as empty), the instance closed
// and released. No result when an entry point it calls is missing.
std::optional<QList<QByteArray>> query(const QByteArray &path, const QList<Parameter> &parameters)
{
    if (!MediaInfoA_New || !MediaInfoA_Open || !MediaInfoA_Get || !MediaInfoA_Close)
        return std::nullopt;
    void *handle = MediaInfoA_New();
    if (!handle)
        return std::nullopt;
    MediaInfoA_Open(handle, path.constData());
    QList<QByteArray> values;
    values.reserve(qsizetype(parameters.size()));
    for (const Parameter &parameter : parameters)
        values << QByteArray(MediaInfoA_Get(handle, parameter.kind, 0, parameter.name, Text, Name));
    MediaInfoA_Close(handle);
    if (MediaInfoA_Delete)
        MediaInfoA_Delete(handle);
    return values;
}

std::optional<QList<QByteArray>> loadAndQuery(const QByteArray &path, const QList<Parameter> &parameters)
{
    if (!LoadMediaInfo(libraryName()))
        return std::nullopt;
    return query(path, parameters);
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
    const auto values = loadAndQuery(path, {{General, "FileExtension"},
                                            {General, "FileSize/String4"},
                                            {General, "Duration/String3"}});
    if (!values)
        return std::nullopt;
    return FileEntry{values->at(0), sizeText(values->at(1)), TextParse::clockText(values->at(2), ListDefaultTime)};
}

std::optional<PanelValues> panel(const QByteArray &path)
{
    const auto values = loadAndQuery(path, {{General, "FileName"},
                                            {General, "FileExtension"},
                                            {General, "FileExtension"},
                                            {General, "FileSize/String4"},
                                            {General, "Duration/String3"},
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
    // The values in the order of the panel's value rows.
    const QByteArray shown[] = {v[0] + '.' + v[1], v[2],  sizeText(v[3]), TextParse::clockText(v[4], PanelDefaultTime),
                                v[5],             v[6],  v[7] + 'x' + v[8], v[9], v[10], v[11], v[12], v[13], v[14]};
    PanelValues rows;
    const QByteArray *next = std::begin(shown);
    for (int row = 0; row < PanelRowCount; ++row) {
        if (isPanelValueRow(row))
            rows[row] = *next++;
    }
    Q_ASSERT(next == std::end(shown));
    return rows;
}

std::optional<QByteArray> duration(const QByteArray &path)
{
    const auto values = loadAndQuery(path, {{General, "Duration/String3"}});
    if (!values)
        return std::nullopt;
    return TextParse::clockText(values->at(0), ListDefaultTime);
}

std::optional<QList<QByteArray>> generalValues(const QByteArray &path, const QList<QByteArray> &names)
{
    QList<Parameter> parameters;
    for (const QByteArray &name : names)
        parameters << Parameter{General, name.constData()};
    return loadAndQuery(path, parameters);
}

QByteArray fileName(const QByteArray &path)
{
    const auto values = query(path, {{General, "FileName"}});
    return values ? values->at(0) : QByteArray();
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
