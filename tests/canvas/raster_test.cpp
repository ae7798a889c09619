#include <gtest/gtest.h>

#include <algorithm>
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

struct Pixel {
    int x;
    int y;
    bool operator==(const Pixel&) const = default;
};

// Every pixel of the buffer that is not background, in buffer order.
std::vector<Pixel> drawn_pixels() {
    std::vector<Pixel> out;
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            if (pixel_at(x, y) != BACKGROUND_WORD) {
                out.push_back({x, y});
            }
        }
    }
    return out;
}

// The columns drawn on one row, as [first, last] (first > last when empty),
// checking that they form one contiguous run.
std::pair<int, int> run_on_row(int y) {
    int first = FRAME_WIDTH, last = -1;
    for (int x = 0; x < FRAME_WIDTH; ++x) {
        if (pixel_at(x, y) == BACKGROUND_WORD) {
            continue;
        }
        EXPECT_EQ(pixel_at(x, y), LINE_WORD) << "x=" << x << " y=" << y;
        if (last >= 0) {
            EXPECT_EQ(x, last + 1) << "gap on row " << y;
        }
        if (first > x) {
            first = x;
        }
        last = x;
    }
    return {first, last};
}

// An independent picture of what the primitives must draw, whatever the
// coordinates: each shape is walked whole, in 64 bits, and only its pixels
// inside the frame are kept.
class ReferencePicture {
  public:
    ReferencePicture() : words_(FRAME_PIXELS, BACKGROUND_WORD) {}

    void handle(int x, int y, PickId id) {
        x = std::clamp(x, 5, FRAME_WIDTH - 5);
        y = std::clamp(y, 5, FRAME_HEIGHT - 5);
        const std::uint32_t colour = id >= PICK_AXIS_A ? AXIS_HANDLE_COLOUR : CONTROL_HANDLE_COLOUR;
        for (int row = y - 2; row <= y + 2; ++row) {
            for (int column = x - 5; column < x; ++column) {
                put(column, row, (std::uint32_t{id} << 24) | colour);
            }
        }
    }
    void span(std::int64_t xa, std::int64_t xb, std::int64_t y) {
        const std::int64_t lo = std::min(xa, xb);
        const std::int64_t end = xa == xb ? lo + 1 : std::max(xa, xb);
        for (std::int64_t x = std::max<std::int64_t>(lo, 0);
             x < std::min<std::int64_t>(end, FRAME_WIDTH); ++x) {
            put(x, y, LINE_WORD);
        }
    }
    // Every row from the upper end down, the accumulator stepped row by row.
    void line(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        if (y1 > y2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const std::int64_t slope = (x2 * 65536 - x1 * 65536) / (y2 - y1 + 1);
        std::int64_t acc = x1 * 65536 + 0x7FFF;
        for (std::int64_t y = y1; y <= y2; ++y) {
            span((acc + slope) >> 16, acc >> 16, y);
            acc += slope;
        }
    }
    void dot(std::int64_t x, std::int64_t y, std::uint32_t word) { put(x, y, word); }

    bool equals_buffer() const {
        return std::memcmp(words_.data(), pixel_buffer.words, sizeof pixel_buffer.words) == 0;
    }

  private:
    void put(std::int64_t x, std::int64_t y, std::uint32_t word) {
        if (x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT) {
            words_[static_cast<std::size_t>(y * FRAME_WIDTH + x)] = word;
        }
    }
    std::vector<std::uint32_t> words_;
};

class RasterTest : public ::testing::Test {
  protected:
    void SetUp() override { clear_frame(); }
};

TEST_F(RasterTest, ClearLeavesOnlyBackground) {
    pixel_buffer.words[12345] = 7;
    clear_frame();
    for (std::uint32_t w : pixel_buffer.words) {
        ASSERT_EQ(w, BACKGROUND_WORD);
    }
}

TEST_F(RasterTest, HandleSquareLiesLeftOfThePointAndIsClampedAtBothCorners) {
    draw_handle(make_screen_point(0, 0), 1);
    draw_handle(make_screen_point(1279, 1023), PICK_AXIS_B);
    draw_handle(make_screen_point(600, 500), 2);
    std::vector<Pixel> expected;
    auto square = [&](int x0, int y0) {
        for (int y = y0; y < y0 + 5; ++y) {
            for (int x = x0; x < x0 + 5; ++x) {
                expected.push_back({x, y});
            }
        }
    };
    square(0, 3);        // (0, 0) clamped to (5, 5)
    square(595, 498);    // not centred horizontally: columns x-5..x-1
    square(1270, 1017);  // (1279, 1023) clamped to (1275, 1019)
    EXPECT_EQ(drawn_pixels(), expected);
    EXPECT_EQ(pixel_at(0, 3), 0x01FF0000u);
    EXPECT_EQ(pixel_at(599, 502), 0x02FF0000u);
    EXPECT_EQ(pixel_at(1274, 1021), 0xFE00FFFFu);
    // The colour follows the id alone: 0xFD and up are cyan.
    draw_handle(make_screen_point(300, 300), 0xFC);
    draw_handle(make_screen_point(400, 300), PICK_AXIS_A);
    EXPECT_EQ(pixel_at(295, 300), 0xFCFF0000u);
    EXPECT_EQ(pixel_at(395, 300), 0xFD00FFFFu);
}

TEST_F(RasterTest, SpansCoverLowUpToButNotHighAndEqualEndsCoverOneColumn) {
    fill_span(7, 3, 10);
    fill_span(9, 9, 11);
    fill_span(20, 25, 12);
    EXPECT_EQ(run_on_row(10), std::make_pair(3, 6));
    EXPECT_EQ(run_on_row(11), std::make_pair(9, 9));
    EXPECT_EQ(run_on_row(12), std::make_pair(20, 24));
    EXPECT_EQ(drawn_pixels().size(), 4u + 1u + 5u);
}

TEST_F(RasterTest, HorizontalLineIsOneSpan) {
    draw_line(100, 5, 50, 5);
    EXPECT_EQ(run_on_row(5), std::make_pair(50, 99));
    EXPECT_EQ(drawn_pixels().size(), 50u);
}

TEST_F(RasterTest, VerticalLineHasOneWordPerRow) {
    draw_line(30, 14, 30, 10);  // argument order does not matter
    EXPECT_EQ(drawn_pixels(),
              (std::vector<Pixel>{{30, 10}, {30, 11}, {30, 12}, {30, 13}, {30, 14}}));
}

TEST_F(RasterTest, DiagonalLineStopsOneColumnShort) {
    draw_line(400, 400, 100, 100);
    const auto pixels = drawn_pixels();
    ASSERT_EQ(pixels.size(), 301u);
    EXPECT_EQ(pixels.front(), (Pixel{100, 100}));
    EXPECT_EQ(pixels.back(), (Pixel{399, 400}));
    for (int y = 100; y <= 400; ++y) {
        const auto run = run_on_row(y);
        EXPECT_EQ(run.first, run.second) << "row " << y;
    }
}

TEST_F(RasterTest, SteepLineCoversEveryRowBetweenItsEnds) {
    draw_line(10, 20, 40, 400);
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        const auto run = run_on_row(y);
        if (y < 20 || y > 400) {
            EXPECT_GT(run.first, run.second) << "row " << y;
        } else {
            EXPECT_LE(run.first, run.second) << "row " << y;
        }
    }
    EXPECT_EQ(drawn_pixels().size(), 381u);
}

