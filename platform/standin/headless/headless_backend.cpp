#include <deque>
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
    bool keep_frames = false;
    std::vector<std::uint32_t> last_frame;
    std::uint64_t sleeps = 0;
    std::uint64_t slept_milliseconds = 0;
    WindowState window{};
};

State state;

// Posts the waiting input in order; stops at the first post refused (no
// window yet, or a full queue) and tries again next time.
void deliver_pending_input() {
    while (!state.pending.empty()) {
        const PendingInput& input = state.pending.front();
        if (!(input.message == WM_MOUSEMOVE
                  ? post_mouse_move(input.lparam)
                  : post_window_message(input.message, input.wparam, input.lparam))) {
            return;
        }
        state.pending.pop_front();
    }
}

void keep_frame(const FrameImage& image) {
    state.last_frame.clear();
    for (int row = 0; row < image.height; ++row) {
        for (int column = 0; column < image.width; ++column) {
            state.last_frame.push_back(image.pixels[row * image.pitch_words + column] & 0xFFFFFFu);
        }
    }
}

}  // namespace

void reset() {
    reset_window_system();
    state = State{};
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
    state.pending.push_back({message, wparam, lparam});
}
void send_key(int virtual_key) {
    send_input(WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 0);
}
int pending_input_count() {
    return static_cast<int>(state.pending.size());
}

void set_present_hook(PresentHook hook) {
    state.present_hook = std::move(hook);
}
void set_frame_limit(std::uint64_t presents) {
    state.frame_limit = presents;
}
void fail_register_class(bool fail) {
    state.fail_register = fail;
}
void fail_create_window(bool fail) {
    state.fail_create = fail;
}

std::uint64_t present_count() {
    return state.presents;
}
void keep_frames(bool on) {
    state.keep_frames = on;
}
const std::vector<std::uint32_t>& last_frame() {
    return state.last_frame;
}
std::uint64_t sleep_count() {
    return state.sleeps;
}
std::uint64_t total_sleep_milliseconds() {
    return state.slept_milliseconds;
}
WindowState window_state() {
    return state.window;
}

}  // namespace headless

// ---- The back-end interface ---------------------------------------------------------

using headless::state;

bool backend_register_class(const WNDCLASSA& /*window_class*/) {
    return !state.fail_register;
}

bool backend_create_window(const char* caption, int x, int y, int client_width, int client_height) {
    if (state.fail_create) {
        return false;
    }
    state.window = headless::WindowState{true, false, caption, x, y, client_width, client_height};
    return true;
}

void backend_show_window(bool visible) {
    state.window.visible = visible;
}

void backend_destroy_window() {
    state.window.exists = false;
    state.window.visible = false;
}

void backend_present(const FrameImage& image) {
    if (state.presents >= state.frame_limit) {
        throw headless::HeadlessStop("headless: frame limit reached");
    }
    ++state.presents;
    if (state.keep_frames) {
        headless::keep_frame(image);
    }
    if (state.present_hook) {
        state.present_hook(image, state.presents);
    }
}

void backend_pump_events(bool wait) {
    headless::deliver_pending_input();
    if (wait && queued_message_count() == 0) {
        throw headless::HeadlessStop("headless: the program waits for input that never comes");
    }
}

void backend_sleep(DWORD milliseconds) {
    ++state.sleeps;
    state.slept_milliseconds += milliseconds;
}

void backend_exit_process(UINT exit_code) {
    throw headless::ProcessExit{exit_code};
}

int backend_message_box(const char* /*text*/, const char* /*caption*/, UINT /*type*/) {
    return 1;  // OK, at once
}
