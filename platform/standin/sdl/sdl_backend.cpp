// The real window: SDL2 under the shared window system. One SDL window, shown
// through SDL's plain framebuffer; SDL input becomes the queue's messages.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <SDL.h>

#include "platform/standin/backend.h"
#include "platform/standin/sdl/sdl_input.h"
#include "platform/standin/sdl/sdl_present.h"
#include "platform/standin/sdl/x11_wakeup.h"

namespace {

SDL_Window* sdl_window = nullptr;
Uint32 sdl_window_id = 0;
int client_width = 0;
int client_height = 0;
bool video_started = false;

// Drivers that show nothing on any screen ("evdev" is the dummy driver with
// keyboard input from the console). SDL falls back to them when no display
// can be opened, which would leave the program running unseen instead of
// reporting the failed start.
bool shows_nothing(const char* driver) {
    return SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
           SDL_strcmp(driver, "evdev") == 0;
}

// Wayland is reached through XDG_RUNTIME_DIR; without it the attempt only
// prints the library's own complaint ahead of our message.
bool cannot_reach(const char* driver) {
    return SDL_strcmp(driver, "wayland") == 0 && SDL_getenv("WAYLAND_DISPLAY") == nullptr &&
           SDL_getenv("XDG_RUNTIME_DIR") == nullptr;
}

// Starts SDL's video subsystem once; false if there is no display to use.
// A driver named in SDL_VIDEODRIVER is used as given.
bool start_video() {
    if (video_started) {
        return true;
    }
    apply_sdl_hints();
    tolerate_late_wakeups();  // the pause waits through SDL_WaitEventTimeout
    if (SDL_getenv("SDL_VIDEODRIVER") != nullptr) {
        video_started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        return video_started;
    }
    for (int i = 0; i < SDL_GetNumVideoDrivers() && !video_started; ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (driver == nullptr || shows_nothing(driver) || cannot_reach(driver)) {
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        video_started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    return video_started;
}

void post_event(const SDL_Event& event) {
    const InputMessage input = translate_event(event, sdl_window_id, client_width, client_height);
    if (input.message != WM_NULL) {
        post_window_message(input.message, input.wparam, input.lparam);
    }
}

// ---- The pause -------------------------------------------------------------------

// Where SDL does not know the display's refresh rate.
constexpr int FALLBACK_REFRESH_HZ = 60;

// Display frames fall due every refresh interval from here on (the first pause).
Uint64 frame_clock_origin = 0;

// One refresh of the window's display, in performance-counter ticks.
Uint64 refresh_interval() {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(sdl_window);
    const int rate =
        display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0
            ? mode.refresh_rate
            : FALLBACK_REFRESH_HZ;
    return SDL_GetPerformanceFrequency() / static_cast<Uint64>(rate);
}

// Whole milliseconds from now until `end`, rounded up; at most what SDL's
// wait takes (a longer wait is asked again).
int milliseconds_until(Uint64 now, Uint64 end) {
    const Uint64 per_millisecond = SDL_GetPerformanceFrequency() / 1000;
    const Uint64 milliseconds = (end - now + per_millisecond - 1) / per_millisecond;
    return static_cast<int>(std::min<Uint64>(milliseconds, INT_MAX));
}

}  // namespace

bool backend_register_class(const WNDCLASSA&) {
    return true;
}

bool backend_create_window(const char* caption, int x, int y, int width, int height) {
    if (sdl_window != nullptr || !start_video()) {
        return false;
    }
    // Not resizable: SDL then fixes the window's minimum and maximum size to
    // the client size. The window manager may add a frame outside it.
    sdl_window = SDL_CreateWindow(caption, x, y, width, height, SDL_WINDOW_HIDDEN);
    if (sdl_window == nullptr) {
        return false;
    }
    sdl_window_id = SDL_GetWindowID(sdl_window);
    client_width = width;
    client_height = height;
    return true;
}

void backend_show_window(bool visible) {
    if (sdl_window == nullptr) {
        return;
    }
    if (visible) {
        SDL_ShowWindow(sdl_window);
    } else {
        SDL_HideWindow(sdl_window);
    }
}

void backend_destroy_window() {
    if (sdl_window == nullptr) {
        return;
    }
    forget_shared_image_window(sdl_window);
    SDL_DestroyWindow(sdl_window);
    sdl_window = nullptr;
    sdl_window_id = 0;
    client_width = 0;
    client_height = 0;
}

void backend_present(const FrameImage& image) {
    if (sdl_window != nullptr) {
        present_to_window(sdl_window, image);
    }
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

// At least the time asked. With no message waiting, the pause goes on until
// input arrives or the next display frame is due, so an idle editor shows one
// frame a refresh instead of one every few milliseconds, and input is never
// held back past the next frame. Input that arrives meanwhile is posted at
// once; with a message waiting, the pause ends as soon as the time is up.
void backend_sleep(DWORD milliseconds) {
    if (!video_started || sdl_window == nullptr) {
        SDL_Delay(milliseconds);
        return;
    }
    const Uint64 start = SDL_GetPerformanceCounter();
    const Uint64 asked_end = start + milliseconds * SDL_GetPerformanceFrequency() / 1000;
    if (frame_clock_origin == 0) {
        frame_clock_origin = start;
    }
    const Uint64 interval = refresh_interval();
    const Uint64 frames_to_go = (asked_end - frame_clock_origin + interval - 1) / interval;
    const Uint64 rest_end = frame_clock_origin + frames_to_go * interval;
    for (Uint64 now = start; now < rest_end; now = SDL_GetPerformanceCounter()) {
        if (queued_message_count() > 0) {
            // Whatever arrives meanwhile is the next PeekMessageA's to post.
            if (now < asked_end) {
                std::this_thread::sleep_for(std::chrono::duration<double>(
                    static_cast<double>(asked_end - now) /
                    static_cast<double>(SDL_GetPerformanceFrequency())));
            }
            break;
        }
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, milliseconds_until(now, rest_end)) != 0) {
            post_event(event);
            backend_pump_events(false);
        }
    }
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
