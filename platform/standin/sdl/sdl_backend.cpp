// The real window: SDL2 under the shared window system. One SDL window, shown
// through SDL's plain framebuffer; SDL input becomes the queue's messages.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <SDL.h>

#include "platform/standin/backend.h"
#include "platform/standin/sdl/sdl_input.h"
#include "platform/standin/sdl/sdl_present.h"
#include "platform/standin/sdl/window_fit.h"
#include "platform/standin/sdl/x11_wakeup.h"

namespace {

FittedWindow shown{};
bool video_started = false;

// Not the drivers that show nothing ("evdev" is the dummy driver with console
// keys), which SDL falls back to when no display opens, leaving the program
// running unseen; nor Wayland without XDG_RUNTIME_DIR, whose attempt only
// prints the library's complaint ahead of our message.
bool worth_trying(const char* driver) {
    return SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0 &&
           SDL_strcmp(driver, "evdev") != 0 &&
           (SDL_strcmp(driver, "wayland") != 0 || SDL_getenv("WAYLAND_DISPLAY") != nullptr ||
            SDL_getenv("XDG_RUNTIME_DIR") != nullptr);
}

// Whether a server listens on the local X display DISPLAY names (":0",
// "unix:0.0"), so that a failed start is worth another try.
bool local_x_server_listens() {
    const char* name = SDL_getenv("DISPLAY");
    int number = 0;
    if (name == nullptr ||
        (SDL_sscanf(name, ":%d", &number) != 1 && SDL_sscanf(name, "unix:%d", &number) != 1)) {
        return false;
    }
    sockaddr_un address{AF_UNIX, {}};
    SDL_snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%d", number);
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool listens =  // connect fails too if there is no socket
        connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return listens;
}

// Starts SDL's video subsystem with the driver(s) named. An X server that
// resets as its last client leaves (Xvfb's default) drops a connection
// arriving meanwhile: x11 is tried again for a second from the failure (a
// reset takes longer on a busy machine) while a server listens. The first
// failure's reason is kept for the report of a failed start.
char failure_reason[256];
bool start_driver(const char* driver) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const Uint64 give_up = SDL_GetTicks64() + 1000;
    while (!started && SDL_strcmp(driver, "x11") == 0 && SDL_GetTicks64() < give_up &&
           local_x_server_listens()) {
        SDL_Delay(50);
        started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    if (!started && failure_reason[0] == '\0') {
        SDL_strlcpy(failure_reason, SDL_GetError(), sizeof failure_reason);
    }
    return started;
}

// Starts SDL's video subsystem once; false if there is no display to use.
// A driver named in SDL_VIDEODRIVER is used as given.
bool start_video() {
    if (video_started) {
        return true;
    }
    apply_sdl_hints();
    tolerate_late_wakeups();  // the pause waits in SDL_WaitEvent
    if (const char* named = SDL_getenv("SDL_VIDEODRIVER"); named != nullptr) {
        video_started = start_driver(named);
        return video_started;
    }
    for (int i = 0; i < SDL_GetNumVideoDrivers() && !video_started; ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        video_started = driver != nullptr && worth_trying(driver) && start_driver(driver);
    }
    return video_started;
}

void post_event(const SDL_Event& event) {
    if (event.type == SDL_WINDOWEVENT && event.window.windowID == shown.id &&
        event.window.event == SDL_WINDOWEVENT_SHOWN) {
        // Its decorations are known once it is shown; a new size holds none of
        // the picture.
        refit_shown_window(shown);
        forget_scaled_picture();
    }
    const InputMessage input = translate_event(in_client_pixels(event, shown), shown.id,
                                               shown.client_width, shown.client_height);
    if (input.message != WM_NULL) {
        post_window_message(input.message, input.wparam, input.lparam);
    }
}

// ---- The pause -------------------------------------------------------------------

// An event that posts no message but still needs a fresh frame: the window's
// picture was lost (the server keeps no copy of it) or the window came back.
bool needs_frame(const SDL_Event& event) {
    if (event.type != SDL_WINDOWEVENT || event.window.windowID != shown.id) {
        return false;
    }
    const Uint8 change = event.window.event;
    return change == SDL_WINDOWEVENT_EXPOSED || change == SDL_WINDOWEVENT_SHOWN ||
           change == SDL_WINDOWEVENT_RESTORED;
}

// Blocks, with no timeout, until the program has something to answer: a
// message to fetch (input, a close request, the quit SDL raises on a
// termination signal) or an event that needs a frame. Anything else (focus,
// moves of the window, the pointer outside the client) is taken and the rest
// goes on.
void rest_until_needed() {
    SDL_Event event;
    while (!message_waiting() && SDL_WaitEvent(&event) != 0) {
        post_event(event);
        if (needs_frame(event)) {
            return;
        }
    }
}

}  // namespace

