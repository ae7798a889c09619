// Presentation of the program's 32-bit top-down image in an SDL window,
// through SDL's window surface (on X11 a shared-memory image the server reads,
// so a present is one copy and one put): one to one, or shrunk by the kernel
// (scale_kernel.h) for a window that shows its client scaled (window_fit.h).
// The low 24 bits of each word are the colour; the top byte never reaches the
// screen. No present waits for vertical sync.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"
#include "platform/standin/sdl/scale_kernel.h"

// Hints that must be set before SDL's video subsystem starts:
// - the window surface is SDL's plain framebuffer, not a texture drawn
//   through a renderer: without a GPU the renderer path runs software GL and
//   costs many times more per present;
// - closing the last window is a close request for that window only, not
//   also a quit event, so one close gives one WM_CLOSE.
void apply_sdl_hints();

// Shows the image in the window, copied into its surface and put: one to one,
// or with `scaled` shrunk to the sizes of a window that shows its client
// scaled, scaling again only the rows the changes reach (an unchanged picture
// is only put again, for a window whose contents were lost). False if SDL
// fails.
bool present_to_window(SDL_Window* window, const FrameImage& image,
                       const WindowSizes* scaled = nullptr);

// Forgets the picture shown scaled, so the next present scales all of it.
// Call whenever the window's sizes change, and when it goes.
void forget_scaled_picture();

// The surface writes of the two presents, into the surface's pixel format (a
// window's surface has whichever the display uses), clipped to it; an alpha
// channel comes out opaque. False if SDL fails.
// - The image's rows from row `top` down, from the left edge.
bool copy_to_surface(SDL_Surface* surface, int top, const FrameImage& image);
// - The image shrunk to shown.width x shown.height into the top-left corner.
//   Rows the changes since the last call do not reach are left as they are,
//   unless the surface is new or the picture forgotten.
bool scale_into_surface(SDL_Surface* surface, const FrameImage& image, const WindowSizes& shown);
