// A storm of random window messages through the real frame loop and window
// procedure: presses, moves and releases anywhere in the 32-bit position
// word, keys of every kind with Tab among them, and a close request at the
// end. The program must end normally, and every file a Tab writes must be
// complete.
#include <chrono>
#include <deque>
#include <filesystem>
#include <iostream>
#include <random>

#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "export/mesh.h"
#include "run_settings.h"
#include "tests/app/app_fixture.h"
#include "tests/export/export_test_support.h"
#include "tests/support/mesh_file_check.h"
#include "tests/support/scene_reset.h"

namespace {

constexpr std::uint64_t DEFAULT_SEED = 0x6B657374726F7661u;
constexpr std::uint64_t DEFAULT_MESSAGES = SANITIZED_BUILD ? 20000 : 200000;
// The storm is split into program runs of this many messages, each from a
// fresh start: points dragged far off the canvas can never be grabbed again,
// so one endless run would soon have nothing left to drag.
constexpr std::uint64_t MESSAGES_PER_RUN = 10000;
constexpr std::uint32_t EXPORT_FILE_BYTES = 10921;
constexpr char EXPORT_NAME[] = "object.3ds";

// Thrown from the present hook to end the run at the first bad file.
struct BadExport {};

struct Message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the storm did, for the summary line.
struct StormCounts {
    std::uint64_t messages = 0;
    std::uint64_t bursts = 0;
    std::uint64_t drags = 0;
    std::uint64_t files_checked = 0;
    std::uint64_t dragging_frames = 0;
    std::uint64_t off_canvas_frames = 0;
};

class MessageStorm {
  public:
    MessageStorm(std::mt19937_64& random, StormCounts& counts) : random_(random), counts_(counts) {}

    // Called after every present. Input is given only once everything sent
    // before has been worked off (the loop takes one message per frame), so
    // each message sent reaches the window procedure; now and then several
    // go at once, and a move then replaces a pending move as it would on
    // Windows. After `quota` messages comes the close request.
    void on_present(std::uint64_t quota) {
        note_frame();
        if (closing_ || queued_message_count() != 0 || headless::pending_input_count() != 0) {
            return;
        }
        if (export_due_) {
            check_export();
        }
        if (sent_ >= quota) {
            headless::send_input(WM_CLOSE, 0, 0);
            closing_ = true;
            return;
        }
        std::uint64_t burst = 1;
        if (chance(64)) {
            burst = 2 + below(7);
            ++counts_.bursts;
        }
        for (; burst > 0 && sent_ < quota; --burst) {
            send(next_message());
        }
    }

  private:
    bool chance(std::uint64_t one_in) { return below(one_in) == 0; }
    std::uint64_t below(std::uint64_t bound) { return random_() % bound; }
    std::uint32_t any_word() { return static_cast<std::uint32_t>(random_()); }
    int within(int low, int high) { return low + static_cast<int>(below(high - low + 1)); }
    static LPARAM at_word(std::uint32_t word) { return static_cast<LPARAM>(word); }

    LPARAM in_window() {
        return at_word(make_screen_point(within(0, FRAME_WIDTH - 1), within(0, FRAME_HEIGHT - 1)));
    }

    // Anywhere in the position word: far outside, negative halves, or
    // sign-extended to the full width of the parameter.
    LPARAM wild_position() {
        return chance(4) ? static_cast<LPARAM>(static_cast<std::int32_t>(any_word()))
                         : at_word(any_word());
    }

    // Mostly on the window, often just around its edges, sometimes anywhere.
    LPARAM any_position() {
        const std::uint64_t roll = below(10);
        if (roll < 6) {
            return in_window();
        }
        if (roll < 8) {
            return at_word(
                make_screen_point(within(-40, FRAME_WIDTH + 40), within(-40, FRAME_HEIGHT + 40)));
        }
        return wild_position();
    }

    // Somewhere on the square of a random point (columns x-5..x-1, rows
    // y-2..y+2); a line or a dot drawn over it may still take the press.
    LPARAM on_a_handle() {
        const std::uint64_t which = below(6);
        const ScreenPoint p =
            which < 4 ? editor_scene.control[which] : editor_scene.axis[which - 4];
        return at_word(make_screen_point(screen_x(p) - within(1, 5), screen_y(p) + within(-2, 2)));
    }

    // Any key but Escape, which would end the run early.
    WPARAM any_key_but_escape() {
        const WPARAM key =
            chance(16) ? static_cast<WPARAM>(random_()) : static_cast<WPARAM>(below(256));
        return key == VK_ESCAPE ? VK_SPACE : key;
    }

    // A drag as a hand makes it: a press on a handle, moves mostly over the
    // window with excursions anywhere, usually back over the window before
    // the release, which may come from anywhere.
    void plan_drag() {
        ++counts_.drags;
        planned_.push_back({WM_LBUTTONDOWN, 0, on_a_handle()});
        for (std::uint64_t moves = 1 + below(12); moves > 0; --moves) {
            planned_.push_back({WM_MOUSEMOVE, 0, chance(6) ? wild_position() : in_window()});
        }
        if (!chance(8)) {
            planned_.push_back({WM_MOUSEMOVE, 0, in_window()});
        }
        planned_.push_back({WM_LBUTTONUP, 0, any_position()});
    }

