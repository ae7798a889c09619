#include <cstdint>

#include "app/program.h"
#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"

namespace {

constexpr LPCSTR CLASS_NAME = "Kestrovan";
// Two spaces before the name of the file that Tab writes.
constexpr LPCSTR WINDOW_CAPTION = "Kestrovan  object.3ds";
// Fixed size: no sizing border, no maximise box.
constexpr DWORD WINDOW_STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// The style the outer size is worked out with; it gives the same frame.
constexpr DWORD ADJUST_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// The background brush field holds the system colour index plus one.
constexpr std::intptr_t BUTTON_FACE_BRUSH = COLOR_BTNFACE + 1;
constexpr DWORD FRAME_PAUSE_MILLISECONDS = 2;
// A failed start must not look like a normal quit to whoever launched us.
constexpr UINT EXIT_STARTUP_FAILED = 1;

BITMAPINFO bitmap_info;
WNDCLASSA window_class;
RECT window_rect;
HWND window;
HDC device_context;
MSG message;

void describe_bitmap() {
    bitmap_info = BITMAPINFO{};
    bitmap_info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmap_info.bmiHeader.biWidth = FRAME_WIDTH;
    bitmap_info.bmiHeader.biHeight = -FRAME_HEIGHT;  // rows run top-down
    bitmap_info.bmiHeader.biPlanes = 1;
    bitmap_info.bmiHeader.biBitCount = 32;
    bitmap_info.bmiHeader.biCompression = BI_RGB;
}

void describe_class(HINSTANCE instance, HICON icon, HCURSOR cursor) {
    window_class = WNDCLASSA{};
    window_class.style = 0;
    window_class.lpfnWndProc = window_procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance;
    window_class.hIcon = icon;
    window_class.hCursor = cursor;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the field holds a colour index here
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(BUTTON_FACE_BRUSH);
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = CLASS_NAME;
}

void present_frame() {
    StretchDIBits(device_context, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, 0, 0, FRAME_WIDTH, FRAME_HEIGHT,
                  pixel_buffer.words, &bitmap_info, DIB_RGB_COLORS, SRCCOPY);
}

// Compose, present, pause, then handle at most one message; a frame is shown
// on every pass whether or not anything changed. Returns on the quit message.
void run_frame_loop() {
    for (;;) {
        render_frame();
        present_frame();
        Sleep(FRAME_PAUSE_MILLISECONDS);
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            continue;
        }
        const BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched == 0) {
            return;  // WM_QUIT
        }
        if (fetched < 0) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

[[noreturn]] void tear_down(UINT exit_code) {
    ReleaseDC(window, device_context);
    // After a close request the window is already gone; this then fails harmlessly.
    DestroyWindow(window);
    ExitProcess(exit_code);
}

}  // namespace

void start_program() {
    window = nullptr;
    device_context = nullptr;
    message = MSG{};

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    // Stock resources are named by integer ids carried in the name pointer.
    const HICON icon = LoadIconA(nullptr, IDI_APPLICATION);  // NOLINT(performance-no-int-to-ptr)
    const HCURSOR cursor = LoadCursorA(nullptr, IDC_ARROW);  // NOLINT(performance-no-int-to-ptr)
    describe_bitmap();
    describe_class(instance, icon, cursor);
    window_rect = RECT{0, 0, FRAME_WIDTH, FRAME_HEIGHT};

    AdjustWindowRect(&window_rect, ADJUST_STYLE, FALSE);
    if (RegisterClassA(&window_class) != 0) {
        window = CreateWindowExA(
            0, CLASS_NAME, WINDOW_CAPTION, WINDOW_STYLE, 0, 0, window_rect.right - window_rect.left,
            window_rect.bottom - window_rect.top, nullptr, nullptr, nullptr, nullptr);
    }
    if (window == nullptr) {
        MessageBoxA(nullptr, "Startup failed.", nullptr, MB_ICONERROR);
        tear_down(EXIT_STARTUP_FAILED);
    }
    device_context = GetDC(window);
    ShowWindow(window, SW_SHOW);

    run_frame_loop();
    tear_down(static_cast<UINT>(message.wParam));
}
