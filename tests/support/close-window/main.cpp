// orvik-close-window WINDOW-ID: asks a top-level window to close the way a window manager's
// close button does, with a WM_DELETE_WINDOW client message. Without a window manager,
// destroying the window instead (xdotool windowclose) leaves a GTK program running.
// Exit status: 0 sent, 1 bad argument or no display, 2 the window does not take the request.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

bool TakesDeleteWindow(Display* display, Window window, Atom deleteWindow) {
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
        return false;
    }
    bool found = false;
    for (int i = 0; i < count; ++i) {
        found = found || protocols[i] == deleteWindow;
    }
    XFree(protocols);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 1;
    }
    char* end = nullptr;
    const unsigned long id = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0) {
        std::fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
        return 1;
    }
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    const auto window = static_cast<Window>(id);
    const Atom protocols = XInternAtom(display.get(), "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display.get(), "WM_DELETE_WINDOW", False);
    if (!TakesDeleteWindow(display.get(), window, deleteWindow)) {
        std::fprintf(stderr, "%s: window %lu does not take WM_DELETE_WINDOW\n", argv[0], id);
        return 2;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display.get(), window, False, NoEventMask, &event);
    XSync(display.get(), False);
    return 0;
}
