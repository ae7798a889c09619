// The SDL back end without a display: event translation, fit and surface copies
// as plain functions, then the whole back end on SDL's dummy video driver, with
// input pushed into SDL's event queue and read back as window messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <SDL.h>

#include "platform/standin/backend.h"
#include "platform/standin/sdl/sdl_input.h"
#include "platform/standin/sdl/sdl_present.h"
#include "platform/standin/sdl/window_fit.h"

namespace {

constexpr Uint32 WINDOW_ID = 7;
constexpr int WIDTH = 1280;
constexpr int HEIGHT = 1024;

SDL_Event key_event(Uint32 type, SDL_Keycode key, Uint8 repeat = 0, Uint16 mod = KMOD_NONE,
                    Uint32 window_id = WINDOW_ID) {
    SDL_Event event{};
    event.key.type = type;
    event.key.windowID = window_id;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event button_event(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT,
                       Uint32 window_id = WINDOW_ID) {
    SDL_Event event{};
    event.button.type = type;
    event.button.windowID = window_id;
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event motion_event(int x, int y, Uint32 window_id = WINDOW_ID) {
    SDL_Event event{};
    event.motion.type = SDL_MOUSEMOTION;
    event.motion.windowID = window_id;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

InputMessage translate(const SDL_Event& event) {
    return translate_event(event, WINDOW_ID, WIDTH, HEIGHT);
}

bool dropped(const SDL_Event& event) {
    return translate(event).message == WM_NULL;
}

// The virtual-key code a press of the key carries, 0 for a key that has none.
int virtual_key_for(SDL_Keycode key) {
    return static_cast<int>(translate(key_event(SDL_KEYDOWN, key)).wparam);
}

TEST(SdlKeys, KeysGetTheirWindowsVirtualKeyCodes) {
    EXPECT_EQ(virtual_key_for(SDLK_TAB), VK_TAB);
    EXPECT_EQ(virtual_key_for(SDLK_ESCAPE), VK_ESCAPE);
    EXPECT_EQ(virtual_key_for(SDLK_a), 'A');
    EXPECT_EQ(virtual_key_for(SDLK_z), 'Z');
    EXPECT_EQ(virtual_key_for(SDLK_0), '0');
    EXPECT_EQ(virtual_key_for(SDLK_9), '9');
    EXPECT_EQ(virtual_key_for(SDLK_LEFT), VK_LEFT);
    EXPECT_EQ(virtual_key_for(SDLK_F12), VK_F1 + 11);
    // Both keys of a pair give the one generic code, as key-down messages do.
    EXPECT_EQ(virtual_key_for(SDLK_LSHIFT), VK_SHIFT);
    EXPECT_EQ(virtual_key_for(SDLK_RSHIFT), VK_SHIFT);
    EXPECT_EQ(virtual_key_for(SDLK_UNKNOWN), 0);
    EXPECT_EQ(virtual_key_for(SDLK_EXCLAIM), 0);  // a character, not a key
}

TEST(SdlKeys, PressRepeatAndReleaseBecomeKeyMessages) {
    const InputMessage press = translate(key_event(SDL_KEYDOWN, SDLK_TAB));
    EXPECT_EQ(press.message, WM_KEYDOWN);
    EXPECT_EQ(press.wparam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(press.lparam, 1);  // repeat count 1, key was up

    // Held keys repeat as further key-down messages, marked as already down.
    const InputMessage repeat = translate(key_event(SDL_KEYDOWN, SDLK_TAB, 1));
    EXPECT_EQ(repeat.message, WM_KEYDOWN);
    EXPECT_EQ(repeat.wparam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(repeat.lparam, 1 | (LPARAM{1} << 30));

    const InputMessage release = translate(key_event(SDL_KEYUP, SDLK_ESCAPE));
    EXPECT_EQ(release.message, WM_KEYUP);
    EXPECT_EQ(release.wparam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(static_cast<std::uint32_t>(release.lparam), 0xC0000001u);

    // With Alt held, and for F10, Windows sends system keys instead.
    const InputMessage alt_tab = translate(key_event(SDL_KEYDOWN, SDLK_TAB, 0, KMOD_LALT));
    EXPECT_EQ(alt_tab.message, WM_SYSKEYDOWN);
    EXPECT_EQ(alt_tab.lparam, 1 | (LPARAM{1} << 29));
    EXPECT_EQ(translate(key_event(SDL_KEYDOWN, SDLK_F10)).message, WM_SYSKEYDOWN);
    EXPECT_EQ(translate(key_event(SDL_KEYUP, SDLK_F10)).message, WM_SYSKEYUP);
    // Shift and Control do not change the message.
    EXPECT_EQ(translate(key_event(SDL_KEYDOWN, SDLK_TAB, 0, KMOD_LSHIFT | KMOD_LCTRL)).message,
              WM_KEYDOWN);

    EXPECT_TRUE(dropped(key_event(SDL_KEYDOWN, SDLK_UNKNOWN)));
    EXPECT_TRUE(dropped(key_event(SDL_KEYDOWN, SDLK_TAB, 0, KMOD_NONE, WINDOW_ID + 1)));
}

TEST(SdlMouse, LeftButtonAndMovesCarryThePackedClientPosition) {
    const InputMessage press = translate(button_event(SDL_MOUSEBUTTONDOWN, 495, 88));
    EXPECT_EQ(press.message, WM_LBUTTONDOWN);
    EXPECT_EQ(press.wparam, MK_LBUTTON);
    EXPECT_EQ(press.lparam, 495 | (88 << 16));

    const InputMessage release = translate(button_event(SDL_MOUSEBUTTONUP, 1279, 1023));
    EXPECT_EQ(release.message, WM_LBUTTONUP);
    EXPECT_EQ(release.wparam, 0u);
    EXPECT_EQ(release.lparam, 1279 | (1023 << 16));

    const InputMessage move = translate(motion_event(0, 0));
    EXPECT_EQ(move.message, WM_MOUSEMOVE);
    EXPECT_EQ(move.wparam, 0u);
    EXPECT_EQ(move.lparam, 0);
    EXPECT_EQ(translate(motion_event(1279, 0)).lparam, 1279);
    EXPECT_EQ(translate(motion_event(0, 1023)).lparam, 1023 << 16);
}

TEST(SdlMouse, OnlyLeftButtonInputInsideTheClientAreaIsDelivered) {
    // SDL's automatic capture reports true positions past every edge during a
    // drag; a window without capture never sees them, presses and releases
    // included.
    const int outside[][2] = {{-1, 10}, {10, -1}, {1280, 10}, {10, 1024}, {1500, 1100}, {-300, -5}};
    for (const auto& p : outside) {
        SCOPED_TRACE(testing::Message() << "(" << p[0] << ", " << p[1] << ")");
        EXPECT_TRUE(dropped(motion_event(p[0], p[1])));
        EXPECT_TRUE(dropped(button_event(SDL_MOUSEBUTTONDOWN, p[0], p[1])));
        EXPECT_TRUE(dropped(button_event(SDL_MOUSEBUTTONUP, p[0], p[1])));
    }
    // Only the left button, and only for this window.
    EXPECT_TRUE(dropped(button_event(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_RIGHT)));
    EXPECT_TRUE(dropped(button_event(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_LEFT, 99)));
    EXPECT_TRUE(dropped(motion_event(10, 10, 99)));
    // The client size is the window's, not a fixed one.
    EXPECT_EQ(translate_event(motion_event(700, 500), WINDOW_ID, 640, 480).message, WM_NULL);
    EXPECT_EQ(translate_event(motion_event(639, 479), WINDOW_ID, 640, 480).message, WM_MOUSEMOVE);
}

TEST(SdlWindowEvents, CloseRequestAndQuitBecomeCloseMessages) {
    SDL_Event close{};
    close.window.type = SDL_WINDOWEVENT;
    close.window.windowID = WINDOW_ID;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(translate(close).message, WM_CLOSE);

    SDL_Event quit{};
    quit.type = SDL_QUIT;  // also what SIGINT and SIGTERM raise
    EXPECT_EQ(translate(quit).message, WM_CLOSE);

    SDL_Event exposed = close;
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    EXPECT_TRUE(dropped(exposed));
    SDL_Event other_close = close;
    other_close.window.windowID = WINDOW_ID + 1;
    EXPECT_TRUE(dropped(other_close));
}

// ---- The window's fit -----------------------------------------------------------

TEST(SdlWindowFit, AScaledWindowLiesInTheUsableAreaWithItsDecorations) {
    // A 1366x768 screen less a panel of 40 above and a dock of 100 on the
    // left; a frame of 30 above the client and 4 on the other sides. The room
    // less the frame, 1258x694, holds 173 steps of 5x4.
    const SDL_Rect room{100, 40, 1266, 728};
    const Decorations frame{30, 4, 4, 4};
    const auto fit = [&](int x, int y, const SDL_Rect& area) {
        const SDL_Rect r = fitted_window_rect({x, y}, WIDTH, HEIGHT, area, frame);
        return std::array<int, 4>{r.x, r.y, r.w, r.h};
    };
    // Moved in from wherever the program puts it; one to one where it fits.
    EXPECT_EQ(fit(0, 0, room), (std::array<int, 4>{104, 70, 865, 692}));
    EXPECT_EQ(fit(0, 0, {0, 0, 643, 542}), (std::array<int, 4>{4, 30, 640, 512}));  // half: no less
    EXPECT_EQ(fit(2000, 2000, room), (std::array<int, 4>{497, 72, 865, 692}));
    EXPECT_EQ(fit(10, 20, SDL_Rect{0, 0, 1600, 1200}), (std::array<int, 4>{10, 20, WIDTH, HEIGHT}));
}

// ---- Surface copies ----------------------------------------------------------

// A 6x4 image whose words carry colour and a top byte that must not show.
std::vector<std::uint32_t> test_image() {
    std::vector<std::uint32_t> words(6 * 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto n = static_cast<std::uint32_t>(i);
        words[i] = ((0xF0u + n) << 24) | (n * 0x0A0B0Cu & 0x00FFFFFFu);
    }
    return words;
}

std::uint32_t surface_colour(SDL_Surface* surface, int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + x * 4, 4);
    Uint8 r = 0;
    Uint8 g = 0;
    Uint8 b = 0;
    Uint8 a = 0;
    SDL_GetRGBA(pixel, surface->format, &r, &g, &b, &a);
    return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

TEST(SdlSurfaceCopy, ColourArrivesInEveryLayoutAndTheTopByteNeverShows) {
    const std::vector<std::uint32_t> image = test_image();
    // Rows 1..3, columns 2..5 of the image, onto rows 1.. of an 8x3 surface:
    // the last row falls off the surface and is clipped; row 0 and columns
    // 4..7 stay untouched.
    const FrameImage part{image.data() + 6 + 2, 6, 4, 3};
    for (const Uint32 format : {Uint32{SDL_PIXELFORMAT_RGB888}, Uint32{SDL_PIXELFORMAT_ARGB8888},
                                Uint32{SDL_PIXELFORMAT_ABGR8888}, Uint32{SDL_PIXELFORMAT_BGR888}}) {
        SCOPED_TRACE(SDL_GetPixelFormatName(format));
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 3, 32, format);
        ASSERT_NE(surface, nullptr);
        SDL_memset(surface->pixels, 0x5A, static_cast<std::size_t>(surface->pitch) * surface->h);
        ASSERT_TRUE(copy_to_surface(surface, 1, part));
        const bool has_alpha = SDL_ISPIXELFORMAT_ALPHA(format);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 8; ++x) {
                const std::uint32_t got = surface_colour(surface, x, y);
                if (x < 4 && y > 0) {
                    const std::uint32_t word = image[y * 6 + (x + 2)];
                    EXPECT_EQ(got & 0x00FFFFFFu, word & 0x00FFFFFFu) << x << "," << y;
                    if (has_alpha) {
                        EXPECT_EQ(got >> 24, 0xFFu) << "opaque at " << x << "," << y;
                    }
                } else {
                    EXPECT_EQ(got & 0x00FFFFFFu, 0x5A5A5Au) << "untouched at " << x << "," << y;
                }
            }
        }
        SDL_FreeSurface(surface);
    }
}

// ---- The whole back end on the dummy driver -----------------------------------

std::vector<MSG> dispatched;

LRESULT CALLBACK recording_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_CREATE) {
        dispatched.push_back(MSG{window, message, wparam, lparam, 0, {0, 0}});
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

class SdlBackEnd : public ::testing::Test {
  protected:
    // The dummy display (1024x768) is too small for the client; the setting
    // keeps these windows one to one (the present below checks the size).
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("KESTROVAN_SCALE", "1", 1);
    }

    void SetUp() override {
        reset_window_system();
        dispatched.clear();
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = recording_procedure;
        window_class.lpszClassName = "SdlTest";
        ASSERT_NE(RegisterClassA(&window_class), 0);
        RECT rect{0, 0, WIDTH, HEIGHT};
        AdjustWindowRect(&rect, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE);
        window = CreateWindowExA(
            0, "SdlTest", "Kestrovan  object.3ds", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
            rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ShowWindow(window, SW_SHOW);
        sdl_window = SDL_GetWindowFromID(1);
        for (Uint32 id = 2; sdl_window == nullptr && id < 64; ++id) {
            sdl_window = SDL_GetWindowFromID(id);
        }
        ASSERT_NE(sdl_window, nullptr);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    void TearDown() override {
        DestroyWindow(window);  // fails harmlessly once the window is gone
        reset_window_system();
    }

    void push(SDL_Event event) {
        event.common.timestamp = SDL_GetTicks();
        switch (event.type) {
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                event.key.windowID = SDL_GetWindowID(sdl_window);
                break;
            case SDL_MOUSEMOTION:
                event.motion.windowID = SDL_GetWindowID(sdl_window);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                event.button.windowID = SDL_GetWindowID(sdl_window);
                break;
            default:
                break;
        }
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    // Works off the queue one message at a time, as the frame loop does.
    void run_messages() {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&msg, nullptr, 0, 0) == 0) {
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    HWND window = nullptr;
    SDL_Window* sdl_window = nullptr;
};

TEST_F(SdlBackEnd, InputArrivesInOrderWithMovesMergedOnlyAtTheEnd) {
    push(button_event(SDL_MOUSEBUTTONDOWN, 497, 90));
    push(motion_event(510, 100));
    push(motion_event(520, 110));            // replaces the move before it
    push(key_event(SDL_KEYDOWN, SDLK_TAB));  // a key ends the run of moves
    push(motion_event(530, 120));
    push(motion_event(1400, 130));  // outside: dropped, the last inside move stays
    push(motion_event(540, 140));
    push(button_event(SDL_MOUSEBUTTONUP, 1400, 140));  // released outside: never seen
    push(motion_event(550, 150));
    push(button_event(SDL_MOUSEBUTTONUP, 550, 150));
    run_messages();

    std::vector<std::pair<UINT, LPARAM>> got;
    for (const MSG& msg : dispatched) {
        if (msg.message != WM_KEYUP && msg.message != WM_CHAR) {
            got.emplace_back(msg.message, msg.lParam);
        }
    }
    const std::vector<std::pair<UINT, LPARAM>> expected = {
        {WM_LBUTTONDOWN, 497 | (90 << 16)}, {WM_MOUSEMOVE, 520 | (110 << 16)}, {WM_KEYDOWN, 1},
        {WM_MOUSEMOVE, 550 | (150 << 16)},  {WM_LBUTTONUP, 550 | (150 << 16)},
    };
    EXPECT_EQ(got, expected);
    ASSERT_GE(dispatched.size(), 3u);
    EXPECT_EQ(dispatched[2].wParam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(dispatched[0].hwnd, window);
}

TEST_F(SdlBackEnd, QuitEventClosesTheWindowThroughDefaultProcessing) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    run_messages();
    std::vector<UINT> messages;
    for (const MSG& msg : dispatched) {
        messages.push_back(msg.message);
    }
    EXPECT_EQ(messages, (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_EQ(GetDC(window), nullptr);
}

TEST_F(SdlBackEnd, PresentShowsTheImageColoursInTheWindow) {
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(WIDTH) * HEIGHT);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = (0xFEu << 24) | static_cast<std::uint32_t>((i * 2654435761u) >> 8);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = WIDTH;
    info.bmiHeader.biHeight = -HEIGHT;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, WIDTH, HEIGHT, 0, 0, WIDTH, HEIGHT, frame.data(), &info,
                            DIB_RGB_COLORS, SRCCOPY),
              HEIGHT);
    SDL_Surface* surface = SDL_GetWindowSurface(sdl_window);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->w, WIDTH);
    ASSERT_EQ(surface->h, HEIGHT);
    int wrong = 0;
    for (int y = 0; y < HEIGHT; y += 7) {
        for (int x = 0; x < WIDTH; x += 3) {
            const std::uint32_t want = frame[static_cast<std::size_t>(y) * WIDTH + x] & 0xFFFFFFu;
            wrong += (surface_colour(surface, x, y) & 0xFFFFFFu) != want ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    ReleaseDC(window, dc);
}

TEST_F(SdlBackEnd, ARefittedWindowShowsALoneDotAveragedInLinearLight) {
    // Opened one to one, refitted to the dummy display (1024x768): 3/4. The
    // white dot at client (101, 201) falls on window pixels 75..76 and 150..151,
    // a third and two thirds each way, on black whose top byte must not show
    // (nor left of them). The brightest keeps a quarter of its light, 137 in
    // sRGB (a blend of sRGB values would give 64, nearest neighbour 0 or 255).
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(WIDTH) * HEIGHT, 0xFF000000u);
    frame[201 * WIDTH + 101] = 0x00FFFFFFu;
    FittedWindow shown{
        {WIDTH, HEIGHT, WIDTH, HEIGHT}, SDL_CreateWindow("", 0, 0, WIDTH, HEIGHT, 0), 0};
    unsetenv("KESTROVAN_SCALE");
    refit_shown_window(shown);
    setenv("KESTROVAN_SCALE", "1", 1);
    ASSERT_TRUE(present_to_window(shown.window, {frame.data(), WIDTH, WIDTH, HEIGHT}, &shown));
    SDL_Surface* surface = SDL_GetWindowSurface(shown.window);
    EXPECT_EQ(surface_colour(surface, 74, 150) & 0xFFFFFFu, 0u);
    EXPECT_EQ(surface_colour(surface, 75, 150) & 0xFFFFFFu, 0x474747u);  // 1/16 of its light
    EXPECT_EQ(surface_colour(surface, 76, 150) & 0xFFFFFFu, 0x636363u);  // 1/8
    EXPECT_EQ(surface_colour(surface, 76, 151) & 0xFFFFFFu, 0x898989u);  // 1/4
    forget_scaled_picture();
    SDL_DestroyWindow(shown.window);
}

}  // namespace
