// The user-interface and GDI calls of the stand-in, shared by the window back
// ends. See window_backend.h for the model.
#include <algorithm>
#include <cstring>

#include "platform/common/window_backend.h"

namespace {

// ---- Handles ------------------------------------------------------------------

// Handles are addresses of private objects, so they are non-null, distinct and
// never mistaken for one another.
char module_object;
char icon_object;
char cursor_object;
char window_object;
char dc_object;

HINSTANCE module_handle() {
    return reinterpret_cast<HINSTANCE>(&module_object);
}
HWND window_handle() {
    return reinterpret_cast<HWND>(&window_object);
}
HDC dc_handle() {
    return reinterpret_cast<HDC>(&dc_object);
}

// An integer resource id travels in the low 16 bits of a name pointer.
bool is_int_resource(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF;
}
std::uintptr_t resource_id(LPCSTR name) {
    return reinterpret_cast<std::uintptr_t>(name);
}

// IDI_APPLICATION and IDC_ARROW.
constexpr std::uintptr_t STOCK_APPLICATION_ICON = 32512;
constexpr std::uintptr_t STOCK_ARROW_CURSOR = 32512;

// ---- Class registry -------------------------------------------------------------

constexpr int CLASS_CAPACITY = 16;
constexpr int CLASS_NAME_CAPACITY = 64;
constexpr ATOM FIRST_CLASS_ATOM = 0xC000;

struct ClassEntry {
    bool used;
    char name[CLASS_NAME_CAPACITY];
    WNDPROC procedure;
};

ClassEntry classes[CLASS_CAPACITY];

ClassEntry* find_class(LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (is_int_resource(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
        const int index = atom - FIRST_CLASS_ATOM;
        if (atom >= FIRST_CLASS_ATOM && index < CLASS_CAPACITY && classes[index].used) {
            return &classes[index];
        }
        return nullptr;
    }
    for (ClassEntry& entry : classes) {
        if (entry.used && std::strcmp(entry.name, name) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

// ---- The one window ---------------------------------------------------------------

struct WindowRecord {
    bool alive;
    bool visible;
    WNDPROC procedure;
    bool destroying;  // WM_DESTROY is being delivered
    int client_width;
    int client_height;
};

WindowRecord window;

bool is_live_window(HWND handle) {
    return window.alive && handle == window_handle();
}

// ---- Message queue --------------------------------------------------------------

// A ring of MESSAGE_QUEUE_CAPACITY messages, oldest at queue_head.
MSG queue[MESSAGE_QUEUE_CAPACITY];
int queue_head;
int queue_count;
bool quit_pending;
int quit_code;
DWORD message_clock;  // increases with every post, stamped as the message time

MSG& queued(int position) {
    return queue[(queue_head + position) % MESSAGE_QUEUE_CAPACITY];
}

MSG make_message(UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{};
    msg.hwnd = window_handle();
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = ++message_clock;
    return msg;
}

bool push_back(const MSG& msg) {
    if (queue_count == MESSAGE_QUEUE_CAPACITY) {
        return false;
    }
    queued(queue_count) = msg;
    ++queue_count;
    return true;
}

bool push_front(const MSG& msg) {
    if (queue_count == MESSAGE_QUEUE_CAPACITY) {
        return false;
    }
    queue_head = (queue_head + MESSAGE_QUEUE_CAPACITY - 1) % MESSAGE_QUEUE_CAPACITY;
    queue[queue_head] = msg;
    ++queue_count;
    return true;
}

void remove_at(int position) {
    if (position == 0) {
        queue_head = (queue_head + 1) % MESSAGE_QUEUE_CAPACITY;
    } else {
        for (int i = position; i + 1 < queue_count; ++i) {
            queued(i) = queued(i + 1);
        }
    }
    --queue_count;
}

// Drops every message addressed to the window, as its destruction does.
void discard_window_messages() {
    int kept = 0;
    for (int i = 0; i < queue_count; ++i) {
        if (queued(i).hwnd != window_handle()) {
            queued(kept++) = queued(i);
        }
    }
    queue_count = kept;
}

bool passes_filter(const MSG& msg, HWND filter_window, UINT filter_min, UINT filter_max) {
    if (filter_window != nullptr && msg.hwnd != filter_window) {
        return false;
    }
    if (filter_min == 0 && filter_max == 0) {
        return true;
    }
    return msg.message >= filter_min && msg.message <= filter_max;
}

// Looks for the first message passing the filter, then for the quit request.
// Copies it to *msg and, when remove is set, takes it off the queue.
bool take_message(MSG* msg, HWND filter_window, UINT filter_min, UINT filter_max, bool remove) {
    for (int i = 0; i < queue_count; ++i) {
        if (passes_filter(queued(i), filter_window, filter_min, filter_max)) {
            *msg = queued(i);
            if (remove) {
                remove_at(i);
            }
            return true;
        }
    }
    const bool quit_wanted =
        filter_window == nullptr &&
        ((filter_min == 0 && filter_max == 0) || (WM_QUIT >= filter_min && WM_QUIT <= filter_max));
    if (quit_pending && quit_wanted) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(static_cast<UINT>(quit_code));
        msg->time = message_clock;
        if (remove) {
            quit_pending = false;
        }
        return true;
    }
    return false;
}

// ---- Keyboard translation -------------------------------------------------------

// The character a key produces with no modifier held (US layout), or 0 when
// the key produces none.
WPARAM character_of_key(WPARAM key) {
    if (key >= '0' && key <= '9') {
        return key;
    }
    if (key >= 'A' && key <= 'Z') {
        return key - 'A' + 'a';
    }
    if (key >= 0x60 && key <= 0x69) {  // numeric keypad digits
        return key - 0x60 + '0';
    }
    switch (key) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_SPACE:
            return key;
        case 0x6A:
            return '*';
        case 0x6B:
            return '+';
        case 0x6D:
            return '-';
        case 0x6E:
            return '.';
        case 0x6F:
            return '/';
        case 0xBA:
            return ';';
        case 0xBB:
            return '=';
        case 0xBC:
            return ',';
        case 0xBD:
            return '-';
        case 0xBE:
            return '.';
        case 0xBF:
            return '/';
        case 0xC0:
            return '`';
        case 0xDB:
            return '[';
        case 0xDC:
            return '\\';
        case 0xDD:
            return ']';
        case 0xDE:
            return '\'';
        default:
            return 0;
    }
}

// ---- Frame ------------------------------------------------------------------------

// Grows a client rectangle to the outer rectangle of a window with this style.
void add_frame(RECT& rect, DWORD style, bool menu) {
    if ((style & WS_CAPTION) == WS_CAPTION) {
        rect.left -= WINDOW_BORDER;
        rect.right += WINDOW_BORDER;
        rect.top -= WINDOW_BORDER + WINDOW_CAPTION;
        rect.bottom += WINDOW_BORDER;
    }
    if (menu) {
        rect.top -= WINDOW_MENU_BAR;
    }
}

// ---- Call reports ---------------------------------------------------------------

struct CallReport {
    PlatformCall call{};

    explicit CallReport(const char* name) { call.name = name; }
    CallReport& arg(std::intptr_t value) {
        call.args[call.arg_count++] = value;
        return *this;
    }
    CallReport& arg(const void* pointer) { return arg(reinterpret_cast<std::intptr_t>(pointer)); }
    // A name argument: its address always, its text when it is a string.
    CallReport& text(LPCSTR name) {
        if (name != nullptr && !is_int_resource(name)) {
            call.strings[call.strings[0] == nullptr ? 0 : 1] = name;
        }
        return arg(static_cast<const void*>(name));
    }
    void send() { backend_note_call(call); }
};

}  // namespace

// ---- Back-end services ----------------------------------------------------------

bool post_window_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window.alive) {
        return false;
    }
    return push_back(make_message(message, wparam, lparam));
}

