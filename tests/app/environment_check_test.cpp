#include "app/EnvironmentCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

TEST(VersionCompare, IgnoresOnlyLetterCase) {
    EXPECT_TRUE(VersionsEqualIgnoringCase("2.1.0-Beta", "2.1.0-bEtA"));
    EXPECT_TRUE(VersionsEqualIgnoringCase("", ""));
    EXPECT_FALSE(VersionsEqualIgnoringCase("1.0", "1.0.0"));
    EXPECT_FALSE(VersionsEqualIgnoringCase("1.0", "1.0 "));
    EXPECT_FALSE(VersionsEqualIgnoringCase("1.0", "1,0"));
    EXPECT_FALSE(VersionsEqualIgnoringCase("3.0", "2.9"));
    EXPECT_TRUE(VersionsEqualIgnoringCase("版本A", "版本a"));
    EXPECT_FALSE(VersionsEqualIgnoringCase("版本", "版木"));
}

struct DecisionCase {
    const char* label;
    std::optional<StoredClientRecord> record;
    bool present;
    std::string offered;
    int screen;
    std::string installDir;
    std::string startName;
    std::string installedVersion;
    bool asked;  // whether the executable was looked for
};

void PrintTo(const DecisionCase& c, std::ostream* out) {
    *out << c.label;
}

class RecordDecision : public testing::TestWithParam<DecisionCase> {};

const std::string kDefaultDir = "/data//orvikcloud/";

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordDecision,
    testing::Values(
        DecisionCase{"noRecord", std::nullopt, true, "2.0", 3, kDefaultDir, "ovClient.exe", "",
                     false},
        // The recorded folder is kept even though the installation is incomplete.
        DecisionCase{"executableMissing", StoredClientRecord{"/opt/oc/", "client.bin", "2.0"},
                     false, "2.0", 3, "/opt/oc/", "client.bin", "", true},
        DecisionCase{"noVersion", StoredClientRecord{"/opt/oc/", "ovClient.exe", std::nullopt},
                     true, "2.0", 3, "/opt/oc/", "ovClient.exe", "", false},
        DecisionCase{"versionOnly", StoredClientRecord{std::nullopt, std::nullopt, "2.0"}, true,
                     "2.0", 2, kDefaultDir, "ovClient.exe", "2.0", true},
        DecisionCase{"sameIgnoringCase", StoredClientRecord{"/opt/oc/", "ovClient.exe", "2.0-RC"},
                     true, "2.0-rc", 2, "/opt/oc/", "ovClient.exe", "2.0-RC", true},
        DecisionCase{"olderOffered", StoredClientRecord{"/opt/oc/", "ovClient.exe", "3.0"}, true,
                     "2.9", 5, "/opt/oc/", "ovClient.exe", "3.0", true},
        DecisionCase{"bothEmpty", StoredClientRecord{"/opt/oc/", "ovClient.exe", ""}, true, "", 2,
                     "/opt/oc/", "ovClient.exe", "", true}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_P(RecordDecision, ChoosesTheScreenAndTakesOverTheRecord) {
    const DecisionCase& c = GetParam();
    std::string installDir = kDefaultDir;
    std::string startName = "ovClient.exe";
    std::string installedVersion;
    bool asked = false;
    const int screen =
        DecideFromRecord(c.record, c.offered, installDir, startName, installedVersion, [&] {
            asked = true;
            return c.present;
        });
    EXPECT_EQ(screen, c.screen);
    EXPECT_EQ(installDir, c.installDir);
    EXPECT_EQ(startName, c.startName);
    EXPECT_EQ(installedVersion, c.installedVersion);
    EXPECT_EQ(asked, c.asked);
}

TEST(ClientFile, PresentOnlyAsAReadableFile) {
    Sandbox sandbox;
    const std::string dir = sandbox.Root().string() + "/";
    EXPECT_FALSE(ClientFilePresent(dir, "ovClient.exe"));
    WriteFileBytes(sandbox.Root() / "ovClient.exe", "x");
    EXPECT_TRUE(ClientFilePresent(dir, "ovClient.exe"));  // through "dir//ovClient.exe"
    fs::create_directories(sandbox.Root() / "folder.exe");
    EXPECT_FALSE(ClientFilePresent(dir, "folder.exe"));
}

TEST(MinimumDuration, WaitsOnlyForTheRest) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    WaitUntilElapsed(start, milliseconds(150));
    EXPECT_GE(steady_clock::now() - start, milliseconds(150));
    const auto late = steady_clock::now() - milliseconds(500);
    const auto before = steady_clock::now();
    WaitUntilElapsed(late, milliseconds(150));
    EXPECT_LT(steady_clock::now() - before, milliseconds(50));
}

}  // namespace
