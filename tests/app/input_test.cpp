// Keys, picking and dragging: the window procedure on its own, and a whole
// drag-and-export session through the real loop.
#include <algorithm>
#include <cmath>

#include "app_fixture.h"
#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "export/mesh.h"
#include "tests/export/export_test_support.h"
#include "tests/support/mesh_file_check.h"

namespace {

class InputTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        render_frame();
    }

    static LRESULT send(UINT message, WPARAM wparam, LPARAM lparam) {
        return window_procedure(nullptr, message, wparam, lparam);
    }
    static void press(int x, int y) { send(WM_LBUTTONDOWN, 0, at(x, y)); }
    static void move(int x, int y) { send(WM_MOUSEMOVE, 0, at(x, y)); }
    static void release(int x, int y) { send(WM_LBUTTONUP, 0, at(x, y)); }

    // The scene with one point replaced.
    static EditorScene initial_with(PickId id, ScreenPoint point) {
        EditorScene scene = INITIAL_SCENE;
        if (id >= PICK_AXIS_A) {
            scene.axis[id - PICK_AXIS_A] = point;
        } else {
            scene.control[id] = point;
        }
        return scene;
    }

    static void expect_scene(const EditorScene& expected) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(editor_scene.control[i], expected.control[i]) << "P" << i;
        }
        EXPECT_EQ(editor_scene.axis[0], expected.axis[0]) << "A";
        EXPECT_EQ(editor_scene.axis[1], expected.axis[1]) << "B";
    }

    // The first pixel holding `word`, scanning rows top-down.
    static std::pair<int, int> find_word(std::uint32_t word) {
        const std::uint32_t* found =
            std::find(std::begin(pixel_buffer.words), std::end(pixel_buffer.words), word);
        EXPECT_NE(found, std::end(pixel_buffer.words)) << std::hex << word;
        const auto index = static_cast<int>(found - pixel_buffer.words);
        return {index % FRAME_WIDTH, index / FRAME_WIDTH};
    }
};

TEST_F(InputTest, PressOnTheBackgroundThenMovesChangesNothing) {
    ASSERT_EQ(pixel_at(800, 100), BACKGROUND_WORD);
    press(800, 100);
    EXPECT_EQ(drag_active, 0u);
    move(810, 120);
    move(300, 300);
    release(300, 300);
    expect_scene(INITIAL_SCENE);
}

TEST_F(InputTest, PressOnAHandleDragsExactlyThatPointUntilTheRelease) {
    // P2 = (500, 90): its square covers columns 495..499 of rows 88..92.
    ASSERT_EQ(pixel_at(497, 91), 0x02FF0000u);
    press(497, 91);
    EXPECT_EQ(drag_active, 1u);
    EXPECT_EQ(drag_id, static_cast<std::uint32_t>(PICK_P2));

    // The point takes the cursor position exactly, and the frame is
    // recomposed at once: the square sits left of the new position.
    move(700, 300);
    expect_scene(initial_with(PICK_P2, make_screen_point(700, 300)));
    EXPECT_EQ(pixel_at(697, 300), 0x02FF0000u);
    EXPECT_EQ(pixel_at(497, 91), BACKGROUND_WORD);
    // Near the edge the stored point is exact; only its square is clamped.
    move(1279, 0);
    expect_scene(initial_with(PICK_P2, make_screen_point(1279, 0)));
    EXPECT_EQ(pixel_at(1274, 3), 0x02FF0000u);

    release(1279, 0);
    EXPECT_EQ(drag_active, 0u);
    move(20, 20);
    expect_scene(initial_with(PICK_P2, make_screen_point(1279, 0)));
}

TEST_F(InputTest, PressOnALineOrACurveDotSelectsNothing) {
    // The exact pixel of P1 is on the leg P0-P1; a dot of the curve is white.
    ASSERT_EQ(pixel_at(40, 400), LINE_WORD);
    const auto [dot_x, dot_y] = find_word(CURVE_DOT_WORD);
    const auto [axis_x, axis_y] = std::pair{250, 250};
    ASSERT_EQ(pixel_at(axis_x, axis_y), LINE_WORD);

    for (const auto& [x, y] : {std::pair{40, 400}, {dot_x, dot_y}, {axis_x, axis_y}}) {
        SCOPED_TRACE(testing::Message() << "press at " << x << "," << y);
        press(x, y);
        EXPECT_EQ(drag_active, 0u);
        move(900, 900);
        expect_scene(INITIAL_SCENE);
    }

    // While dragging, such a press keeps the current selection too.
    press(497, 91);
    press(40, 400);
    EXPECT_EQ(drag_id, static_cast<std::uint32_t>(PICK_P2));
    press(800, 100);  // background
    EXPECT_EQ(drag_id, static_cast<std::uint32_t>(PICK_P2));
    // A press on another handle re-selects.
    ASSERT_EQ(pixel_at(597, 700), 0x03FF0000u);
    press(597, 700);
    EXPECT_EQ(drag_id, static_cast<std::uint32_t>(PICK_P3));
    EXPECT_EQ(drag_active, 1u);
}

