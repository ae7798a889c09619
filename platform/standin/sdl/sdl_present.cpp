#include "platform/standin/sdl/sdl_present.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/standin/sdl/x11_shared_image.h"

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
    auto* dest = static_cast<std::byte*>(surface->pixels);
    const auto* source = reinterpret_cast<const std::byte*>(image.pixels);
    const std::size_t source_pitch = static_cast<std::size_t>(image.pitch_words) * BYTES_PER_WORD;
    bool copied = true;
    if (surface->format->format == SOURCE_FORMAT) {
        // Same layout: the top byte lands in the surface's unused byte, which
        // the window system ignores, so this is a plain copy.
        const std::size_t row_bytes = static_cast<std::size_t>(width) * BYTES_PER_WORD;
        for (int row = 0; row < height; ++row) {
            std::memcpy(dest + static_cast<std::ptrdiff_t>(row) * surface->pitch,
                        source + static_cast<std::size_t>(row) * source_pitch, row_bytes);
        }
    } else {
        // Any other surface layout (alpha, other channel order, 16 bits) gets
        // the colour converted; an alpha channel comes out opaque.
        copied = SDL_ConvertPixels(width, height, SOURCE_FORMAT, image.pixels,
                                   static_cast<int>(source_pitch), surface->format->format, dest,
                                   surface->pitch) == 0;
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return copied;
}

bool present_to_window(SDL_Window* window, const FrameImage& image) {
    if (present_shared_image(window, image)) {
        return true;
    }
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

void forget_presented_window(SDL_Window* window) {
    forget_shared_image_window(window);
}
