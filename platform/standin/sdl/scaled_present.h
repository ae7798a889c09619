// The present of a window smaller than its client area: the client's picture
// shrunk uniformly into SDL's window surface. Each window pixel is the area
// average of the client pixels it covers, taken in linear light and encoded
// back to sRGB, so a 1-pixel line or a lone dot dims but never drops out, as
// it would with nearest-neighbour sampling. The top byte of a word is never
// shown.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"

// Whether a window of window_width x window_height shows a client of
// client_width x client_height shrunk: smaller in at least one direction, no
// larger in either, at least half the client's size in both, and a client no
// larger than this present can hold (2 megapixels). A window that does
// not qualify shows the client one to one, clipped.
bool shows_client_scaled(int window_width, int window_height, int client_width, int client_height);

// Shows the image (the client's top-left part, as every present) shrunk into
// the window's surface. Only the rows the changes reach are scaled again; an
// unchanged picture is only put again, for a window whose contents were lost.
// False, having shown nothing, when the window does not qualify
// (shows_client_scaled) or SDL fails.
bool present_scaled(SDL_Window* window, const FrameImage& image, int client_width,
                    int client_height);

// Forgets the picture shown, so the next present scales all of it. Call when
// the window it was shown in goes.
void forget_scaled_picture();
