// CDownloadProgress::OnProgress delivering percentages to a real window.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "service/DownloadProgress.h"
#include "tests/service/progress_window.h"

namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

struct ProgressCase {
    const char* name;
    std::uint64_t done;
    std::uint64_t expected;
    std::optional<std::uintptr_t> sent;  // nothing: no message
};

void PrintTo(const ProgressCase& c, std::ostream* os) {
    *os << c.name;
}

class OnProgress : public testing::TestWithParam<ProgressCase> {};

TEST_P(OnProgress, SendsTheTruncatedPercentage) {
    const ProgressCase& c = GetParam();
    service_test::ProgressWindow window;
    ASSERT_NE(window.Window(), nullptr) << "needs a display";
    CDownloadProgress progress(window.Window());
    EXPECT_EQ(progress.OnProgress(c.done, c.expected), CDownloadProgress::kOk);
    const auto values = window.Values();
    if (c.sent) {
        ASSERT_EQ(values.size(), 1u);
        EXPECT_EQ(values[0], *c.sent);
    } else {
        EXPECT_TRUE(values.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, OnProgress,
    testing::Values(ProgressCase{"Half", 512, 1024, 50}, ProgressCase{"OneThird", 1, 3, 33},
                    ProgressCase{"Past31Bits", 3000000000u, 4000000000u, 75},
                    ProgressCase{"MoreThanExpected", 1100, 1000, 110},
                    ProgressCase{"NothingYet", 0, 1000, 0},
                    ProgressCase{"ExpectedZero", 500, 0, std::nullopt},
                    // Past 4 GiB: 32-bit counts would wrap (5 GiB reads as 1 GiB).
                    ProgressCase{"FiveGiBHalf", 5 * kGiB / 2, 5 * kGiB, 50},
                    ProgressCase{"FiveGiBAlmost", 5 * kGiB - 1, 5 * kGiB, 99},
                    ProgressCase{"FiveGiBDone", 5 * kGiB, 5 * kGiB, 100},
                    ProgressCase{"OneGiBOfFive", kGiB, 5 * kGiB, 20}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(OnProgressWithoutWindow, ReturnsOneAndSendsNothing) {
    CDownloadProgress progress(nullptr);
    EXPECT_EQ(progress.OnProgress(512, 1024), CDownloadProgress::kNoWindow);
    EXPECT_EQ(progress.OnProgress(0, 0), CDownloadProgress::kNoWindow);
}

TEST(OnProgressFromWorker, WaitsUntilTheWindowHandledIt) {
    service_test::ProgressWindow window;
    ASSERT_NE(window.Window(), nullptr) << "needs a display";
    CDownloadProgress progress(window.Window());
    window.RunOnWorker([&] {
        for (std::uint64_t done = 0; done <= 4; ++done) {
            progress.OnProgress(done, 4);
            // Synchronous: the value is recorded before OnProgress returns.
            EXPECT_EQ(window.Values().size(), done + 1);
        }
    });
    EXPECT_EQ(window.Values(), (std::vector<std::uintptr_t>{0, 25, 50, 75, 100}));
}

}  // namespace
