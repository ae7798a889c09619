// The raster primitives. Each writes whole pixel words (colour and pick id)
// into the pixel buffer and nothing outside it, whatever coordinates a
// ScreenPoint can hold.
#pragma once

#include <cstdint>

#include "canvas/scene.h"

// Every word becomes the background word.
void clear_frame();

// The 5x5 square of a scene point: rows y-2..y+2, columns x-5..x-1 (left of
// the point), with the point clamped so the square stays inside the frame.
// Red for control points, cyan for axis endpoints (id >= 0xFD).
void draw_handle(ScreenPoint packed, PickId id);

// Green run on row y from min(xa, xb) up to but not including max(xa, xb);
// equal ends give one pixel.
void fill_span(int xa, int xb, int y);

// Green line as one span per row, stepped in 16.16 fixed point from the upper
// endpoint down.
void draw_line(int x1, int y1, int x2, int y2);

// One word at (x, y).
void plot_dot(int x, int y, std::uint32_t word);