bool post_mouse_move(LPARAM position) {
    if (!window.alive) {
        return false;
    }
    if (queue_count > 0) {
        MSG& last = queued(queue_count - 1);
        if (last.message == WM_MOUSEMOVE && last.hwnd == window_handle()) {
            last.lParam = position;
            last.time = ++message_clock;
            return true;
        }
    }
    return push_back(make_message(WM_MOUSEMOVE, 0, position));
}

HWND current_window() {
    return window.alive ? window_handle() : nullptr;
}

int queued_message_count() {
    return queue_count;
}

void reset_window_system() {
    for (ClassEntry& entry : classes) {
        entry = ClassEntry{};
    }
    window = WindowRecord{};
    queue_head = 0;
    queue_count = 0;
    quit_pending = false;
    quit_code = 0;
    message_clock = 0;
}

// ---- Kernel: module ---------------------------------------------------------------

HMODULE GetModuleHandleA(LPCSTR module_name) {
    CallReport("GetModuleHandleA").text(module_name).send();
    // Only the program's own module is known.
    return module_name == nullptr ? module_handle() : nullptr;
}

void Sleep(DWORD milliseconds) {
    CallReport("Sleep").arg(static_cast<std::intptr_t>(milliseconds)).send();
    backend_sleep(milliseconds);
}

