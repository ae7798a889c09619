// The editor's pace on the desktop, as a user meets it: the real frame loop
// on the SDL back end in a window on a private Xvfb (not a test: figures to
// read against the goals).
//
//   kestrovan_desktop_pace [IDLE_SECONDS]
//
// The program runs on the main thread as it always does; a second thread
// pushes SDL input into it (SDL's event queue is thread-safe) and reads the
// clock. Every present is seen through the link-time wrap of backend_present,
// which stamps it with the time and the position of P2 that the frame shows.
// Reports:
//   - idle CPU seconds per second of the editor, its X server and both
//     (goal: both together <= 0.04), from /proc, next to the X server alone
//     before the editor started
//   - passes (presents) per second idle (expected 0: an idle editor rests)
//     and during a fast drag
//   - latency of a drag move pushed while the loop rests, to the present of
//     the frame that shows it, over LATENCY_MOVES moves: median and 95th
//     percentile (goal <= 20 ms)
//   - during a drag with input faster than the display, the longest time the
//     picture went without an update (goal: within one display frame)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/program.h"
#include "canvas/scene.h"
#include "platform/standin/backend.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LATENCY_MOVES = 300;
constexpr double LATENCY_GOAL_MS = 20;
constexpr double IDLE_CPU_GOAL = 0.04;
constexpr auto DRAG_SECONDS = std::chrono::seconds(3);
constexpr auto DRAG_INPUT_INTERVAL = std::chrono::milliseconds(1);  // a 1000 Hz mouse
// P2 starts at (500, 90); its square covers columns 495..499, rows 88..92.
constexpr int GRAB_X = 497;
constexpr int GRAB_Y = 90;

// ---- Presents, as the main thread makes them -------------------------------------

struct PresentRecord {
    Clock::time_point time;
    ScreenPoint p2;
};
constexpr int MAX_RECORDS = 1 << 16;
PresentRecord records[MAX_RECORDS];
std::atomic<int> record_count{0};
std::atomic<Uint32> window_id{0};

}  // namespace

// The linker sends the core's calls of backend_present (named here by its
// mangled name) to the __wrap_ function; __real_ is the back end's own.
extern "C" bool __real__Z15backend_presentRK10FrameImage(const FrameImage& image);
extern "C" bool __wrap__Z15backend_presentRK10FrameImage(const FrameImage& image) {
    const bool shown = __real__Z15backend_presentRK10FrameImage(image);
    if (window_id.load(std::memory_order_relaxed) == 0) {
        for (Uint32 id = 1; id < 64 && window_id.load(std::memory_order_relaxed) == 0; ++id) {
            if (SDL_GetWindowFromID(id) != nullptr) {
                window_id.store(id, std::memory_order_relaxed);
            }
        }
    }
    const int n = record_count.load(std::memory_order_relaxed);
    if (n < MAX_RECORDS) {
        records[n] = {Clock::now(), editor_scene.control[PICK_P2]};
        record_count.store(n + 1, std::memory_order_release);
    }
    return shown;
}

namespace {

// ---- The private X server ----------------------------------------------------------

pid_t server_pid = 0;

void stop_server() {
    if (server_pid > 0) {
        kill(server_pid, SIGTERM);
        waitpid(server_pid, nullptr, 0);
        server_pid = 0;
    }
}

// Starts Xvfb on a free display (it names it on a pipe) and points DISPLAY at it.
bool start_server() {
    int names[2];
    if (pipe(names) != 0) {
        return false;
    }
    server_pid = fork();
    if (server_pid == 0) {
        close(names[0]);
        // Xvfb names every display it finds taken on its standard error.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(names[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1200x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(names[1]);
    std::string display;
    char c = 0;
    while (server_pid > 0 && read(names[0], &c, 1) == 1 && c != '\n') {
        display += c;
    }
    close(names[0]);
    if (server_pid < 0 || display.empty()) {
        return false;
    }
    std::atexit(stop_server);
    setenv("DISPLAY", (":" + display).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return true;
}

// ---- Measuring -----------------------------------------------------------------------

// User plus system CPU seconds of a process, all its threads.
double cpu_seconds(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return 0;
    }
    char text[1024] = {};
    const size_t length = std::fread(text, 1, sizeof(text) - 1, file);
    std::fclose(file);
    text[length] = '\0';
    // Fields after the command's closing parenthesis; utime and stime are 14 and 15.
    const char* rest = std::strrchr(text, ')');
    unsigned long utime = 0;
    unsigned long stime = 0;
    if (rest == nullptr ||
        std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                    &stime) != 2) {
        return 0;
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

void push_mouse(Uint32 type, int x, int y) {
    SDL_Event event{};
    if (type == SDL_MOUSEMOTION) {
        event.motion.type = type;
        event.motion.windowID = window_id.load(std::memory_order_relaxed);
        event.motion.x = x;
        event.motion.y = y;
        event.motion.state = SDL_BUTTON_LMASK;
    } else {
        event.button.type = type;
        event.button.windowID = window_id.load(std::memory_order_relaxed);
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = x;
        event.button.y = y;
    }
    event.common.timestamp = SDL_GetTicks();
    SDL_PushEvent(&event);
}

// Waits for the first present from `from` on that shows P2 at `where`; its index.
int wait_for_present_showing(int from, ScreenPoint where) {
    for (int seen = from;; std::this_thread::sleep_for(std::chrono::microseconds(200))) {
        const int count = record_count.load(std::memory_order_acquire);
        for (; seen < count; ++seen) {
            if (records[seen].p2 == where) {
                return seen;
            }
        }
        if (count == MAX_RECORDS) {
            return -1;
        }
    }
}

const char* verdict(bool ok) {
    return ok ? "meets the goal" : "MISSES the goal";
}

double server_alone_cpu = 0;  // CPU s/s of the X server before the editor starts

void drive(double idle_seconds) {
    while (record_count.load(std::memory_order_acquire) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));

    // Idle: nobody touches the editor.
    const pid_t self = getpid();
    const int idle_first = record_count.load(std::memory_order_acquire);
    const double editor_before = cpu_seconds(self);
    const double server_before = cpu_seconds(server_pid);
    const Clock::time_point idle_start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(idle_seconds));
    const double idle_wall = seconds_between(idle_start, Clock::now());
    const double editor_cpu = (cpu_seconds(self) - editor_before) / idle_wall;
    const double server_cpu = (cpu_seconds(server_pid) - server_before) / idle_wall;
    const double idle_passes =
        (record_count.load(std::memory_order_acquire) - idle_first) / idle_wall;

    // Latency: one move at a time, pushed at a random moment of the rest.
    push_mouse(SDL_MOUSEBUTTONDOWN, GRAB_X, GRAB_Y);
    std::mt19937 random(17);
    std::uniform_int_distribution<int> rest_us(0, 25000);
    std::vector<double> latencies_ms;
    int from = record_count.load(std::memory_order_acquire);
    for (int i = 0; i < LATENCY_MOVES && from >= 0; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(rest_us(random)));
        const int x = 300 + (i % 2) * 400 + i % 97;
        const int y = 200 + i % 300;
        const Clock::time_point pushed = Clock::now();
        push_mouse(SDL_MOUSEMOTION, x, y);
        from = wait_for_present_showing(from, make_screen_point(x, y));
        if (from >= 0) {
            latencies_ms.push_back(seconds_between(pushed, records[from].time) * 1000);
        }
    }

