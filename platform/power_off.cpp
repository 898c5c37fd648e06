#include "platform/power_off.h"

#include <cstdlib>
#include <string>

namespace vq {

bool RequestPowerOff() {
    const char* custom = std::getenv("VELLOQUIN_SHUTDOWN_COMMAND");
    const std::string command = custom && *custom ? custom : "systemctl poweroff";
    return std::system(command.c_str()) == 0;
}

} // namespace vq
