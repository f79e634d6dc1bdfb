#include "host/services_posix.h"

#include <ifaddrs.h>
#include <net/if.h>

bool AnyNetworkInterfaceUp()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (const ifaddrs* it = list; it && !up; it = it->ifa_next) {
        const unsigned flags = it->ifa_flags;
        up = !(flags & IFF_LOOPBACK) && (flags & IFF_UP) && (flags & IFF_RUNNING);
    }
    freeifaddrs(list);
    return up;
}
