#include "platform/standin/web/web_present.h"

#include <cstddef>
#include <cstdint>

#include "platform/standin/web/web_library.h"

namespace {

constexpr int MAX_WIDTH = 1280;
constexpr int MAX_HEIGHT = 1024;

// The image as the canvas takes it: rows top-down, R, G, B, A in that byte
// order, so a little-endian word holds A in its top byte and R in its lowest.
std::uint32_t rgba_words[MAX_WIDTH * MAX_HEIGHT];

bool canvas_open = false;

// Swapping red and blue and forcing alpha is one expression per word, which
// the compiler turns into vector code with -msimd128 (a third of the time).
// The sizes are copied first: stores through `to` could otherwise change
// them as far as the compiler knows, which keeps it from vectorising.
void swizzle_rows(const FrameImage& image) {
    const int width = image.width;
    const int height = image.height;
    const std::ptrdiff_t pitch = image.pitch_words;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = image.pixels + y * pitch;
        std::uint32_t* to = rgba_words + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t word = from[x];
            to[x] =
                0xFF000000u | ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
        }
    }
}

}  // namespace

bool open_editor_canvas(int width, int height) {
    if (width <= 0 || height <= 0 || width > MAX_WIDTH || height > MAX_HEIGHT) {
        return false;
    }
    canvas_open = kestrovan_open_canvas(width, height) != 0;
    return canvas_open;
}

void present_to_editor(const FrameImage& image) {
    if (!canvas_open || image.width <= 0 || image.height <= 0 || image.width > MAX_WIDTH ||
        image.height > MAX_HEIGHT) {
        return;
    }
    swizzle_rows(image);
    kestrovan_put_image(rgba_words, image.width, image.height);
}

void close_editor_canvas() {
    if (canvas_open) {
        kestrovan_close_canvas();
        canvas_open = false;
    }
}
