// The user-interface, GDI and process calls of the stand-in: the one window
// class, the one window, dispatch, default processing and presentation
// checks. The message queue is in message_queue.cpp. Arguments the stand-in
// does not support make a call return its documented failure value and do
// nothing.
#include <algorithm>
#include <cstring>

#include "platform/standin/backend.h"
#include "platform/standin/window_core.h"

namespace {

// Handles are addresses of private objects: non-null, distinct, never
// mistaken for one another.
char module_object;
char icon_object;
char cursor_object;
char window_object;
char dc_object;

template <typename Handle>
Handle handle_of(char& object) {
    return reinterpret_cast<Handle>(&object);
}

// A stock resource is named by an integer id carried in the name pointer.
bool names_stock_resource(HINSTANCE instance, LPCSTR name, std::uintptr_t id) {
    return instance == nullptr && reinterpret_cast<std::uintptr_t>(name) == id;
}
constexpr std::uintptr_t STOCK_APPLICATION_ICON = 32512;  // IDI_APPLICATION
constexpr std::uintptr_t STOCK_ARROW_CURSOR = 32512;      // IDC_ARROW

// The one class: its name and procedure, registered once per process.
constexpr int CLASS_NAME_CAPACITY = 64;
constexpr ATOM CLASS_ATOM = 0xC000;
char class_name[CLASS_NAME_CAPACITY];
WNDPROC class_procedure;

bool is_text(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) > 0xFFFF;
}

struct WindowRecord {
    bool alive;
    bool visible;
    bool destroying;  // WM_DESTROY is being delivered
    int client_width;
    int client_height;
};
WindowRecord window;

// The frame a window of this style has around its client area.
RECT frame_of(DWORD style) {
    if ((style & WS_CAPTION) != WS_CAPTION) {
        return RECT{0, 0, 0, 0};
    }
    return RECT{-BORDER_WIDTH, -(BORDER_WIDTH + CAPTION_HEIGHT), BORDER_WIDTH, BORDER_WIDTH};
}

bool is_live_window(HWND handle) {
    return window.alive && handle == handle_of<HWND>(window_object);
}

}  // namespace

void reset_window_system() {
    class_name[0] = '\0';
    class_procedure = nullptr;
    window = WindowRecord{};
    reset_message_queue();
}

// ---- Kernel: module, pause, exit ----------------------------------------------

HMODULE GetModuleHandleA(LPCSTR module_name) {
    // Only the program's own module is known.
    return module_name == nullptr ? handle_of<HMODULE>(module_object) : nullptr;
}

void Sleep(DWORD milliseconds) {
    backend_sleep(milliseconds);
}

void ExitProcess(UINT exit_code) {
    backend_exit_process(exit_code);
}

// ---- User interface -------------------------------------------------------------

