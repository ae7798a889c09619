// Presentation on an X display (run under Xvfb when there is no screen):
//
//   present                   the SDL back end's present of the whole frame: one
//                             copy into SDL's window surface, then its put
//   present_scaled/S/U        the same into a window at S/256 of the frame's size
//                             (192: 1366x768's fit, 128: half), the whole picture
//                             scaled anew (U = 0) or unchanged, only put (U = 1)
//   present_floor             raw MIT-SHM XShmPutImage + XSync of the same frame,
//                             already in the shared image: the least any
//                             present can cost on this server
//   present_floor_with_copy   the same, with the frame first copied into the
//                             shared image, as any present of the program's
//                             own buffer must
//   frame_loop_pass_sdl       one pass of the frame loop with no input on SDL:
//                             compose, present, sleep 2 ms, look for input
//
// Without a display every one of them reports an error instead of running.
#if KESTROVAN_PRESENT_BENCH

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <SDL.h>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "platform/standin/sdl/sdl_present.h"

// Xlib's headers define short macros (None, Bool, Status); they come last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

constexpr const char* NO_DISPLAY =
    "no X display: set DISPLAY, or run under xvfb-run -s '-screen 0 1600x1200x24'";

bool display_named() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

const FrameImage WHOLE_FRAME = {pixel_buffer.words, FRAME_WIDTH, FRAME_WIDTH, FRAME_HEIGHT};

// ---- SDL ------------------------------------------------------------------------

// One window for the whole run, made the way the back end makes it.
SDL_Window* sdl_window() {
    static SDL_Window* window = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        apply_sdl_hints();
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");  // the same server as the floor
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            window = SDL_CreateWindow("Kestrovan  object.3ds", 0, 0, FRAME_WIDTH, FRAME_HEIGHT,
                                      SDL_WINDOW_HIDDEN);
        }
        if (window != nullptr) {
            SDL_ShowWindow(window);
            render_frame();
            for (int i = 0; i < 10; ++i) {
                SDL_PumpEvents();
                present_to_window(window, WHOLE_FRAME);
            }
        }
    }
    return window;
}

void drain_sdl_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
    }
}

// The benchmark's SDL window, or null after marking the benchmark skipped
// (no display, or SDL could not open one).
SDL_Window* window_or_skip(benchmark::State& state) {
    SDL_Window* window = display_named() ? sdl_window() : nullptr;
    if (window == nullptr) {
        state.SkipWithError(display_named() ? SDL_GetError() : NO_DISPLAY);
    }
    return window;
}

// Presents `request` once per iteration, draining SDL's events now and then.
void present_repeatedly(benchmark::State& state, SDL_Window* window, const FrameImage& request) {
    int pass = 0;
    for (auto _ : state) {
        if (!present_to_window(window, request)) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        if ((++pass & 255) == 0) {
            drain_sdl_events();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(pixel_buffer)));
}

void BM_present(benchmark::State& state) {
    SDL_Window* window = window_or_skip(state);
    if (window == nullptr) {
        return;
    }
    render_frame();
    present_repeatedly(state, window, WHOLE_FRAME);
}

void BM_present_scaled(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int width = FRAME_WIDTH * side / 256;
    const int height = FRAME_HEIGHT * side / 256;
    SDL_Window* window = window_or_skip(state) == nullptr
                             ? nullptr
                             : SDL_CreateWindow("scaled", 0, 0, width, height, SDL_WINDOW_SHOWN);
    const WindowSizes shown{FRAME_WIDTH, FRAME_HEIGHT, width, height};
    render_frame();
    for (auto _ : state) {
        if (state.range(1) == 0) {
            forget_scaled_picture();
        }
        present_to_window(window, WHOLE_FRAME, &shown);
    }
    forget_scaled_picture();
    SDL_DestroyWindow(window);
}

