// Headless window back end, for tests: no screen, no waiting. A test feeds
// input, watches every presented frame, and can make class registration,
// window creation or presents fail. (The platform calls themselves are
// recorded, where a test wants them, by tests/support/call_record.h.)
//
// ExitProcess does not end the process: it throws ProcessExit, which
// run_until_exit() turns into the exit code, so a test always sees how the
// program ended and an early exit can never pass unnoticed. A program that
// would wait for input that never comes, or runs past the frame limit,
// throws HeadlessStop instead of hanging.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/standin/backend.h"

namespace headless {

struct ProcessExit {
    UINT code;
};

struct HeadlessStop : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Everything back to a fresh process: window system, input, settings and
// observations.
void reset();

// Runs body (usually start_program) until ExitProcess and returns its code;
// nullopt if body returned without calling ExitProcess.
std::optional<UINT> run_until_exit(const std::function<void()>& body);

// Input as a user would give it. It waits outside the queue and is posted
// (all of it, in order) when the program next looks for messages; mouse moves
// coalesce as they do with a real window.
void send_input(UINT message, WPARAM wparam, LPARAM lparam);
void send_key(int virtual_key);  // WM_KEYDOWN
int pending_input_count();

// Called after every present with the presented image and the present's
// number (1 for the first). A hook may send input or throw to stop the run.
using PresentHook = std::function<void(const FrameImage& image, std::uint64_t number)>;

// What a test may set at any time.
struct Settings {
    PresentHook present_hook;
    std::uint64_t frame_limit = 100000;  // a present beyond this many throws HeadlessStop
    bool fail_register_class = false;
    bool fail_create_window = false;
    bool fail_present = false;  // every present fails, showing nothing
    bool keep_frames = false;   // keep the last present in Observed::last_frame
};
Settings& settings();

// The native window as last created.
struct WindowState {
    bool exists;
    bool visible;
    std::string caption;
    int x;
    int y;
    int client_width;
    int client_height;
};

// What the run did.
struct Observed {
    WindowState window{};
    // The last image as the screen shows it (top byte cleared), rows top-down
    // one after another; kept only while Settings::keep_frames is on.
    std::vector<std::uint32_t> last_frame;
    std::uint64_t presents = 0;
    std::uint64_t sleeps = 0;
    std::uint64_t slept_milliseconds = 0;
};
const Observed& observed();

}  // namespace headless
