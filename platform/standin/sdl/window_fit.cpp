#include "platform/standin/sdl/window_fit.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "platform/standin/sdl/scaled_present.h"

namespace {

// The setting that keeps the window one to one.
bool one_to_one_asked() {
    const char* setting = SDL_getenv("KESTROVAN_SCALE");
    return setting != nullptr && SDL_strcmp(setting, "1") == 0;
}

// Where a window `extent` pixels across, with `before` and `after` pixels of
// decoration on its two sides, goes to lie within the room along one axis:
// where wanted if it fits there, otherwise moved in just far enough (to the
// room's start when it cannot fit at all).
int placed(int wanted, int extent, int room_start, int room_extent, int before, int after) {
    const int last = room_start + room_extent - after - extent;
    return std::max(std::min(wanted, last), room_start + before);
}

bool usable_area(int display, SDL_Rect* area) {
    return SDL_GetDisplayUsableBounds(std::max(display, 0), area) == 0 && area->w > 0 &&
           area->h > 0;
}

}  // namespace

WindowSize fitted_window_size(int client_width, int client_height, int room_width,
                              int room_height) {
    if (client_width <= 0 || client_height <= 0) {
        return {client_width, client_height};
    }
    const int steps = std::gcd(client_width, client_height);
    const int step_width = client_width / steps;
    const int step_height = client_height / steps;
    const int fitting = std::min(room_width / step_width, room_height / step_height);
    const int taken = std::clamp(fitting, (steps + 1) / 2, steps);
    return {step_width * taken, step_height * taken};
}

int client_position(int position, int window_extent, int client_extent) {
    if (position < 0 || window_extent <= 0) {
        return -1;
    }
    return static_cast<int>(static_cast<std::int64_t>(position) * client_extent / window_extent);
}

SDL_Rect opening_window_rect(int x, int y, int client_width, int client_height) {
    const SDL_Rect one_to_one{x, y, client_width, client_height};
    const SDL_Point corner{x, y};
    SDL_Rect room;
    if (one_to_one_asked() || !usable_area(SDL_GetPointDisplayIndex(&corner), &room)) {
        return one_to_one;
    }
    const WindowSize size = fitted_window_size(client_width, client_height, room.w, room.h);
    if (size.width == client_width && size.height == client_height) {
        return one_to_one;
    }
    return SDL_Rect{placed(x, size.width, room.x, room.w, 0, 0),
                    placed(y, size.height, room.y, room.h, 0, 0), size.width, size.height};
}

void refit_shown_window(SDL_Window* window, int client_width, int client_height) {
    SDL_Rect room;
    if (window == nullptr || one_to_one_asked() ||
        !usable_area(SDL_GetWindowDisplayIndex(window), &room)) {
        return;
    }
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) {
        top = left = bottom = right = 0;  // no decorations this back end knows of
    }
    const WindowSize size = fitted_window_size(client_width, client_height, room.w - left - right,
                                               room.h - top - bottom);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (size.width == width && size.height == height) {
        return;
    }
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_SetWindowSize(window, size.width, size.height);
    SDL_SetWindowPosition(window, placed(x, size.width, room.x, room.w, left, right),
                          placed(y, size.height, room.y, room.h, top, bottom));
}

SDL_Event in_client_pixels(const SDL_Event& event, SDL_Window* window, int client_width,
                           int client_height) {
    int width = 0;
    int height = 0;
    if (window != nullptr) {
        SDL_GetWindowSize(window, &width, &height);
    }
    if (!shows_client_scaled(width, height, client_width, client_height)) {
        return event;
    }
    SDL_Event mapped = event;
    if (event.type == SDL_MOUSEMOTION) {
        mapped.motion.x = client_position(event.motion.x, width, client_width);
        mapped.motion.y = client_position(event.motion.y, height, client_height);
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        mapped.button.x = client_position(event.button.x, width, client_width);
        mapped.button.y = client_position(event.button.y, height, client_height);
    }
    return mapped;
}
