// CWndShadow: the soft drop shadow of a borderless window (the parent). The shadow is a
// click-through per-pixel-alpha window owned by the parent, covering the parent's rectangle
// plus a margin, shifted by an offset; its pixels over the parent are transparent. The
// shadow follows the parent through a hook in front of the parent's procedure.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window.h"

class CWndShadow {
public:
    enum StatusBits : std::uint8_t {
        ShadowEnabled = 1,
        ShadowVisible = 2,
        CompositionActive = 8,
    };

    CWndShadow() = default;
    // Unhooks nothing (the parent outlives its member shadow) but drops this object's map
    // entry and its shadow window, so no message can reach a destroyed object.
    virtual ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // Once, at start-up, on the UI thread after platform::InitializeUi: finds out whether the
    // screen offers per-pixel alpha. False when it does not (no shadow is ever created) and
    // on every call after a successful one.
    static bool InitShadowClass();

    // Creates and shows the shadow window and hooks `parent`. Nothing without layered
    // windows. Call once, after the parent has its size.
    void CreateShadow(platform::Window* parent);
    // Shows or hides the shadow window after a status change.
    void ShowShadow(platform::Window* parent);
    // Rebuilds the picture when its inputs changed and places the shadow window.
    void RecomputeShadow(platform::Window* parent);
    // Computes the picture of a parent of `parentWidth` x `parentHeight` into `pixels`, which
    // holds SW x SH zeroed pixels (SW = width + 2 * m_size, SH = height + 2 * m_size), rows
    // top-down as UpdateLayered takes them (a Windows DIB would store them bottom-up).
    // Sizes that leave no picture draw nothing; nothing is written outside the buffer.
    void BuildShadowImage(std::uint32_t* pixels, int parentWidth, int parentHeight) const;
    // Premultiplied pixel of alpha `alpha` in m_color.
    std::uint32_t PixelValue(int alpha) const;

    // Store the value, then recompute while the shadow is visible. Out-of-range values are
    // clamped to the member's range.
    void SetShadowSize(int size);
    void SetShadowDarkness(unsigned darkness);
    void SetShadowOffset(int x, int y);
    void SetShadowColor(std::uint32_t color);  // 0x00BBGGRR

    // The parent's hook: follows moves, sizes, paints, showing, composition and destruction,
    // then passes the message on to `previous`.
    static std::intptr_t ShadowParentProc(platform::Window& window, unsigned message,
                                          std::uintptr_t wParam, std::intptr_t lParam,
                                          const platform::Window::Procedure& previous);

    std::unique_ptr<platform::Window> m_hShadow;  // the shadow window, owned by the parent
    platform::Window::Procedure m_parentProc;     // the parent's procedure before the hook
    std::uint8_t m_status = 0;
    std::uint8_t m_darkness = 150;  // alpha of the fully dark part
    std::uint8_t m_sharpness = 5;   // width of the soft fade
    std::int8_t m_size = 8;         // margin beyond the parent on every side; may be negative
    std::int8_t m_offsetX = 5;
    std::int8_t m_offsetY = 5;
    std::uint32_t m_lastParentSize = 0;  // lParam of the parent's last WM_SIZE
    bool m_updateOnPaint = true;
    std::uint32_t m_color = 0;  // 0x00BBGGRR

    // Set by InitShadowClass: the screen offers per-pixel alpha.
    static std::atomic<bool> s_layeredSupported;
    // Parent window to its shadow; the UI thread and dialog owners may use it concurrently.
    static std::map<const platform::Window*, CWndShadow*> s_shadowMap;
    static std::mutex s_shadowMapMutex;

    // Number of pictures built so far (the cache skips unchanged ones); for benchmarks.
    std::uint64_t m_buildCount = 0;

private:
    struct PictureKey {
        int width = -1, height = -1, size = 0, sharpness = 0, darkness = 0, offsetX = 0,
            offsetY = 0;
        std::uint32_t color = 0;
        bool operator==(const PictureKey&) const = default;
    };
    void HideShadowWindow();
    void PlaceShadowWindow(const platform::Rect& rect);

    platform::Window* m_parent = nullptr;
    std::vector<std::uint32_t> m_picture;
    PictureKey m_pictureKey;
    bool m_placed = false;  // m_picture is on the shadow window at m_placedRect
    platform::Rect m_placedRect;
};
