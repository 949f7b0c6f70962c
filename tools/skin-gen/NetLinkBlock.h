// DATA 152: the client's network-link configuration block, written by the installer
// unread into NetLink.dat.
#pragma once

#include <array>
#include <cstdint>

namespace skin {

std::array<std::uint8_t, 32> NetLinkBlock();

}  // namespace skin
