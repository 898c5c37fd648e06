// Shutting the computer down after a download ("-SHUT", "Auto Shutdown").
#pragma once

namespace vq {

// Asks the system to power off ("systemctl poweroff"); true when the request was accepted.
// VELLOQUIN_SHUTDOWN_COMMAND replaces the command (tests point it at a harmless one).
bool RequestPowerOff();

} // namespace vq
