#include "app/DriveSurvey.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace {
using platform::Volume;

constexpr std::uint64_t kGiB = 1ULL << 30;
constexpr const char* kFallback = "/home/u/.local/share";

Volume Fixed(const char* point, std::optional<std::uint64_t> free, bool system = false) {
    return Volume{point, true, system, free};
}
Volume NotFixed(const char* point, std::uint64_t free) {
    return Volume{point, false, false, free};
}

struct SurveyCase {
    const char* label;
    std::vector<Volume> volumes;
    std::string root;
};

void PrintTo(const SurveyCase& c, std::ostream* out) {
    *out << c.label;
}

class DriveSurvey : public testing::TestWithParam<SurveyCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveSurvey,
    testing::Values(
        SurveyCase{"noVolumes", {}, kFallback},
        SurveyCase{"onlyTheSystemVolume", {Fixed("/", 500 * kGiB, true)}, kFallback},
        SurveyCase{"justUnderOneGiB",
                   {Fixed("/", 500 * kGiB, true), Fixed("/data/", kGiB - 1)},
                   kFallback},
        SurveyCase{
            "exactlyOneGiB", {Fixed("/", 500 * kGiB, true), Fixed("/data/", kGiB)}, "/data/"},
        // The first qualifying volume wins, not the largest.
        SurveyCase{"firstNotLargest",
                   {Fixed("/", 50 * kGiB, true), Fixed("/d/", 5 * kGiB), Fixed("/e/", 500 * kGiB)},
                   "/d/"},
        // Removable and network volumes never qualify, however much space they have.
        SurveyCase{"removableOrNetworkOnly",
                   {Fixed("/", 50 * kGiB, true), NotFixed("/media/usb/", 900 * kGiB),
                    NotFixed("/net/share/", 9000 * kGiB)},
                   kFallback},
        SurveyCase{
            "freeSpaceQueryFails", {Fixed("/a/", std::nullopt), Fixed("/b/", 2 * kGiB)}, "/b/"},
        SurveyCase{
            "systemVolumeFirstInOrderIsSkipped",
            {Fixed("/", 900 * kGiB, true), Fixed("/srv/", 3 * kGiB, true), Fixed("/z/", 3 * kGiB)},
            "/z/"},
        SurveyCase{"smallDataVolumeThenGoodOne",
                   {Fixed("/a/", kGiB / 2), NotFixed("/b/", 10 * kGiB), Fixed("/c/", kGiB)},
                   "/c/"},
        // A volume reporting an absurd size stays eligible (no wrap to a negative count).
        SurveyCase{"absurdlyLarge",
                   {Fixed("/huge/", std::numeric_limits<std::uint64_t>::max())},
                   "/huge/"}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_P(DriveSurvey, ChoosesTheDefaultRoot) {
    EXPECT_EQ(ChooseDefaultRoot(GetParam().volumes, kFallback), GetParam().root);
}

TEST(DriveSurveyUnits, FreeGiBIsWholeGiB) {
    EXPECT_EQ(FreeGiB(0), 0);
    EXPECT_EQ(FreeGiB(kGiB - 1), 0);
    EXPECT_EQ(FreeGiB(kGiB), 1);
    EXPECT_EQ(FreeGiB(2047 * kGiB + kGiB - 1), 2047);
    EXPECT_EQ(FreeGiB(std::numeric_limits<std::uint64_t>::max()),
              std::numeric_limits<std::int32_t>::max());
}

TEST(DriveSurveyUnits, DefaultInstallFolderKeepsTheDoubledSlash) {
    EXPECT_EQ(DefaultInstallFolder("/data/"), "/data//orvikcloud/");
    EXPECT_EQ(DefaultInstallFolder(kFallback), "/home/u/.local/share/orvikcloud/");
}

// This machine: the answer is the fallback or a fixed, non-system volume with room.
TEST(DriveSurveyUnits, RealMachine) {
    const std::string root = SurveyDefaultRoot();
    if (root == platform::ProgramFilesFallback()) {
        return;
    }
    bool found = false;
    for (const Volume& v : platform::ListVolumes()) {
        if (v.mountPoint == root) {
            found = true;
            EXPECT_TRUE(v.fixed);
            EXPECT_FALSE(v.systemDrive);
            ASSERT_TRUE(v.totalFreeBytes);
            EXPECT_GE(*v.totalFreeBytes, kGiB);
        }
    }
    EXPECT_TRUE(found) << root;
}

}  // namespace