    Message next_message() {
        if (planned_.empty() && chance(12)) {
            plan_drag();
        }
        if (!planned_.empty()) {
            const Message planned = planned_.front();
            planned_.pop_front();
            return planned;
        }
        const auto word = static_cast<LPARAM>(any_word());
        const std::uint64_t roll = below(1000);
        if (roll < 6) {
            return {WM_KEYDOWN, VK_TAB, 1};
        }
        if (roll < 150) {
            return {WM_LBUTTONDOWN, 0, any_position()};
        }
        if (roll < 500) {
            return {WM_MOUSEMOVE, 0, any_position()};
        }
        if (roll < 600) {
            return {WM_LBUTTONUP, 0, any_position()};
        }
        if (roll < 800) {
            return {WM_KEYDOWN, any_key_but_escape(), word};
        }
        if (roll < 900) {
            return {WM_KEYUP, static_cast<WPARAM>(below(256)), word};
        }
        if (roll < 970) {
            return {WM_CHAR, static_cast<WPARAM>(below(256)), word};
        }
        constexpr UINT OTHERS[] = {WM_NULL, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR};
        return {OTHERS[below(std::size(OTHERS))], any_key_but_escape(), word};
    }

    void send(const Message& m) {
        if (m.message == WM_KEYDOWN && m.wparam == VK_TAB) {
            // The file goes first, so the check after the Tab sees what the
            // Tab wrote and nothing older.
            std::filesystem::remove(EXPORT_NAME);
            export_due_ = true;
        }
        headless::send_input(m.message, m.wparam, m.lparam);
        ++sent_;
        ++counts_.messages;
    }

    void check_export() {
        export_due_ = false;
        ++counts_.files_checked;
        SCOPED_TRACE(testing::Message()
                     << "file " << counts_.files_checked << " after message " << counts_.messages);
        const std::vector<std::uint8_t> bytes = read_bytes(EXPORT_NAME);
        EXPECT_EQ(bytes.size(), EXPORT_FILE_BYTES);
        expect_mesh_file(bytes, MESH_VERTICES, MESH_FACES);
        if (testing::Test::HasFailure()) {
            throw BadExport{};
        }
    }

    // How much the drags stirred things up: frames shown while a point was
    // held, and frames with some point off the canvas.
    void note_frame() {
        counts_.dragging_frames += drag_active == 1 ? 1 : 0;
        bool off_canvas = false;
        for (const ScreenPoint p : editor_scene.control) {
            off_canvas = off_canvas || !inside_frame(screen_x(p), screen_y(p));
        }
        for (const ScreenPoint p : editor_scene.axis) {
            off_canvas = off_canvas || !inside_frame(screen_x(p), screen_y(p));
        }
        counts_.off_canvas_frames += off_canvas ? 1 : 0;
    }

    std::mt19937_64& random_;
    StormCounts& counts_;
    std::deque<Message> planned_;
    std::uint64_t sent_ = 0;
    bool export_due_ = false;
    bool closing_ = false;
};

using MessageStormTest = AppTest;

TEST_F(MessageStormTest, RandomMessagesEndNormallyAndEveryExportIsComplete) {
    const RandomRun settings = random_run_from_environment(
        "KESTROVAN_STORM_SEED", DEFAULT_SEED, "KESTROVAN_STORM_MESSAGES", DEFAULT_MESSAGES);
    const std::uint64_t total = settings.size;
    SCOPED_TRACE(settings.repeat_with);

    std::mt19937_64 random(settings.seed);
    StormCounts counts;
    std::uint64_t frames = 0;
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t run = 1; counts.messages < total; ++run) {
        SCOPED_TRACE(testing::Message() << "program run " << run);
        headless::reset();
        reset_editor_scene();
        recorded::set_recording(false);  // millions of calls: only outcomes count here
        const std::uint64_t quota = std::min(MESSAGES_PER_RUN, total - counts.messages);
        // Every message takes a frame, a character key one more.
        headless::settings().frame_limit = 3 * quota + 1000;
        MessageStorm storm(random, counts);
        headless::settings().present_hook = [&storm, quota](const FrameImage&, std::uint64_t) {
            storm.on_present(quota);
        };

        std::optional<UINT> exit_code;
        try {
            exit_code = run_program();
        } catch (const BadExport&) {
            FAIL() << "an exported file was incomplete";
        }
        frames += headless::observed().presents;
        ASSERT_EQ(exit_code, std::optional<UINT>(0u));
        ASSERT_FALSE(headless::observed().window.exists);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(counts.messages, total);
    EXPECT_GT(counts.files_checked, 0u);
    // Only the last export is left: no temporary files.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_TRUE(names.empty() || names == std::vector<std::string>{EXPORT_NAME});

    std::cout << "message storm: " << counts.messages << " messages (" << counts.drags << " drags, "
              << counts.bursts << " bursts), " << counts.files_checked << " exports checked, "
              << frames << " frames (" << counts.dragging_frames << " dragging, "
              << counts.off_canvas_frames << " with a point off the canvas) in " << elapsed.count()
              << " s\n";
}

}  // namespace
