#include "contrastcolour.h"

#include <QRegularExpression>

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
    static const QRegularExpression hex(QStringLiteral("#[0-9a-fA-F]{6}\\b"));
    QString text = QString::fromUtf8(svg);
    QString result;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : hex.globalMatch(text)) {
        const QColor colour = QColor::fromString(match.captured());
        QColor shown = colour;
        if (colour.lightnessF() <= DarkLightness)
            shown = visibleOn(colour, background);
        result += QStringView(text).mid(from, match.capturedStart() - from);
        result += shown.name();
        from = match.capturedEnd();
    }
    result += QStringView(text).mid(from);
    return result.toUtf8();
}

} // namespace ContrastColour
