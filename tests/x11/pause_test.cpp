// The SDL back end's pause on a real X server (run by with_server.sh on a
// private Xvfb): input that arrives while the program rests in Sleep is a
// window message in the queue when the pause returns.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <SDL.h>

#include "platform/standin/backend.h"

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 512;

LRESULT CALLBACK default_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(SdlPause, InputArrivingDuringThePauseIsQueuedWhenItReturns) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through with_server.sh";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    reset_window_system();
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = default_procedure;
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
    // Whatever the server said about the new window is not the test's input.
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_EQ(queued_message_count(), 0);

    // A move from another thread a moment into the program's rest.
    SDL_Event move{};
    move.motion.type = SDL_MOUSEMOTION;
    move.motion.windowID = SDL_GetWindowID(sdl_window);
    move.motion.x = 123;
    move.motion.y = 45;
    std::thread mover([&move] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        SDL_PushEvent(&move);
    });
    // Nothing but the pause moves input into the queue here.
    int pauses = 0;
    while (queued_message_count() == 0 && pauses < 1000) {
        Sleep(2);
        ++pauses;
    }
    mover.join();
    ASSERT_EQ(queued_message_count(), 1) << "after " << pauses << " pauses";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(msg.lParam, 123 | (45 << 16));

    DestroyWindow(window);
    reset_window_system();
}

}  // namespace
