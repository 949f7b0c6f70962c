#include "service/HostIdentity.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsUsable(const platform::Adapter& adapter) {
    const unsigned length = std::min<unsigned>(adapter.addressLength, adapter.address.size());
    return std::any_of(adapter.address.begin(), adapter.address.begin() + length,
                       [](std::uint8_t b) { return b != 0; });
}

void CopyAddress(const platform::Adapter& adapter, MacAddressBuffer& buffer) {
    const unsigned length = std::min<unsigned>(adapter.addressLength, buffer.size());
    std::copy_n(adapter.address.begin(), length, buffer.begin());
}

}  // namespace

bool FindAdapterAddress(const std::vector<platform::Adapter>& adapters, MacAddressBuffer& buffer) {
    const platform::Adapter* wireless = nullptr;
    const platform::Adapter* other = nullptr;
    for (const platform::Adapter& adapter : adapters) {
        if (!IsUsable(adapter)) {
            continue;
        }
        switch (adapter.type) {
            case platform::AdapterType::Ethernet:
                CopyAddress(adapter, buffer);
                return true;
            case platform::AdapterType::Wireless:
                if (wireless == nullptr) {
                    wireless = &adapter;
                }
                break;
            case platform::AdapterType::Loopback:
                break;
            case platform::AdapterType::Other:
                if (other == nullptr) {
                    other = &adapter;
                }
                break;
        }
    }
    const platform::Adapter* chosen = wireless != nullptr ? wireless : other;
    if (chosen == nullptr) {
        return false;
    }
    CopyAddress(*chosen, buffer);
    return true;
}

bool FindAdapterAddress(MacAddressBuffer& buffer) {
    const auto adapters = platform::ListAdapters();
    return adapters.has_value() && FindAdapterAddress(*adapters, buffer);
}

std::string FormatMacAddress(const MacAddressBuffer& address, const std::string& separator,
                             const std::string& prefix, const std::string& suffix) {
    std::string text = prefix;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i != 0) {
            text += separator;
        }
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", address[i]);
        text += pair;
    }
    text += suffix;
    return text;
}

std::string GetHostMacAddress() {
    MacAddressBuffer buffer{};
    FindAdapterAddress(buffer);
    return FormatMacAddress(buffer, "-", "", "");
}
