// The calls into web_library.js, the back end's JavaScript.
#pragma once

extern "C" {

// The page's hooks (Module.page).
void kestrovan_page_title(const char* text);
void kestrovan_page_running();
void kestrovan_page_message(const char* text);
void kestrovan_page_ended(int code);
void kestrovan_page_exported(const char* file_name);

// <canvas id="editor">: 1 if it exists and has a 2D context (kept as
// Module.editorContext), else 0.
int kestrovan_open_canvas(int width, int height);
// Puts the picture on the canvas unless `changed` is 0 and the canvas
// already shows it; tells the page of the present either way.
void kestrovan_put_image(const void* rgba, int width, int height, int changed);
void kestrovan_close_canvas();

// The pause (asynchronous: the browser runs meanwhile). With rest set it goes
// on after `milliseconds` until input is posted, the tab is shown again or the
// canvas's context is restored.
void kestrovan_pause(unsigned milliseconds, int rest);
void kestrovan_input_posted();

// Input helpers.
int kestrovan_editor_pixel(int client_x, int client_y, int width, int height);
void kestrovan_focus_editor();
void kestrovan_ignore_touch_and_pen(int on);
}
