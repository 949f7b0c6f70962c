// The waiting animation: frames and delays read from the file, playing onto a real window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "ui/GIFImage.h"

namespace {

namespace fs = std::filesystem;

// Encodes a GIF with the real encoder: `args` are ImageMagick frame arguments.
std::vector<std::uint8_t> MakeGif(const std::string& args) {
    const fs::path dir = fs::temp_directory_path() / ("gif_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "a.gif";
    const std::string command = "convert -size 20x20 " + args + " " + file.string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    fs::remove_all(dir);
    return bytes;
}

const std::string kThreeFrames = "-delay 0 xc:red -delay 5 xc:lime -delay 7 xc:blue -loop 0";

int ThreadCount() {
    return static_cast<int>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

TEST(GifTest, FramesAndDelaysAsStoredInTheFile) {
    const auto bytes = MakeGif(kThreeFrames);
    const GifFrameTable table = ReadGifFrameTable(bytes);
    EXPECT_EQ(table.frameCount, 3u);
    EXPECT_EQ(table.delays, (std::vector<std::uint32_t>{0, 5, 7}));

    GIFImage gif(bytes);
    EXPECT_TRUE(gif.IsLoaded());
    EXPECT_EQ(gif.FrameCount(), 3u);
    EXPECT_EQ(gif.FrameDelays(), (std::vector<std::uint32_t>{0, 5, 7}));
    EXPECT_EQ(gif.Width(), 20);
    EXPECT_EQ(gif.Height(), 20);

    // Cut short or corrupt: the frames read so far, never a read past the end.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 5) {
        const auto partial = ReadGifFrameTable(std::span<const std::uint8_t>(bytes).first(cut));
        EXPECT_LE(partial.frameCount, 3u);
        GIFImage truncated(std::span<const std::uint8_t>(bytes).first(cut));
        EXPECT_LE(truncated.FrameCount(), 3u);
    }
}

TEST(GifTest, MissingOrSingleFramePicturesNeverPlay) {
    GIFImage missing{std::span<const std::uint8_t>()};
    EXPECT_FALSE(missing.IsLoaded());
    missing.StartAnimation(nullptr, 292, 260);
    EXPECT_FALSE(missing.IsPlaying());

    GIFImage single(MakeGif("xc:red"));
    EXPECT_EQ(single.FrameCount(), 1u);
    single.StartAnimation(nullptr, 292, 260);
    EXPECT_FALSE(single.IsPlaying());
    single.StopAnimation();  // without a start: only releases
}

TEST(GifTest, PlaysOntoAWindowAndStopsBothThreads) {
    ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
    platform::WindowOptions options;
    options.rect = {0, 0, 600, 422};
    options.visible = true;
    auto window = platform::Window::Create(
        options, [](platform::Window& w, unsigned m, std::uintptr_t wp, std::intptr_t lp) {
            return w.DefaultProc(m, wp, lp);
        });
    ASSERT_NE(window, nullptr);

    // ThreadSanitizer starts a helper thread of its own with the first thread of the process;
    // one started and joined here puts it in the count before the animation's.
    std::thread([] {}).join();
    const int before = ThreadCount();
    GIFImage gif(MakeGif(kThreeFrames));
    gif.StartAnimation(window.get(), 292, 260);
    EXPECT_TRUE(gif.IsPlaying());
    const int playing = ThreadCount();
    EXPECT_GE(playing, before + 2);
    gif.StartAnimation(window.get(), 300, 270);  // only moves it
    EXPECT_EQ(ThreadCount(), playing);

    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1000)) {
        platform::PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Frames advance ten times a second; a frame of delay 0 is drawn once, not in a loop.
    EXPECT_GE(gif.DrawCount(), 5u);
    EXPECT_LE(gif.DrawCount(), 16u);

    gif.StopAnimation();
    EXPECT_FALSE(gif.IsPlaying());
    EXPECT_EQ(ThreadCount(), before);
    gif.StartAnimation(window.get(), 292, 260);  // a stopped animation stays stopped
    EXPECT_FALSE(gif.IsPlaying());
}

}  // namespace
