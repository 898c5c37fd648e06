// The computer's connected state and the program's work-offline flag.
#pragma once

namespace vq {

// Connected: some network interface other than the loopback one is up and has an address.
bool AnyInterfaceUp();

// Work offline is the program's own flag; nothing of the system changes with it.
bool WorkOffline();
void SetWorkOffline(bool offline);

} // namespace vq