    // A drag with input faster than the display: every pass shows a new position.
    const int drag_first = record_count.load(std::memory_order_acquire);
    const Clock::time_point drag_start = Clock::now();
    for (int i = 0; Clock::now() - drag_start < DRAG_SECONDS; ++i) {
        push_mouse(SDL_MOUSEMOTION, 200 + i % 800, 300 + (i / 800) % 400);
        std::this_thread::sleep_for(DRAG_INPUT_INTERVAL);
    }
    const double drag_wall = seconds_between(drag_start, Clock::now());
    const int drag_last = record_count.load(std::memory_order_acquire);
    double longest_without_update_ms = 0;
    int updates = 0;
    Clock::time_point last_update = records[drag_first].time;
    for (int i = drag_first + 1; i < drag_last; ++i) {
        if (records[i].p2 != records[i - 1].p2) {
            ++updates;
            longest_without_update_ms = std::max(
                longest_without_update_ms, seconds_between(last_update, records[i].time) * 1000);
            last_update = records[i].time;
        }
    }
    push_mouse(SDL_MOUSEBUTTONUP, 600, 600);

    SDL_DisplayMode mode{};
    const bool rate_known = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0;
    const double frame_ms = 1000.0 / (rate_known ? mode.refresh_rate : 60);
    std::printf("display refresh:             %s, one frame %.1f ms\n",
                rate_known ? "reported by SDL" : "unknown (60 Hz assumed)", frame_ms);
    std::printf("idle CPU s/s, editor:        %.4f\n", editor_cpu);
    std::printf("idle CPU s/s, X server:      %.4f\n", server_cpu);
    std::printf("idle CPU s/s, both:          %.4f   (goal <= %.2f: %s)\n", editor_cpu + server_cpu,
                IDLE_CPU_GOAL, verdict(editor_cpu + server_cpu <= IDLE_CPU_GOAL));
    std::printf("idle CPU s/s, X server alone: %.4f (before the editor started)\n",
                server_alone_cpu);
    std::printf("passes per second, idle:     %.1f   (expected 0: %s)\n", idle_passes,
                idle_passes == 0 ? "rests" : "MISSES it");
    if (latencies_ms.size() == LATENCY_MOVES) {
        const double p95 = percentile(latencies_ms, 0.95);
        std::printf(
            "move to present, %d moves: %.2f ms median, %.2f ms p95, %.2f ms max   "
            "(goal p95 <= %.0f ms: %s)\n",
            LATENCY_MOVES, percentile(latencies_ms, 0.5), p95, percentile(latencies_ms, 1.0),
            LATENCY_GOAL_MS, verdict(p95 <= LATENCY_GOAL_MS));
    } else {
        std::printf("move to present: MISSES the goal: only %zu of %d moves were shown\n",
                    latencies_ms.size(), LATENCY_MOVES);
    }
    std::printf(
        "passes per second, drag:     %.1f (input every %lld ms), %.1f picture updates "
        "per second\n",
        (drag_last - drag_first) / drag_wall, static_cast<long long>(DRAG_INPUT_INTERVAL.count()),
        updates / drag_wall);
    std::printf("longest without an update:   %.2f ms   (goal <= one frame: %s)\n",
                longest_without_update_ms, verdict(longest_without_update_ms <= frame_ms));
    std::fflush(stdout);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

}  // namespace

int main(int argc, char** argv) {
    const double idle_seconds = argc > 1 ? std::atof(argv[1]) : 10;
    if (idle_seconds <= 0 || !start_server()) {
        std::fprintf(stderr, "usage: kestrovan_desktop_pace [IDLE_SECONDS]; needs Xvfb on PATH\n");
        return 2;
    }
    const double server_before = cpu_seconds(server_pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(idle_seconds));
    server_alone_cpu = (cpu_seconds(server_pid) - server_before) / idle_seconds;
    std::thread(drive, idle_seconds).detach();
    start_program();
}
