// One package as the update service announced it.
#pragma once

#include <cstdint>
#include <string>

struct UpdateInfo {
    std::string version;    // UTF-8
    std::string down_url;   // UTF-8
    std::uint32_t crc = 0;  // low 32 bits of the announced CRC-32
};
