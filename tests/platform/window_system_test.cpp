// The shared window system, driven through the headless back end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/standin/backend.h"
#include "platform/standin/headless/headless.h"

namespace {

// What the test window's procedure heard, in order.
std::vector<UINT> heard;
LRESULT create_result = 0;

LRESULT CALLBACK test_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    heard.push_back(message);
    if (message == WM_CREATE) {
        return create_result;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

constexpr DWORD STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

class WindowSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::reset();
        heard.clear();
        create_result = 0;
    }
    void TearDown() override { headless::reset(); }

    static ATOM register_test_class(const char* name = "Test") {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = test_procedure;
        window_class.lpszClassName = name;
        return RegisterClassA(&window_class);
    }

    // A window whose client area is width x height, made as the program does.
    static HWND make_window(int width = 1280, int height = 1024) {
        if (register_test_class() == 0) {
            return nullptr;
        }
        RECT rect{0, 0, width, height};
        AdjustWindowRect(&rect, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE);
        return CreateWindowExA(0, "Test", "caption", STYLE, 0, 0, rect.right - rect.left,
                               rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    }

    static std::vector<UINT> drain() {
        std::vector<UINT> messages;
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            messages.push_back(msg.message);
            if (msg.message == WM_QUIT) {
                break;
            }
        }
        return messages;
    }
};

TEST_F(WindowSystemTest, AdjustedRectangleGivesExactlyTheAskedClientArea) {
    ASSERT_NE(make_window(), nullptr);
    const headless::WindowState state = headless::observed().window;
    EXPECT_TRUE(state.exists);
    EXPECT_EQ(state.client_width, 1280);
    EXPECT_EQ(state.client_height, 1024);
    EXPECT_EQ(state.caption, "caption");
    EXPECT_FALSE(state.visible);
    // A window procedure hears WM_CREATE during creation.
    EXPECT_EQ(heard, std::vector<UINT>{WM_CREATE});

    RECT rect{0, 0, 1280, 1024};
    AdjustWindowRect(&rect, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE);
    EXPECT_LT(rect.left, 0);
    EXPECT_LT(rect.top, rect.left);  // the caption bar sits above the client
    EXPECT_GT(rect.right, 1280);
}

