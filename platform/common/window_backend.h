// The window system shared by every window back end on systems other than
// Windows. window_system.cpp implements the user-interface and GDI calls of the
// stand-in header once (class registry, the one window, the message queue,
// default processing, presentation checks); a back end supplies only what
// differs between a real window and a test harness, through the functions
// declared under "Implemented by each back end" below.
//
// Model:
// - One window at a time. Its client area is what the back end shows; its
//   outer size is worked out with the frame metrics below, so AdjustWindowRect
//   and CreateWindowExA always agree and the client is exactly what the
//   program asked for.
// - One thread. Window procedures run synchronously inside DispatchMessageA,
//   CreateWindowExA (WM_CREATE), DestroyWindow (WM_DESTROY) and
//   DefWindowProcA (WM_CLOSE).
// - One message queue of fixed capacity. Back ends move native input into it
//   with post_window_message / post_mouse_move from backend_pump_events, which
//   PeekMessageA and GetMessageA call before they look at the queue.
// - The quit request is a flag, as on Windows: GetMessageA and PeekMessageA
//   report WM_QUIT only once no other message is waiting.
#pragma once

#include <cstdint>

#include "platform/standin/windows_standin.h"

// ---- Frame metrics ----------------------------------------------------------

// A window with a caption has a border of WINDOW_BORDER pixels on every side
// and a caption bar of WINDOW_CAPTION pixels above the client area; a menu bar
// adds WINDOW_MENU_BAR more. A window without a caption has no frame.
constexpr int WINDOW_BORDER = 3;
constexpr int WINDOW_CAPTION = 19;
constexpr int WINDOW_MENU_BAR = 19;

// Capacity of the message queue, as the default posted-message limit on
// Windows. Posting to a full queue fails.
constexpr int MESSAGE_QUEUE_CAPACITY = 10000;

// ---- Records passed to back ends -------------------------------------------

// One 1:1 copy of part of a top-down 32-bit image into the client area,
// already clipped to the client. Row r of the copy starts at
// first + r * pitch_words and lands on client row dest_y + r. Only the low
// 24 bits of each word are colour (blue in bits 0-7, green 8-15, red 16-23);
// the top byte is to be ignored.
struct PresentRequest {
    const std::uint32_t* first;
    int pitch_words;
    int dest_x;
    int dest_y;
    int width;
    int height;
};

// A platform call as the program made it, reported to the back end on entry,
// before the call does anything. Pointers are valid only during the report.
struct PlatformCall {
    const char* name;               // the platform name, e.g. "CreateWindowExA"
    int arg_count;                  // number of entries used in args
    std::intptr_t args[13];         // every argument in order; pointers as addresses
    const char* strings[2];         // string arguments in order (null when absent or
                                    // when the argument is an integer resource id)
    const WNDCLASSA* window_class;  // RegisterClassA's record
    const RECT* rect;               // AdjustWindowRect's rectangle, before adjustment
    const BITMAPINFO* bitmap_info;  // StretchDIBits' bitmap description
    const MSG* msg;                 // TranslateMessage's and DispatchMessageA's message
};

// ---- Implemented by each back end ------------------------------------------

// Whether the back end accepts a window class; the registry has already
// checked the record itself. A real back end accepts every class.
bool backend_register_class(const WNDCLASSA& window_class);

// Creates the native window, not yet shown, with a client area of exactly
// client_width x client_height at screen position (x, y) of the outer
// window. Returns false if it cannot; CreateWindowExA then fails.
bool backend_create_window(const char* caption, int x, int y, int client_width, int client_height);
void backend_show_window(bool visible);
void backend_destroy_window();

// Shows a region of an image in the client area. Called only while a window
// exists, with a region inside the client area.
void backend_present(const PresentRequest& request);

// Moves pending native input into the queue (post_window_message,
// post_mouse_move). With wait set, blocks until at least one message has
// been posted; it may return early, the caller asks again.
void backend_pump_events(bool wait);

void backend_sleep(DWORD milliseconds);
[[noreturn]] void backend_exit_process(UINT exit_code);

// Shows a message box (or, where none can be shown, writes the text where a
// user will see it) and returns the button pressed (1 for OK).
int backend_message_box(const char* text, const char* caption, UINT type);

// Reports each platform call on entry. A real back end ignores it.
void backend_note_call(const PlatformCall& call);

// ---- Provided to back ends --------------------------------------------------

// Posts a message for the window at the end of the queue. Fails (false) when
// there is no window or the queue is full.
bool post_window_message(UINT message, WPARAM wparam, LPARAM lparam);

// Posts a WM_MOUSEMOVE with the packed client position. A new move replaces a
// pending move only when that move is the last message waiting, so input is
// never reordered and the newest position always wins.
bool post_mouse_move(LPARAM position);

// The window while it exists, else null.
HWND current_window();

// Number of messages waiting (the quit request not counted).
int queued_message_count();

// Forgets every class, the window (without telling the back end), every
// queued message and the quit request: the state of a fresh process.
void reset_window_system();
