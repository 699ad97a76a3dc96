#pragma once

#include <QString>

// Switches the computer off through systemd-logind on the system bus.
namespace PowerOff {

struct Outcome {
    bool permitted = false; // CanPowerOff answered "yes" or "challenge"
    bool requested = false; // PowerOff was accepted
    QString error;          // the first failure, for diagnostics
    // The application should end: some step failed.
    bool endApplication() const { return !permitted || !requested; }
};

// Asks logind whether powering off is allowed, then asks it to power off,
// going on after a refused check. The request is interactive (the user may be
// asked for a password) only after the answer "challenge".
Outcome powerOff();

} // namespace PowerOff
