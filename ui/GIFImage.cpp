#include "ui/GIFImage.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <chrono>
#include <system_error>

#include "platform/resources.h"

namespace {

// Skips a chain of data sub-blocks starting at `pos`; returns the position after the
// terminator, or size when the data ends first.
std::size_t SkipSubBlocks(std::span<const std::uint8_t> b, std::size_t pos) {
    while (pos < b.size()) {
        const std::size_t length = b[pos];
        ++pos;
        if (length == 0) {
            return pos;
        }
        pos += length;
    }
    return b.size();
}

cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pixbuf) {
    // gdk-pixbuf animation frames are RGBA, 8 bits per sample.
    if (pixbuf == nullptr || gdk_pixbuf_get_n_channels(pixbuf) < 4 ||
        gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
        return nullptr;
    }
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
    const int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int dstStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const guchar* s = src + static_cast<std::ptrdiff_t>(y) * srcStride;
        auto* d =
            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dstStride);
        for (int x = 0; x < width; ++x, s += channels) {
            const std::uint32_t a = s[3];
            d[x] = (a << 24) | (((s[0] * a + 127) / 255) << 16) | (((s[1] * a + 127) / 255) << 8) |
                   ((s[2] * a + 127) / 255);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

}  // namespace

GifFrameTable ReadGifFrameTable(std::span<const std::uint8_t> b) {
    GifFrameTable table;
    if (b.size() < 13 || b[0] != 'G' || b[1] != 'I' || b[2] != 'F') {
        return table;
    }
    std::size_t pos = 13;
    if (b[10] & 0x80) {
        pos += 3u * (1u << ((b[10] & 0x07) + 1));  // global colour table
    }
    std::uint32_t pendingDelay = 0;
    while (pos < b.size()) {
        const std::uint8_t introducer = b[pos];
        if (introducer == 0x3B) {  // trailer
            break;
        }
        if (introducer == 0x21) {  // extension
            if (pos + 1 >= b.size()) {
                break;
            }
            const std::uint8_t label = b[pos + 1];
            if (label == 0xF9 && pos + 7 < b.size() && b[pos + 2] >= 4) {
                pendingDelay = static_cast<std::uint32_t>(b[pos + 4]) |
                               (static_cast<std::uint32_t>(b[pos + 5]) << 8);
            }
            pos = SkipSubBlocks(b, pos + 2);
        } else if (introducer == 0x2C) {  // image descriptor
            if (pos + 10 > b.size()) {
                break;
            }
            const std::uint8_t packed = b[pos + 9];
            pos += 10;
            if (packed & 0x80) {
                pos += 3u * (1u << ((packed & 0x07) + 1));  // local colour table
            }
            if (pos >= b.size()) {
                break;
            }
            pos = SkipSubBlocks(b, pos + 1);  // after the LZW minimum code size
            table.delays.push_back(pendingDelay);
            pendingDelay = 0;
        } else {
            break;  // not a GIF block: stop at what was read
        }
    }
    table.frameCount = static_cast<std::uint32_t>(table.delays.size());
    return table;
}

GIFImage::GIFImage() : Image(static_cast<cairo_surface_t*>(nullptr)) {
    const auto bytes = platform::FindResource("GIF", 157);
    if (bytes && !bytes->empty()) {
        Load(*bytes);
    }
}

GIFImage::GIFImage(std::span<const std::uint8_t> bytes)
    : Image(static_cast<cairo_surface_t*>(nullptr)) {
    if (!bytes.empty()) {
        Load(bytes);
    }
}

GIFImage::~GIFImage() {
    StopAnimation();
    for (cairo_surface_t* frame : m_frames) {
        cairo_surface_destroy(frame);
    }
}

