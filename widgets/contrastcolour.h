#pragma once

#include <QByteArray>
#include <QColor>

// Colours that stay visible on the palette in use, light or dark: contrast
// ratios as the accessibility guidelines define them (1 to 21).
namespace ContrastColour {

constexpr double Minimum = 3.0;

double ratio(const QColor &a, const QColor &b);

// `colour` where it stands out from `background` by at least `minimum`;
// otherwise the same hue made lighter (on a dark background) or darker.
QColor visibleOn(const QColor &colour, const QColor &background, double minimum = Minimum);

// Colours up to this HSL lightness are a picture's dark parts.
constexpr double DarkLightness = 0.4;

// A picture's text with every dark "#rrggbb" colour that does not stand out
// from `background` replaced by visibleOn(). On a light background dark
// colours stand out already: the picture stays as drawn.
QByteArray adaptPicture(const QByteArray &svg, const QColor &background);

} // namespace ContrastColour
