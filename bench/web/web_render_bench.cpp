// The browser edition's costs, measured in the page (bench.html) that
// bench_web.mjs opens: render_frame in wasm, and the present into the editor
// canvas including a one-pixel read-back that waits for it to finish, of a
// changed picture and of an unchanged one.
// Results go to Module.report as one JSON text.
#include <algorithm>
#include <cstdio>

#include <emscripten.h>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "platform/standin/web/web_present.h"
#include "tests/support/scene_reset.h"

namespace {

constexpr int RENDER_RUNS = 400;
constexpr int PRESENT_RUNS = 200;
double samples[RENDER_RUNS];

double median(int count) {
    std::sort(samples, samples + count);
    return samples[count / 2];
}

}  // namespace

// clang-format off
// The back end keeps the open editor canvas's 2D context in Module.editor.
EM_JS(void, read_back_one_pixel, (), { Module.editor.context.getImageData(0, 0, 1, 1); });
EM_JS(void, report, (const char* json), { Module.report(UTF8ToString(json)); });
// clang-format on

int main() {
    reset_editor_scene();
    if (!open_editor_canvas(FRAME_WIDTH, FRAME_HEIGHT)) {
        report("{\"error\": \"no editor canvas\"}");
        return 1;
    }
    for (int i = 0; i < 20; ++i) {
        render_frame();
    }
    double total = 0.0;
    for (int i = 0; i < RENDER_RUNS; ++i) {
        const double start = emscripten_get_now();
        render_frame();
        samples[i] = emscripten_get_now() - start;
        total += samples[i];
    }
    const double render_mean = total / RENDER_RUNS;
    const double render_median = median(RENDER_RUNS);

    // Every picture differs from the one before (P2 moves a pixel and back).
    const FrameImage image{pixel_buffer.words, FRAME_WIDTH, FRAME_WIDTH, FRAME_HEIGHT};
    for (int i = 0; i < PRESENT_RUNS; ++i) {
        editor_scene.control[2] = make_screen_point(500 + i % 2, 90);
        render_frame();
        const double start = emscripten_get_now();
        present_to_editor(image);
        read_back_one_pixel();
        samples[i] = emscripten_get_now() - start;
        emscripten_sleep(2);  // as the frame loop: the browser gets its turn
    }
    const double present_median = median(PRESENT_RUNS);
    // The same picture again: the canvas already shows it.
    for (int i = 0; i < PRESENT_RUNS; ++i) {
        const double start = emscripten_get_now();
        present_to_editor(image);
        read_back_one_pixel();
        samples[i] = emscripten_get_now() - start;
        emscripten_sleep(2);
    }
    const double unchanged_median = median(PRESENT_RUNS);

    char json[320];
    std::snprintf(json, sizeof json,
                  "{\"render_mean_ms\": %.4f, \"render_median_ms\": %.4f, "
                  "\"present_median_ms\": %.4f, \"present_unchanged_median_ms\": %.4f}",
                  render_mean, render_median, present_median, unchanged_median);
    report(json);
    return 0;
}
