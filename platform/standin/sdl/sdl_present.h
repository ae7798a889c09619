// Presentation of the program's 32-bit top-down image in an SDL window. The
// low 24 bits of each word are the colour; the top byte never reaches the
// screen. No present waits for vertical sync.
#pragma once

#include <cstddef>

#include <SDL.h>

#include "platform/standin/backend.h"

// Hints that must be set before SDL's video subsystem starts:
// - the window surface is SDL's plain framebuffer (a shared-memory image on
//   X11), not a texture drawn through a renderer: without a GPU the renderer
//   path runs software GL and costs many times more per present;
// - closing the last window is a close request for that window only, not
//   also a quit event, so one close gives one WM_CLOSE.
void apply_sdl_hints();

// Shows the image in the window: in place on X11 where it can be
// (present_shared_image), otherwise through copy_to_surface. False if SDL fails.
bool present_to_window(SDL_Window* window, const FrameImage& image);

// The copy present_to_window makes when the image cannot be shown in place:
// into the top-left corner of a surface of any pixel format (a window's
// surface has whichever the display uses), clipped to the surface, with the
// region written (possibly empty) stored in copied_rect. A surface with an
// alpha channel gets it opaque. False if SDL fails.
bool copy_to_surface(SDL_Surface* surface, const FrameImage& image, SDL_Rect* copied_rect);

// ---- On X11, straight from the caller's image (x11_shared_image.cpp) ------------
//
// The image's pages become a MIT-SHM segment that the X server reads in
// place, with no copy. Only an image in the executable's own static storage
// qualifies (never freed or moved, so the segment stays valid for the whole
// run), and only when it starts on a page boundary and spans whole pages (no
// neighbouring variable shares its pages). The pages keep their contents and
// address and stay shared for the rest of the run. Anything else, and any
// display without MIT-SHM or with another pixel layout, is left to the copy.

// Whether [first, first + bytes) could be shared in place: static storage of
// the executable, page-aligned, whole pages. Says nothing about the display.
bool can_share_in_place(const void* first, std::size_t bytes);

// Presents the image from the shared pages and waits until the X server has
// read it, so the caller may write the image again at once. The first image
// shown fixes the pages shared; a later one must start where it did. Returns
// false, having shown nothing, when the window or the image does not qualify.
bool present_shared_image(SDL_Window* window, const FrameImage& image);

// Releases the X server's side of the sharing for this window. Call before
// destroying a window that has been presented to.
void forget_shared_image_window(SDL_Window* window);