void GIFImage::Load(std::span<const std::uint8_t> bytes) {
    m_loaded = true;
    const GifFrameTable table = ReadGifFrameTable(bytes);
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool ok = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
    ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
    GdkPixbufAnimation* animation = ok ? gdk_pixbuf_loader_get_animation(loader) : nullptr;
    if (animation != nullptr && table.frameCount > 0) {
        // Walk the frames with the decoder's own (clamped) delays, which only pace this walk;
        // the delays used for playing are the file's.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GTimeVal time{0, 0};
        GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
        for (std::uint32_t i = 0; i < table.frameCount; ++i) {
            cairo_surface_t* frame = SurfaceFromPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter));
            if (frame == nullptr) {
                break;
            }
            m_frames.push_back(frame);
            const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
            if (delay < 0) {
                break;  // a still picture
            }
            g_time_val_add(&time, static_cast<glong>(delay) * 1000);
            gdk_pixbuf_animation_iter_advance(iter, &time);
        }
        g_object_unref(iter);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
    g_object_unref(loader);
    m_frameCount = static_cast<std::uint32_t>(m_frames.size());
    m_frameDelays = table.delays;
    m_frameDelays.resize(m_frameCount, 0);
    if (!m_frames.empty()) {
        Adopt(cairo_surface_reference(m_frames.front()));
    }
}

void GIFImage::StartAnimation(platform::Window* window, int x, int y) {
    {
        std::lock_guard lock(m_placeMutex);
        m_window = window;
        m_x = x;
        m_y = y;
    }
    if (!m_loaded || m_frameCount <= 1 || m_stopped) {
        return;
    }
    try {
        if (!m_animationThread.joinable()) {
            m_animationThread = std::thread([this] { AnimationThread(); });
        }
        if (!m_tickerThread.joinable()) {
            m_tickerThread = std::thread([this] { FrameTickerThread(); });
        }
    } catch (const std::system_error&) {
        // No thread: nothing plays (or, without the ticker, the first frame stays).
    }
}

void GIFImage::StopAnimation() {
    const bool wasPlaying = m_animationThread.joinable() || m_tickerThread.joinable();
    {
        std::lock_guard lock(m_exitMutex);
        m_exitSignalled = true;
    }
    m_exitCondition.notify_all();
    if (m_animationThread.joinable()) {
        m_animationThread.join();
    }
    if (m_tickerThread.joinable()) {
        m_tickerThread.join();
    }
    m_stopped = true;
    std::lock_guard lock(m_placeMutex);
    if (wasPlaying && m_window != nullptr && m_window->Exists()) {
        m_window->ClearOverlay();
    }
}

bool GIFImage::WaitForExit(int ms) {
    std::unique_lock lock(m_exitMutex);
    return m_exitCondition.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this] { return m_exitSignalled; });
}

void GIFImage::AnimationThread() {
    m_currentFrame = 0;
    m_activeFrame = 0;
    m_drawnFrame = kNoFrame;
    while (!DrawFrame()) {
    }
}

bool GIFImage::DrawFrame() {
    // An unchanged frame is not drawn again: the overlay keeps it above the window's own
    // painting, and redrawing it would only repaint the window for nothing.
    if (m_activeFrame != m_drawnFrame && m_activeFrame < m_frames.size()) {
        platform::Window* window = nullptr;
        int x = 0;
        int y = 0;
        {
            std::lock_guard lock(m_placeMutex);
            window = m_window;
            x = m_x;
            y = m_y;
        }
        cairo_surface_t* frame = m_frames[m_activeFrame];
        if (window != nullptr && window->Exists()) {
            const platform::Rect area{x, y, cairo_image_surface_get_width(frame),
                                      cairo_image_surface_get_height(frame)};
            window->DrawOverlay(area, [frame](cairo_t* cr) {
                cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
                cairo_set_source_surface(cr, frame, 0, 0);
                cairo_paint(cr);
            });
            m_drawnFrame = m_activeFrame;
            ++m_drawCount;
        }
    }
    const std::uint32_t current = std::min(m_currentFrame.load(), m_frameCount - 1);
    m_activeFrame = current;
    const auto delay = std::min<std::uint32_t>(m_frameDelays[current], 60000);
    return WaitForExit(std::max(static_cast<int>(delay) * 10, kMinimumRedrawMs));
}

void GIFImage::FrameTickerThread() {
    for (;;) {
        const bool exit = WaitForExit(100);
        const std::uint32_t next = m_currentFrame.load() + 1;
        m_currentFrame = next >= m_frameCount ? 0 : next;
        if (exit) {
            return;
        }
    }
}