TEST_F(InputTest, VisiblePartOfBsSquareOverAsDragsB) {
    // B just right of A: B's square (97..101, 99..103) is drawn over A's
    // (95..99, 98..102).
    set_point_by_id(PICK_AXIS_B, make_screen_point(102, 101));
    render_frame();
    ASSERT_EQ(pixel_at(98, 100), 0xFE00FFFFu);
    ASSERT_EQ(pixel_at(96, 100), 0xFD00FFFFu);
    press(98, 100);
    move(300, 310);
    expect_scene(initial_with(PICK_AXIS_B, make_screen_point(300, 310)));
}

TEST_F(InputTest, PressOutsideTheBufferIsIgnored) {
    // Read as buffer indices, the columns past either edge wrap onto a handle
    // further down: (1285, 19) onto P0's square at (5, 20), (-160, 49) onto
    // A's at (96, 100), (1777, 90) onto P2's at (497, 91). Only the bounds
    // check keeps them from selecting.
    press(497, 91);  // dragging P2
    for (const LPARAM position :
         {at(1285, 19), at(10, 1024), at(-160, 49), at(10, -1), static_cast<LPARAM>(0xFFFFFFFFu)}) {
        send(WM_LBUTTONDOWN, 0, position);
        EXPECT_EQ(drag_active, 1u);
        EXPECT_EQ(drag_id, static_cast<std::uint32_t>(PICK_P2));
    }
    release(0, 0);
    send(WM_LBUTTONDOWN, 0, at(1777, 90));
    EXPECT_EQ(drag_active, 0u);
}

