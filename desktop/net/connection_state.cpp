// Interfaces from getifaddrs; the work-offline flag lives for the run of the program.
#include "desktop/net/connection_state.h"

#include <atomic>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace {

std::atomic<bool> g_workOffline{false};

} // namespace

namespace vq {

bool AnyInterfaceUp() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (const ifaddrs* it = list; it && !up; it = it->ifa_next) {
        if (!it->ifa_addr || (it->ifa_flags & IFF_LOOPBACK) || !(it->ifa_flags & IFF_UP) ||
            !(it->ifa_flags & IFF_RUNNING))
            continue;
        const int family = it->ifa_addr->sa_family;
        up = family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return up;
}

bool WorkOffline() {
    return g_workOffline.load();
}

void SetWorkOffline(bool offline) {
    g_workOffline.store(offline);
}

} // namespace vq
