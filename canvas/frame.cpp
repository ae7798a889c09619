#include "canvas/frame.h"

#include "canvas/raster.h"
#include "canvas/scene.h"
#include "curve/sampler.h"

namespace {

Vector3 float_copy_of(ScreenPoint p) {
    return Vector3{static_cast<float>(screen_x(p)), static_cast<float>(screen_y(p)), 0.0f};
}

void draw_line_between(ScreenPoint a, ScreenPoint b) {
    draw_line(screen_x(a), screen_y(a), screen_x(b), screen_y(b));
}

}  // namespace

// The order is fixed: later writes win where they meet, which decides what a
// press on an overlap selects (B over A over P3 over ... over P0, and lines
// and dots over every handle).
void render_frame() {
    const EditorScene& s = editor_scene;
    clear_frame();
    for (int i = 0; i < 4; ++i) {
        draw_handle(s.control[i], static_cast<PickId>(PICK_P0 + i));
    }
    for (int i = 0; i < 4; ++i) {
        control_f[i] = float_copy_of(s.control[i]);
    }
    axis_f[0] = float_copy_of(s.axis[0]);
    axis_f[1] = float_copy_of(s.axis[1]);
    draw_handle(s.axis[0], PICK_AXIS_A);
    draw_handle(s.axis[1], PICK_AXIS_B);
    draw_line_between(s.axis[0], s.axis[1]);
    draw_line_between(s.control[0], s.control[1]);  // leg P0-P1
    draw_line_between(s.control[2], s.control[3]);  // leg P2-P3
    sample_profile_curve();
}
