// The SDL back end's pause on a real X server (run by with_server.sh on a
// private Xvfb): with nothing queued, one Sleep rests with no timer until input
// arrives or the window is exposed, and the pass that follows presents it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/standin/backend.h"

// Xlib's short macros come last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 512;
std::uint32_t frame[WIDTH * HEIGHT];

#ifndef SYS_poll
#define SYS_poll SYS_ppoll  // no poll of its own: ppoll is all there is
#endif

// Waits up to 5 s until thread `tid` blocks in poll with no timeout, as the
// kernel shows it: the rest, seen without any clock. False if it never does.
bool rests_with_no_timer(long tid) {
    for (int i = 0; i < 5000; ++i) {
        long number = -1;
        unsigned long timeout = 1;  // the third argument: after the fds and their count
        std::ifstream("/proc/self/task/" + std::to_string(tid) + "/syscall") >> number >>
            std::hex >> timeout >> timeout >> timeout;
        if ((number == SYS_poll && static_cast<int>(timeout) == -1) ||
            (number == SYS_ppoll && timeout == 0)) {  // ppoll's timespec: none
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

LRESULT CALLBACK paint_moves(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEMOVE) {  // the whole frame in a colour made of the position
        std::fill(std::begin(frame), std::end(frame), static_cast<std::uint32_t>(lparam));
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(SdlPause, OneRestLastsUntilInputAndItsPassPresentsIt) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through with_server.sh";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    reset_window_system();
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = paint_moves;
    window_class.lpszClassName = "PauseTest";
    ASSERT_NE(RegisterClassA(&window_class), 0);
    RECT rect{0, 0, WIDTH, HEIGHT};
    AdjustWindowRect(&rect, WS_CAPTION, FALSE);
    const HWND window =
        CreateWindowExA(0, "PauseTest", "pause test", WS_CAPTION, 0, 0, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    ShowWindow(window, SW_SHOW);
    SDL_Window* sdl_window = SDL_GetMouseFocus();
    for (Uint32 id = 1; sdl_window == nullptr && id < 64; ++id) {
        sdl_window = SDL_GetWindowFromID(id);
    }
    ASSERT_NE(sdl_window, nullptr);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_EQ(SDL_GetWindowWMInfo(sdl_window, &info), SDL_TRUE);
    // Whatever the server said about the new window (its exposure included,
    // which would rightly end a rest) is not the test's input.
    XSync(info.info.x11.display, False);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_FALSE(message_waiting());

    // Once the main thread rests (seen in /proc, not by the clock), another
    // client exposes the window, which then needs its picture again: that ends
    // the rest with nothing to fetch. A move follows for the next rest, at once,
    // or after 3 s to end a rest that ignored the exposure.
    const long main_thread = syscall(SYS_gettid);
    SDL_Event move{};
    move.motion.type = SDL_MOUSEMOTION;
    move.motion.windowID = SDL_GetWindowID(sdl_window);
    move.motion.x = 123;
    move.motion.y = 45;
    std::atomic<bool> woke{false};
    std::thread other_client([&] {
        EXPECT_TRUE(rests_with_no_timer(main_thread)) << "the rest is not a poll with no timeout";
        Display* other = XOpenDisplay(nullptr);
        XClearArea(other, info.info.x11.window, 0, 0, 1, 1, True);
        XCloseDisplay(other);
        for (int i = 0; i < 3000 && !woke; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        SDL_PushEvent(&move);
    });
    Sleep(2);
    woke = true;
    EXPECT_EQ(queued_message_count(), 0) << "the exposure did not end the rest";
    Sleep(2);
    other_client.join();
    ASSERT_EQ(queued_message_count(), 1);

    // The pass: the move is handled, then the frame it painted is presented.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    DispatchMessageA(&msg);
    BITMAPINFO bitmap{};
    bitmap.bmiHeader = {sizeof(BITMAPINFOHEADER), WIDTH, -HEIGHT, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    ASSERT_EQ(StretchDIBits(GetDC(window), 0, 0, WIDTH, HEIGHT, 0, 0, WIDTH, HEIGHT, frame, &bitmap,
                            DIB_RGB_COLORS, SRCCOPY),
              HEIGHT);
    XImage* shown =
        XGetImage(info.info.x11.display, info.info.x11.window, 300, 200, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(XGetPixel(shown, 0, 0) & 0xFFFFFFu, static_cast<unsigned long>(123 | (45 << 16)));
    XDestroyImage(shown);

    DestroyWindow(window);
    reset_window_system();
}

}  // namespace
