// The one frame buffer. Each 32-bit word is blue (bits 0-7), green (8-15),
// red (16-23) and a pick id (24-31): the picture is also the selection map.
#pragma once

#include <cstdint>

constexpr int FRAME_WIDTH = 1280;
constexpr int FRAME_HEIGHT = 1024;
constexpr int FRAME_PIXELS = FRAME_WIDTH * FRAME_HEIGHT;

// Rows run top-down with no gaps: pixel (x, y) is word y * FRAME_WIDTH + x.
struct PixelBuffer {
    std::uint32_t words[FRAME_PIXELS];
};

extern PixelBuffer pixel_buffer;

// Pixel words written by the primitives and the sampler.
constexpr std::uint32_t BACKGROUND_WORD = 0xFF000000u;        // black, PICK_NONE
constexpr std::uint32_t CONTROL_HANDLE_COLOUR = 0x00FF0000u;  // red
constexpr std::uint32_t AXIS_HANDLE_COLOUR = 0x0000FFFFu;     // cyan
constexpr std::uint32_t LINE_WORD = 0x0000FF00u;              // green, pick id 0
constexpr std::uint32_t CURVE_DOT_WORD = 0x00FFFFFFu;         // white, pick id 0

constexpr std::uint8_t pick_id_of(std::uint32_t word) {
    return static_cast<std::uint8_t>(word >> 24);
}

constexpr bool inside_frame(int x, int y) {
    return x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT;
}

// The word at (x, y); the caller guarantees inside_frame(x, y).
inline std::uint32_t pixel_at(int x, int y) {
    return pixel_buffer.words[y * FRAME_WIDTH + x];
}
