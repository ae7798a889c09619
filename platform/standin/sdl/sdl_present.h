// Presentation of the program's 32-bit top-down image in an SDL window.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"

// Hints that must be set before SDL's video subsystem starts:
// - the window surface is SDL's plain framebuffer (a shared-memory image on
//   X11), not a texture drawn through a renderer: without a GPU the renderer
//   path runs software GL and costs many times more per present;
// - closing the last window is a close request for that window only, not
//   also a quit event, so one close gives one WM_CLOSE.
void apply_sdl_hints();

// Copies the image into the top-left corner of a surface of any pixel format,
// clipped to the surface, and stores the region written (possibly empty) in
// copied_rect. The top byte of each word is never taken for colour or alpha:
// a surface with an alpha channel gets it opaque. False if SDL fails.
bool copy_to_surface(SDL_Surface* surface, const FrameImage& image, SDL_Rect* copied_rect);

// Shows the image in the window without waiting for vertical
// sync: on X11 straight from the caller's image where it can be shared in
// place (see x11_shared_image.h), otherwise through one copy into the window
// surface. The low 24 bits of each word are the colour; the top byte never
// reaches the screen. Returns false if SDL fails.
bool present_to_window(SDL_Window* window, const FrameImage& image);
