// The host identity sent with every update request: the hardware address of one network
// adapter, as 17 characters of lowercase hexadecimal pairs joined by "-".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/adapters.h"

using MacAddressBuffer = std::array<std::uint8_t, 8>;

// The chosen adapter's address text; 00-00-00-00-00-00 when none qualifies. Never fails.
std::string GetHostMacAddress();

// Walks `adapters` in order: the first Ethernet adapter with a non-zero address wins at once;
// otherwise the first wireless one, else the first of any other type; loopback never counts.
// Copies the chosen address (at most 8 bytes) to the start of `buffer`, leaving the rest as
// it was, and returns whether one was chosen.
bool FindAdapterAddress(const std::vector<platform::Adapter>& adapters, MacAddressBuffer& buffer);
// The same walk over the platform's adapter list; a failed list query chooses nothing.
bool FindAdapterAddress(MacAddressBuffer& buffer);

// prefix, the first six bytes as "%02x" with `separator` between them, suffix.
std::string FormatMacAddress(const MacAddressBuffer& address, const std::string& separator,
                             const std::string& prefix, const std::string& suffix);
