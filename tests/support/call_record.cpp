#include "tests/support/call_record.h"

#include <type_traits>

namespace {

std::vector<recorded::Call> log;
bool recording = true;

template <typename T>
std::intptr_t as_arg(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<std::intptr_t>(value);
    } else {
        return static_cast<std::intptr_t>(value);
    }
}

// Appends the call; while recording is off, fills a scratch record instead.
template <typename... Args>
recorded::Call& note(const char* name, Args... args) {
    static recorded::Call scratch;
    if (!recording) {
        scratch = recorded::Call{};
        return scratch;
    }
    log.push_back(recorded::Call{name, {as_arg(args)...}, {}, {}, {}, {}, {}});
    return log.back();
}

// A name argument is text unless it is an integer id in the pointer.
recorded::Call& text(recorded::Call& call, LPCSTR name) {
    if (reinterpret_cast<std::uintptr_t>(name) > 0xFFFF) {
        call.strings.emplace_back(name);
    }
    return call;
}

}  // namespace

namespace recorded {

void reset() {
    log.clear();
    recording = true;
}
void set_recording(bool on) {
    recording = on;
}
const std::vector<Call>& calls() {
    return log;
}
std::vector<std::string> call_names() {
    std::vector<std::string> names;
    for (const Call& call : log) {
        names.push_back(call.name);
    }
    return names;
}

}  // namespace recorded

// The wrappers: each records, then calls the real function (__real_X is X).
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" {

HMODULE __real_GetModuleHandleA(LPCSTR);
HMODULE __wrap_GetModuleHandleA(LPCSTR module_name) {
    text(note("GetModuleHandleA", module_name), module_name);
    return __real_GetModuleHandleA(module_name);
}

void __real_Sleep(DWORD);
void __wrap_Sleep(DWORD milliseconds) {
    note("Sleep", milliseconds);
    __real_Sleep(milliseconds);
}

[[noreturn]] void __real_ExitProcess(UINT);
[[noreturn]] void __wrap_ExitProcess(UINT exit_code) {
    note("ExitProcess", exit_code);
    __real_ExitProcess(exit_code);
}

HICON __real_LoadIconA(HINSTANCE, LPCSTR);
HICON __wrap_LoadIconA(HINSTANCE instance, LPCSTR name) {
    text(note("LoadIconA", instance, name), name);
    return __real_LoadIconA(instance, name);
}

HCURSOR __real_LoadCursorA(HINSTANCE, LPCSTR);
HCURSOR __wrap_LoadCursorA(HINSTANCE instance, LPCSTR name) {
    text(note("LoadCursorA", instance, name), name);
    return __real_LoadCursorA(instance, name);
}

BOOL __real_AdjustWindowRect(RECT*, DWORD, BOOL);
BOOL __wrap_AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    recorded::Call& call = note("AdjustWindowRect", rect, style, menu);
    if (rect != nullptr) {
        call.rect = *rect;
    }
    return __real_AdjustWindowRect(rect, style, menu);
}

ATOM __real_RegisterClassA(const WNDCLASSA*);
ATOM __wrap_RegisterClassA(const WNDCLASSA* window_class) {
    recorded::Call& call = note("RegisterClassA", window_class);
    if (window_class != nullptr) {
        call.window_class = *window_class;
        text(call, window_class->lpszClassName);
    }
    return __real_RegisterClassA(window_class);
}

HWND __real_CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                            HINSTANCE, LPVOID);
HWND __wrap_CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    recorded::Call& call = note("CreateWindowExA", ex_style, class_name, window_name, style, x, y,
                                width, height, parent, menu, instance, param);
    text(text(call, class_name), window_name);
    return __real_CreateWindowExA(ex_style, class_name, window_name, style, x, y, width, height,
                                  parent, menu, instance, param);
}

BOOL __real_ShowWindow(HWND, int);
BOOL __wrap_ShowWindow(HWND window, int show_command) {
    note("ShowWindow", window, show_command);
    return __real_ShowWindow(window, show_command);
}

HDC __real_GetDC(HWND);
HDC __wrap_GetDC(HWND window) {
    note("GetDC", window);
    return __real_GetDC(window);
}

int __real_ReleaseDC(HWND, HDC);
int __wrap_ReleaseDC(HWND window, HDC dc) {
    note("ReleaseDC", window, dc);
    return __real_ReleaseDC(window, dc);
}

BOOL __real_DestroyWindow(HWND);
BOOL __wrap_DestroyWindow(HWND window) {
    note("DestroyWindow", window);
    return __real_DestroyWindow(window);
}

BOOL __real_PeekMessageA(MSG*, HWND, UINT, UINT, UINT);
BOOL __wrap_PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    note("PeekMessageA", msg, window, filter_min, filter_max, remove);
    return __real_PeekMessageA(msg, window, filter_min, filter_max, remove);
}

BOOL __real_GetMessageA(MSG*, HWND, UINT, UINT);
BOOL __wrap_GetMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max) {
    note("GetMessageA", msg, window, filter_min, filter_max);
    return __real_GetMessageA(msg, window, filter_min, filter_max);
}

BOOL __real_TranslateMessage(const MSG*);
BOOL __wrap_TranslateMessage(const MSG* msg) {
    recorded::Call& call = note("TranslateMessage", msg);
    if (msg != nullptr) {
        call.msg = *msg;
    }
    return __real_TranslateMessage(msg);
}

LRESULT __real_DispatchMessageA(const MSG*);
LRESULT __wrap_DispatchMessageA(const MSG* msg) {
    recorded::Call& call = note("DispatchMessageA", msg);
    if (msg != nullptr) {
        call.msg = *msg;
    }
    return __real_DispatchMessageA(msg);
}

LRESULT __real_DefWindowProcA(HWND, UINT, WPARAM, LPARAM);
LRESULT __wrap_DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    note("DefWindowProcA", window, message, wparam, lparam);
    return __real_DefWindowProcA(window, message, wparam, lparam);
}

void __real_PostQuitMessage(int);
void __wrap_PostQuitMessage(int exit_code) {
    note("PostQuitMessage", exit_code);
    __real_PostQuitMessage(exit_code);
}

int __real_MessageBoxA(HWND, LPCSTR, LPCSTR, UINT);
int __wrap_MessageBoxA(HWND owner, LPCSTR message_text, LPCSTR caption, UINT type) {
    text(text(note("MessageBoxA", owner, message_text, caption, type), message_text), caption);
    return __real_MessageBoxA(owner, message_text, caption, type);
}

int __real_StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void*,
                         const BITMAPINFO*, UINT, DWORD);
int __wrap_StretchDIBits(HDC dc, int dest_x, int dest_y, int dest_width, int dest_height,
                         int src_x, int src_y, int src_width, int src_height, const void* bits,
                         const BITMAPINFO* bitmap_info, UINT usage, DWORD raster_op) {
    recorded::Call& call = note("StretchDIBits", dc, dest_x, dest_y, dest_width, dest_height,
                                src_x, src_y, src_width, src_height, bits, bitmap_info, usage,
                                raster_op);
    if (bitmap_info != nullptr) {
        call.bitmap = bitmap_info->bmiHeader;
    }
    return __real_StretchDIBits(dc, dest_x, dest_y, dest_width, dest_height, src_x, src_y,
                                src_width, src_height, bits, bitmap_info, usage, raster_op);
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
