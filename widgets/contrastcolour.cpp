#include "widgets/contrastcolour.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ContrastColour {

namespace {

double channel(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double ratio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor visibleOn(const QColor &colour, const QColor &background, double minimum)
{
    if (ratio(colour, background) >= minimum)
        return colour;
    // Black and white give the most contrast a background allows; go the way with more room.
    const bool lighter = ratio(Qt::white, background) >= ratio(Qt::black, background);
    const QColor hsl = colour.toHsl();
    for (int step = 1; step <= 50; ++step) {
        const float l = lighter ? hsl.lightnessF() + (1.0f - hsl.lightnessF()) * step / 50.0f
                                : hsl.lightnessF() * (1.0f - step / 50.0f);
        const QColor candidate = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), l).toRgb();
        if (ratio(candidate, background) >= minimum)
            return candidate;
    }
    return lighter ? QColor(Qt::white) : QColor(Qt::black);
}

QByteArray adaptPicture(const QByteArray &svg, const QColor &background)
{
    // Scanned by hand for "#rrggbb" not followed by a word character: a
    // regular expression would load and compile its engine on every start.
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    QByteArray result;
    result.reserve(svg.size());
    qsizetype from = 0;
    for (qsizetype at = svg.indexOf('#'); at >= 0; at = svg.indexOf('#', at + 1)) {
        const qsizetype end = at + 7;
        if (end > svg.size() || !std::all_of(svg.begin() + at + 1, svg.begin() + end, isHex)
            || (end < svg.size() && isWord(svg[end])))
            continue;
        const QColor colour = QColor::fromString(QLatin1StringView(svg.constData() + at, 7));
        const QColor shown = colour.lightnessF() <= DarkLightness ? visibleOn(colour, background) : colour;
        if (shown == colour)
            continue; // kept as written, so an unchanged picture stays the same text
        result += QByteArrayView(svg).sliced(from, at - from);
        result += shown.name().toLatin1();
        from = end;
    }
    result += QByteArrayView(svg).sliced(from);
    return result;
}

} // namespace ContrastColour