TEST_F(RasterTest, ShallowLineGetsOneRunPerRowJoinedEndToEnd) {
    // 16.16 steps: slope = 600 * 65536 / 3 = 13107200, bias 0x7FFF.
    draw_line(0, 100, 600, 102);
    EXPECT_EQ(run_on_row(100), std::make_pair(0, 199));
    EXPECT_EQ(run_on_row(101), std::make_pair(200, 399));
    EXPECT_EQ(run_on_row(102), std::make_pair(400, 599));
}

// Points far outside the frame, as any 16-bit coordinate allows, must never
// write outside the buffer (the sanitizer build would catch it), and whatever
// they draw must be clipped pieces of the same line.
TEST(RasterGuard, ExtremeCoordinatesDrawExactlyTheClippedPicture) {
    const int extremes[] = {-32768, -1, 0, 1279, 1280, 1023, 1024, 32767};
    for (int x1 : extremes) {
        for (int y1 : extremes) {
            clear_frame();
            ReferencePicture expected;
            for (int x2 : extremes) {
                for (int y2 : extremes) {
                    draw_handle(make_screen_point(x1, y1), 3);
                    expected.handle(x1, y1, 3);
                    draw_line(x1, y1, x2, y2);
                    expected.line(x1, y1, x2, y2);
                    fill_span(x1, x2, y2);
                    expected.span(x1, x2, y2);
                    plot_dot(x2, y1, CURVE_DOT_WORD);
                    expected.dot(x2, y1, CURVE_DOT_WORD);
                }
            }
            ASSERT_TRUE(expected.equals_buffer()) << "lines from (" << x1 << ", " << y1 << ")";
        }
    }
}

