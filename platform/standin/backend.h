// The one interface between the stand-in's shared core (window_core.cpp,
// message_queue.cpp, files.cpp) and a back end (headless/, sdl/, web/). The
// core implements the Windows calls once; a back end defines exactly the
// functions under "Implemented by each back end" and nothing else of the API.
//
// - One window class and one window at a time. The back end shows the
//   window's client area; the outer size follows from the frame metrics
//   below, so AdjustWindowRect and CreateWindowExA always agree.
// - One thread. The window procedure runs synchronously inside
//   DispatchMessageA, CreateWindowExA (WM_CREATE), DestroyWindow (WM_DESTROY)
//   and DefWindowProcA (WM_CLOSE).
// - One queue of fixed capacity. A back end posts native input into it from
//   backend_pump_events (called by PeekMessageA and GetMessageA before they
//   look) or from any callback of its own on the program's thread.
// - The quit request is a flag, fetched only once no other message waits.
// - A name pointer below 0x10000 is an integer id (MAKEINTRESOURCE), as on
//   Windows, where nothing lives in the first 64 KiB. A platform that puts
//   data there must move it up (the web build links its data at 64 KiB).
#pragma once

#include <cstdint>

#include "platform/standin/windows_standin.h"

// A window with a caption has a border of BORDER_WIDTH pixels on every side
// and a caption bar CAPTION_HEIGHT pixels high above the client area.
constexpr int BORDER_WIDTH = 3;
constexpr int CAPTION_HEIGHT = 19;

// As the default posted-message limit on Windows: posting to a full queue fails.
constexpr int MESSAGE_QUEUE_CAPACITY = 10000;

// A top-down 32-bit image shown 1:1 at the client's top-left corner, already
// clipped to the client; row r starts at pixels + r * pitch_words. The low 24
// bits of a word are the colour, blue lowest; the top byte is never shown.
struct FrameImage {
    const std::uint32_t* pixels;
    int pitch_words;
    int width;
    int height;
};

// ---- Windows' input conventions, for every back end ------------------------------

// A keystroke as Windows delivers it: a system key while Alt is held and for
// F10; lparam holds the repeat count 1, then the context code (Alt held), the
// previous key state and the transition state.
struct Keystroke {
    UINT message;
    LPARAM lparam;
};
constexpr Keystroke keystroke(int virtual_key, bool pressed, bool repeat, bool alt) {
    const bool system = alt || virtual_key == VK_F10;
    LPARAM lparam = 1;
    lparam |= alt ? LPARAM{1} << 29 : 0;
    lparam |= !pressed || repeat ? LPARAM{1} << 30 : 0;
    lparam |= pressed ? 0 : static_cast<LPARAM>(0x80000000u);
    if (pressed) {
        return {system ? WM_SYSKEYDOWN : WM_KEYDOWN, lparam};
    }
    return {system ? WM_SYSKEYUP : WM_KEYUP, lparam};
}

// ---- Implemented by each back end ---------------------------------------------

// Whether the back end accepts the (already checked) class. A real one does.
bool backend_register_class(const WNDCLASSA& window_class);

// Creates the native window, hidden, with a client area of exactly
// client_width x client_height and its outer window at (x, y). False if it
// cannot; CreateWindowExA then fails.
bool backend_create_window(const char* caption, int x, int y, int client_width, int client_height);
void backend_show_window(bool visible);
void backend_destroy_window();

// Shows the image. Called only while the window exists. False if it could not.
bool backend_present(const FrameImage& image);

// Moves pending native input into the queue. With wait set, returns once at
// least one message was posted or after a short while; the caller asks again.
void backend_pump_events(bool wait);

void backend_sleep(DWORD milliseconds);
[[noreturn]] void backend_exit_process(UINT exit_code);

// Shows the text where the user sees it; returns the button pressed (1 = OK).
int backend_message_box(const char* text, const char* caption, UINT type);

// ---- Provided by the core -----------------------------------------------------

// Posts a message for the window at the end of the queue. False when there
// is no window or the queue is full. A WM_MOUSEMOVE replaces a pending move
// when that move is the last message waiting, so input is never reordered and
// the newest position always wins.
bool post_window_message(UINT message, WPARAM wparam, LPARAM lparam);

// Messages waiting (the quit request not counted).
int queued_message_count();

// Whether the next fetch would find something: a message, or the quit request.
// A pause may rest only while this is false.
bool message_waiting();

// Forgets the class, the window (without telling the back end), every queued
// message and the quit request: the state of a fresh process.
void reset_window_system();

// Called with the new name after every MoveFileExA that succeeded, so a back
// end can tell its user that a file is now complete. Null (the start) for none.
using FileMovedHandler = void (*)(const char* new_name);
void set_file_moved_handler(FileMovedHandler handler);
