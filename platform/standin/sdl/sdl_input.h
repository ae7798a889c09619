// SDL input as the window messages Windows would deliver: virtual-key codes,
// client positions packed as x | (y << 16), no mouse input from outside the
// client area. Plain functions over SDL's event records: no display needed.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"

// The Windows virtual-key code of an SDL key, or 0 for a key that has none.
// Letters give 'A'..'Z' and digits '0'..'9' whatever the shift state; both
// shift keys give VK_SHIFT, both control keys VK_CONTROL, both alt keys
// VK_MENU, as key-down messages do on Windows.
int virtual_key_for(SDL_Keycode key);

// Whether a position lies inside the client area. Positions outside are never
// delivered: with SDL's automatic mouse capture a drag keeps reporting them,
// and a window without capture never sees those.
constexpr bool inside_client(int x, int y, int client_width, int client_height) {
    return x >= 0 && x < client_width && y >= 0 && y < client_height;
}

// x in the low 16 bits, y in the high 16 bits, each as a 16-bit two's
// complement value.
constexpr LPARAM pack_client_position(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

// What one SDL event becomes: a message to post, WM_NULL for nothing.
struct InputMessage {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// Translates one event for the window with SDL id window_id:
// - a close request for the window, and SDL's quit event (raised on SIGINT and
//   SIGTERM), become WM_CLOSE;
// - key presses become WM_KEYDOWN (WM_SYSKEYDOWN with Alt held, or for F10),
//   held-key repeats included, and releases WM_KEYUP (WM_SYSKEYUP); keys
//   without a virtual-key code are dropped;
// - left-button presses and releases become WM_LBUTTONDOWN and WM_LBUTTONUP,
//   moves WM_MOUSEMOVE, each only while the position is inside the client;
//   other buttons, wheels and events of other windows are dropped.
InputMessage translate_event(const SDL_Event& event, Uint32 window_id, int client_width,
                             int client_height);
