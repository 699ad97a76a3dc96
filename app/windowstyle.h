#pragma once

#include <QProxyStyle>

// The application's style with one change: a tool bar's extension arrow,
// which a tool bar with room for all its buttons never shows, loads its
// picture when first drawn instead of when the tool bar is built. Loading a
// picture file makes Qt open every installed image format plug-in first,
// which would hold up building the window.
class WindowStyle : public QProxyStyle {
public:
    // Wraps a new instance of the style the application uses now.
    WindowStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
