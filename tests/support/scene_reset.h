// For suites, benchmarks and the fuzzer that run the program many times in
// one process: the scene as a fresh process has it.
#pragma once

#include "canvas/scene.h"

// Puts the scene, its float copies and the flags back to their start-up
// values.
inline void reset_editor_scene() {
    editor_scene = INITIAL_SCENE;
    for (Vector3& v : control_f) {
        v = Vector3{0.0f, 0.0f, 0.0f};
    }
    for (Vector3& v : axis_f) {
        v = Vector3{0.0f, 0.0f, 0.0f};
    }
    drag_active = 0;
    drag_id = 0;
    recording_flag = 0;
}
