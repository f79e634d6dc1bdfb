// Reads what host_utils.h needs from Linux: /proc and getifaddrs.

#include "host/host_utils.h"

#include "host/text_codec.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <malloc.h>
#include <net/if.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

std::wstring ReadExecutablePath()
{
    // The link's length is not known in advance; grow until it fits, with no cut.
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return AnsiToWide(buffer);
        }
        if (buffer.size() >= (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::wstring> ReadProcessNames()
{
    std::vector<std::wstring> names;
    DIR* proc = opendir("/proc");
    if (!proc)
        return names;
    while (const dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        // A process that ended since the listing has no comm any more; skip it.
        if (!std::getline(comm, name))
            continue;
        names.push_back(AnsiToWide(name));
    }
    closedir(proc);
    return names;
}

std::vector<std::string> ReadOwnProcessExecutables()
{
    std::vector<std::string> executables;
    DIR* proc = opendir("/proc");
    if (!proc)
        return executables;
    const uid_t me = getuid();
    while (const dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        struct stat owner
        {};
        if (stat(folder.c_str(), &owner) != 0 || owner.st_uid != me)
            continue;
        char target[PATH_MAX];
        const ssize_t size = readlink((folder + "/exe").c_str(), target, sizeof target);
        // Another user's process, one that ended, or a kernel thread: nothing to read.
        if (size > 0 && static_cast<std::size_t>(size) < sizeof target)
            executables.emplace_back(target, static_cast<std::size_t>(size));
    }
    closedir(proc);
    return executables;
}

std::string ResolvedPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

std::vector<AdapterRecord> ReadAdapters()
{
    std::vector<AdapterRecord> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return adapters;
    for (const ifaddrs* it = list; it; it = it->ifa_next) {
        // Hardware addresses arrive as AF_PACKET entries, one per interface.
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
        AdapterRecord record;
        record.loopback = (it->ifa_flags & IFF_LOOPBACK) != 0;
        const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
        record.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
        adapters.push_back(std::move(record));
    }
    freeifaddrs(list);
    return adapters;
}

void ReturnFreeHeapToSystem() { malloc_trim(0); }
