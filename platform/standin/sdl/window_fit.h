// The size of the real window: the client area one to one where the display
// holds it, otherwise shrunk uniformly to the largest size that fits (never
// below half), with pointer positions mapped back to client pixels. The
// program and the window system's core always see the whole client.
//
// KESTROVAN_SCALE=1 in the environment keeps the window one to one whatever
// the display.
#pragma once

#include <SDL.h>

struct WindowSize {
    int width;
    int height;
};

// The largest window of the client's proportions that fits room_width x
// room_height, in the exact steps that keep it uniform: multiples of the
// client's sides divided by their greatest common divisor (for a client of
// 5 x 4 steps of 256 pixels, steps of 1/256). Never larger than the client, never
// smaller than half of it, however small the room.
WindowSize fitted_window_size(int client_width, int client_height, int room_width, int room_height);

// The client pixel under window pixel `position` of a window `window_extent`
// pixels across that shows `client_extent` client pixels: the floor of
// position * client_extent / window_extent, worked in integers so that it is
// exact. A position left of or above the window gives -1.
int client_position(int position, int window_extent, int client_extent);

// Where to open the window for a client of client_width x client_height whose
// outer window the program places at (x, y): the rectangle for
// SDL_CreateWindow, fitted to the usable area of the display there. Its
// decorations are not known yet; refit_shown_window allows for them.
SDL_Rect opening_window_rect(int x, int y, int client_width, int client_height);

// Once the window is shown and its decorations are known: fits it again to
// its display's usable area less those decorations, resizing and moving it
// only if that changes its size.
void refit_shown_window(SDL_Window* window, int client_width, int client_height);

// The event with any pointer position turned from window pixels into client
// pixels, for a window that shows the client scaled.
SDL_Event in_client_pixels(const SDL_Event& event, SDL_Window* window, int client_width,
                           int client_height);
