// The size of the real window: the client area one to one where the display
// holds it, otherwise shrunk uniformly to the largest size that fits, in the
// exact steps that keep it uniform (1/256 for 1280 x 1024), never below half;
// pointer positions map back to the client pixel under them, rounded down.
// The program and the window system's core always see the whole client.
//
// KESTROVAN_SCALE=1 in the environment keeps the window one to one whatever
// the display.
#pragma once

#include <SDL.h>

#include "platform/standin/sdl/scale_kernel.h"

// The one SDL window with the record of its sizes. Its size is decided when it
// is fitted (opened, then once more when shown); the present, the scaling
// kernel and the pointer mapping all read it here, so the picture lies where
// presses land.
struct FittedWindow : WindowSizes {
    SDL_Window* window;
    Uint32 id;
};

constexpr bool shows_scaled(const WindowSizes& shown) {
    return shown.width != shown.client_width || shown.height != shown.client_height;
}

// The window frame's thickness on each side, outside the client.
struct Decorations {
    int top;
    int left;
    int bottom;
    int right;
};

// The window for a client of client_width x client_height wanted at `wanted`,
// on a display whose usable area is `room`: one to one where the room less the
// decorations holds it, left where wanted; otherwise the fitted size, moved in
// just far enough that it lies within the room, decorations and all (to the
// room's start when it cannot).
SDL_Rect fitted_window_rect(SDL_Point wanted, int client_width, int client_height,
                            const SDL_Rect& room, const Decorations& decorations);

// Where to open the window for a client of client_width x client_height whose
// outer window the program places at (x, y): the rectangle for
// SDL_CreateWindow, fitted to the usable area of the display there. Its
// decorations are not known yet; refit_shown_window allows for them.
SDL_Rect opening_window_rect(int x, int y, int client_width, int client_height);

// Once the window is shown and its decorations are known: fits it again to
// its display's usable area less those decorations, resizing and moving it,
// and recording its new size, only if that changes its size.
void refit_shown_window(FittedWindow& shown);

// The event with any pointer position turned from window pixels into client
// pixels, for a window that shows the client scaled.
SDL_Event in_client_pixels(const SDL_Event& event, const FittedWindow& shown);
