#include "ui/WndShadow.h"

#include <algorithm>
#include <cmath>

#include "platform/messages.h"

std::atomic<bool> CWndShadow::s_layeredSupported{false};
std::map<const platform::Window*, CWndShadow*> CWndShadow::s_shadowMap;
std::mutex CWndShadow::s_shadowMapMutex;

namespace {

// Columns start <= x < end; empty when start >= end.
struct Span {
    int start;
    int end;
    bool Empty() const { return start >= end; }
};

std::uint16_t LowWord(std::uint32_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
std::uint16_t HighWord(std::uint32_t value) {
    return static_cast<std::uint16_t>(value >> 16);
}

// The picture under construction; every write is clipped to it.
class Picture {
public:
    Picture(std::uint32_t* pixels, int width, int height)
        : m_pixels(pixels), m_width(width), m_height(height) {}

    void Fill(int row, int from, int to, std::uint32_t value) {
        if (row < 0 || row >= m_height) {
            return;
        }
        from = std::max(from, 0);
        to = std::min(to, m_width);
        std::uint32_t* line = m_pixels + static_cast<std::ptrdiff_t>(row) * m_width;
        for (int x = from; x < to; ++x) {
            line[x] = value;
        }
    }

    // Each pixel under the kernel keeps the greater of its value and the kernel's.
    void Stamp(int column, int row, const std::vector<std::uint32_t>& kernel, int k) {
        const int side = 2 * k + 1;
        const int v0 = std::max(-k, -row);
        const int v1 = std::min(k, m_height - 1 - row);
        const int u0 = std::max(-k, -column);
        const int u1 = std::min(k, m_width - 1 - column);
        for (int v = v0; v <= v1; ++v) {
            std::uint32_t* line = m_pixels + static_cast<std::ptrdiff_t>(row + v) * m_width;
            const std::uint32_t* cells = kernel.data() + static_cast<std::ptrdiff_t>(v + k) * side;
            for (int u = u0; u <= u1; ++u) {
                line[column + u] = std::max(line[column + u], cells[u + k]);
            }
        }
    }

private:
    std::uint32_t* m_pixels;
    int m_width;
    int m_height;
};

}  // namespace

CWndShadow::~CWndShadow() {
    {
        std::lock_guard lock(s_shadowMapMutex);
        for (auto it = s_shadowMap.begin(); it != s_shadowMap.end();) {
            it = it->second == this ? s_shadowMap.erase(it) : std::next(it);
        }
    }
    m_hShadow.reset();
}

bool CWndShadow::InitShadowClass() {
    if (s_layeredSupported) {
        return false;
    }
    s_layeredSupported = platform::Window::LayeredSupported();
    return s_layeredSupported;
}

std::uint32_t CWndShadow::PixelValue(int alpha) const {
    const auto a = static_cast<std::uint32_t>(std::clamp(alpha, 0, 255));
    const std::uint32_t r = m_color & 0xFF;
    const std::uint32_t g = (m_color >> 8) & 0xFF;
    const std::uint32_t b = (m_color >> 16) & 0xFF;
    return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

void CWndShadow::BuildShadowImage(std::uint32_t* pixels, int parentWidth, int parentHeight) const {
    const int W = parentWidth;
    const int H = parentHeight;
    const int s = m_size;
    const int p = m_sharpness;
    const int D = m_darkness;
    const int ox = m_offsetX;
    const int oy = m_offsetY;
    const int SW = W + 2 * s;
    const int SH = H + 2 * s;
    if (pixels == nullptr || W <= 0 || H <= 0 || SW <= 0 || SH <= 0) {
        return;
    }
    const int N = std::max(H, SH);
    const Span empty{W, 0};
    Picture picture(pixels, SW, SH);

    // 1. The parent's shape: windows here have no region, so every row is the full width.
    std::vector<Span> shape(static_cast<std::size_t>(H), Span{0, W});

    // 2. Shadow spans, rows shifted down by the margin.
    std::vector<Span> spans(static_cast<std::size_t>(N) + 2, empty);
    for (int y = 0; y < H; ++y) {
        const int index = y + 1 + std::max(s, 0);
        if (!shape[y].Empty() && index <= N + 1) {
            spans[index] = Span{shape[y].start + s, shape[y].end + s};
        }
    }

    // 3. Erosion: a sharpness beyond the margin shrinks the shadow by one pixel per step.
    if (p > s) {
        std::vector<Span> next(spans.size(), empty);
        for (int step = 0; step < p - s; ++step) {
            next.front() = empty;
            next.back() = empty;
            for (int j = 1; j <= N; ++j) {
                next[j].start =
                    std::max({spans[j - 1].start, spans[j].start, spans[j + 1].start}) + 1;
                next[j].end = std::min({spans[j - 1].end, spans[j].end, spans[j + 1].end}) - 1;
            }
            spans.swap(next);
        }
    }

    // 4. The span of shadow row i; rows beyond the table are empty.
    const int rowBase = 1 + std::max(-s, 0);
    const auto P = [&](int i) {
        const int index = i + rowBase;
        return index >= 0 && index <= N + 1 ? spans[index] : empty;
    };

    // 5. Kernel of the soft fade.
    const int K = std::max(s, p);
    const int C = s > p ? s - p : 0;
    const int side = 2 * K + 1;
    std::vector<std::uint32_t> kernel(static_cast<std::size_t>(side) * side, 0);
    for (int v = -K; v <= K; ++v) {
        for (int u = -K; u <= K; ++u) {
            const double d = std::sqrt(static_cast<double>(u * u + v * v));
            std::uint32_t value = 0;
            if (d < C) {
                value = PixelValue(D);
            } else if (d <= K) {
                value = PixelValue(static_cast<int>((1.0 - (d - C) / (p + 1)) * D));
            }
            kernel[static_cast<std::size_t>(v + K) * side + (u + K)] = value;
        }
    }

    // 6. Soft border: stamp the ends of each row, and whole rows where a neighbour is empty.
    for (int i = K; i <= SH - K - 1; ++i) {
        const Span row = P(i);
        if (row.Empty()) {
            continue;
        }
        const Span above = P(i - 1);
        const Span below = P(i + 1);
        int j = row.start;
        for (; j < std::min(std::max(above.start, below.start) + 1, row.end); ++j) {
            picture.Stamp(j, i, kernel, K);
        }
        for (j = std::max(j, std::min(above.end, below.end) - 1); j < row.end; ++j) {
            picture.Stamp(j, i, kernel, K);
        }
    }

    // 7. The dark body, with the parent's own part of each row cut out.
    const std::uint32_t dark = PixelValue(D);
    const int first = std::min(K, std::max(s - oy, 0));
    const int last = std::max(SH - K, std::min(H + s - oy, H + 2 * s));
    for (int i = first; i < last; ++i) {
        const Span row = P(i);
        const int r = i - s + oy;
        if (r < 0 || r >= H) {
            picture.Fill(i, row.start, row.end, dark);
            continue;
        }
        const int a = shape[r].start + s - ox;
        const int b = shape[r].end + s - ox;
        picture.Fill(i, row.start, std::min(a, row.end), dark);
        picture.Fill(i, std::max(a, 0), std::min(b, SW), 0);
        picture.Fill(i, std::max(b, row.start), row.end, dark);
    }
}

void CWndShadow::CreateShadow(platform::Window* parent) {
    if (!s_layeredSupported || parent == nullptr || m_parent != nullptr) {
        return;
    }
    m_parent = parent;
    {
        std::lock_guard lock(s_shadowMapMutex);
        s_shadowMap[parent] = this;
    }
    platform::WindowOptions options;
    options.kind = platform::WindowKind::Shadow;
    options.owner = parent;
    m_hShadow = platform::Window::Create(
        options, [](platform::Window& window, unsigned message, std::uintptr_t wParam,
                    std::intptr_t lParam) { return window.DefaultProc(message, wParam, lParam); });
    m_status = ShadowEnabled | ShadowVisible;
    if (platform::Window::CompositionEnabled()) {
        m_status |= CompositionActive;
    }
    ShowShadow(parent);

    // The hook finds this object through the map; the previous procedure also travels with
    // the hook so messages still reach the parent after this object has gone.
    auto previous = std::make_shared<platform::Window::Procedure>();
    *previous = parent->ReplaceProcedure([previous](platform::Window& window, unsigned message,
                                                    std::uintptr_t wParam, std::intptr_t lParam) {
        return ShadowParentProc(window, message, wParam, lParam, *previous);
    });
    m_parentProc = *previous;
}

void CWndShadow::ShowShadow(platform::Window* parent) {
    if (parent == nullptr) {
        return;
    }
    if ((m_status & ShadowEnabled) && !(m_status & CompositionActive) && parent->IsVisible() &&
        !parent->IsMaximized() && !parent->IsMinimized()) {
        m_status |= ShadowVisible;
    }
    if (m_status & ShadowVisible) {
        if (m_hShadow) {
            m_hShadow->Show(true);
        }
        RecomputeShadow(parent);
    } else {
        HideShadowWindow();
    }
}

void CWndShadow::HideShadowWindow() {
    if (m_hShadow) {
        m_hShadow->Show(false);
    }
}

void CWndShadow::RecomputeShadow(platform::Window* parent) {
    if (parent == nullptr || !m_hShadow) {
        return;
    }
    const platform::Rect rect = parent->GetWindowRect();
    const int sw = rect.width + 2 * m_size;
    const int sh = rect.height + 2 * m_size;
    if (rect.width <= 0 || rect.height <= 0 || sw <= 0 || sh <= 0) {
        return;  // no picture to show
    }
    // Identical inputs give the identical picture: paints apply four setters each time.
    const PictureKey key{rect.width, rect.height, m_size,    m_sharpness,
                         m_darkness, m_offsetX,   m_offsetY, m_color};
    bool rebuilt = false;
    if (!(key == m_pictureKey)) {
        m_picture.assign(static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh), 0);
        BuildShadowImage(m_picture.data(), rect.width, rect.height);
        m_pictureKey = key;
        ++m_buildCount;
        rebuilt = true;
    }
    const platform::Rect dest{rect.x + m_offsetX - m_size, rect.y + m_offsetY - m_size, sw, sh};
    if (rebuilt || !m_placed || !(dest == m_placedRect)) {
        PlaceShadowWindow(dest);
    }
}

void CWndShadow::PlaceShadowWindow(const platform::Rect& rect) {
    m_hShadow->UpdateLayered(rect, m_picture.data());
    m_placed = true;
    m_placedRect = rect;
}

void CWndShadow::SetShadowSize(int size) {
    m_size = static_cast<std::int8_t>(std::clamp(size, -128, 127));
    if (m_status & ShadowVisible) {
        RecomputeShadow(m_parent);
    }
}

void CWndShadow::SetShadowDarkness(unsigned darkness) {
    m_darkness = static_cast<std::uint8_t>(std::min(darkness, 255u));
    if (m_status & ShadowVisible) {
        RecomputeShadow(m_parent);
    }
}

void CWndShadow::SetShadowOffset(int x, int y) {
    m_offsetX = static_cast<std::int8_t>(std::clamp(x, -128, 127));
    m_offsetY = static_cast<std::int8_t>(std::clamp(y, -128, 127));
    if (m_status & ShadowVisible) {
        RecomputeShadow(m_parent);
    }
}

void CWndShadow::SetShadowColor(std::uint32_t color) {
    m_color = color & 0x00FFFFFF;
    if (m_status & ShadowVisible) {
        RecomputeShadow(m_parent);
    }
}

std::intptr_t CWndShadow::ShadowParentProc(platform::Window& window, unsigned message,
                                           std::uintptr_t wParam, std::intptr_t lParam,
                                           const platform::Window::Procedure& previous) {
    CWndShadow* self = nullptr;
    {
        std::lock_guard lock(s_shadowMapMutex);
        const auto it = s_shadowMap.find(&window);
        if (it != s_shadowMap.end()) {
            self = it->second;
        }
    }
    const platform::Window::Procedure proc = self != nullptr ? self->m_parentProc : previous;
    const auto pass = [&] {
        return proc ? proc(window, message, wParam, lParam)
                    : window.DefaultProc(message, wParam, lParam);
    };
    if (self == nullptr) {
        return pass();
    }

    const bool following =
        (self->m_status & ShadowEnabled) && !(self->m_status & CompositionActive);
    switch (message) {
        case platform::WM_DESTROY:
            self->m_hShadow.reset();
            self->m_placed = false;
            break;
        case platform::WM_MOVE:
            if ((self->m_status & ShadowVisible) && self->m_hShadow) {
                const platform::Rect rect = window.GetWindowRect();
                const int x = rect.x + self->m_offsetX - self->m_size;
                const int y = rect.y + self->m_offsetY - self->m_size;
                self->m_hShadow->SetPosition(x, y);
                self->m_placedRect.x = x;
                self->m_placedRect.y = y;
            }
            break;
        case platform::WM_SIZE:
            if (following) {
                const auto size = static_cast<std::uint32_t>(lParam);
                if (wParam == platform::SIZE_MINIMIZED || wParam == platform::SIZE_MAXIMIZED) {
                    self->HideShadowWindow();
                    self->m_status &= static_cast<std::uint8_t>(~ShadowVisible);
                } else if (window.IsVisible()) {
                    if (!(self->m_status & ShadowVisible)) {
                        self->m_status |= ShadowVisible;
                        self->RecomputeShadow(&window);
                        if (self->m_hShadow) {
                            self->m_hShadow->Show(true);
                        }
                        self->m_updateOnPaint = true;
                    } else if (LowWord(size) > LowWord(self->m_lastParentSize) ||
                               HighWord(size) > HighWord(self->m_lastParentSize)) {
                        self->m_updateOnPaint = true;  // grown: wait for the paint
                    } else {
                        self->RecomputeShadow(&window);
                    }
                }
                self->m_lastParentSize = size;
            }
            break;
        case platform::WM_PAINT:
            if (self->m_updateOnPaint) {
                self->RecomputeShadow(&window);
                self->m_updateOnPaint = false;
            }
            break;
        case platform::WM_SHOWWINDOW:
            if (following) {
                const std::intptr_t result = pass();
                if (wParam == 0) {
                    self->HideShadowWindow();
                    self->m_status &= static_cast<std::uint8_t>(~ShadowVisible);
                } else {
                    self->m_updateOnPaint = true;
                    self->ShowShadow(&window);
                }
                return result;
            }
            break;
        case platform::WM_NCDESTROY: {
            std::lock_guard lock(s_shadowMapMutex);
            s_shadowMap.erase(&window);
            self->m_parent = nullptr;
            break;
        }
        case platform::WM_EXITSIZEMOVE:
            if (self->m_status & ShadowVisible) {
                self->RecomputeShadow(&window);
            }
            break;
        case platform::WM_DWMCOMPOSITIONCHANGED:
            if (platform::Window::CompositionEnabled()) {
                self->m_status |= CompositionActive;
            } else {
                self->m_status &= static_cast<std::uint8_t>(~CompositionActive);
            }
            self->ShowShadow(&window);
            break;
        default:
            break;
    }
    return pass();
}
