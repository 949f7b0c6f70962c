// The host's network adapters as the link layer reports them: type, address length and
// address bytes, in the system's interface order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

enum class AdapterType {
    Ethernet,
    Wireless,  // IEEE 802.11
    Loopback,
    Other,
};

struct Adapter {
    AdapterType type = AdapterType::Other;
    unsigned addressLength = 0;  // bytes of `address` that are meaningful, at most 8
    std::array<std::uint8_t, 8> address{};
};

// Every adapter with a link-layer address, in interface-index order; nothing when the
// query itself fails. Any thread.
std::optional<std::vector<Adapter>> ListAdapters();

}  // namespace platform
