// The browser back end: the editor is <canvas id="editor"> in our page, the
// program is WebAssembly on the page's own thread. With Asyncify every Sleep
// hands the thread back to the browser; the input callbacks registered here
// run during those pauses and post into the queue, so the frame loop keeps
// its desktop shape: compose, present, pause, at most one message a pass.
//
// The page's hooks (Module.page) and the rest the back end keeps on Module
// are listed at the top of web_library.js.
#include <emscripten.h>
#include <emscripten/html5.h>

#include "platform/standin/backend.h"
#include "platform/standin/web/web_library.h"
#include "platform/standin/web/web_present.h"

namespace {

constexpr const char* EDITOR = "#editor";
constexpr int LEFT_BUTTON = 0;

// While GetMessageA waits on an empty queue, the browser gets the thread for
// this long at a time.
constexpr unsigned WAIT_SLICE_MILLISECONDS = 4;

bool window_open = false;
int client_width = 0;
int client_height = 0;

// A resting pause ends once input has been posted.
void posted(bool any) {
    if (any) {
        kestrovan_input_posted();
    }
}

EM_BOOL on_mouse(int event_type, const EmscriptenMouseEvent* event, void* /*user_data*/) {
    if (kestrovan_mouse_wanted() == 0) {
        return EM_FALSE;  // made up from touch or pen, or another pointer holds the editor
    }
    if (event_type == EMSCRIPTEN_EVENT_MOUSEDOWN) {
        kestrovan_focus_editor();
    }
    const int position =
        kestrovan_editor_pixel(event->clientX, event->clientY, client_width, client_height);
    if (position >= 0) {
        const LPARAM lparam = static_cast<LPARAM>(position);
        const bool left = event->button == LEFT_BUTTON;
        switch (event_type) {
            case EMSCRIPTEN_EVENT_MOUSEMOVE:
                posted(post_window_message(WM_MOUSEMOVE, 0, lparam));
                break;
            case EMSCRIPTEN_EVENT_MOUSEDOWN:
                if (left) {
                    posted(post_window_message(WM_LBUTTONDOWN, MK_LBUTTON, lparam));
                }
                break;
            case EMSCRIPTEN_EVENT_MOUSEUP:
                if (left) {
                    posted(post_window_message(WM_LBUTTONUP, 0, lparam));
                }
                break;
            default:
                break;
        }
    }
    // A press selects no text and starts no native drag.
    return event_type == EMSCRIPTEN_EVENT_MOUSEDOWN ? EM_TRUE : EM_FALSE;
}

// Browsers report the Windows virtual-key code as keyCode for the keys that
// matter here. Tab and Escape never reach the browser: Tab must not move
// the focus away from the editor. Shift+Tab, the web's way out of a widget,
// is the browser's alone: it leaves the editor for the control before it.
EM_BOOL on_key(int event_type, const EmscriptenKeyboardEvent* event, void* /*user_data*/) {
    const auto key = static_cast<WPARAM>(event->keyCode);
    if (key == 0 || key > 0xFE || (key == VK_TAB && event->shiftKey != 0)) {
        return EM_FALSE;
    }
    // With Alt held a key is a system key, as on Windows (Alt+F4 closes).
    const Keystroke stroke =
        keystroke(static_cast<int>(key), event_type == EMSCRIPTEN_EVENT_KEYDOWN, event->repeat != 0,
                  event->altKey != 0);
    posted(post_window_message(stroke.message, key, stroke.lparam));
    return key == VK_TAB || key == VK_ESCAPE ? EM_TRUE : EM_FALSE;
}

void take_input(bool on) {
    em_mouse_callback_func mouse = on ? on_mouse : nullptr;
    em_key_callback_func key = on ? on_key : nullptr;
    emscripten_set_mousedown_callback(EDITOR, nullptr, EM_FALSE, mouse);
    emscripten_set_mousemove_callback(EDITOR, nullptr, EM_FALSE, mouse);
    emscripten_set_mouseup_callback(EDITOR, nullptr, EM_FALSE, mouse);
    emscripten_set_keydown_callback(EDITOR, nullptr, EM_FALSE, key);
    emscripten_set_keyup_callback(EDITOR, nullptr, EM_FALSE, key);
}

// A file the program writes is complete once its replacing rename succeeded:
// the page offers it then, under its own name.
void on_file_moved(const char* new_name) {
    kestrovan_page_exported(new_name);
}

bool inside_client(int position) {
    return position >= 0 && (position & 0xFFFF) < client_width && (position >> 16) < client_height;
}

}  // namespace

// Touch, pen and the page's own controls reach the program as the mouse's
// messages: action 0 presses the left button, 1 moves, 2 releases it.
extern "C" EMSCRIPTEN_KEEPALIVE void kestrovan_pointer(int action, int position) {
    constexpr UINT MESSAGES[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP};
    if (!window_open || !inside_client(position) || action < 0 || action > 2) {
        return;
    }
    const UINT message = MESSAGES[action];
    const WPARAM wparam = message == WM_LBUTTONDOWN ? MK_LBUTTON : 0;
    posted(post_window_message(message, wparam, static_cast<LPARAM>(position)));
}

// A key on screen: its key-down and key-up as the keyboard gives them; the
// loop's TranslateMessage makes its character, as for the keyboard's.
extern "C" EMSCRIPTEN_KEEPALIVE void kestrovan_press_key(int virtual_key) {
    if (virtual_key <= 0 || virtual_key > 0xFE) {
        return;
    }
    const auto key = static_cast<WPARAM>(virtual_key);
    const Keystroke down = keystroke(virtual_key, true, false, false);
    const Keystroke up = keystroke(virtual_key, false, false, false);
    posted(post_window_message(down.message, key, down.lparam));
    posted(post_window_message(up.message, key, up.lparam));
}

bool backend_register_class(const WNDCLASSA& /*window_class*/) {
    return true;
}

bool backend_create_window(const char* caption, int /*x*/, int /*y*/, int width, int height) {
    if (window_open || !open_editor_canvas(width, height)) {
        return false;
    }
    window_open = true;
    client_width = width;
    client_height = height;
    kestrovan_page_title(caption);
    set_file_moved_handler(on_file_moved);
    take_input(true);
    kestrovan_take_pointers(width, height);
    return true;
}

void backend_show_window(bool visible) {
    if (window_open && visible) {
        kestrovan_focus_editor();
        kestrovan_page_running();
    }
}

void backend_destroy_window() {
    if (!window_open) {
        return;
    }
    take_input(false);
    set_file_moved_handler(nullptr);
    close_editor_canvas();  // the last picture stays on the page; touch and pen go
    window_open = false;
}

bool backend_present(const FrameImage& image) {
    return present_to_editor(image);
}

// Input arrives only while the thread is the browser's, so waiting is a pause.
void backend_pump_events(bool wait) {
    if (wait) {
        emscripten_sleep(WAIT_SLICE_MILLISECONDS);
    }
}

// At least the time asked; with nothing waiting to be fetched, on until
// something needs the program, so an idle editor makes no passes. After
// Escape the quit request waits and no event will come: no rest then.
void backend_sleep(DWORD milliseconds) {
    kestrovan_pause(milliseconds, message_waiting() ? 0 : 1);
}

void backend_exit_process(UINT exit_code) {
    backend_destroy_window();
    kestrovan_page_ended(static_cast<int>(exit_code));
    emscripten_force_exit(static_cast<int>(exit_code));
}

int backend_message_box(const char* text, const char* /*caption*/, UINT /*type*/) {
    kestrovan_page_message(text);
    return 1;  // IDOK
}
