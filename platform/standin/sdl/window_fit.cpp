#include "platform/standin/sdl/window_fit.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "platform/standin/sdl/scale_kernel.h"

namespace {

// The setting that keeps the window one to one, or a client too large for
// the scaled present.
bool keeps_one_to_one(int client_width, int client_height) {
    const char* setting = SDL_getenv("KESTROVAN_SCALE");
    return (setting != nullptr && SDL_strcmp(setting, "1") == 0) ||
           !scale_kernel_holds(client_width, client_height);
}

// Where a window `extent` pixels across, with `before` and `after` pixels of
// decoration on its two sides, goes to lie within the room along one axis:
// where wanted if it fits there, otherwise moved in just far enough (to the
// room's start when it cannot fit at all).
int placed(int wanted, int extent, int room_start, int room_extent, int before, int after) {
    const int last = room_start + room_extent - after - extent;
    return std::max(std::min(wanted, last), room_start + before);
}

// The client pixel under window pixel `position` of a window `window_extent`
// pixels across that shows `client_extent` client pixels, worked in integers so
// that it is exact; -1 left of or above the window.
int client_position(int position, int window_extent, int client_extent) {
    if (position < 0 || window_extent <= 0) {
        return -1;
    }
    return static_cast<int>(static_cast<std::int64_t>(position) * client_extent / window_extent);
}

// Where a window with this frame, wanted at `at` on `display`, goes: fitted to
// that display's usable area, or one to one at `at` where the setting or the
// kernel keeps it so or the area is unknown.
SDL_Rect fitted_on(int display, SDL_Point at, int client_width, int client_height,
                   const Decorations& frame) {
    SDL_Rect room;
    if (keeps_one_to_one(client_width, client_height) ||
        SDL_GetDisplayUsableBounds(std::max(display, 0), &room) != 0 || room.w <= 0 ||
        room.h <= 0) {
        return SDL_Rect{at.x, at.y, client_width, client_height};
    }
    return fitted_window_rect(at, client_width, client_height, room, frame);
}

}  // namespace

SDL_Rect fitted_window_rect(SDL_Point wanted, int client_width, int client_height,
                            const SDL_Rect& room, const Decorations& decorations) {
    // Steps of the client's sides divided by their greatest common divisor.
    const int steps = std::gcd(client_width, client_height);
    const int step_width = steps > 0 ? client_width / steps : 0;
    const int step_height = steps > 0 ? client_height / steps : 0;
    if (step_width <= 0 || step_height <= 0) {
        return SDL_Rect{wanted.x, wanted.y, client_width, client_height};
    }
    const int fitting = std::min((room.w - decorations.left - decorations.right) / step_width,
                                 (room.h - decorations.top - decorations.bottom) / step_height);
    const int taken = std::clamp(fitting, (steps + 1) / 2, steps);
    if (taken == steps) {
        return SDL_Rect{wanted.x, wanted.y, client_width, client_height};
    }
    const int width = step_width * taken;
    const int height = step_height * taken;
    return SDL_Rect{placed(wanted.x, width, room.x, room.w, decorations.left, decorations.right),
                    placed(wanted.y, height, room.y, room.h, decorations.top, decorations.bottom),
                    width, height};
}

SDL_Rect opening_window_rect(int x, int y, int client_width, int client_height) {
    const SDL_Point corner{x, y};
    return fitted_on(SDL_GetPointDisplayIndex(&corner), corner, client_width, client_height,
                     Decorations{0, 0, 0, 0});
}

void refit_shown_window(FittedWindow& shown) {
    Decorations frame{0, 0, 0, 0};
    if (SDL_GetWindowBordersSize(shown.window, &frame.top, &frame.left, &frame.bottom,
                                 &frame.right) != 0) {
        frame = Decorations{0, 0, 0, 0};  // no decorations this back end knows of
    }
    SDL_Point at{0, 0};
    SDL_GetWindowPosition(shown.window, &at.x, &at.y);
    const SDL_Rect rect = fitted_on(SDL_GetWindowDisplayIndex(shown.window), at, shown.client_width,
                                    shown.client_height, frame);
    if (rect.w == shown.width && rect.h == shown.height) {
        return;
    }
    SDL_SetWindowSize(shown.window, rect.w, rect.h);
    SDL_SetWindowPosition(shown.window, rect.x, rect.y);
    shown.width = rect.w;
    shown.height = rect.h;
}

SDL_Event in_client_pixels(const SDL_Event& event, const FittedWindow& shown) {
    if (!shows_scaled(shown)) {
        return event;
    }
    SDL_Event mapped = event;
    if (event.type == SDL_MOUSEMOTION) {
        mapped.motion.x = client_position(event.motion.x, shown.width, shown.client_width);
        mapped.motion.y = client_position(event.motion.y, shown.height, shown.client_height);
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        mapped.button.x = client_position(event.button.x, shown.width, shown.client_width);
        mapped.button.y = client_position(event.button.y, shown.height, shown.client_height);
    }
    return mapped;
}
