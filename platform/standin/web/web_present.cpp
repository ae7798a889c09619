#include "platform/standin/web/web_present.h"

#include <cstddef>
#include <cstdint>

#include "platform/standin/web/web_library.h"

namespace {

// The most pixels a window may have here: 2 megapixels, a 1920 x 1080 screen.
// The memory is fixed, so the copy below has a fixed size.
constexpr long long MAX_PIXELS = 1 << 21;

// The image as the canvas takes it: rows top-down, R, G, B, A in that byte
// order, so a little-endian word holds A in its top byte and R in its lowest.
std::uint32_t rgba_words[MAX_PIXELS];

bool fits(int width, int height) {
    return width > 0 && height > 0 && static_cast<long long>(width) * height <= MAX_PIXELS;
}

bool canvas_open = false;
// The size of the image last put on the canvas; 0 when none is.
int put_width = 0;
int put_height = 0;

// Swapping red and blue and forcing alpha is one expression per word, which
// the compiler turns into vector code with -msimd128 (a third of the time).
// The sizes are copied first: stores through `to` could otherwise change
// them as far as the compiler knows, which keeps it from vectorising. The
// same pass compares each word with the one it replaces, so noticing an
// unchanged picture costs little more than the swap itself.
bool swizzle_rows(const FrameImage& image) {
    const int width = image.width;
    const int height = image.height;
    const std::ptrdiff_t pitch = image.pitch_words;
    std::uint32_t changed = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = image.pixels + y * pitch;
        std::uint32_t* to = rgba_words + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t word = from[x];
            const std::uint32_t rgba =
                0xFF000000u | ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
            changed |= to[x] ^ rgba;
            to[x] = rgba;
        }
    }
    return changed != 0;
}

}  // namespace

bool open_editor_canvas(int width, int height) {
    if (!fits(width, height)) {
        return false;
    }
    canvas_open = kestrovan_open_canvas(width, height) != 0;
    put_width = 0;
    put_height = 0;
    return canvas_open;
}

bool present_to_editor(const FrameImage& image) {
    if (!canvas_open || !fits(image.width, image.height)) {
        return false;
    }
    // An image of another size lays its words out differently.
    const bool same_size = image.width == put_width && image.height == put_height;
    const bool changed = swizzle_rows(image) || !same_size;
    put_width = image.width;
    put_height = image.height;
    const std::uint32_t* words = image.pitch_words == image.width ? image.pixels : nullptr;
    return kestrovan_put_image(rgba_words, words, image.width, image.height, changed ? 1 : 0) != 0;
}

void close_editor_canvas() {
    if (canvas_open) {
        kestrovan_close_canvas();
        canvas_open = false;
    }
}
