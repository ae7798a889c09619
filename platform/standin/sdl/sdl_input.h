// SDL input as the window messages Windows would deliver: virtual-key codes,
// client positions packed as x | (y << 16), no mouse input from outside the
// client area. Plain functions over SDL's event records: no display needed.
#pragma once

#include <SDL.h>

#include "platform/standin/backend.h"

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
//   held-key repeats included, and releases WM_KEYUP (WM_SYSKEYUP), with the
//   key's Windows virtual-key code as wparam; keys without one are dropped.
//   Letters give 'A'..'Z' and digits '0'..'9' whatever the shift state; both
//   shift keys give VK_SHIFT, both control keys VK_CONTROL, both alt keys
//   VK_MENU, as key-down messages do on Windows;
// - left-button presses and releases become WM_LBUTTONDOWN and WM_LBUTTONUP,
//   moves WM_MOUSEMOVE, each with the client position packed as
//   x | (y << 16) and only while it is inside the client: with SDL's
//   automatic mouse capture a drag keeps reporting positions outside, which a
//   window without capture never sees; other buttons, wheels and events of
//   other windows are dropped.
InputMessage translate_event(const SDL_Event& event, Uint32 window_id, int client_width,
                             int client_height);
