#include "platform/standin/sdl/sdl_present.h"

#include <algorithm>

#include "platform/standin/sdl/scale_kernel.h"

void apply_sdl_hints() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

namespace {

// Source words are blue, green, red and an ignored top byte: SDL's XRGB8888.
constexpr Uint32 SOURCE_FORMAT = SDL_PIXELFORMAT_RGB888;
constexpr int BYTES_PER_WORD = 4;

// The surface that holds the scaled picture; none before the first present
// and after the picture is forgotten.
SDL_Surface* scaled_surface = nullptr;

}  // namespace

// Window surfaces are never RLE-encoded, so none needs locking.
bool copy_to_surface(SDL_Surface* surface, int top, const FrameImage& image) {
    const int width = std::min(image.width, surface->w);
    const int height = std::min(image.height, surface->h - top);
    if (width <= 0 || height <= 0) {
        return true;
    }
    // SDL copies rows as they are when the surface has the image's layout
    // (the top byte then lands in the surface's unused byte, which the window
    // system ignores) and converts any other.
    auto* destination =
        static_cast<Uint8*>(surface->pixels) + static_cast<std::ptrdiff_t>(top) * surface->pitch;
    return SDL_ConvertPixels(width, height, SOURCE_FORMAT, image.pixels,
                             image.pitch_words * BYTES_PER_WORD, surface->format->format,
                             destination, surface->pitch) == 0;
}

bool present_to_window(SDL_Window* window, const FrameImage& image, const WindowSizes* scaled) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    return surface != nullptr &&
           (scaled != nullptr ? scale_into_surface(surface, image, *scaled)
                              : copy_to_surface(surface, 0, image)) &&
           SDL_UpdateWindowSurface(window) == 0;
}

bool scale_into_surface(SDL_Surface* surface, const FrameImage& image, const WindowSizes& shown) {
    if (image.width > shown.client_width || image.height > shown.client_height) {
        return false;
    }
    // A new surface holds none of the picture: all of it is scaled.
    const bool all_rows = surface != scaled_surface;
    if (all_rows) {
        set_scaled_sizes(shown);
        scaled_surface = surface;
    }
    if (!take_picture(shown, image) && !all_rows) {
        return true;
    }
    for (int y = 0; y < std::min(shown.height, surface->h); ++y) {
        if ((all_rows || scaled_row_changed(y)) &&
            !copy_to_surface(surface, y, {scaled_row(shown, y), shown.width, shown.width, 1})) {
            scaled_surface = nullptr;  // it may be half written: start afresh
            return false;
        }
    }
    return true;
}

void forget_scaled_picture() {
    scaled_surface = nullptr;
}
