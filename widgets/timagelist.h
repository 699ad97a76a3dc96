#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// What each of the main window's pictures shows, by its index in TImageList.
// Some pictures serve two roles (the Convert button's also marks the entry
// being converted); each role has its own name.
namespace Picture {
inline constexpr int Add = 0;
inline constexpr int Delete = 1;
inline constexpr int Clear = 2;
inline constexpr int Convert = 3;
inline constexpr int Converting = 3;
inline constexpr int Quit = 4;
inline constexpr int Play = 5;
inline constexpr int VideoHeading = 5;
inline constexpr int AudioHeading = 9;
inline constexpr int Detail = 10;
inline constexpr int Finished = 11;
inline constexpr int Stop = 12;
inline constexpr int Failed = 12;
inline constexpr int OtherSettings = 13;
// A file waiting in the list, the file heading, and the tray icon at rest.
inline constexpr int Waiting = 15;
// The tray icon's second picture while a batch runs.
inline constexpr int TrayBlink = 16;
inline constexpr int OpenWindow = 17;
inline constexpr int Homepage = 18;
// An entry stopped part-way: the file written so far is kept.
inline constexpr int Stopped = 19;
// An entry whose file is missing or holds no video or audio Halvora can read.
inline constexpr int Unreadable = 20;
} // namespace Picture

// The main window's twenty-one 16 x 16 pictures, shared by its tool bar, list
// views, page tabs, pop-up menu and tray icon. Each is rendered the first time
// it is asked for, so the pictures nobody shows cost nothing. GUI thread only.
class TImageList {
public:
    static constexpr int Count = 21;

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
