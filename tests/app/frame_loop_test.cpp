// Start-up, the frame loop and the ways out, on the headless back end.
#include <cstring>

#include "app_fixture.h"
#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"

namespace {

using StartupTest = AppTest;
using FrameLoopTest = AppTest;

const std::vector<std::string> STARTUP_CALLS = {
    "GetModuleHandleA", "LoadIconA",       "LoadCursorA", "AdjustWindowRect",
    "RegisterClassA",   "CreateWindowExA", "GetDC",       "ShowWindow",
};

const std::vector<std::string> TEARDOWN_CALLS = {"ReleaseDC", "DestroyWindow", "ExitProcess"};

std::vector<std::string> head(const std::vector<std::string>& names, std::size_t count) {
    return {names.begin(),
            names.begin() + static_cast<std::ptrdiff_t>(std::min(count, names.size()))};
}

std::vector<std::string> tail(const std::vector<std::string>& names, std::size_t count) {
    return {names.end() - static_cast<std::ptrdiff_t>(std::min(count, names.size())), names.end()};
}

TEST_F(StartupTest, EveryStartupCallInOrderWithItsArguments) {
    headless::send_key(VK_ESCAPE);
    ASSERT_EQ(run_program(), std::optional<UINT>(0u));

    // The program's own calls; the window procedure's (default processing of
    // WM_CREATE and WM_CHAR, quit requests) are left out.
    std::vector<recorded::Call> calls;
    std::vector<std::string> names;
    for (const recorded::Call& call : recorded::calls()) {
        if (call.name != "DefWindowProcA" && call.name != "PostQuitMessage") {
            calls.push_back(call);
            names.push_back(call.name);
        }
    }
    ASSERT_EQ(head(names, STARTUP_CALLS.size()), STARTUP_CALLS);
    const auto arg = [&](std::size_t call, std::size_t index) {
        return calls[call].args.at(index);
    };

    // Own module, stock icon and arrow.
    EXPECT_EQ(arg(0, 0), 0);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    EXPECT_EQ(calls[1].args, (std::vector<std::intptr_t>{0, 32512}));
    EXPECT_EQ(calls[2].args, (std::vector<std::intptr_t>{0, 32512}));

    // The client rectangle, adjusted with the popup style and no menu.
    EXPECT_EQ(calls[3].rect.left, 0);
    EXPECT_EQ(calls[3].rect.top, 0);
    EXPECT_EQ(calls[3].rect.right, 1280);
    EXPECT_EQ(calls[3].rect.bottom, 1024);
    EXPECT_EQ(static_cast<DWORD>(arg(3, 1)), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(arg(3, 2), FALSE);

    const WNDCLASSA& window_class = calls[4].window_class;
    EXPECT_EQ(window_class.style, 0u);
    EXPECT_EQ(window_class.lpfnWndProc, &window_procedure);
    EXPECT_EQ(window_class.cbClsExtra, 0);
    EXPECT_EQ(window_class.cbWndExtra, 0);
    EXPECT_EQ(window_class.hInstance, instance);
    EXPECT_EQ(window_class.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(window_class.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(window_class.hbrBackground), 16);
    EXPECT_EQ(window_class.lpszMenuName, nullptr);
    EXPECT_EQ(calls[4].strings, std::vector<std::string>{"Kestrovan"});

    // No extended style, the caption with two spaces, a fixed-size style at
    // (0, 0), the adjusted size, and no parent, menu, instance or parameter.
    RECT outer{0, 0, 1280, 1024};
    AdjustWindowRect(&outer, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE);
    EXPECT_EQ(calls[5].strings, (std::vector<std::string>{"Kestrovan", "Kestrovan  object.3ds"}));
    const std::vector<std::intptr_t> create_args = {
        0,
        arg(5, 1),
        arg(5, 2),
        static_cast<std::intptr_t>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
        0,
        0,
        outer.right - outer.left,
        outer.bottom - outer.top,
        0,
        0,
        0,
        0};
    EXPECT_EQ(calls[5].args, create_args);
    const headless::WindowState window = headless::observed().window;
    EXPECT_EQ(window.client_width, 1280);
    EXPECT_EQ(window.client_height, 1024);
    EXPECT_EQ(window.caption, "Kestrovan  object.3ds");

    // The device context is taken from the window before it is shown.
    const std::intptr_t hwnd = arg(6, 0);
    EXPECT_NE(hwnd, 0);
    EXPECT_EQ(calls[7].args, (std::vector<std::intptr_t>{hwnd, SW_SHOW}));

    // The first pass: present, pause, look for a message.
    ASSERT_GT(names.size(), 11u);
    EXPECT_EQ(names[8], "StretchDIBits");
    const auto& present = calls[8];
    EXPECT_NE(present.args[0], 0);
    EXPECT_EQ((std::vector<std::intptr_t>(present.args.begin() + 1, present.args.begin() + 9)),
              (std::vector<std::intptr_t>{0, 0, 1280, 1024, 0, 0, 1280, 1024}));
    EXPECT_EQ(present.args[9], reinterpret_cast<std::intptr_t>(pixel_buffer.words));
    EXPECT_EQ(present.args[11], static_cast<std::intptr_t>(DIB_RGB_COLORS));
    EXPECT_EQ(present.args[12], static_cast<std::intptr_t>(SRCCOPY));
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = 1280;
    header.biHeight = -1024;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    EXPECT_EQ(std::memcmp(&present.bitmap, &header, sizeof header), 0);
    EXPECT_EQ(names[9], "Sleep");
    EXPECT_EQ(calls[9].args, std::vector<std::intptr_t>{2});
    EXPECT_EQ(names[10], "PeekMessageA");
    EXPECT_EQ((std::vector<std::intptr_t>(calls[10].args.begin() + 1, calls[10].args.end())),
              (std::vector<std::intptr_t>{0, 0, 0, static_cast<std::intptr_t>(PM_NOREMOVE)}));
    EXPECT_EQ(names[11], "GetMessageA");
    EXPECT_EQ((std::vector<std::intptr_t>(calls[11].args.begin() + 1, calls[11].args.end())),
              (std::vector<std::intptr_t>{0, 0, 0}));

    // Teardown: release the context, destroy the window (whose destroy
    // message posts a quit again), exit with the quit code.
    EXPECT_EQ(tail(names, 3), TEARDOWN_CALLS);
    const auto release = calls_named("ReleaseDC");
    ASSERT_EQ(release.size(), 1u);
    EXPECT_EQ(release[0]->args[0], hwnd);
    EXPECT_EQ(release[0]->args[1], present.args[0]);
    EXPECT_EQ(calls_named("DestroyWindow").back()->args[0], hwnd);
    EXPECT_EQ(calls.back().args, std::vector<std::intptr_t>{0});
    EXPECT_TRUE(calls_named("MessageBoxA").empty());
}

TEST_F(StartupTest, FailedRegistrationOrCreationShowsTheBoxAndExitsWithOne) {
    for (const bool fail_registration : {true, false}) {
        SCOPED_TRACE(fail_registration ? "registration fails" : "creation fails");
        headless::reset();
        recorded::reset();
        headless::settings().fail_register_class = fail_registration;
        headless::settings().fail_create_window = !fail_registration;
        ASSERT_EQ(run_program(), std::optional<UINT>(1u));

        std::vector<std::string> expected = STARTUP_CALLS;
        expected.resize(fail_registration ? 5 : 6);  // up to the call that failed
        expected.push_back("MessageBoxA");
        expected.insert(expected.end(), TEARDOWN_CALLS.begin(), TEARDOWN_CALLS.end());
        EXPECT_EQ(recorded::call_names(), expected);

        // No owner, the default caption, the error icon.
        const auto box = calls_named("MessageBoxA");
        ASSERT_EQ(box.size(), 1u);
        EXPECT_EQ(box[0]->args[0], 0);
        EXPECT_EQ(box[0]->args[2], 0);
        EXPECT_EQ(box[0]->args[3], static_cast<std::intptr_t>(MB_ICONERROR));
        EXPECT_EQ(box[0]->strings, std::vector<std::string>{"Startup failed."});
        EXPECT_EQ(headless::observed().presents, 0u);
    }
}

TEST_F(FrameLoopTest, WithNoInputEveryPassComposesAndPresentsAFrame) {
    headless::settings().keep_frames = true;
    headless::settings().present_hook = [](const FrameImage&, std::uint64_t number) {
        if (number == 40) {
            headless::send_key(VK_ESCAPE);
        }
    };
    ASSERT_EQ(run_program(), std::optional<UINT>(0u));

    // 40 idle passes, then Escape, its character message and the quit.
    EXPECT_EQ(headless::observed().presents, 42u);
    EXPECT_EQ(headless::observed().sleeps, 42u);
    EXPECT_EQ(headless::observed().slept_milliseconds, 84u);
    EXPECT_EQ(calls_named("PeekMessageA").size(), 42u);
    EXPECT_EQ(calls_named("GetMessageA").size(), 3u);

    // What the screen shows is the composed frame without its pick ids.
    render_frame();
    const std::vector<std::uint32_t>& shown = headless::observed().last_frame;
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(FRAME_PIXELS));
    std::size_t differences = 0;
    for (int i = 0; i < FRAME_PIXELS; ++i) {
        differences += shown[i] != (pixel_buffer.words[i] & 0x00FFFFFFu);
    }
    EXPECT_EQ(differences, 0u);
}

TEST_F(FrameLoopTest, ABurstIsWorkedOffOneMessagePerFrame) {
    // Keys without characters, so every queued message is one of these.
    const std::vector<WPARAM> keys = {VK_LEFT, VK_UP, VK_F1, VK_DOWN, VK_DELETE, VK_RIGHT};
    for (const WPARAM key : keys) {
        headless::send_key(static_cast<int>(key));
    }
    headless::send_input(WM_CLOSE, 0, 0);
    ASSERT_EQ(run_program(), std::optional<UINT>(0u));

    // Between two dispatches there is always exactly one present.
    std::vector<WPARAM> dispatched_keys;
    int presents_since_dispatch = 0;
    for (const recorded::Call& call : recorded::calls()) {
        if (call.name == "StretchDIBits") {
            ++presents_since_dispatch;
        } else if (call.name == "DispatchMessageA") {
            EXPECT_EQ(presents_since_dispatch, 1);
            presents_since_dispatch = 0;
            if (call.msg.message == WM_KEYDOWN) {
                dispatched_keys.push_back(call.msg.wParam);
            }
        }
    }
    EXPECT_EQ(dispatched_keys, keys);
    // Six keys and the close request, then the quit: eight passes, the last
    // one after the window is gone (so nothing reaches a screen).
    EXPECT_EQ(calls_named("StretchDIBits").size(), 8u);
    EXPECT_EQ(headless::observed().presents, 7u);
}

TEST_F(FrameLoopTest, EscapeAndTheCloseRequestBothEndWithZero) {
    headless::send_key(VK_ESCAPE);
    EXPECT_EQ(run_program(), std::optional<UINT>(0u));
    EXPECT_EQ(calls_named("DestroyWindow").size(), 1u);

    headless::reset();
    recorded::reset();
    headless::send_input(WM_CLOSE, 0, 0);
    headless::send_key(VK_TAB);  // arrives after the window is gone: never handled
    EXPECT_EQ(run_program(), std::optional<UINT>(0u));
    // Default processing destroyed the window; teardown's destroy then fails
    // harmlessly (the program's own call is the only one recorded).
    EXPECT_EQ(calls_named("DestroyWindow").size(), 1u);
    EXPECT_FALSE(headless::observed().window.exists);
    EXPECT_FALSE(std::filesystem::exists("object.3ds"));
}

}  // namespace
