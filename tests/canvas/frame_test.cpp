#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "tests/support/scene_reset.h"

namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override { reset_editor_scene(); }
    void TearDown() override { reset_editor_scene(); }
};

TEST_F(FrameTest, InitialSceneHasTheExpectedWordHistogram) {
    render_frame();
    std::map<std::uint32_t, int> histogram;
    for (std::uint32_t w : pixel_buffer.words) {
        ++histogram[w];
    }
    const std::map<std::uint32_t, int> expected = {
        {0x00FF0000u, 25},   {0x01FF0000u, 25}, {0x02FF0000u, 25},
        {0x03FF0000u, 25},   {0xFD00FFFFu, 25}, {0xFE00FFFFu, 22},
        {0x0000FF00u, 1292}, {0x00FFFFFFu, 20}, {0xFF000000u, 1309261},
    };
    EXPECT_EQ(histogram, expected);
    // The axis line runs through B's square.
    for (auto [x, y] : {std::pair{397, 398}, {398, 399}, {399, 400}}) {
        EXPECT_EQ(pixel_at(x, y), LINE_WORD);
    }
    // The last curve dot lands on the last pixel of the P2-P3 leg.
    EXPECT_EQ(pixel_at(600, 700), CURVE_DOT_WORD);
}

TEST_F(FrameTest, FloatCopiesFollowTheSignedPoints) {
    set_point_by_id(1, make_screen_point(-7, 30000));
    set_point_by_id(PICK_AXIS_B, make_screen_point(1279, -1));
    render_frame();
    EXPECT_EQ(control_f[0].x, 10.0f);
    EXPECT_EQ(control_f[0].y, 20.0f);
    EXPECT_EQ(control_f[1].x, -7.0f);
    EXPECT_EQ(control_f[1].y, 30000.0f);
    EXPECT_EQ(control_f[3].y, 700.0f);
    EXPECT_EQ(axis_f[0].x, 100.0f);
    EXPECT_EQ(axis_f[1].x, 1279.0f);
    EXPECT_EQ(axis_f[1].y, -1.0f);
    for (const Vector3& v : control_f) {
        EXPECT_EQ(v.z, 0.0f);
    }
    for (const Vector3& v : axis_f) {
        EXPECT_EQ(v.z, 0.0f);
    }
}

// Handles far from every line and from the curve, all overlapping at one spot:
// the square drawn later wins, whichever point was moved last.
TEST_F(FrameTest, OverlappingHandlesFollowTheFixedDrawingOrder) {
    // Keep lines and the curve away: P0..P3 on a short vertical run, the axis
    // horizontal elsewhere; then stack squares pairwise and check the winner.
    const PickId order[] = {PICK_P0, PICK_P1, PICK_P2, PICK_P3, PICK_AXIS_A, PICK_AXIS_B};
    for (int lower = 0; lower < 6; ++lower) {
        for (int upper = lower + 1; upper < 6; ++upper) {
            reset_editor_scene();
            // Park every point far away from the probe spot first.
            int park = 0;
            for (PickId id : order) {
                set_point_by_id(id, make_screen_point(1200, 40 + 20 * park++));
            }
            // Overlap the two with a 2-pixel offset, moving the later-drawn one first.
            set_point_by_id(order[upper], make_screen_point(300, 600));
            set_point_by_id(order[lower], make_screen_point(302, 600));
            render_frame();
            // Columns 297..298 are covered by both squares.
            EXPECT_EQ(pick_id_of(pixel_at(298, 598)), order[upper])
                << int{order[lower]} << " vs " << int{order[upper]};
            EXPECT_EQ(pick_id_of(pixel_at(300, 598)), order[lower]);
        }
    }
}

TEST_F(FrameTest, ComposingTwiceGivesIdenticalBuffers) {
    set_point_by_id(2, make_screen_point(321, 654));
    render_frame();
    auto first = std::make_unique<PixelBuffer>(pixel_buffer);
    render_frame();
    EXPECT_EQ(0, std::memcmp(first->words, pixel_buffer.words, sizeof pixel_buffer.words));
}

}  // namespace
