#include "platform/standin/sdl/x11_wakeup.h"

#if KESTROVAN_X11_WAKEUPS

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace {

bool installed = false;
XErrorHandler previous_handler = nullptr;

int ignore_late_wakeup(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow && error->request_code == X_SendEvent) {
        return 0;
    }
    return previous_handler(display, error);
}

}  // namespace

void tolerate_late_wakeups() {
    if (!installed) {
        previous_handler = XSetErrorHandler(ignore_late_wakeup);
        installed = true;
    }
}

#else

void tolerate_late_wakeups() {}

#endif
