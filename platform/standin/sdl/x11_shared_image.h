// The present on X11 straight from the caller's image (x11_shared_image.cpp).
//
// The image's pages become a MIT-SHM segment that the X server reads in
// place, with no copy. Only an image in the executable's own static storage
// qualifies (never freed or moved, so the segment stays valid for the whole
// run), and only when it starts on a page boundary and spans whole pages (no
// neighbouring variable shares its pages). The pages keep their contents and
// address and stay shared for the rest of the run. Anything else, and any
// display without MIT-SHM or with another pixel layout, is left to the copy
// (sdl_present.h). Without X11 shared memory every call here declines.
#pragma once

#include <cstddef>

#include <SDL.h>

#include "platform/standin/backend.h"

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
