// GIFImage: the waiting animation (GIF resource 157), played onto a window by two threads of
// its own: one draws the current frame into the window's overlay, the other advances the
// frame every 100 ms.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "ui/Image.h"

// Frame count and per-frame delays (hundredths of a second) as stored in a GIF's image
// descriptors and graphic control extensions. Truncated data yields the frames read so far.
struct GifFrameTable {
    std::uint32_t frameCount = 0;
    std::vector<std::uint32_t> delays;
};
GifFrameTable ReadGifFrameTable(std::span<const std::uint8_t> bytes);

class GIFImage : public Image {
public:
    // Loads and decodes GIF resource 157; starts nothing.
    GIFImage();
    // Decodes `bytes` (an empty span behaves as a missing resource).
    explicit GIFImage(std::span<const std::uint8_t> bytes);
    // Stops the animation, then releases the frames.
    ~GIFImage() override;

    // Records where to draw and starts both threads, unless the picture is missing, has one
    // frame, or the animation was stopped before. A second call only moves the animation:
    // the new window and position take effect at the next frame.
    void StartAnimation(platform::Window* window, int x, int y);
    // Ends both threads, waits for them and clears the window's overlay.
    void StopAnimation();

    bool IsLoaded() const { return m_loaded; }
    std::uint32_t FrameCount() const { return m_frameCount; }
    const std::vector<std::uint32_t>& FrameDelays() const { return m_frameDelays; }
    std::uint32_t CurrentFrame() const { return m_currentFrame.load(); }
    bool IsPlaying() const { return m_animationThread.joinable(); }
    // Frames drawn so far; for tests.
    std::uint64_t DrawCount() const { return m_drawCount.load(); }

    // Shortest pause between two passes of the drawing thread; frames of delay 0 would
    // otherwise make it spin.
    static constexpr int kMinimumRedrawMs = 10;

private:
    void Load(std::span<const std::uint8_t> bytes);
    void AnimationThread();
    void FrameTickerThread();
    bool DrawFrame();
    // Waits up to `ms` for the exit event; true when it is signalled.
    bool WaitForExit(int ms);

    std::thread m_animationThread;
    std::thread m_tickerThread;
    // The exit event: manual reset, so one signal ends both threads.
    std::mutex m_exitMutex;
    std::condition_variable m_exitCondition;
    bool m_exitSignalled = false;

    std::mutex m_placeMutex;  // m_window, m_x and m_y, changed by a second start
    platform::Window* m_window = nullptr;
    std::uint32_t m_frameCount = 0;
    std::atomic<std::uint32_t> m_currentFrame{0};
    bool m_loaded = false;
    bool m_stopped = false;
    std::vector<std::uint32_t> m_frameDelays;
    int m_x = 0;
    int m_y = 0;

    std::vector<cairo_surface_t*> m_frames;  // full composited frames, premultiplied ARGB32
    static constexpr std::uint32_t kNoFrame = ~0u;
    std::uint32_t m_activeFrame = 0;        // drawing thread only
    std::uint32_t m_drawnFrame = kNoFrame;  // drawing thread only
    std::atomic<std::uint64_t> m_drawCount{0};
};