void BM_frame_loop_pass_sdl(benchmark::State& state) {
    SDL_Window* window = window_or_skip(state);
    if (window == nullptr) {
        return;
    }
    for (auto _ : state) {
        render_frame();
        present_to_window(window, WHOLE_FRAME);
        SDL_Delay(2);
        drain_sdl_events();
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// ---- Raw X11 --------------------------------------------------------------------

struct ShmWindow {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    const char* error = nullptr;
};

// A plain X window of the frame's size with one MIT-SHM image, kept for the run.
ShmWindow& shm_window() {
    static ShmWindow shm;
    static bool tried = false;
    if (tried) {
        return shm;
    }
    tried = true;
    shm.display = XOpenDisplay(nullptr);
    if (shm.display == nullptr) {
        shm.error = "cannot open the X display";
        return shm;
    }
    if (XShmQueryExtension(shm.display) == False) {
        shm.error = "the X server has no MIT-SHM extension";
        return shm;
    }
    const int screen = DefaultScreen(shm.display);
    shm.window = XCreateSimpleWindow(shm.display, RootWindow(shm.display, screen), 0, 0,
                                     FRAME_WIDTH, FRAME_HEIGHT, 0, 0, 0);
    XMapWindow(shm.display, shm.window);
    shm.gc = XCreateGC(shm.display, shm.window, 0, nullptr);
    shm.image = XShmCreateImage(shm.display, DefaultVisual(shm.display, screen),
                                static_cast<unsigned>(DefaultDepth(shm.display, screen)), ZPixmap,
                                nullptr, &shm.segment, FRAME_WIDTH, FRAME_HEIGHT);
    if (shm.image == nullptr || shm.image->bits_per_pixel != 32 ||
        shm.image->bytes_per_line != FRAME_WIDTH * 4) {
        shm.error = "the X server's default visual is not 32 bits per pixel";
        return shm;
    }
    shm.segment.shmid = shmget(IPC_PRIVATE, sizeof(pixel_buffer), IPC_CREAT | 0600);
    if (shm.segment.shmid < 0) {
        shm.error = "shmget failed";
        return shm;
    }
    shm.segment.shmaddr = static_cast<char*>(shmat(shm.segment.shmid, nullptr, 0));
    shm.image->data = shm.segment.shmaddr;
    shm.segment.readOnly = False;
    XShmAttach(shm.display, &shm.segment);
    XSync(shm.display, False);
    // Freed once both sides have detached.
    shmctl(shm.segment.shmid, IPC_RMID, nullptr);
    render_frame();
    std::memcpy(shm.image->data, pixel_buffer.words, sizeof(pixel_buffer));
    return shm;
}

void put_and_sync(const ShmWindow& shm) {
    XShmPutImage(shm.display, shm.window, shm.gc, shm.image, 0, 0, 0, 0, FRAME_WIDTH, FRAME_HEIGHT,
                 False);
    XSync(shm.display, False);
}

// The shared-memory window, or null with the benchmark skipped and told why.
const ShmWindow* usable_shm_window(benchmark::State& state) {
    if (!display_named()) {
        state.SkipWithError(NO_DISPLAY);
        return nullptr;
    }
    const ShmWindow& shm = shm_window();
    if (shm.error != nullptr) {
        state.SkipWithError(shm.error);
        return nullptr;
    }
    return &shm;
}

void BM_present_floor(benchmark::State& state) {
    const ShmWindow* shm = usable_shm_window(state);
    if (shm == nullptr) {
        return;
    }
    for (auto _ : state) {
        put_and_sync(*shm);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(pixel_buffer)));
}

void BM_present_floor_with_copy(benchmark::State& state) {
    const ShmWindow* shm_pointer = usable_shm_window(state);
    if (shm_pointer == nullptr) {
        return;
    }
    const ShmWindow& shm = *shm_pointer;
    render_frame();
    for (auto _ : state) {
        std::memcpy(shm.image->data, pixel_buffer.words, sizeof(pixel_buffer));
        put_and_sync(shm);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(pixel_buffer)));
}

}  // namespace

// Medians of five repetitions, in wall-clock time: the X server does the work
// in another process.
BENCHMARK(BM_present)->Name("present")->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_present_scaled)
    ->Name("present_scaled")
    ->ArgsProduct({{192, 128}, {0, 1}})
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_present_floor)
    ->Name("present_floor")
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_present_floor_with_copy)
    ->Name("present_floor_with_copy")
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_frame_loop_pass_sdl)
    ->Name("frame_loop_pass_sdl")
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

#endif  // KESTROVAN_PRESENT_BENCH
