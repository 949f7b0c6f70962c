// Leaving the installer before it has installed anything: the close cross, Enter and Esc,
// while the check waits for the service, on the install screen and during a download.
#include "tests/e2e/E2eHarness.h"

#include <ostream>

namespace orvik::e2e {
namespace {

enum class Stage { Checking, QuickInstall, Downloading };

struct CloseCase {
    const char* name;
    Stage stage;
    const char* key;  // nullptr: the close cross
};

void PrintTo(const CloseCase& c, std::ostream* out) {
    *out << c.name;
}

class CloseTest : public E2eTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, ClosesPromptlyWithoutInstalling) {
    const CloseCase& c = GetParam();
    const fs::path config = MakePackages("1.0.0.1");
    std::vector<std::string> misbehaviour;
    if (c.stage == Stage::Checking) {
        misbehaviour = {"--stall-query"};
    } else if (c.stage == Stage::Downloading) {
        const auto size = fs::file_size(config.parent_path() / "cloudpc.7z");
        misbehaviour = {"--slow-download", std::to_string(size / 20 + 1)};
    }
    StartService(config, misbehaviour);
    StartInstaller();

    if (c.stage == Stage::Checking) {
        std::this_thread::sleep_for(1500ms);  // past the least time the check screen stays
        ASSERT_EQ(WhatIsShown(), Seen::Checking);
    } else {
        ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
        if (c.stage == Stage::Downloading) {
            Click(28, 394);
            Click(300, 367);
            ASSERT_TRUE(WaitForScreen(Seen::Progress));
            // The bar's blue fill moves right as the package arrives.
            const int before = ProgressFillEnd();
            EXPECT_TRUE(WaitUntil([&] { return ProgressFillEnd() > before + 10; }, 5s))
                << "the progress bar does not advance from x " << before;
        }
    }

    const auto start = std::chrono::steady_clock::now();
    if (c.key != nullptr) {
        Key(c.key);
    } else {
        Click(579, 20);
    }
    EXPECT_TRUE(WaitInstallerExit(6s).has_value()) << "the installer did not close";
    // The window waits about 2.2 s at most for its workers.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_FALSE(fs::exists(RecordFile()));
    EXPECT_TRUE(ClientProcesses().empty());
    EXPECT_FALSE(fs::exists(m_sandbox->Desktop() / "Orvik云电脑.desktop"));
}

INSTANTIATE_TEST_SUITE_P(
    Flows, CloseTest,
    ::testing::Values(CloseCase{"CrossDuringCheck", Stage::Checking, nullptr},
                      CloseCase{"CrossDuringDownload", Stage::Downloading, nullptr},
                      CloseCase{"EnterOnQuickInstall", Stage::QuickInstall, "Return"},
                      CloseCase{"EscDuringDownload", Stage::Downloading, "Escape"}),
    [](const ::testing::TestParamInfo<CloseCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orvik::e2e