HICON LoadIconA(HINSTANCE instance, LPCSTR icon_name) {
    return names_stock_resource(instance, icon_name, STOCK_APPLICATION_ICON)
               ? handle_of<HICON>(icon_object)
               : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursor_name) {
    return names_stock_resource(instance, cursor_name, STOCK_ARROW_CURSOR)
               ? handle_of<HCURSOR>(cursor_object)
               : nullptr;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    if (rect == nullptr || menu != FALSE) {  // no menu bars here
        return FALSE;
    }
    const RECT frame = frame_of(style);
    rect->left += frame.left;
    rect->top += frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    if (window_class == nullptr || window_class->lpfnWndProc == nullptr ||
        !is_text(window_class->lpszClassName) || class_procedure != nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(window_class->lpszClassName);
    if (length == 0 || length >= CLASS_NAME_CAPACITY || !backend_register_class(*window_class)) {
        return 0;
    }
    std::memcpy(class_name, window_class->lpszClassName, length + 1);
    class_procedure = window_class->lpfnWndProc;
    return CLASS_ATOM;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name_or_atom, LPCSTR window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE /*instance*/, LPVOID /*param*/) {
    if (ex_style != 0 || parent != nullptr || menu != nullptr || window.alive ||
        class_procedure == nullptr || !is_text(class_name_or_atom) ||
        std::strcmp(class_name_or_atom, class_name) != 0) {
        return nullptr;
    }
    // The client area is what is left inside the frame that AdjustWindowRect adds.
    const RECT frame = frame_of(style);
    const int client_width = width - (frame.right - frame.left);
    const int client_height = height - (frame.bottom - frame.top);
    if (client_width < 0 || client_height < 0 ||
        !backend_create_window(window_name != nullptr ? window_name : "", x, y, client_width,
                               client_height)) {
        return nullptr;
    }
    window = WindowRecord{true, false, false, client_width, client_height};
    const HWND handle = handle_of<HWND>(window_object);
    queue_messages_for(handle);
    if (class_procedure(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL ShowWindow(HWND handle, int show_command) {
    if (!is_live_window(handle)) {
        return FALSE;
    }
    const BOOL was_visible = window.visible ? TRUE : FALSE;
    window.visible = show_command != SW_HIDE;
    backend_show_window(window.visible);
    return was_visible;
}

HDC GetDC(HWND handle) {
    return is_live_window(handle) ? handle_of<HDC>(dc_object) : nullptr;
}

int ReleaseDC(HWND handle, HDC dc) {
    return is_live_window(handle) && dc == handle_of<HDC>(dc_object) ? 1 : 0;
}

BOOL DestroyWindow(HWND handle) {
    if (!is_live_window(handle) || window.destroying) {
        return FALSE;
    }
    // The procedure hears WM_DESTROY while the window still exists; after it
    // the window and every message waiting for it are gone.
    window.destroying = true;
    class_procedure(handle, WM_DESTROY, 0, 0);
    backend_destroy_window();
    discard_window_messages();
    window = WindowRecord{};
    return TRUE;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
    if (message == WM_CLOSE) {
        DestroyWindow(handle);
    } else if (message == WM_SYSKEYDOWN && wparam == VK_F4 && is_live_window(handle)) {
        // Alt+F4 is a close request, as from the system menu, even when no
        // window manager turns it into one for us.
        class_procedure(handle, WM_CLOSE, 0, 0);
    }
    return 0;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || !is_live_window(msg->hwnd)) {
        return 0;
    }
    return class_procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (owner != nullptr && !is_live_window(owner)) {
        return 0;
    }
    // With no caption the system's default one is used.
    return backend_message_box(text != nullptr ? text : "", caption != nullptr ? caption : "Error",
                               type);
}

// ---- Graphics device interface ----------------------------------------------------

int StretchDIBits(HDC dc, int dest_x, int dest_y, int dest_width, int dest_height, int src_x,
                  int src_y, int src_width, int src_height, const void* bits,
                  const BITMAPINFO* bitmap_info, UINT usage, DWORD raster_op) {
    // Only what the program draws with: a plain 1:1 copy of an uncompressed,
    // top-down 32-bit image from its top-left corner to the client's.
    if (!window.alive || dc != handle_of<HDC>(dc_object) || bits == nullptr ||
        bitmap_info == nullptr || usage != DIB_RGB_COLORS || raster_op != SRCCOPY) {
        return 0;
    }
    const BITMAPINFOHEADER& header = bitmap_info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 ||
        header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 ||
        header.biHeight >= 0) {
        return 0;
    }
    const bool one_to_one = dest_width == src_width && dest_height == src_height;
    const bool from_corner_to_corner = dest_x == 0 && dest_y == 0 && src_x == 0 && src_y == 0;
    const bool inside_image = src_width > 0 && src_height > 0 && src_width <= header.biWidth &&
                              src_height <= -static_cast<long long>(header.biHeight);
    if (!one_to_one || !from_corner_to_corner || !inside_image) {
        return 0;
    }
    // What lies past the client area is not shown.
    const FrameImage image{static_cast<const std::uint32_t*>(bits), header.biWidth,
                           std::min(src_width, window.client_width),
                           std::min(src_height, window.client_height)};
    if (image.width > 0 && image.height > 0 && !backend_present(image)) {
        return 0;  // as on Windows: a present that failed copied no rows
    }
    return src_height;  // the number of rows copied
}
