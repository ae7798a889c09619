#include "canvas/raster.h"

#include <algorithm>
#include <cstdint>

#include "canvas/pixel_buffer.h"

namespace {

// Handles are drawn with the point clamped so the 5x5 square (which lies to
// the left of the point) always fits: leftmost column 0, bottom row 1021.
constexpr int HANDLE_MIN = 5;
constexpr int HANDLE_MAX_X = FRAME_WIDTH - 5;
constexpr int HANDLE_MAX_Y = FRAME_HEIGHT - 5;

constexpr std::int64_t FIXED_ONE = 65536;       // 16.16 fixed point
constexpr std::int64_t ROUNDING_BIAS = 0x7FFF;  // just under one half

std::uint32_t* row_start(int y) {
    return pixel_buffer.words + static_cast<std::ptrdiff_t>(y) * FRAME_WIDTH;
}

}  // namespace

void clear_frame() {
    std::fill_n(pixel_buffer.words, FRAME_PIXELS, BACKGROUND_WORD);
}

void draw_handle(ScreenPoint packed, PickId id) {
    const int x = std::min(std::max<int>(screen_x(packed), HANDLE_MIN), HANDLE_MAX_X);
    const int y = std::min(std::max<int>(screen_y(packed), HANDLE_MIN), HANDLE_MAX_Y);
    const std::uint32_t colour = id >= PICK_AXIS_A ? AXIS_HANDLE_COLOUR : CONTROL_HANDLE_COLOUR;
    const std::uint32_t word = (static_cast<std::uint32_t>(id) << 24) | colour;
    for (int row = y - 2; row <= y + 2; ++row) {
        std::fill_n(row_start(row) + (x - 5), 5, word);
    }
}

void fill_span(int xa, int xb, int y) {
    const int lo = std::min(xa, xb);
    const int hi = std::max(xa, xb);
    // 64-bit so ends at opposite extremes of int cannot overflow.
    std::int64_t end = hi == lo ? std::int64_t{lo} + 1 : std::int64_t{hi};
    if (y < 0 || y >= FRAME_HEIGHT) {
        return;
    }
    const std::int64_t first = std::max<std::int64_t>(lo, 0);
    end = std::min<std::int64_t>(end, FRAME_WIDTH);
    if (first >= end) {
        return;
    }
    std::fill_n(row_start(y) + first, end - first, LINE_WORD);
}

void draw_line(int x1, int y1, int x2, int y2) {
    if (y1 == y2) {
        fill_span(x1, x2, y1);
        return;
    }
    // Walk from the upper endpoint (xa, ya) down to the lower one (xb, yb).
    const bool first_is_lower = y1 > y2;
    const int xa = first_is_lower ? x2 : x1;
    const int ya = first_is_lower ? y2 : y1;
    const int xb = first_is_lower ? x1 : x2;
    const int yb = first_is_lower ? y1 : y2;

    // The step and accumulator are kept in 64 bits: for ends within the frame
    // every value fits 32 bits and the results equal the 32-bit arithmetic
    // exactly, while far-off ends (any 16-bit coordinate) cannot overflow.
    const std::int64_t rows = std::int64_t{yb} - ya + 1;
    const std::int64_t slope = (xb * FIXED_ONE - xa * FIXED_ONE) / rows;
    const std::int64_t acc_start = xa * FIXED_ONE + ROUNDING_BIAS;

    // Rows outside the frame draw nothing; skip straight to the first visible
    // one, with the accumulator where the row-by-row walk would have left it.
    const int first_row = std::max(ya, 0);
    const int last_row = std::min(yb, FRAME_HEIGHT - 1);
    std::int64_t acc = acc_start + slope * (std::int64_t{first_row} - ya);
    for (int row = first_row; row <= last_row; ++row) {
        const std::int64_t next = acc + slope;
        fill_span(static_cast<int>(next >> 16), static_cast<int>(acc >> 16), row);
        acc = next;
    }
}

void plot_dot(int x, int y, std::uint32_t word) {
    if (!inside_frame(x, y)) {
        return;
    }
    pixel_buffer.words[y * FRAME_WIDTH + x] = word;
}