TEST_F(InputTest, KeysAreNeverPassedOnAndMouseMessagesAre) {
    for (const WPARAM key : {WPARAM{VK_F1}, WPARAM{'A'}, WPARAM{VK_ESCAPE}, WPARAM{VK_TAB}}) {
        EXPECT_EQ(send(WM_KEYDOWN, key, 0), 0);
    }
    EXPECT_TRUE(calls_named("DefWindowProcA").empty());
    // Escape asked to quit with code 0.
    const auto quits = calls_named("PostQuitMessage");
    ASSERT_EQ(quits.size(), 1u);
    EXPECT_EQ(quits[0]->args[0], 0);

    send(WM_LBUTTONDOWN, 0, at(800, 100));
    send(WM_MOUSEMOVE, 0, at(801, 100));
    send(WM_LBUTTONUP, 0, at(801, 100));
    send(WM_CHAR, 'a', 0);
    const auto passed_on = calls_named("DefWindowProcA");
    ASSERT_EQ(passed_on.size(), 4u);
    EXPECT_EQ(passed_on[0]->args[1], static_cast<std::intptr_t>(WM_LBUTTONDOWN));
    EXPECT_EQ(passed_on[1]->args[1], static_cast<std::intptr_t>(WM_MOUSEMOVE));
    EXPECT_EQ(passed_on[1]->args[3], at(801, 100));
    EXPECT_EQ(passed_on[2]->args[1], static_cast<std::intptr_t>(WM_LBUTTONUP));
    EXPECT_EQ(passed_on[3]->args[1], static_cast<std::intptr_t>(WM_CHAR));

    EXPECT_EQ(send(WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(calls_named("PostQuitMessage").size(), 2u);
}

TEST_F(InputTest, TabWritesTheFileEvenWithACollapsedAxis) {
    set_point_by_id(PICK_AXIS_B, INITIAL_SCENE.axis[0]);
    render_frame();
    send(WM_KEYDOWN, VK_TAB, 0);
    expect_mesh_file(read_file("object.3ds"), MESH_VERTICES, MESH_FACES);
    EXPECT_EQ(recording_flag, 0u);
}

TEST_F(InputTest, EveryTabRepeatReplacesTheFile) {
    send(WM_KEYDOWN, VK_TAB, 0);
    const std::vector<std::uint8_t> initial = read_file("object.3ds");
    ASSERT_FALSE(initial.empty());

    press(497, 91);
    move(900, 200);
    send(WM_KEYDOWN, VK_TAB, 0);
    const std::vector<std::uint8_t> moved = read_file("object.3ds");
    EXPECT_NE(moved, initial);
    send(WM_KEYDOWN, VK_TAB, 0);  // an auto-repeat writes the same solid again
    EXPECT_EQ(read_file("object.3ds"), moved);

    move(500, 90);  // P2 back where it started
    send(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(read_file("object.3ds"), initial);
    // The picture did not change with the exports.
    std::vector<std::uint32_t> before(std::begin(pixel_buffer.words), std::end(pixel_buffer.words));
    render_frame();
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(pixel_buffer.words)));
}

TEST_F(InputTest, DragAndExportThroughTheRunningProgram) {
    headless::settings().keep_frames = true;
    // P2 to (640, 480), then B to (900, 800), then Tab: one input per frame.
    feed_one_per_frame({
        {WM_MOUSEMOVE, 0, at(300, 300)},  // not dragging yet
        {WM_LBUTTONDOWN, 0, at(497, 91)},
        {WM_MOUSEMOVE, 0, at(600, 300)},
        {WM_MOUSEMOVE, 0, at(640, 480)},
        {WM_LBUTTONUP, 0, at(640, 480)},
        {WM_LBUTTONDOWN, 0, at(397, 401)},  // B's square, clear of the axis line
        {WM_MOUSEMOVE, 0, at(900, 800)},
        {WM_LBUTTONUP, 0, at(900, 800)},
        {WM_MOUSEMOVE, 0, at(10, 10)},
        {WM_KEYDOWN, VK_TAB, 0},
    });
    ASSERT_EQ(run_program(), std::optional<UINT>(0u));

    EditorScene expected = initial_with(PICK_P2, make_screen_point(640, 480));
    expected.axis[1] = make_screen_point(900, 800);
    expect_scene(expected);
    const std::vector<std::uint8_t> written = read_file("object.3ds");
    ASSERT_FALSE(written.empty());

    // The last frame shown has the moved squares at their new places: along a
    // row and the left column of each, clear of the lines, the colour covers
    // exactly columns x-5..x-1 and rows y-2..y+2. The background is where
    // they were.
    const std::vector<std::uint32_t>& shown = headless::observed().last_frame;
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(FRAME_PIXELS));
    const auto shown_at = [&shown](int x, int y) { return shown[y * FRAME_WIDTH + x]; };
    const auto expect_square = [&shown_at](int x, int y, int row, std::uint32_t colour) {
        for (int column = x - 6; column <= x; ++column) {
            EXPECT_EQ(shown_at(column, row) == colour, column >= x - 5 && column < x)
                << column << "," << row;
        }
        for (int r = y - 3; r <= y + 3; ++r) {
            EXPECT_EQ(shown_at(x - 5, r) == colour, r >= y - 2 && r <= y + 2) << x - 5 << "," << r;
        }
    };
    expect_square(640, 480, 478, CONTROL_HANDLE_COLOUR);           // P2
    expect_square(900, 800, 802, AXIS_HANDLE_COLOUR);              // B
    EXPECT_EQ(shown_at(497, 90), BACKGROUND_WORD & 0x00FFFFFFu);   // P2's old square
    EXPECT_EQ(shown_at(397, 400), BACKGROUND_WORD & 0x00FFFFFFu);  // B's

    // The file holds that scene's solid. Ring 5 is turned by 90 - 5 * 18 = 0
    // degrees: the profile itself, whose sample 9 (t = 1/2) is
    // (P0 + 3 P1 + 3 P2 + P3) / 8 and whose sample 19 is P3. Ring 15 is
    // turned half round the axis direction k (A to B): P3 becomes
    // 2 (k . P3) k - P3.
    expect_mesh_file(written, MESH_VERTICES, MESH_FACES);
    const auto expect_vertex = [&written](int ring, int sample, double x, double y, double z) {
        const std::size_t at = 33 + 12 * static_cast<std::size_t>(ring * 20 + sample);
        EXPECT_NEAR(float_at(written, at), x, 0.01) << "ring " << ring << " sample " << sample;
        EXPECT_NEAR(float_at(written, at + 4), y, 0.01) << "ring " << ring << " sample " << sample;
        EXPECT_NEAR(float_at(written, at + 8), z, 0.01) << "ring " << ring << " sample " << sample;
    };
    expect_vertex(5, 9, (10 + 3 * 40 + 3 * 640 + 600) / 8.0, (20 + 3 * 400 + 3 * 480 + 700) / 8.0,
                  0);
    expect_vertex(5, 19, 600, 700, 0);
    const double kx = 800 / std::hypot(800.0, 700.0);
    const double ky = 700 / std::hypot(800.0, 700.0);
    const double along = kx * 600 + ky * 700;
    expect_vertex(15, 19, 2 * along * kx - 600, 2 * along * ky - 700, 0);
}

}  // namespace