bool backend_register_class(const WNDCLASSA&) {
    return true;
}

// A failed start also says why, in SDL's words, on standard error.
bool backend_create_window(const char* caption, int x, int y, int width, int height) {
    if (shown.window != nullptr) {
        return false;
    }
    if (!start_video()) {
        std::fprintf(stderr, "No display: %s\n", failure_reason);
        return false;
    }
    // A press that gives the window the focus is a press, as on Windows: SDL
    // would otherwise drop any that comes within 10 ms of the focus.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Not resizable: SDL then fixes the window's minimum and maximum size to
    // its size. The window manager may add a frame outside it. On a display
    // too small for the client the window is smaller and shows it scaled.
    const SDL_Rect rect = opening_window_rect(x, y, width, height);
    SDL_Window* window =
        SDL_CreateWindow(caption, rect.x, rect.y, rect.w, rect.h, SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        std::fprintf(stderr, "No window: %s\n", SDL_GetError());
        return false;
    }
    shown = FittedWindow{{width, height, rect.w, rect.h}, window, SDL_GetWindowID(window)};
    return true;
}

void backend_show_window(bool visible) {
    if (shown.window != nullptr) {
        (visible ? SDL_ShowWindow : SDL_HideWindow)(shown.window);
    }
}

void backend_destroy_window() {
    if (shown.window != nullptr) {
        forget_scaled_picture();
        SDL_DestroyWindow(shown.window);
        shown = FittedWindow{};
    }
}

// A scaled window is only ever shown scaled, so the picture lies where the
// pointer mapping puts presses.
bool backend_present(const FrameImage& image) {
    return shown.window != nullptr &&
           present_to_window(shown.window, image, shows_scaled(shown) ? &shown : nullptr);
}

void backend_pump_events(bool wait) {
    if (!video_started) {
        return;
    }
    SDL_Event event;
    // The wait is bounded, so a caller that finds nothing it can use asks again.
    if (wait && SDL_WaitEventTimeout(&event, 10) != 0) {
        post_event(event);
    }
    while (SDL_PollEvent(&event) != 0) {
        post_event(event);
    }
}

// At least the time asked. With nothing waiting to be fetched, the pause
// first rests until something arrives that needs an answer, so an idle editor
// makes no passes at all; input ends the rest at once. With a message waiting
// (a burst being worked off, or the quit request after Escape, when no event
// will come) it only waits the time asked.
void backend_sleep(DWORD milliseconds) {
    const auto asked_end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    if (shown.window != nullptr) {
        rest_until_needed();
    }
    std::this_thread::sleep_until(asked_end);
}

void backend_exit_process(UINT exit_code) {
    SDL_Quit();
    std::exit(static_cast<int>(exit_code));
}

int backend_message_box(const char* text, const char* caption, UINT type) {
    const Uint32 flags =
        (type & MB_ICONERROR) != 0 ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) != 0) {
        // No box can be shown (no display): the user of a terminal reads it.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::fflush(stderr);
    }
    return 1;
}
