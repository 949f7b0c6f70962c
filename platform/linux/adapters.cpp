#include "platform/adapters.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace platform {
namespace {

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Wireless interfaces report the Ethernet hardware type; sysfs tells them apart.
AdapterType TypeOf(unsigned short hardwareType, const char* name) {
    switch (hardwareType) {
        case ARPHRD_ETHER: {
            const std::string base = std::string("/sys/class/net/") + name;
            if (PathExists(base + "/wireless") || PathExists(base + "/phy80211")) {
                return AdapterType::Wireless;
            }
            return AdapterType::Ethernet;
        }
        case ARPHRD_LOOPBACK:
            return AdapterType::Loopback;
        default:
            return AdapterType::Other;
    }
}

}  // namespace

std::optional<std::vector<Adapter>> ListAdapters() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);

    std::vector<std::pair<int, Adapter>> found;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) {
            continue;
        }
        sockaddr_ll link{};
        std::memcpy(&link, entry->ifa_addr, sizeof link);
        Adapter adapter;
        adapter.type = TypeOf(link.sll_hatype, entry->ifa_name);
        adapter.addressLength = std::min<unsigned>(link.sll_halen, adapter.address.size());
        std::memcpy(adapter.address.data(), link.sll_addr, adapter.addressLength);
        found.emplace_back(link.sll_ifindex, adapter);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<Adapter> adapters;
    adapters.reserve(found.size());
    for (auto& [index, adapter] : found) {
        adapters.push_back(adapter);
    }
    return adapters;
}

}  // namespace platform
