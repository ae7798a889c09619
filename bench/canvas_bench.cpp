// Frame composition against the memory-bandwidth floor of a full redraw.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "tests/support/scene_reset.h"

namespace {

void BM_render_frame(benchmark::State& state) {
    reset_editor_scene();
    for (auto _ : state) {
        render_frame();
        benchmark::DoNotOptimize(pixel_buffer.words[0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_render_frame)->Name("render_frame")->Unit(benchmark::kMicrosecond);

// A plain fill of every word: what any full redraw pays at least.
void BM_buffer_fill(benchmark::State& state) {
    for (auto _ : state) {
        std::fill_n(pixel_buffer.words, FRAME_PIXELS, BACKGROUND_WORD);
        benchmark::DoNotOptimize(pixel_buffer.words[0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_buffer_fill)->Name("buffer_fill")->Unit(benchmark::kMicrosecond);

void BM_sample_profile_curve(benchmark::State& state) {
    reset_editor_scene();
    render_frame();  // refresh the float copies
    for (auto _ : state) {
        sample_profile_curve();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_sample_profile_curve)->Name("sample_profile_curve")->Unit(benchmark::kNanosecond);

}  // namespace
