// The arithmetic of a picture shrunk uniformly, with no window system: each
// output pixel is the area average of the client pixels it covers, taken in
// linear light and encoded back to sRGB, so a 1-pixel line or a lone dot dims
// but never drops out, as it would with nearest-neighbour sampling. The top
// byte of a word is never shown. sdl_present.h puts the rows into a window.
//
// Why our own: no library at hand does this at this cost. Measured here on the
// editor's picture at 3/4, Debian's stb_image_resize 0.97 (box filter, sRGB)
// takes 33.6 ms a frame for the same output, against 2.0 ms here for the whole
// picture (most of it black, which this passes over); pixman 0.42 takes 165 ms
// and is up to 6 levels off; SDL's renderer blends in sRGB, leaving a lone dot
// at 64 instead of 137.
#pragma once

#include <cstdint>

#include "platform/standin/backend.h"

// The area weights of output line `out` over the source lines from `first` on
// (at a scale from 1/2 to 1 at most three), when `source` lines are shown in
// `output` (output <= source <= 2 * output), in 256ths of the output line,
// rounded so they sum to 256.
struct OutputTaps {
    int first;
    int weight[3];
};
OutputTaps taps_of(int out, int source, int output);

// Whether a client of this size fits the kernel's fixed memory: 4096 pixels a
// side and 2 megapixels in all (a 1920 x 1080 screen).
bool scale_kernel_holds(int client_width, int client_height);

// A client of client_width x client_height shown in a window of width x
// height, each side from half the client's to all of it: the one record of a
// window's sizes, kept with the window (window_fit.h) and read by each call.
struct WindowSizes {
    int client_width;
    int client_height;
    int width;  // the client's size, or smaller: the window shows it scaled
    int height;
};

// Sets the kernel's taps for these sizes, of a client it holds (above), and
// forgets the picture kept: all black, as before the first take.
void set_scaled_sizes(const WindowSizes& sizes);

// Takes the image (the client's top-left part) into the picture kept, noting
// which rows changed; returns whether any did. Output row y then needs
// scaling again if scaled_row_changed(y).
bool take_picture(const WindowSizes& sizes, const FrameImage& image);
bool scaled_row_changed(int y);

// Output row y of the picture kept: sizes.width words, colour in the low 24
// bits (blue lowest), the top byte 0. Valid until the next call.
const std::uint32_t* scaled_row(const WindowSizes& sizes, int y);
