#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// The main window's nineteen 16 x 16 pictures, shared by its tool bar, list
// views, page tabs, pop-up menu and tray icon. Each is rendered the first time
// it is asked for, so the pictures nobody shows cost nothing. GUI thread only.
class TImageList {
public:
    static constexpr int Count = 19;

    TImageList();

    int count() const { return Count; }
    // An empty icon for an index outside 0 .. count() - 1. The same icon
    // (sharing its cache key) each time for the same index.
    QIcon icon(int index) const;

    // An SVG resource rendered at the given size, keeping its aspect ratio;
    // dark parts are lightened where the application palette's window colour
    // is dark, so that they stay visible.
    static QPixmap render(const QString &resource, const QSize &size);

private:
    mutable QList<QIcon> m_icons;
};