TEST(RasterGuard, ClippedLineMatchesTheVisiblePartOfTheFullLine) {
    // A line whose upper end lies above the frame draws, on each visible row,
    // exactly what the row-by-row walk from that end would have drawn.
    clear_frame();
    draw_line(-300, -500, 900, 700);
    const int rows = 700 - (-500) + 1;
    const std::int64_t slope = (900 * 65536LL - (-300) * 65536LL) / rows;
    std::int64_t acc = -300 * 65536LL + 0x7FFF;
    for (int y = -500; y <= 700; ++y) {
        const std::int64_t next = acc + slope;
        if (y >= 0) {
            int lo = static_cast<int>(std::min(acc, next) >> 16);
            int hi = static_cast<int>(std::max(acc, next) >> 16);
            if (hi == lo) {
                ++hi;
            }
            EXPECT_EQ(run_on_row(y), std::make_pair(std::max(lo, 0), std::min(hi, FRAME_WIDTH) - 1))
                << "row " << y;
        }
        acc = next;
    }
}

TEST(SceneTest, SetPointByIdWritesOnlyTheNamedSlot) {
    reset_editor_scene();
    const ScreenPoint w = make_screen_point(123, 456);
    set_point_by_id(PICK_AXIS_B, w);
    set_point_by_id(2, w);
    EditorScene expected = INITIAL_SCENE;
    expected.axis[1] = w;
    expected.control[2] = w;
    EXPECT_EQ(0, std::memcmp(&editor_scene, &expected, sizeof expected));
    // Ids that name no point are ignored rather than written past the slots.
    const std::uint8_t before = recording_flag;
    for (std::uint32_t id : {4u, 0x80u, PICK_NONE + 0u, 0xFCu, 0x100u, 0xFFFFFFFFu}) {
        set_point_by_id(id, make_screen_point(-1, -1));
    }
    EXPECT_EQ(0, std::memcmp(&editor_scene, &expected, sizeof expected));
    EXPECT_EQ(recording_flag, before);
    reset_editor_scene();
}

TEST(SceneTest, ExtremeScenesComposeWithinTheBuffer) {
    // All six points at one far corner: only B's square, clamped into the
    // frame, is visible; lines and dots fall outside and are dropped.
    struct Case {
        ScreenPoint point;
        int square_x;
        int square_y;
    };
    for (const Case& c : {Case{make_screen_point(-32768, 32767), 0, 1017},
                          Case{make_screen_point(32767, -32768), 1270, 3}}) {
        for (int id : {0, 1, 2, 3, int{PICK_AXIS_A}, int{PICK_AXIS_B}}) {
            set_point_by_id(id, c.point);
        }
        render_frame();
        std::vector<Pixel> expected;
        for (int y = c.square_y; y < c.square_y + 5; ++y) {
            for (int x = c.square_x; x < c.square_x + 5; ++x) {
                expected.push_back({x, y});
            }
        }
        EXPECT_EQ(drawn_pixels(), expected);
        EXPECT_EQ(pixel_at(c.square_x, c.square_y), 0xFE00FFFFu);
    }
    // Mixed extremes: lines and the curve cross the whole frame.
    set_point_by_id(0, make_screen_point(-32768, 32767));
    set_point_by_id(1, make_screen_point(32767, -32768));
    set_point_by_id(2, make_screen_point(-32768, -32768));
    set_point_by_id(3, make_screen_point(32767, 32767));
    set_point_by_id(PICK_AXIS_A, make_screen_point(-32768, 0));
    set_point_by_id(PICK_AXIS_B, make_screen_point(32767, 1023));
    recording_flag = 1;  // keeps the samples, to place the expected dots
    render_frame();
    const EditorScene& s = editor_scene;
    ReferencePicture expected;
    for (int id = 0; id < 4; ++id) {
        expected.handle(screen_x(s.control[id]), screen_y(s.control[id]), static_cast<PickId>(id));
    }
    expected.handle(screen_x(s.axis[0]), screen_y(s.axis[0]), PICK_AXIS_A);
    expected.handle(screen_x(s.axis[1]), screen_y(s.axis[1]), PICK_AXIS_B);
    expected.line(-32768, 0, 32767, 1023);
    expected.line(-32768, 32767, 32767, -32768);
    expected.line(-32768, -32768, 32767, 32767);
    ASSERT_EQ(recorded_count, 20u);
    for (std::uint32_t i = 0; i < recorded_count; ++i) {
        const Vector3& sample = profile_store.samples[i];
        expected.dot(std::lrint(sample.x), std::lrint(sample.y), CURVE_DOT_WORD);
    }
    EXPECT_TRUE(expected.equals_buffer());
    reset_editor_scene();
}

}  // namespace