void ExitProcess(UINT exit_code) {
    CallReport("ExitProcess").arg(static_cast<std::intptr_t>(exit_code)).send();
    backend_exit_process(exit_code);
}

// ---- User interface ---------------------------------------------------------------

HICON LoadIconA(HINSTANCE instance, LPCSTR icon_name) {
    CallReport("LoadIconA").arg(instance).text(icon_name).send();
    // Only the system's stock application icon exists.
    return instance == nullptr && resource_id(icon_name) == STOCK_APPLICATION_ICON
               ? reinterpret_cast<HICON>(&icon_object)
               : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursor_name) {
    CallReport("LoadCursorA").arg(instance).text(cursor_name).send();
    // Only the system's stock arrow exists.
    return instance == nullptr && resource_id(cursor_name) == STOCK_ARROW_CURSOR
               ? reinterpret_cast<HCURSOR>(&cursor_object)
               : nullptr;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    CallReport report("AdjustWindowRect");
    report.arg(rect).arg(static_cast<std::intptr_t>(style)).arg(static_cast<std::intptr_t>(menu));
    report.call.rect = rect;
    report.send();
    if (rect == nullptr) {
        return FALSE;
    }
    add_frame(*rect, style, menu != FALSE);
    return TRUE;
}

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    CallReport report("RegisterClassA");
    report.arg(window_class);
    report.call.window_class = window_class;
    if (window_class != nullptr && window_class->lpszClassName != nullptr &&
        !is_int_resource(window_class->lpszClassName)) {
        report.call.strings[0] = window_class->lpszClassName;
    }
    report.send();

    if (window_class == nullptr || window_class->lpfnWndProc == nullptr ||
        window_class->lpszClassName == nullptr || is_int_resource(window_class->lpszClassName)) {
        return 0;
    }
    const std::size_t length = std::strlen(window_class->lpszClassName);
    if (length == 0 || length >= CLASS_NAME_CAPACITY ||
        find_class(window_class->lpszClassName) != nullptr) {
        return 0;
    }
    for (int i = 0; i < CLASS_CAPACITY; ++i) {
        if (!classes[i].used) {
            if (!backend_register_class(*window_class)) {
                return 0;
            }
            classes[i].used = true;
            std::memcpy(classes[i].name, window_class->lpszClassName, length + 1);
            classes[i].procedure = window_class->lpfnWndProc;
            return static_cast<ATOM>(FIRST_CLASS_ATOM + i);
        }
    }
    return 0;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    CallReport report("CreateWindowExA");
    report.arg(static_cast<std::intptr_t>(ex_style))
        .text(class_name)
        .text(window_name)
        .arg(static_cast<std::intptr_t>(style))
        .arg(static_cast<std::intptr_t>(x))
        .arg(static_cast<std::intptr_t>(y))
        .arg(static_cast<std::intptr_t>(width))
        .arg(static_cast<std::intptr_t>(height))
        .arg(parent)
        .arg(menu)
        .arg(instance)
        .arg(param)
        .send();

    const ClassEntry* entry = find_class(class_name);
    if (entry == nullptr || window.alive || parent != nullptr) {
        return nullptr;
    }
    // The client area is what is left inside the frame that AdjustWindowRect adds.
    RECT frame{0, 0, 0, 0};
    add_frame(frame, style, menu != nullptr);
    const int client_width = width - (frame.right - frame.left);
    const int client_height = height - (frame.bottom - frame.top);
    if (client_width < 0 || client_height < 0) {
        return nullptr;
    }
    if (!backend_create_window(window_name != nullptr ? window_name : "", x, y, client_width,
                               client_height)) {
        return nullptr;
    }
    window = WindowRecord{};
    window.alive = true;
    window.procedure = entry->procedure;
    window.client_width = client_width;
    window.client_height = client_height;
    if (window.procedure(window_handle(), WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window_handle());
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0) {
        window.visible = true;
        backend_show_window(true);
    }
    return window_handle();
}

