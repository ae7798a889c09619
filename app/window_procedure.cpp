#include <cstdint>

#include "app/program.h"
#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "export/mesh.h"

namespace {

// The word a handle square is drawn with: red for control points, cyan for
// the axis endpoints, with the point's pick id in the top byte.
bool is_handle_word(std::uint32_t word) {
    const PickId id = pick_id_of(word);
    const std::uint32_t colour = word & 0x00FFFFFFu;
    if (id <= PICK_P3) {
        return colour == CONTROL_HANDLE_COLOUR;
    }
    if (id == PICK_AXIS_A || id == PICK_AXIS_B) {
        return colour == AXIS_HANDLE_COLOUR;
    }
    return false;
}

void handle_key(WPARAM key) {
    switch (key) {
        case VK_TAB:
            // Record one sampler pass (it plots the dots already on screen)
            // and write the solid, before the next frame.
            recording_flag = 1;
            sample_profile_curve();
            export_solid();
            break;
        case VK_ESCAPE:
            PostQuitMessage(0);
            break;
        default:
            break;
    }
}

// A press selects the point whose handle is under the cursor in the last
// composed frame. Lines and curve dots carry pick id 0 too, but they are not
// P0's handle: a press on them, as on the background, keeps the drag state.
void press(LPARAM position) {
    const unsigned x = LOWORD(position);
    const unsigned y = HIWORD(position);
    if (x >= static_cast<unsigned>(FRAME_WIDTH) || y >= static_cast<unsigned>(FRAME_HEIGHT)) {
        return;
    }
    const std::uint32_t word = pixel_at(static_cast<int>(x), static_cast<int>(y));
    if (is_handle_word(word)) {
        drag_id = pick_id_of(word);
        drag_active = 1;
    }
}

// While dragging, the point takes the cursor position word exactly and the
// frame is recomposed at once.
void move(LPARAM position) {
    if (drag_active == 1) {
        set_point_by_id(drag_id, static_cast<ScreenPoint>(position));
        render_frame();
    }
}

}  // namespace

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_KEYDOWN:
            handle_key(wparam);
            return 0;
        case WM_LBUTTONDOWN:
            press(lparam);
            break;
        case WM_MOUSEMOVE:
            move(lparam);
            break;
        case WM_LBUTTONUP:
            drag_active = 0;
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
