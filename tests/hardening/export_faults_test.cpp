// Exports, one after another from changing scenes, with file calls failing at
// random points: a create refused or finding its name taken, a write that
// stops part-way, a flush, a close or the final rename failing. After each,
// "object.3ds" is either the complete new file or byte for byte the one
// before, and no temporary file is left behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "canvas/scene.h"
#include "export/file_3ds.h"
#include "export/mesh.h"
#include "export/replace_file.h"
#include "run_settings.h"
#include "tests/export/export_test_support.h"
#include "tests/support/file_faults.h"
#include "tests/support/mesh_file_check.h"
#include "tests/support/scene_reset.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t DEFAULT_SEED = 0x66617574u;
constexpr std::uint64_t DEFAULT_EXPORTS = 10000;
constexpr std::uint32_t EXPORT_FILE_BYTES = image_size_3ds(MESH_VERTICES, MESH_FACES);

enum class Outcome { replaced, kept };

class FaultedExports {
  public:
    explicit FaultedExports(std::uint64_t seed) : random_(seed) {}

    // A scene unlike the one before: every point somewhere on or around the
    // canvas, now and then anywhere in 16 bits, or with both axis handles on
    // one pixel.
    EditorScene next_scene() {
        EditorScene scene{};
        const bool wide = chance(8);
        for (ScreenPoint& p : scene.control) {
            p = point(wide);
        }
        for (ScreenPoint& p : scene.axis) {
            p = point(wide);
        }
        if (chance(20)) {
            scene.axis[1] = scene.axis[0];
        }
        return scene;
    }

    // Arms the faults for the next export and says what it must leave.
    Outcome arm_faults() {
        file_fault_reset();
        const std::uint64_t roll = below(16);
        if (roll < 2) {
            return Outcome::replaced;
        }
        if (roll < 4) {
            // Names already taken: skipped a bounded number of times.
            const auto taken = static_cast<std::uint32_t>(1 + below(REPLACE_CREATE_ATTEMPTS));
            EXPECT_TRUE(file_fault_arm(FileCall::create, 1, ERROR_FILE_EXISTS, 0, taken));
            return taken < REPLACE_CREATE_ATTEMPTS ? Outcome::replaced : Outcome::kept;
        }
        constexpr DWORD ERRORS[] = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_WRITE_FAULT,
                                    ERROR_GEN_FAILURE, ERROR_PATH_NOT_FOUND};
        const DWORD error = ERRORS[below(std::size(ERRORS))];
        // A write that fails stops part-way, anywhere in the file.
        const auto partial = static_cast<DWORD>(below(EXPORT_FILE_BYTES + 1));
        // The export makes five calls: create, write, flush, close, rename.
        constexpr FileCall KINDS[] = {FileCall::create, FileCall::write, FileCall::flush,
                                      FileCall::close, FileCall::move};
        const std::uint64_t which = below(std::size(KINDS));
        if (chance(2)) {
            EXPECT_TRUE(file_fault_arm(KINDS[which], 1, error, partial));
        } else {
            EXPECT_TRUE(file_fault_arm(FileCall::any, static_cast<std::uint32_t>(which + 1), error,
                                       partial));
        }
        return Outcome::kept;
    }

  private:
    bool chance(std::uint64_t one_in) { return below(one_in) == 0; }
    std::uint64_t below(std::uint64_t bound) { return random_() % bound; }

    ScreenPoint point(bool wide) {
        if (wide) {
            return static_cast<ScreenPoint>(random_());
        }
        return make_screen_point(static_cast<int>(below(1600)) - 160,
                                 static_cast<int>(below(1300)) - 140);
    }

    std::mt19937_64 random_;
};

TEST(ExportUnderFaults, EachExportLeavesTheNewFileOrExactlyThePreviousOne) {
    const RandomRun settings = random_run_from_environment(
        "KESTROVAN_FAULTS_SEED", DEFAULT_SEED, "KESTROVAN_FAULTS_EXPORTS", DEFAULT_EXPORTS);
    const std::uint64_t total = settings.size;
    SCOPED_TRACE(settings.repeat_with);

    ScratchDirectory scratch;
    reset_editor_scene();
    FaultedExports exports(settings.seed);
    std::optional<Bytes> previous;
    std::uint64_t replaced = 0;
    std::uint64_t unchanged_scenes = 0;
    bool just_replaced = false;
    const auto started = std::chrono::steady_clock::now();

    for (std::uint64_t i = 0; i < total; ++i) {
        SCOPED_TRACE(testing::Message() << "export " << i);
        if (i == 0 || just_replaced) {
            // A new scene whenever the file was replaced, so that the next
            // new file differs from the one it would replace.
            record_scene(exports.next_scene());
        }
        const Outcome expected = exports.arm_faults();
        export_solid();
        ASSERT_EQ(file_faults_pending(), 0) << "an armed fault was never reached";

        const Bytes made(file_image.bytes, file_image.bytes + EXPORT_FILE_BYTES);
        const bool exists = std::filesystem::exists("object.3ds");
        just_replaced = expected == Outcome::replaced;
        if (expected == Outcome::replaced) {
            ASSERT_TRUE(exists);
            ASSERT_EQ(read_bytes("object.3ds"), made) << "not the complete new file";
            expect_mesh_file(made, MESH_VERTICES, MESH_FACES);
            ASSERT_FALSE(testing::Test::HasFatalFailure());
            unchanged_scenes += previous == made ? 1 : 0;
            previous = made;
            ++replaced;
        } else if (previous) {
            ASSERT_TRUE(exists) << "the previous file was lost";
            ASSERT_EQ(read_bytes("object.3ds"), *previous) << "the previous file was changed";
        } else {
            ASSERT_FALSE(exists) << "a failed first export left a file";
        }
        const std::vector<std::string> expected_names =
            previous ? std::vector<std::string>{"object.3ds"} : std::vector<std::string>{};
        ASSERT_EQ(directory_names(), expected_names) << "a temporary file was left behind";
    }
    file_fault_reset();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

    // The checks of kept files mean something only if some exports replaced
    // the file, and if new files differ from the ones before them.
    EXPECT_GT(replaced, 0u) << "no export replaced the file";
    EXPECT_LT(unchanged_scenes, replaced / 100 + 1);
    std::cout << "exports under faults: " << total << " exports, " << replaced << " replaced, "
              << total - replaced << " failed and kept the previous file, in " << elapsed.count()
              << " s\n";
}

}  // namespace