TEST_F(WindowSystemTest, RegistrationAndCreationFailures) {
    WNDCLASSA no_procedure{};
    no_procedure.lpszClassName = "NoProcedure";
    EXPECT_EQ(RegisterClassA(&no_procedure), 0);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    // One class per process: neither the same nor another one registers again.
    EXPECT_NE(register_test_class("Test"), 0);
    EXPECT_EQ(register_test_class("Test"), 0);
    EXPECT_EQ(register_test_class("Other"), 0);

    // Unknown class, a parent or menu (not supported), a refusing procedure.
    EXPECT_EQ(CreateWindowExA(0, "Unknown", "", STYLE, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, "Test", "", STYLE, 0, 0, 100, 100, nullptr,
                              reinterpret_cast<HMENU>(&no_procedure), nullptr, nullptr),
              nullptr);
    EXPECT_TRUE(heard.empty());
    create_result = -1;
    EXPECT_EQ(
        CreateWindowExA(0, "Test", "", STYLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_FALSE(headless::observed().window.exists);
    EXPECT_EQ(heard, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));

    headless::reset();
    create_result = 0;
    headless::settings().fail_register_class = true;
    EXPECT_EQ(register_test_class(), 0);
    headless::reset();
    headless::settings().fail_create_window = true;
    EXPECT_EQ(make_window(), nullptr);
    headless::settings().fail_create_window = false;
    ASSERT_NE(
        CreateWindowExA(0, "Test", "", STYLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, "Test", "", STYLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(WindowSystemTest, PeekWithoutRemovingThenGetRemovesAndQuitComesLast) {
    const HWND window = make_window();
    ASSERT_NE(window, nullptr);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

    ASSERT_TRUE(post_window_message(WM_KEYDOWN, VK_LEFT, 0));
    PostQuitMessage(3);  // a quit request waits behind the messages already queued
    ASSERT_TRUE(post_window_message(WM_LBUTTONDOWN, 0, 0x00050004));

    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(queued_message_count(), 2);
    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_LEFT));

    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_LBUTTONDOWN);
    EXPECT_EQ(msg.lParam, 0x00050004);

    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(msg.hwnd, nullptr);
    // The quit request is consumed; with nothing to come, waiting would never end.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_THROW(GetMessageA(&msg, nullptr, 0, 0), headless::HeadlessStop);
}

TEST_F(WindowSystemTest, TranslateTurnsCharacterKeysIntoTheNextMessage) {
    ASSERT_NE(make_window(), nullptr);
    post_window_message(WM_KEYDOWN, VK_TAB, 0);
    post_window_message(WM_KEYDOWN, VK_LEFT, 0);
    post_window_message(WM_KEYDOWN, 'A', 0);
    post_window_message(WM_LBUTTONUP, 0, 0);

    std::vector<std::pair<UINT, WPARAM>> seen;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.emplace_back(msg.message, msg.wParam);
        const BOOL translated = TranslateMessage(&msg);
        EXPECT_EQ(translated != FALSE, msg.message == WM_KEYDOWN);
    }
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, VK_TAB}, {WM_CHAR, '\t'}, {WM_KEYDOWN, VK_LEFT},
        {WM_KEYDOWN, 'A'},    {WM_CHAR, 'a'},  {WM_LBUTTONUP, 0},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(WindowSystemTest, CloseDestroysAtOnceAndLaterDestroysFailHarmlessly) {
    const HWND window = make_window();
    ASSERT_NE(window, nullptr);
    post_window_message(WM_CLOSE, 0, 0);
    post_window_message(WM_KEYDOWN, VK_F1, 0);  // dropped with the window

    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    ASSERT_EQ(msg.message, WM_CLOSE);
    DispatchMessageA(&msg);
    // Default processing destroyed the window; WM_DESTROY arrived inside that call.
    EXPECT_EQ(heard, (std::vector<UINT>{WM_CREATE, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(headless::observed().window.exists);
    EXPECT_EQ(GetDC(window), nullptr);

    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetDC(window), nullptr);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(heard.size(), 3u);
    EXPECT_FALSE(post_window_message(WM_KEYDOWN, VK_F1, 0));

    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(WindowSystemTest, AltF4IsACloseRequestOtherSystemKeysAreNot) {
    ASSERT_NE(make_window(), nullptr);
    const LPARAM alt_held = LPARAM{1} << 29;
    post_window_message(WM_SYSKEYDOWN, VK_F1, alt_held);
    post_window_message(WM_SYSKEYDOWN, VK_F4, alt_held);
    MSG msg{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(heard,
              (std::vector<UINT>{WM_CREATE, WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(headless::observed().window.exists);
}

TEST_F(WindowSystemTest, MouseMovesCoalesceOnlyAsTheLastMessageWaiting) {
    ASSERT_NE(make_window(), nullptr);
    post_window_message(WM_MOUSEMOVE, 0, 0x00010001);
    post_window_message(WM_MOUSEMOVE, 0, 0x00020002);  // replaces the move before it
    post_window_message(WM_LBUTTONDOWN, 0, 0x00020002);
    post_window_message(WM_MOUSEMOVE, 0, 0x00030003);
    post_window_message(WM_LBUTTONUP, 0, 0x00030003);
    post_window_message(WM_MOUSEMOVE, 0, 0x00040004);
    post_window_message(WM_MOUSEMOVE, 0, 0x00050005);

    std::vector<std::pair<UINT, LPARAM>> seen;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.emplace_back(msg.message, msg.lParam);
    }
    const std::vector<std::pair<UINT, LPARAM>> expected = {
        {WM_MOUSEMOVE, 0x00020002}, {WM_LBUTTONDOWN, 0x00020002}, {WM_MOUSEMOVE, 0x00030003},
        {WM_LBUTTONUP, 0x00030003}, {WM_MOUSEMOVE, 0x00050005},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(WindowSystemTest, FullQueueRefusesPostsAndFiltersAreRefused) {
    const HWND window = make_window();
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < MESSAGE_QUEUE_CAPACITY; ++i) {
        ASSERT_TRUE(post_window_message(WM_KEYDOWN, static_cast<WPARAM>(i), 0));
    }
    EXPECT_FALSE(post_window_message(WM_KEYUP, 0, 0));
    EXPECT_FALSE(post_window_message(WM_MOUSEMOVE, 0, 0));

    // Filters by window or message range are not supported: the calls fail
    // and leave the queue as it was.
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
    EXPECT_EQ(GetMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP), -1);
    EXPECT_EQ(queued_message_count(), MESSAGE_QUEUE_CAPACITY);

    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 0u);
    ASSERT_TRUE(post_window_message(WM_LBUTTONUP, 0, 0));
    EXPECT_EQ(queued_message_count(), MESSAGE_QUEUE_CAPACITY);
}

TEST_F(WindowSystemTest, PresentsOnlyWhatTheScreenCanShow) {
    const HWND window = make_window(4, 3);
    ASSERT_NE(window, nullptr);
    const HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    headless::settings().keep_frames = true;

    // A 4x3 top-down image whose top bytes must not reach the screen.
    std::vector<std::uint32_t> image(12);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = 0xAB000000u | static_cast<std::uint32_t>(i);
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 4, 3, 0, 0, 4, 3, image.data(), &info, DIB_RGB_COLORS, SRCCOPY), 3);
    ASSERT_EQ(headless::observed().last_frame.size(), image.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        EXPECT_EQ(headless::observed().last_frame[i], static_cast<std::uint32_t>(i));
    }

    // A larger image is clipped at the client's right and bottom edges.
    std::vector<std::uint32_t> large(5 * 4, 0xAB000007u);
    BITMAPINFO large_info = info;
    large_info.bmiHeader.biWidth = 5;
    large_info.bmiHeader.biHeight = -4;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 5, 4, 0, 0, 5, 4, large.data(), &large_info, DIB_RGB_COLORS,
                            SRCCOPY),
              4);
    EXPECT_EQ(headless::observed().last_frame, std::vector<std::uint32_t>(12, 7u));
    EXPECT_EQ(headless::observed().presents, 2u);

    // Refused rather than shown wrongly: a bottom-up image, a scaled copy, a
    // copy from or to anywhere but the top-left corners (not supported).
    BITMAPINFO bottom_up = info;
    bottom_up.bmiHeader.biHeight = 3;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 3, 0, 0, 4, 3, image.data(), &bottom_up, DIB_RGB_COLORS,
                            SRCCOPY),
              0);
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 8, 6, 0, 0, 4, 3, image.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(
        StretchDIBits(dc, 2, 1, 2, 2, 0, 0, 2, 2, image.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 2, 2, 1, 1, 2, 2, image.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(headless::observed().presents, 2u);
    // A present the back end could not make copied no rows.
    headless::settings().fail_present = true;
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 4, 3, 0, 0, 4, 3, image.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST_F(WindowSystemTest, ExitHandsControlBackAndAReturnIsNotAnExit) {
    EXPECT_EQ(headless::run_until_exit([] { ExitProcess(5); }), std::optional<UINT>(5u));
    EXPECT_EQ(headless::run_until_exit([] {}), std::nullopt);
    // A run past the frame limit stops instead of hanging.
    const HWND window = make_window(1, 1);
    ASSERT_NE(window, nullptr);
    headless::settings().frame_limit = 2;
    const std::uint32_t pixel = 0;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC dc = GetDC(window);
    auto present = [&] {
        StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, &pixel, &info, DIB_RGB_COLORS, SRCCOPY);
    };
    present();
    present();
    EXPECT_THROW(present(), headless::HeadlessStop);
}

}  // namespace
