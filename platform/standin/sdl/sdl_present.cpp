#include "platform/standin/sdl/sdl_present.h"

#include <algorithm>

void apply_sdl_hints() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

namespace {

// Source words are blue, green, red and an ignored top byte: SDL's XRGB8888.
constexpr Uint32 SOURCE_FORMAT = SDL_PIXELFORMAT_RGB888;
constexpr int BYTES_PER_WORD = 4;

}  // namespace

bool copy_to_surface(SDL_Surface* surface, const FrameImage& image, SDL_Rect* copied_rect) {
    // The surface may be smaller only if the window system shrank the window.
    const int width = std::min(image.width, surface->w);
    const int height = std::min(image.height, surface->h);
    *copied_rect = SDL_Rect{0, 0, std::max(width, 0), std::max(height, 0)};
    if (width <= 0 || height <= 0) {
        return true;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    // SDL copies rows as they are when the surface has the image's layout
    // (the top byte then lands in the surface's unused byte, which the window
    // system ignores) and converts any other layout; an alpha channel comes
    // out opaque.
    const int source_pitch = image.pitch_words * BYTES_PER_WORD;
    const bool copied =
        SDL_ConvertPixels(width, height, SOURCE_FORMAT, image.pixels, source_pitch,
                          surface->format->format, surface->pixels, surface->pitch) == 0;
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return copied;
}

bool present_to_window(SDL_Window* window, const FrameImage& image) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    SDL_Rect rect;
    if (surface == nullptr || !copy_to_surface(surface, image, &rect)) {
        return false;
    }
    if (rect.w == 0 || rect.h == 0) {
        return true;
    }
    if (rect.w == surface->w && rect.h == surface->h) {
        return SDL_UpdateWindowSurface(window) == 0;
    }
    return SDL_UpdateWindowSurfaceRects(window, &rect, 1) == 0;
}
