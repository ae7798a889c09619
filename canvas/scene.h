// The editor's scene: six draggable points, their single-precision copies,
// the pick ids that name them and the interaction flags. All state is static.
#pragma once

#include <cstdint>

// A packed screen position: x in the low 16 bits, y in the high 16 bits, each
// a signed 16-bit pixel coordinate. It is exactly the layout of the cursor
// position a mouse message carries, so a drag stores that word unchanged.
using ScreenPoint = std::uint32_t;

constexpr ScreenPoint make_screen_point(int x, int y) {
    return static_cast<std::uint16_t>(x) |
           (static_cast<ScreenPoint>(static_cast<std::uint16_t>(y)) << 16);
}
constexpr std::int16_t screen_x(ScreenPoint p) {
    return static_cast<std::int16_t>(p & 0xFFFFu);
}
constexpr std::int16_t screen_y(ScreenPoint p) {
    return static_cast<std::int16_t>(p >> 16);
}

// The top byte of every pixel word names the point whose handle covers it.
using PickId = std::uint8_t;
constexpr PickId PICK_NONE = 0xFF;  // background
constexpr PickId PICK_P0 = 0;
constexpr PickId PICK_P1 = 1;
constexpr PickId PICK_P2 = 2;
constexpr PickId PICK_P3 = 3;
constexpr PickId PICK_AXIS_A = 0xFD;
constexpr PickId PICK_AXIS_B = 0xFE;

struct Vector3 {
    float x;
    float y;
    float z;
};

// The axis endpoints are stored directly after the control points.
struct EditorScene {
    ScreenPoint control[4];  // P0..P3 of the cubic Bezier profile
    ScreenPoint axis[2];     // A, B
};

constexpr EditorScene INITIAL_SCENE = {
    {make_screen_point(10, 20), make_screen_point(40, 400), make_screen_point(500, 90),
     make_screen_point(600, 700)},
    {make_screen_point(100, 100), make_screen_point(400, 400)},
};

extern EditorScene editor_scene;

// Single-precision copies of the points as (x, y, 0), refreshed by every frame
// composition. The sampler and the export read only these.
extern Vector3 control_f[4];
extern Vector3 axis_f[2];

extern std::uint32_t drag_active;    // 0 or 1
extern std::uint32_t drag_id;        // pick id of the dragged point
extern std::uint8_t recording_flag;  // 1: the next sampler pass records for export

// Stores `packed` into the point the id names: ids 0..3 address the control
// points, 0xFD and 0xFE the axis endpoints. Any other id is ignored.
void set_point_by_id(std::uint32_t id, ScreenPoint packed);