BOOL ShowWindow(HWND handle, int show_command) {
    CallReport("ShowWindow").arg(handle).arg(static_cast<std::intptr_t>(show_command)).send();
    if (!is_live_window(handle)) {
        return FALSE;
    }
    const BOOL was_visible = window.visible ? TRUE : FALSE;
    window.visible = show_command != SW_HIDE;
    backend_show_window(window.visible);
    return was_visible;
}

HDC GetDC(HWND handle) {
    CallReport("GetDC").arg(handle).send();
    return is_live_window(handle) ? dc_handle() : nullptr;
}

int ReleaseDC(HWND handle, HDC dc) {
    CallReport("ReleaseDC").arg(handle).arg(dc).send();
    return is_live_window(handle) && dc == dc_handle() ? 1 : 0;
}

BOOL DestroyWindow(HWND handle) {
    CallReport("DestroyWindow").arg(handle).send();
    if (!is_live_window(handle) || window.destroying) {
        return FALSE;
    }
    // The procedure hears WM_DESTROY while the window still exists; after it
    // the window and every message waiting for it are gone.
    window.destroying = true;
    window.procedure(handle, WM_DESTROY, 0, 0);
    backend_destroy_window();
    discard_window_messages();
    window = WindowRecord{};
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND filter_window, UINT filter_min, UINT filter_max, UINT remove) {
    CallReport("PeekMessageA")
        .arg(msg)
        .arg(filter_window)
        .arg(static_cast<std::intptr_t>(filter_min))
        .arg(static_cast<std::intptr_t>(filter_max))
        .arg(static_cast<std::intptr_t>(remove))
        .send();
    if (msg == nullptr) {
        return FALSE;
    }
    backend_pump_events(false);
    return take_message(msg, filter_window, filter_min, filter_max, (remove & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND filter_window, UINT filter_min, UINT filter_max) {
    CallReport("GetMessageA")
        .arg(msg)
        .arg(filter_window)
        .arg(static_cast<std::intptr_t>(filter_min))
        .arg(static_cast<std::intptr_t>(filter_max))
        .send();
    if (msg == nullptr || (filter_window != nullptr && !is_live_window(filter_window))) {
        return -1;
    }
    backend_pump_events(false);
    while (!take_message(msg, filter_window, filter_min, filter_max, true)) {
        backend_pump_events(true);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    CallReport report("TranslateMessage");
    report.arg(msg);
    report.call.msg = msg;
    report.send();
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    const WPARAM character = character_of_key(msg->wParam);
    if (character != 0) {
        // The character message is the next one fetched.
        MSG char_message = *msg;
        char_message.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
        char_message.wParam = character;
        push_front(char_message);
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    CallReport report("DispatchMessageA");
    report.arg(msg);
    report.call.msg = msg;
    report.send();
    if (msg == nullptr || !is_live_window(msg->hwnd)) {
        return 0;
    }
    return window.procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    CallReport("DefWindowProcA")
        .arg(handle)
        .arg(static_cast<std::intptr_t>(message))
        .arg(static_cast<std::intptr_t>(wparam))
        .arg(lparam)
        .send();
    if (message == WM_CLOSE) {
        DestroyWindow(handle);
    } else if (message == WM_SYSKEYDOWN && wparam == VK_F4 && is_live_window(handle)) {
        // Alt+F4 is a close request, as from the system menu, even when no
        // window manager turns it into one for us.
        window.procedure(handle, WM_CLOSE, 0, 0);
    }
    return 0;
}

void PostQuitMessage(int exit_code) {
    CallReport("PostQuitMessage").arg(static_cast<std::intptr_t>(exit_code)).send();
    quit_pending = true;
    quit_code = exit_code;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    CallReport("MessageBoxA")
        .arg(owner)
        .text(text)
        .text(caption)
        .arg(static_cast<std::intptr_t>(type))
        .send();
    // With no caption the system's default one is used.
    return backend_message_box(text != nullptr ? text : "", caption != nullptr ? caption : "Error",
                               type);
}

// ---- Graphics device interface ----------------------------------------------------

int StretchDIBits(HDC dc, int dest_x, int dest_y, int dest_width, int dest_height, int src_x,
                  int src_y, int src_width, int src_height, const void* bits,
                  const BITMAPINFO* bitmap_info, UINT usage, DWORD raster_op) {
    CallReport report("StretchDIBits");
    report.arg(dc)
        .arg(static_cast<std::intptr_t>(dest_x))
        .arg(static_cast<std::intptr_t>(dest_y))
        .arg(static_cast<std::intptr_t>(dest_width))
        .arg(static_cast<std::intptr_t>(dest_height))
        .arg(static_cast<std::intptr_t>(src_x))
        .arg(static_cast<std::intptr_t>(src_y))
        .arg(static_cast<std::intptr_t>(src_width))
        .arg(static_cast<std::intptr_t>(src_height))
        .arg(bits)
        .arg(bitmap_info)
        .arg(static_cast<std::intptr_t>(usage))
        .arg(static_cast<std::intptr_t>(raster_op));
    report.call.bitmap_info = bitmap_info;
    report.send();

    // Only what the program draws with is supported: a 1:1 plain copy from an
    // uncompressed, top-down 32-bit image, the source inside the image.
    if (!window.alive || dc != dc_handle() || bits == nullptr || bitmap_info == nullptr ||
        usage != DIB_RGB_COLORS || raster_op != SRCCOPY) {
        return 0;
    }
    const BITMAPINFOHEADER& header = bitmap_info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 ||
        header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 ||
        header.biHeight >= 0) {
        return 0;
    }
    const long long image_width = header.biWidth;
    const long long image_height = -static_cast<long long>(header.biHeight);
    if (dest_width != src_width || dest_height != src_height || src_width < 0 || src_height < 0 ||
        src_x < 0 || src_y < 0 || src_x + static_cast<long long>(src_width) > image_width ||
        src_y + static_cast<long long>(src_height) > image_height) {
        return 0;
    }
    // Clip the destination to the client area; the source follows.
    const long long left = std::max<long long>(dest_x, 0);
    const long long top = std::max<long long>(dest_y, 0);
    const long long right =
        std::min<long long>(dest_x + static_cast<long long>(src_width), window.client_width);
    const long long bottom =
        std::min<long long>(dest_y + static_cast<long long>(src_height), window.client_height);
    if (left < right && top < bottom) {
        const auto* words = static_cast<const std::uint32_t*>(bits);
        PresentRequest request{};
        request.first = words + (src_y + (top - dest_y)) * image_width + (src_x + (left - dest_x));
        request.pitch_words = static_cast<int>(image_width);
        request.dest_x = static_cast<int>(left);
        request.dest_y = static_cast<int>(top);
        request.width = static_cast<int>(right - left);
        request.height = static_cast<int>(bottom - top);
        backend_present(request);
    }
    // The number of source rows copied.
    return src_height;
}
