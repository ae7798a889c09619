#include "platform/standin/sdl/x11_wakeup.h"

#if KESTROVAN_SHARED_X11

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace {

XErrorHandler previous_handler = nullptr;

int ignore_late_wakeup(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow && error->request_code == X_SendEvent) {
        return 0;
    }
    return previous_handler(display, error);
}

}  // namespace

void tolerate_late_wakeups() {
    if (previous_handler == nullptr) {
        previous_handler = XSetErrorHandler(ignore_late_wakeup);
    }
}

#else

void tolerate_late_wakeups() {}

#endif
