#pragma once

#include <QVariantMap>

// The program's entry in the task bar or dock shows a batch's progress,
// through the com.canonical.Unity.LauncherEntry Update signal on the session
// bus, which the common task managers and docks follow (they find the program
// by its desktop file, halvora.desktop). Only a change is sent. Without a
// session bus nothing is sent and nothing waits. GUI thread only.
class LauncherEntry {
public:
    static constexpr const char *AppUri = "application://halvora.desktop";
    static constexpr const char *Path = "/com/canonical/unity/launcherentry/halvora";
    static constexpr const char *Interface = "com.canonical.Unity.LauncherEntry";

    // Shows `fraction` (0..1) of the batch done.
    void showProgress(double fraction);
    // Takes the progress away, if it is shown.
    void clear();

private:
    void send(const QVariantMap &properties);

    // In thousandths; -1 while none is shown.
    int m_shown = -1;
};
