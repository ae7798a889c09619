// The calls into web_library.js, the back end's JavaScript.
#pragma once

#include <cstdint>

extern "C" {

// The page's hooks (Module.page).
void kestrovan_page_title(const char* text);
void kestrovan_page_running();
void kestrovan_page_message(const char* text);
void kestrovan_page_ended(int code);
void kestrovan_page_exported(const char* file_name);

// <canvas id="editor">: 1 if it exists and has a 2D context (kept, with
// everything else of this opening, in Module.editor), else 0.
int kestrovan_open_canvas(int width, int height);
// Puts the picture on the canvas unless `changed` is 0 and the canvas
// already shows it, and hands the page the program's own words (null when
// their rows are not `width` words apart). 0 when the canvas can show
// nothing (its context lost), else 1.
int kestrovan_put_image(const void* rgba, const std::uint32_t* words, int width, int height,
                        int changed);
// Removes every listener of the opening.
void kestrovan_close_canvas();

// The pause (asynchronous: the browser runs meanwhile). With rest set it goes
// on after `milliseconds` until input is posted, the tab is shown again or the
// canvas's context is restored.
void kestrovan_pause(unsigned milliseconds, int rest);
void kestrovan_input_posted();

// Input helpers.
int kestrovan_editor_pixel(int client_x, int client_y, int width, int height);
void kestrovan_focus_editor();
// 0 unless the mouse event in hand is the mouse's own (not made up from touch
// or pen) and no other pointer holds the editor.
int kestrovan_mouse_wanted();
// Touch and pen on the open canvas, until it closes, become calls of
// kestrovan_pointer; the page's Module.mouse too.
void kestrovan_take_pointers(int width, int height);

// Called from web_library.js: the left button's press (action 0), a move (1)
// or its release (2) at a client position packed as x | y << 16, and a key
// pressed on screen (its virtual-key code), down and up again.
void kestrovan_pointer(int action, int position);
void kestrovan_press_key(int virtual_key);
}
