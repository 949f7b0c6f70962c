// Progress of an extraction running on a worker thread, delivered to a real window: one
// synchronous WM_INSTALL_PROGRESS per entry, handled on the window's thread before the
// entry is touched.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../ExtractTestSupport.h"
#include "platform/messages.h"
#include "platform/window.h"

namespace extract_test {
namespace {

class ProgressTest : public testing::Test {
protected:
    static void SetUpTestSuite() { s_ui = platform::InitializeUi(); }
    void SetUp() override {
        if (!s_ui) {
            GTEST_SKIP() << "no display";
        }
        fs::create_directories(src);
        fs::create_directories(out);
    }

    // Extracts an archive of `count` files f0.txt, f1.txt, ... on a worker thread and
    // returns the progress values the window received.
    std::vector<std::uintptr_t> Progress(int count) {
        std::vector<std::string> inputs;
        for (int i = 0; i < count; ++i) {
            inputs.push_back("f" + std::to_string(i) + ".txt");
            WriteFile(src / inputs.back(), inputs.back());
        }
        const std::string archive = dir / "package.7z";
        if (count > 0) {
            Make7z(archive, src, inputs);
        } else {
            WriteFile(src / "gone.txt", "");
            Make7z(archive, src, {"gone.txt"});
            EXPECT_EQ(RunProgram({"7zz", "d", "-bso0", archive, "gone.txt"}), 0);
        }

        std::vector<std::uintptr_t> values;
        const std::thread::id uiThread = std::this_thread::get_id();
        platform::WindowOptions options;
        options.title = "progress";
        options.rect = {0, 0, 120, 80};
        auto window = platform::Window::Create(
            options,
            [&](platform::Window& w, unsigned msg, std::uintptr_t wParam,
                std::intptr_t lParam) -> std::intptr_t {
                if (msg != WM_INSTALL_PROGRESS) {
                    return w.DefaultProc(msg, wParam, lParam);
                }
                EXPECT_EQ(std::this_thread::get_id(), uiThread);
                EXPECT_EQ(lParam, 0);
                // The worker waits here, before anything of entry i is written.
                const std::size_t i = values.size();
                EXPECT_FALSE(fs::exists(out / ("f" + std::to_string(i) + ".txt"))) << i;
                values.push_back(wParam);
                return 0;
            });
        EXPECT_NE(window, nullptr);
        if (!window) {
            return values;
        }
        std::atomic<bool> done = false;
        int result = -2;
        std::thread worker([&] {
            result = ExtractArchive(archive.c_str(), out.string(), window.get());
            done = true;
        });
        while (!done) {
            platform::PumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        worker.join();
        EXPECT_EQ(result, 0);
        return values;
    }

    static inline bool s_ui = false;
    TempDir dir;
    const fs::path src = dir.Path() / "src";
    const fs::path out = dir.Path() / "out";
};

using Values = std::vector<std::uintptr_t>;

TEST_F(ProgressTest, ThreeEntries) {
    EXPECT_EQ(Progress(3), (Values{0, 33, 66}));
}

TEST_F(ProgressTest, OneEntry) {
    EXPECT_EQ(Progress(1), (Values{0}));
}

TEST_F(ProgressTest, SevenEntriesTruncate) {
    EXPECT_EQ(Progress(7), (Values{0, 14, 28, 42, 57, 71, 85}));
}

TEST_F(ProgressTest, EmptyArchiveSendsNothing) {
    EXPECT_EQ(Progress(0), Values{});
}

}  // namespace
}  // namespace extract_test
