// Asks a window to close the way a window manager's close box does: a
// WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
//
//   close_request WINDOW_ID      (decimal or 0x-prefixed hexadecimal)
//
// Exit 0 once the request is sent, 1 if the window does not take part in the
// protocol, 2 on a usage or display error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: close_request WINDOW_ID\n");
        return 2;
    }
    char* end = nullptr;
    const unsigned long id = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0) {
        std::fprintf(stderr, "close_request: '%s' is not a window id\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "close_request: cannot open the display\n");
        return 2;
    }
    const Window window = static_cast<Window>(id);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Atom* supported = nullptr;
    int count = 0;
    bool takes_part = false;
    if (XGetWMProtocols(display, window, &supported, &count) != 0) {
        for (int i = 0; i < count; ++i) {
            takes_part = takes_part || supported[i] == delete_window;
        }
        XFree(supported);
    }
    if (!takes_part) {
        std::fprintf(stderr, "close_request: window 0x%lx does not accept WM_DELETE_WINDOW\n", id);
        XCloseDisplay(display);
        return 1;
    }

    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
