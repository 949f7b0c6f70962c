#include "NetLinkBlock.h"

namespace skin {

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

}  // namespace

// Layout, all integers little-endian. The installer never reads it; the client does.
//
//   offset size  field                       value
//        0    4  magic                       "ONLK"
//        4    2  format version              1
//        6    2  block length                32
//        8    2  flags: bit 0 UDP media transport preferred, bit 1 TLS required on
//                the control link, bit 2 relay allowed when no direct path exists   0x0007
//       10    2  control-link port           7443
//       12    2  media-link port             7450
//       14    2  heartbeat interval, seconds 15
//       16    2  reconnect attempts          5
//       18    2  reconnect back-off, ms      2000
//       20    2  media MTU, bytes            1400
//       22    1  parallel media streams      4
//       23    1  DSCP class of media packets 46 (expedited forwarding)
//       24    4  reserved                    0
//       28    4  CRC-32 (IEEE) of bytes 0..27
std::array<std::uint8_t, 32> NetLinkBlock() {
    std::array<std::uint8_t, 32> b{};
    std::size_t at = 0;
    auto u8 = [&](unsigned v) { b[at++] = static_cast<std::uint8_t>(v); };
    auto u16 = [&](unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u8('O');
    u8('N');
    u8('L');
    u8('K');
    u16(1);
    u16(32);
    u16(0x0007);
    u16(7443);
    u16(7450);
    u16(15);
    u16(5);
    u16(2000);
    u16(1400);
    u8(4);
    u8(46);
    u32(0);
    u32(Crc32(b.data(), 28));
    return b;
}

}  // namespace skin
