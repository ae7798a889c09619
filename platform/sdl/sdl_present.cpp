#include "platform/sdl/sdl_present.h"

#include <cstddef>
#include <cstring>

#include "platform/sdl/x11_shared_image.h"

void apply_sdl_hints() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

namespace {

// Source words are blue, green, red and an ignored top byte: SDL's XRGB8888.
constexpr Uint32 SOURCE_FORMAT = SDL_PIXELFORMAT_RGB888;
constexpr int BYTES_PER_WORD = 4;

}  // namespace

bool copy_region_to_surface(SDL_Surface* surface, const PresentRequest& request,
                            SDL_Rect* copied_rect) {
    *copied_rect = SDL_Rect{request.dest_x, request.dest_y, 0, 0};
    // The request lies inside the client area; the surface may be smaller only
    // if the window system shrank the window, so clip to it as well.
    int width = request.width;
    int height = request.height;
    if (request.dest_x + width > surface->w) {
        width = surface->w - request.dest_x;
    }
    if (request.dest_y + height > surface->h) {
        height = surface->h - request.dest_y;
    }
    if (width <= 0 || height <= 0 || request.dest_x < 0 || request.dest_y < 0) {
        return true;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    auto* dest = static_cast<std::byte*>(surface->pixels) +
                 static_cast<std::ptrdiff_t>(request.dest_y) * surface->pitch +
                 static_cast<std::ptrdiff_t>(request.dest_x) * BYTES_PER_WORD;
    const std::size_t source_pitch = static_cast<std::size_t>(request.pitch_words) * BYTES_PER_WORD;
    bool copied = true;
    if (surface->format->format == SOURCE_FORMAT) {
        // Same layout: the top byte lands in the surface's unused byte, which
        // the window system ignores, so this is one plain copy.
        const std::size_t row_bytes = static_cast<std::size_t>(width) * BYTES_PER_WORD;
        if (row_bytes == source_pitch && source_pitch == static_cast<std::size_t>(surface->pitch)) {
            std::memcpy(dest, request.first, row_bytes * static_cast<std::size_t>(height));
        } else {
            const auto* source = reinterpret_cast<const std::byte*>(request.first);
            for (int row = 0; row < height; ++row) {
                std::memcpy(dest + static_cast<std::ptrdiff_t>(row) * surface->pitch,
                            source + static_cast<std::size_t>(row) * source_pitch, row_bytes);
            }
        }
    } else {
        // Any other surface layout (alpha, other channel order, 16 bits) gets
        // the colour converted; an alpha channel comes out opaque.
        copied = SDL_ConvertPixels(width, height, SOURCE_FORMAT, request.first,
                                   static_cast<int>(source_pitch), surface->format->format, dest,
                                   surface->pitch) == 0;
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    copied_rect->w = width;
    copied_rect->h = height;
    return copied;
}

bool present_to_window(SDL_Window* window, const PresentRequest& request) {
    if (present_shared_image(window, request)) {
        return true;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    SDL_Rect rect;
    if (surface == nullptr || !copy_region_to_surface(surface, request, &rect)) {
        return false;
    }
    if (rect.w == 0 || rect.h == 0) {
        return true;
    }
    if (rect.x == 0 && rect.y == 0 && rect.w == surface->w && rect.h == surface->h) {
        return SDL_UpdateWindowSurface(window) == 0;
    }
    return SDL_UpdateWindowSurfaceRects(window, &rect, 1) == 0;
}

void forget_presented_window(SDL_Window* window) {
    forget_shared_image_window(window);
}
