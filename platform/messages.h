// Numbered messages the system's windows exchange. The numbers are part of the protocol
// between the windows, their buttons and the worker threads and never change.
#pragma once

#include <cstdint>

namespace platform {

// Messages the window layer itself delivers to a window's procedure.
inline constexpr unsigned WM_CREATE = 0x0001;
inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_MOVE = 0x0003;  // lParam: new client origin, x low word, y high
inline constexpr unsigned WM_SIZE = 0x0005;  // wParam: size type, lParam: width low, height high
inline constexpr unsigned WM_PAINT = 0x000F;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_ERASEBKGND = 0x0014;
inline constexpr unsigned WM_SHOWWINDOW = 0x0018;  // wParam: 1 shown, 0 hidden
inline constexpr unsigned WM_NCDESTROY = 0x0082;
inline constexpr unsigned WM_NCLBUTTONDOWN = 0x00A1;  // wParam: hit code, lParam: point
inline constexpr unsigned WM_COMMAND = 0x0111;        // wParam: IDOK or IDCANCEL
inline constexpr unsigned WM_MOUSEMOVE = 0x0200;      // lParam: client point, see MakePoint
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_EXITSIZEMOVE = 0x0232;
inline constexpr unsigned WM_DWMCOMPOSITIONCHANGED = 0x031E;
inline constexpr unsigned WM_USER = 0x0400;

// WM_SIZE types.
inline constexpr std::uintptr_t SIZE_RESTORED = 0;
inline constexpr std::uintptr_t SIZE_MINIMIZED = 1;
inline constexpr std::uintptr_t SIZE_MAXIMIZED = 2;

// Hit code of WM_NCLBUTTONDOWN whose default processing drags the window.
inline constexpr std::uintptr_t HTCAPTION = 2;

// Results of a modal run.
inline constexpr std::intptr_t IDOK = 1;
inline constexpr std::intptr_t IDCANCEL = 2;

// Points travel packed: x in the low 16 bits, y in the next 16, both signed.
constexpr std::intptr_t MakePoint(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                      static_cast<std::uint32_t>(x & 0xFFFF));
}
constexpr int PointX(std::intptr_t lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(lParam) & 0xFFFF);
}
constexpr int PointY(std::intptr_t lParam) {
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(lParam) >> 16) & 0xFFFF);
}

}  // namespace platform

// Messages of the installer's own windows.
inline constexpr unsigned WM_MAINBUTTON_CLICKED = platform::WM_USER + 1002;
inline constexpr unsigned WM_CUSTOMINSTALL_CLICKED = platform::WM_USER + 1003;
inline constexpr unsigned WM_COLLAPSE_CLICKED = platform::WM_USER + 1004;
inline constexpr unsigned WM_CHANGEFOLDER_CLICKED = platform::WM_USER + 1005;
inline constexpr unsigned WM_CLOSEBUTTON_CLICKED = platform::WM_USER + 1007;
inline constexpr unsigned WM_DRIVE_CLICKED = platform::WM_USER + 1008;
inline constexpr unsigned WM_INSTALL_PROGRESS = platform::WM_USER + 1009;  // wParam: percent
inline constexpr unsigned WM_DIALOG_CONFIRM_CLICKED = platform::WM_USER + 1010;
inline constexpr unsigned WM_DIALOG_CANCEL_CLICKED = platform::WM_USER + 1011;
inline constexpr unsigned WM_LICENCE_CLICKED = platform::WM_USER + 1012;
inline constexpr unsigned WM_AGREE_TOGGLED = platform::WM_USER + 1013;
inline constexpr unsigned WM_CHECK_DONE = platform::WM_USER + 10000;  // wParam: next screen
inline constexpr unsigned WM_REDRAW_REQUEST = platform::WM_USER + 10001;
