// The frame loop with no input on the headless back end: compose, present
// (nothing is copied), the pause (not waited for) and the message check.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "app/program.h"
#include "canvas/scene.h"
#include "platform/standin/headless/headless.h"
#include "tests/support/scene_reset.h"

namespace {

void headless_frame_loop(benchmark::State& state) {
    constexpr std::uint64_t FRAMES = 500;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        headless::reset();
        reset_editor_scene();
        headless::settings().present_hook = [](const FrameImage&, std::uint64_t number) {
            if (number == FRAMES) {
                headless::send_key(VK_ESCAPE);
            }
        };
        const auto code = headless::run_until_exit(start_program);
        if (code != std::optional<UINT>(0u)) {
            state.SkipWithError("the program did not end with exit code 0");
            break;
        }
        frames += headless::observed().presents;
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    headless::reset();
    reset_editor_scene();
}
BENCHMARK(headless_frame_loop)->Unit(benchmark::kMillisecond);

}  // namespace
