#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/raster.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "tests/support/scene_reset.h"

namespace {

struct Sample {
    float x, y, z;
};

// Straight from the formulas, one parameter value at a time, in scalar single
// precision; volatile stores keep every intermediate rounded to float.
std::vector<Sample> reference_samples(const float px[4], const float py[4]) {
    std::vector<Sample> out;
    const float s = static_cast<float>(1.0 / 20.0);
    float t[4];
    for (int lane = 0; lane < 4; ++lane) {
        t[lane] = static_cast<float>(lane + 1) * s;
    }
    const float dt = 4.0f * s;
    for (int group = 0; group < 5; ++group) {
        for (int lane = 0; lane < 4; ++lane) {
            volatile float tv = t[lane];
            volatile float u = 1.0f - tv;
            volatile float uu = u * u;
            volatile float b0 = u * uu;
            volatile float uu3 = uu * 3.0f;
            volatile float b1 = uu3 * tv;
            volatile float u3 = u * 3.0f;
            volatile float tt = tv * tv;
            volatile float b2 = u3 * tt;
            volatile float b3 = tt * tv;
            auto coordinate = [&](const float p[4]) {
                volatile float a = p[0] * b0;
                volatile float b = p[1] * b1;
                volatile float first_pair = a + b;
                volatile float c = p[2] * b2;
                volatile float d = p[3] * b3;
                volatile float second_pair = c + d;
                return first_pair + second_pair;
            };
            out.push_back({coordinate(px), coordinate(py), 0.0f});
        }
        for (float& lane_t : t) {
            volatile float next = lane_t + dt;
            lane_t = next;
        }
    }
    return out;
}

void set_controls(const int xy[4][2]) {
    for (int i = 0; i < 4; ++i) {
        set_point_by_id(i, make_screen_point(xy[i][0], xy[i][1]));
    }
}

// Composes a frame (which refreshes the float copies) and records one pass.
void record_current_scene() {
    render_frame();
    recording_flag = 1;
    sample_profile_curve();
}

class SamplerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_editor_scene();
        recorded_count = 0;
    }
    void TearDown() override { reset_editor_scene(); }
};

TEST_F(SamplerTest, InitialSceneSamplesMatchTheScalarReferenceBitForBit) {
    record_current_scene();
    ASSERT_EQ(recorded_count, 20u);
    const float px[4] = {10, 40, 500, 600}, py[4] = {20, 400, 90, 700};
    const auto expected = reference_samples(px, py);
    for (int i = 0; i < 20; ++i) {
        const Vector3& got = profile_store.samples[i];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got.x), std::bit_cast<std::uint32_t>(expected[i].x))
            << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got.y), std::bit_cast<std::uint32_t>(expected[i].y))
            << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got.z), 0u) << i;
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(profile_store.samples[0].x), 0x418D0290u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(profile_store.samples[0].y), 0x42900D71u);
    EXPECT_EQ(profile_store.samples[19].x, 600.0f);
    EXPECT_EQ(profile_store.samples[19].y, 700.0f);
}

TEST_F(SamplerTest, SecondSceneSamplesMatchTheScalarReferenceBitForBit) {
    const int controls[4][2] = {{1021, 659}, {-714, 875}, {505, -681}, {906, 917}};
    set_controls(controls);
    record_current_scene();
    const float px[4] = {1021, -714, 505, 906}, py[4] = {659, 875, -681, 917};
    const auto expected = reference_samples(px, py);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(profile_store.samples[i].x),
                  std::bit_cast<std::uint32_t>(expected[i].x))
            << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(profile_store.samples[i].y),
                  std::bit_cast<std::uint32_t>(expected[i].y))
            << i;
    }
}

TEST_F(SamplerTest, InitialSceneDotsLandOnTheExpectedPixelsInOrder) {
    clear_frame();
    render_frame();  // refresh the float copies
    clear_frame();
    sample_profile_curve();
    const int expected[20][2] = {{18, 72},   {31, 115},  {50, 150},  {73, 178},  {101, 201},
                                 {132, 219}, {166, 234}, {202, 248}, {240, 261}, {279, 274},
                                 {318, 289}, {358, 307}, {397, 329}, {434, 356}, {470, 390},
                                 {503, 432}, {533, 482}, {560, 543}, {582, 615}, {600, 700}};
    int white = 0;
    for (std::uint32_t w : pixel_buffer.words) {
        white += w == CURVE_DOT_WORD;
    }
    EXPECT_EQ(white, 20);
    for (const auto& p : expected) {
        EXPECT_EQ(pixel_at(p[0], p[1]), CURVE_DOT_WORD) << p[0] << "," << p[1];
    }
}

TEST_F(SamplerTest, HalfwayRoundingGoesToEven) {
    // Sample 10 of this scene is exactly (698, 780.5): its dot goes on row 780.
    const int controls[4][2] = {{1021, 659}, {714, 875}, {505, 681}, {906, 917}};
    set_controls(controls);
    record_current_scene();
    ASSERT_EQ(profile_store.samples[9].x, 698.0f);
    ASSERT_EQ(profile_store.samples[9].y, 780.5f);
    EXPECT_EQ(pixel_at(698, 780), CURVE_DOT_WORD);
    EXPECT_NE(pixel_at(698, 781), CURVE_DOT_WORD);
}

TEST_F(SamplerTest, RecordingHappensOnlyOnThePassThatAskedForIt) {
    render_frame();
    profile_store.samples[0] = Vector3{-1.0f, -2.0f, -3.0f};
    sample_profile_curve();  // switch off: nothing recorded
    EXPECT_EQ(recorded_count, 0u);
    EXPECT_EQ(profile_store.samples[0].x, -1.0f);

    recording_flag = 1;
    profile_store.samples[20] = Vector3{-5.0f, -5.0f, -5.0f};
    sample_profile_curve();
    EXPECT_EQ(recorded_count, 20u);
    EXPECT_EQ(recording_flag, 0);
    EXPECT_EQ(profile_store.samples[19].x, 600.0f);
    EXPECT_EQ(profile_store.samples[20].x, -5.0f);  // exactly 20 written

    sample_profile_curve();  // the next frame's pass records nothing
    EXPECT_EQ(recorded_count, 0u);
    EXPECT_EQ(profile_store.samples[19].x, 600.0f);
}

TEST_F(SamplerTest, CoincidentControlPointsPutEveryDotOnOnePixel) {
    const int controls[4][2] = {{640, 512}, {640, 512}, {640, 512}, {640, 512}};
    set_controls(controls);
    record_current_scene();
    // The weights need not sum to exactly 1, but every sample rounds there.
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(std::nearbyint(profile_store.samples[i].x), 640.0f) << i;
        EXPECT_EQ(std::nearbyint(profile_store.samples[i].y), 512.0f) << i;
    }
    int white = 0;
    for (std::uint32_t w : pixel_buffer.words) {
        white += w == CURVE_DOT_WORD;
    }
    EXPECT_EQ(white, 1);
    EXPECT_EQ(pixel_at(640, 512), CURVE_DOT_WORD);
}

}  // namespace
