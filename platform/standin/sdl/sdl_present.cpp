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

// The surface and sizes the scaling kernel was last set for.
struct Layout {
    SDL_Surface* surface;
    int surface_width;
    int surface_height;
    int client_width;
    int client_height;
    int width;
    int height;
    bool operator==(const Layout&) const = default;
};
Layout scaled_layout{};

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

bool present_to_window(SDL_Window* window, const FrameImage& image) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface == nullptr || !copy_to_surface(surface, 0, image)) {
        return false;
    }
    // The surface may be smaller only if the window system shrank the window.
    const SDL_Rect copied{0, 0, std::min(image.width, surface->w),
                          std::min(image.height, surface->h)};
    return copied.w <= 0 || copied.h <= 0 || SDL_UpdateWindowSurfaceRects(window, &copied, 1) == 0;
}

bool scale_into_surface(SDL_Surface* surface, const FrameImage& image, const FittedWindow& shown) {
    if (image.width > shown.client_width || image.height > shown.client_height) {
        return false;
    }
    // A new surface or size holds none of the picture: all of it is scaled.
    const Layout layout{
        surface,     surface->w,  surface->h, shown.client_width, shown.client_height,
        shown.width, shown.height};
    const bool all_rows = layout != scaled_layout;
    if (all_rows) {
        set_scaled_sizes(shown.client_width, shown.client_height, shown.width, shown.height);
        scaled_layout = layout;
    }
    if (!take_picture(image) && !all_rows) {
        return true;
    }
    for (int y = 0; y < std::min(shown.height, surface->h); ++y) {
        if ((all_rows || scaled_row_changed(y)) &&
            !copy_to_surface(surface, y, {scaled_row(y), shown.width, shown.width, 1})) {
            scaled_layout = Layout{};  // the surface may be half written: start afresh
            return false;
        }
    }
    return true;
}

bool present_scaled(const FittedWindow& shown, const FrameImage& image) {
    SDL_Surface* surface = SDL_GetWindowSurface(shown.window);
    return surface != nullptr && scale_into_surface(surface, image, shown) &&
           SDL_UpdateWindowSurface(shown.window) == 0;
}

void forget_scaled_picture() {
    scaled_layout = Layout{};
    forget_picture();
}
