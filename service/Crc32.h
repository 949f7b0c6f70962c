// CRC-32 of IEEE 802.3 and zlib (reflected polynomial EDB88320, initial value and final XOR
// FFFFFFFF), for checking downloaded packages against the value the service announced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The byte-at-a-time table of the CRC, filled by MakeCrc32Table.
extern std::uint32_t g_crc32Table[256];

void MakeCrc32Table();

// Continues the CRC `crc` (0 to start) over `size` bytes, as zlib's crc32() does.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

// 0 and the CRC-32 of the file stored in *crc; -1 when the file cannot be opened or a read
// fails part-way (nothing is stored then).
int GetFileCrc32(const char* path, std::uint32_t* crc);

// True when the file can be read and its CRC-32 equals `expected`.
bool VerifyPackage(const std::string& path, std::uint32_t expected);
