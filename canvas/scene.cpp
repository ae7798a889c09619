#include "canvas/scene.h"

EditorScene editor_scene = INITIAL_SCENE;
Vector3 control_f[4];
Vector3 axis_f[2];
std::uint32_t drag_active = 0;
std::uint32_t drag_id = 0;
std::uint8_t recording_flag = 0;

void set_point_by_id(std::uint32_t id, ScreenPoint packed) {
    if (id < 4) {
        editor_scene.control[id] = packed;
    } else if (id == PICK_AXIS_A || id == PICK_AXIS_B) {
        editor_scene.axis[id - PICK_AXIS_A] = packed;
    }
    // Any other id names no point; writing it would land past the six slots.
}
