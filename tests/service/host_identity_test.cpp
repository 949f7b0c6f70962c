// The adapter walk and the address text, on lists built here and on this machine's own.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "service/HostIdentity.h"

namespace {

using platform::Adapter;
using platform::AdapterType;

Adapter Make(AdapterType type, std::vector<std::uint8_t> bytes) {
    Adapter adapter;
    adapter.type = type;
    adapter.addressLength = static_cast<unsigned>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), adapter.address.begin());
    return adapter;
}

const std::vector<std::uint8_t> kZero6 = {0, 0, 0, 0, 0, 0};
const std::vector<std::uint8_t> kA = {0x02, 0xAA, 0, 0, 0, 0x01};
const std::vector<std::uint8_t> kB = {0x02, 0xBB, 0, 0, 0, 0x02};
const std::vector<std::uint8_t> kC = {0x02, 0xCC, 0, 0, 0, 0x03};

struct WalkCase {
    const char* name;
    std::vector<Adapter> adapters;
    bool chosen;
    const char* text;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class AdapterWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(AdapterWalk, ChoosesByPreference) {
    const WalkCase& c = GetParam();
    MacAddressBuffer buffer{};
    EXPECT_EQ(FindAdapterAddress(c.adapters, buffer), c.chosen);
    EXPECT_EQ(FormatMacAddress(buffer, "-", "", ""), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AdapterWalk,
    testing::Values(
        WalkCase{"EthernetBeatsEarlierWireless",
                 {Make(AdapterType::Wireless, kA), Make(AdapterType::Ethernet, kB)},
                 true,
                 "02-bb-00-00-00-02"},
        WalkCase{"FirstEthernetWins",
                 {Make(AdapterType::Ethernet, kA), Make(AdapterType::Ethernet, kB)},
                 true,
                 "02-aa-00-00-00-01"},
        WalkCase{"ZeroEthernetPassedOver",
                 {Make(AdapterType::Ethernet, kZero6), Make(AdapterType::Wireless, kB)},
                 true,
                 "02-bb-00-00-00-02"},
        WalkCase{"FirstOfTwoWireless",
                 {Make(AdapterType::Wireless, kA), Make(AdapterType::Wireless, kB)},
                 true,
                 "02-aa-00-00-00-01"},
        WalkCase{"FirstOfTwoOther",
                 {Make(AdapterType::Other, kA), Make(AdapterType::Other, kB)},
                 true,
                 "02-aa-00-00-00-01"},
        WalkCase{"WirelessBeatsEarlierTunnel",
                 {Make(AdapterType::Other, kA), Make(AdapterType::Wireless, kB)},
                 true,
                 "02-bb-00-00-00-02"},
        WalkCase{"ZeroWirelessDoesNotBlockLaterOne",
                 {Make(AdapterType::Wireless, kZero6), Make(AdapterType::Other, kA),
                  Make(AdapterType::Wireless, kC)},
                 true,
                 "02-cc-00-00-00-03"},
        WalkCase{"LoopbackOnly", {Make(AdapterType::Loopback, kA)}, false, "00-00-00-00-00-00"},
        WalkCase{"EmptyList", {}, false, "00-00-00-00-00-00"},
        WalkCase{"AllZero",
                 {Make(AdapterType::Ethernet, kZero6), Make(AdapterType::Other, {})},
                 false,
                 "00-00-00-00-00-00"},
        WalkCase{"LowercaseWithLeadingZeros",
                 {Make(AdapterType::Ethernet, {0xAB, 0x0C, 0x00, 0xFF, 0x10, 0x9D})},
                 true,
                 "ab-0c-00-ff-10-9d"},
        WalkCase{"FourByteAddress",
                 {Make(AdapterType::Other, {0x01, 0x02, 0x03, 0x04})},
                 true,
                 "01-02-03-04-00-00"},
        WalkCase{"EightByteAddressShowsSix",
                 {Make(AdapterType::Ethernet, {1, 2, 3, 4, 5, 6, 7, 8})},
                 true,
                 "01-02-03-04-05-06"},
        // Non-zero bytes past the address length do not make an address usable.
        WalkCase{"BytesPastLengthIgnored",
                 {[] {
                      Adapter a = Make(AdapterType::Ethernet, {0, 0});
                      a.address[4] = 0x55;
                      return a;
                  }(),
                  Make(AdapterType::Wireless, kB)},
                 true,
                 "02-bb-00-00-00-02"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(AdapterWalk, LengthPastEightIsCappedAndOnlyLengthBytesCopied) {
    Adapter a = Make(AdapterType::Ethernet, {9, 9, 9, 9, 9, 9, 9, 9});
    a.addressLength = 200;
    MacAddressBuffer buffer{};
    EXPECT_TRUE(FindAdapterAddress({a}, buffer));
    EXPECT_EQ(buffer[7], 9);

    Adapter shortOne = Make(AdapterType::Ethernet, {0x11, 0x22});
    MacAddressBuffer filled;
    filled.fill(0xEE);
    EXPECT_TRUE(FindAdapterAddress({shortOne}, filled));
    EXPECT_EQ(FormatMacAddress(filled, "-", "", ""), "11-22-ee-ee-ee-ee");
}

TEST(FormatMacAddress, SeparatorPrefixAndSuffix) {
    const MacAddressBuffer address = {0xAB, 0x0C, 0x00, 0xFF, 0x10, 0x9D, 0x77, 0x88};
    EXPECT_EQ(FormatMacAddress(address, ":", "[", "]"), "[ab:0c:00:ff:10:9d]");
    EXPECT_EQ(FormatMacAddress(address, "", "", ""), "ab0c00ff109d");
}

TEST(GetHostMacAddress, ThisMachine) {
    const std::string text = GetHostMacAddress();
    ASSERT_EQ(text.size(), 17u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            EXPECT_EQ(text[i], '-') << text;
        } else {
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) &&
                        !std::isupper(static_cast<unsigned char>(text[i])))
                << text;
        }
    }
    // The platform's list: a loopback entry is there on every Linux machine.
    const auto adapters = platform::ListAdapters();
    ASSERT_TRUE(adapters.has_value());
    EXPECT_TRUE(std::any_of(adapters->begin(), adapters->end(),
                            [](const Adapter& a) { return a.type == AdapterType::Loopback; }));
}

}  // namespace
