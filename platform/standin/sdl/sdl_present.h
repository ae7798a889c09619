// Presentation of the program's 32-bit top-down image in an SDL window,
// through SDL's window surface (on X11 a shared-memory image the server reads,
// so a present is one copy and one put). The low 24 bits of each word are the
// colour; the top byte never reaches the screen. No present waits for
// vertical sync.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"

// Hints that must be set before SDL's video subsystem starts:
// - the window surface is SDL's plain framebuffer, not a texture drawn
//   through a renderer: without a GPU the renderer path runs software GL and
//   costs many times more per present;
// - closing the last window is a close request for that window only, not
//   also a quit event, so one close gives one WM_CLOSE.
void apply_sdl_hints();

// Shows the image one to one in the window: copied into its surface
// (copy_to_surface), then put. False if SDL fails.
bool present_to_window(SDL_Window* window, const FrameImage& image);

// The copy present_to_window makes: into the top-left corner of a surface of
// any pixel format (a window's surface has whichever the display uses),
// clipped to the surface, with the region written (possibly empty) stored in
// copied_rect. A surface with an alpha channel gets it opaque. False if SDL
// fails.
bool copy_to_surface(SDL_Surface* surface, const FrameImage& image, SDL_Rect* copied_rect);
