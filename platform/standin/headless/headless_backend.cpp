#include <deque>

#include "platform/standin/headless/headless.h"

namespace headless {
namespace {

struct PendingInput {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

std::deque<PendingInput> pending;
Settings chosen;
Observed seen;

// Posts the waiting input in order; stops at the first post refused (no
// window yet, or a full queue) and tries again next time.
void deliver_pending_input() {
    while (!pending.empty()) {
        const PendingInput& input = pending.front();
        if (!post_window_message(input.message, input.wparam, input.lparam)) {
            return;
        }
        pending.pop_front();
    }
}

void keep_frame(const FrameImage& image) {
    seen.last_frame.clear();
    for (int row = 0; row < image.height; ++row) {
        for (int column = 0; column < image.width; ++column) {
            seen.last_frame.push_back(image.pixels[row * image.pitch_words + column] & 0xFFFFFFu);
        }
    }
}

}  // namespace

void reset() {
    reset_window_system();
    pending.clear();
    chosen = Settings{};
    seen = Observed{};
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
    pending.push_back({message, wparam, lparam});
}
void send_key(int virtual_key) {
    send_input(WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 0);
}
int pending_input_count() {
    return static_cast<int>(pending.size());
}

Settings& settings() {
    return chosen;
}
const Observed& observed() {
    return seen;
}

}  // namespace headless

// ---- The back-end interface ---------------------------------------------------------

using headless::chosen;
using headless::seen;

bool backend_register_class(const WNDCLASSA& /*window_class*/) {
    return !chosen.fail_register_class;
}

bool backend_create_window(const char* caption, int x, int y, int client_width, int client_height) {
    if (chosen.fail_create_window) {
        return false;
    }
    seen.window = headless::WindowState{true, false, caption, x, y, client_width, client_height};
    return true;
}

void backend_show_window(bool visible) {
    seen.window.visible = visible;
}

void backend_destroy_window() {
    seen.window.exists = false;
    seen.window.visible = false;
}

bool backend_present(const FrameImage& image) {
    if (chosen.fail_present) {
        return false;
    }
    if (seen.presents >= chosen.frame_limit) {
        throw headless::HeadlessStop("headless: frame limit reached");
    }
    ++seen.presents;
    if (chosen.keep_frames) {
        headless::keep_frame(image);
    }
    if (chosen.present_hook) {
        chosen.present_hook(image, seen.presents);
    }
    return true;
}

void backend_pump_events(bool wait) {
    headless::deliver_pending_input();
    if (wait && queued_message_count() == 0) {
        throw headless::HeadlessStop("headless: the program waits for input that never comes");
    }
}

void backend_sleep(DWORD milliseconds) {
    ++seen.sleeps;
    seen.slept_milliseconds += milliseconds;
}

void backend_exit_process(UINT exit_code) {
    throw headless::ProcessExit{exit_code};
}

int backend_message_box(const char* /*text*/, const char* /*caption*/, UINT /*type*/) {
    return 1;  // OK, at once
}
