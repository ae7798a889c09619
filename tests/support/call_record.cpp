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

// Copies of what pointer arguments show; a name is text unless it is an
// integer id carried in the pointer.
void capture(recorded::Call& call, LPCSTR name) {
    if (reinterpret_cast<std::uintptr_t>(name) > 0xFFFF) {
        call.strings.emplace_back(name);
    }
}
void capture(recorded::Call& call, const WNDCLASSA* window_class) {
    if (window_class != nullptr) {
        call.window_class = *window_class;
        capture(call, window_class->lpszClassName);
    }
}
void capture(recorded::Call& call, RECT* rect) {
    if (rect != nullptr) {
        call.rect = *rect;
    }
}
void capture(recorded::Call& call, const MSG* msg) {
    if (msg != nullptr) {
        call.msg = *msg;
    }
}
void capture(recorded::Call& call, const BITMAPINFO* info) {
    if (info != nullptr) {
        call.bitmap = info->bmiHeader;
    }
}
template <typename T>
void capture(recorded::Call& /*call*/, T /*value*/) {}

// Records the call, then makes it.
template <auto real, typename... Args>
auto pass(const char* name, Args... args) {
    if (recording) {
        log.push_back(recorded::Call{name, {as_arg(args)...}, {}, {}, {}, {}, {}});
        (capture(log.back(), args), ...);
    }
    return real(args...);
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

// The wrappers; __real_X is the platform's X.
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" {

HMODULE __real_GetModuleHandleA(LPCSTR);
void __real_Sleep(DWORD);
[[noreturn]] void __real_ExitProcess(UINT);
HICON __real_LoadIconA(HINSTANCE, LPCSTR);
HCURSOR __real_LoadCursorA(HINSTANCE, LPCSTR);
BOOL __real_AdjustWindowRect(RECT*, DWORD, BOOL);
ATOM __real_RegisterClassA(const WNDCLASSA*);
HWND __real_CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                            HINSTANCE, LPVOID);
BOOL __real_ShowWindow(HWND, int);
HDC __real_GetDC(HWND);
int __real_ReleaseDC(HWND, HDC);
BOOL __real_DestroyWindow(HWND);
BOOL __real_PeekMessageA(MSG*, HWND, UINT, UINT, UINT);
BOOL __real_GetMessageA(MSG*, HWND, UINT, UINT);
BOOL __real_TranslateMessage(const MSG*);
LRESULT __real_DispatchMessageA(const MSG*);
LRESULT __real_DefWindowProcA(HWND, UINT, WPARAM, LPARAM);
void __real_PostQuitMessage(int);
int __real_MessageBoxA(HWND, LPCSTR, LPCSTR, UINT);
int __real_StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void*,
                         const BITMAPINFO*, UINT, DWORD);

HMODULE __wrap_GetModuleHandleA(LPCSTR name) {
    return pass<__real_GetModuleHandleA>("GetModuleHandleA", name);
}
void __wrap_Sleep(DWORD milliseconds) {
    pass<__real_Sleep>("Sleep", milliseconds);
}
[[noreturn]] void __wrap_ExitProcess(UINT exit_code) {
    pass<__real_ExitProcess>("ExitProcess", exit_code);
    __builtin_unreachable();
}
HICON __wrap_LoadIconA(HINSTANCE instance, LPCSTR name) {
    return pass<__real_LoadIconA>("LoadIconA", instance, name);
}
HCURSOR __wrap_LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return pass<__real_LoadCursorA>("LoadCursorA", instance, name);
}
BOOL __wrap_AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    return pass<__real_AdjustWindowRect>("AdjustWindowRect", rect, style, menu);
}
ATOM __wrap_RegisterClassA(const WNDCLASSA* window_class) {
    return pass<__real_RegisterClassA>("RegisterClassA", window_class);
}
HWND __wrap_CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    return pass<__real_CreateWindowExA>("CreateWindowExA", ex_style, class_name, window_name, style,
                                        x, y, width, height, parent, menu, instance, param);
}
BOOL __wrap_ShowWindow(HWND window, int show_command) {
    return pass<__real_ShowWindow>("ShowWindow", window, show_command);
}
HDC __wrap_GetDC(HWND window) {
    return pass<__real_GetDC>("GetDC", window);
}
int __wrap_ReleaseDC(HWND window, HDC dc) {
    return pass<__real_ReleaseDC>("ReleaseDC", window, dc);
}
BOOL __wrap_DestroyWindow(HWND window) {
    return pass<__real_DestroyWindow>("DestroyWindow", window);
}
BOOL __wrap_PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    return pass<__real_PeekMessageA>("PeekMessageA", msg, window, filter_min, filter_max, remove);
}
BOOL __wrap_GetMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max) {
    return pass<__real_GetMessageA>("GetMessageA", msg, window, filter_min, filter_max);
}
BOOL __wrap_TranslateMessage(const MSG* msg) {
    return pass<__real_TranslateMessage>("TranslateMessage", msg);
}
LRESULT __wrap_DispatchMessageA(const MSG* msg) {
    return pass<__real_DispatchMessageA>("DispatchMessageA", msg);
}
LRESULT __wrap_DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return pass<__real_DefWindowProcA>("DefWindowProcA", window, message, wparam, lparam);
}
void __wrap_PostQuitMessage(int exit_code) {
    pass<__real_PostQuitMessage>("PostQuitMessage", exit_code);
}
int __wrap_MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return pass<__real_MessageBoxA>("MessageBoxA", owner, text, caption, type);
}
int __wrap_StretchDIBits(HDC dc, int dest_x, int dest_y, int dest_width, int dest_height, int src_x,
                         int src_y, int src_width, int src_height, const void* bits,
                         const BITMAPINFO* info, UINT usage, DWORD raster_op) {
    return pass<__real_StretchDIBits>("StretchDIBits", dc, dest_x, dest_y, dest_width, dest_height,
                                      src_x, src_y, src_width, src_height, bits, info, usage,
                                      raster_op);
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
