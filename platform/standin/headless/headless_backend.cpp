#include <utility>

#include "platform/standin/headless/headless.h"

namespace headless {
namespace {

struct PendingInput {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

struct State {
    std::deque<PendingInput> pending;
    PresentHook present_hook;
    std::uint64_t frame_limit = 100000;
    bool fail_register = false;
    bool fail_create = false;
    std::uint64_t presents = 0;
    std::size_t frames_kept = 0;
    std::deque<std::vector<std::uint32_t>> frames;
    std::uint64_t sleeps = 0;
    std::uint64_t slept_milliseconds = 0;
    WindowState window{};
};

State& state() {
    static State instance;
    return instance;
}

// Posts the waiting input in order; stops at the first post refused (no
// window yet, or a full queue) and tries again next time.
void deliver_pending_input() {
    State& s = state();
    while (!s.pending.empty()) {
        const PendingInput& input = s.pending.front();
        if (!(input.message == WM_MOUSEMOVE
                  ? post_mouse_move(input.lparam)
                  : post_window_message(input.message, input.wparam, input.lparam))) {
            return;
        }
        s.pending.pop_front();
    }
}

// The client area as the screen shows it after this present: the image's
// colour over what was shown before, the top byte cleared.
std::vector<std::uint32_t> screen_after(const FrameImage& image) {
    const State& s = state();
    const auto width = static_cast<std::size_t>(s.window.client_width);
    std::vector<std::uint32_t> screen(width * static_cast<std::size_t>(s.window.client_height));
    if (!s.frames.empty() && s.frames.back().size() == screen.size()) {
        screen = s.frames.back();
    }
    for (int row = 0; row < image.height; ++row) {
        for (int column = 0; column < image.width; ++column) {
            screen[row * width + column] =
                image.pixels[row * image.pitch_words + column] & 0xFFFFFFu;
        }
    }
    return screen;
}

}  // namespace

void reset() {
    reset_window_system();
    state() = State{};
}

std::optional<UINT> run_until_exit(const std::function<void()>& body) {
    try {
        body();
    } catch (const ProcessExit& exit) {
        return exit.code;
    }
    return std::nullopt;
}

void send_input(UINT message, WPARAM wparam, LPARAM lparam) {
    state().pending.push_back({message, wparam, lparam});
}
void send_key(int virtual_key) {
    send_input(WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 0);
}
void send_mouse(UINT message, int x, int y) {
    const std::uint32_t packed = static_cast<std::uint16_t>(x) |
                                 (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16);
    send_input(message, 0, static_cast<LPARAM>(packed));
}
int pending_input_count() {
    return static_cast<int>(state().pending.size());
}

void set_present_hook(PresentHook hook) {
    state().present_hook = std::move(hook);
}
void set_frame_limit(std::uint64_t presents) {
    state().frame_limit = presents;
}
void fail_register_class(bool fail) {
    state().fail_register = fail;
}
void fail_create_window(bool fail) {
    state().fail_create = fail;
}

std::uint64_t present_count() {
    return state().presents;
}
void keep_frames(std::size_t count) {
    State& s = state();
    s.frames_kept = count;
    while (s.frames.size() > count) {
        s.frames.pop_front();
    }
}
const std::deque<std::vector<std::uint32_t>>& frames() {
    return state().frames;
}
std::uint64_t sleep_count() {
    return state().sleeps;
}
std::uint64_t total_sleep_milliseconds() {
    return state().slept_milliseconds;
}
WindowState window_state() {
    return state().window;
}

}  // namespace headless

// ---- The back-end interface ---------------------------------------------------------

using headless::keep_frames;
using headless::state;

bool backend_register_class(const WNDCLASSA& /*window_class*/) {
    return !state().fail_register;
}

bool backend_create_window(const char* caption, int x, int y, int client_width, int client_height) {
    if (state().fail_create) {
        return false;
    }
    state().window = headless::WindowState{true, false, caption, x, y, client_width, client_height};
    return true;
}

void backend_show_window(bool visible) {
    state().window.visible = visible;
}

void backend_destroy_window() {
    state().window.exists = false;
    state().window.visible = false;
}

void backend_present(const FrameImage& image) {
    auto& s = state();
    if (s.presents >= s.frame_limit) {
        throw headless::HeadlessStop("headless: frame limit reached");
    }
    ++s.presents;
    if (s.frames_kept > 0) {
        s.frames.push_back(headless::screen_after(image));
        keep_frames(s.frames_kept);
    }
    if (s.present_hook) {
        s.present_hook(image, s.presents);
    }
}

void backend_pump_events(bool wait) {
    headless::deliver_pending_input();
    if (wait && queued_message_count() == 0) {
        throw headless::HeadlessStop("headless: the program waits for input that never comes");
    }
}

void backend_sleep(DWORD milliseconds) {
    ++state().sleeps;
    state().slept_milliseconds += milliseconds;
}

void backend_exit_process(UINT exit_code) {
    throw headless::ProcessExit{exit_code};
}

int backend_message_box(const char* /*text*/, const char* /*caption*/, UINT /*type*/) {
    return 1;  // OK, at once
}
