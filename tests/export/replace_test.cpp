// Writing "object.3ds": a later export replaces the file whole, and a failed
// one leaves the previous file exactly as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "canvas/scene.h"
#include "export/mesh.h"
#include "export/replace_file.h"
#include "export_test_support.h"
#include "platform/windows_api.h"
#include "tests/support/file_faults.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

// Each test runs in its own empty directory with no faults armed.
class ExportFile : public testing::Test {
  protected:
    void SetUp() override { file_fault_reset(); }
    void TearDown() override { file_fault_reset(); }

    // A previous "object.3ds" that no export could produce.
    static Bytes previous_file() {
        Bytes bytes(20000);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7);
        }
        return bytes;
    }

    ScratchDirectory scratch_;
};

TEST_F(ExportFile, ASecondExportReplacesTheFirstWhole) {
    write_bytes("object.3ds", previous_file());
    export_scene(INITIAL_SCENE);
    const Bytes first = read_bytes("object.3ds");
    EXPECT_EQ(first.size(), 10921u) << "nothing of the longer previous file may remain";

    export_scene(off_axis_scene());
    const Bytes second = read_bytes("object.3ds");
    EXPECT_EQ(second.size(), 10921u);
    EXPECT_NE(second, first);
    EXPECT_EQ(directory_names(), (Names{"object.3ds"}));
    EXPECT_EQ(file_call_count(FileCall::create), 2u);
    EXPECT_EQ(file_call_count(FileCall::write), 2u) << "one write per export";
}

// Fails each file call of an export in turn, with and without a previous
// file: the previous file (or its absence) survives untouched every time.
TEST_F(ExportFile, AFailureAtAnyCallKeepsThePreviousFile) {
    export_scene(INITIAL_SCENE);
    const std::uint32_t calls_per_export = file_call_count(FileCall::any);
    ASSERT_EQ(calls_per_export, 5u) << "create, write, flush, close, move";

    for (const bool had_previous : {true, false}) {
        for (std::uint32_t nth = 1; nth <= calls_per_export; ++nth) {
            SCOPED_TRACE(testing::Message()
                         << "call " << nth << ", previous file " << had_previous);
            std::filesystem::remove("object.3ds");
            if (had_previous) {
                write_bytes("object.3ds", previous_file());
            }
            file_fault_reset();
            // A failing write stops part-way, like a disk that fills up.
            ASSERT_TRUE(file_fault_arm(FileCall::any, nth, ERROR_DISK_FULL, 4096));

            export_scene(off_axis_scene());

            EXPECT_EQ(file_faults_pending(), 0) << "the fault was not reached";
            if (had_previous) {
                EXPECT_EQ(read_bytes("object.3ds"), previous_file());
                EXPECT_EQ(directory_names(), (Names{"object.3ds"}));
            } else {
                EXPECT_EQ(directory_names(), Names{});
            }
        }
    }
}

TEST_F(ExportFile, ADirectoryNamedLikeTheFileIsLeftAlone) {
    std::filesystem::create_directory("object.3ds");
    write_bytes("object.3ds/inside", Bytes{1, 2, 3});
    export_scene(INITIAL_SCENE);
    EXPECT_TRUE(std::filesystem::is_directory("object.3ds"));
    EXPECT_EQ(read_bytes("object.3ds/inside"), (Bytes{1, 2, 3}));
    EXPECT_EQ(directory_names(), (Names{"object.3ds"}));

    // An empty directory too: rename(2) could otherwise replace it.
    std::filesystem::remove_all("object.3ds");
    std::filesystem::create_directory("object.3ds");
    export_scene(INITIAL_SCENE);
    EXPECT_TRUE(std::filesystem::is_directory("object.3ds"));
    EXPECT_EQ(directory_names(), (Names{"object.3ds"}));
}

// A name that is taken already (a file left over from an earlier run, say)
// is skipped a bounded number of times; any other create error ends the
// export at once. Either way a failure changes nothing.
TEST_F(ExportFile, TakenTemporaryNamesAreSkippedABoundedNumberOfTimes) {
    const auto attempts = static_cast<std::uint32_t>(REPLACE_CREATE_ATTEMPTS);
    ASSERT_TRUE(file_fault_arm(FileCall::create, 1, ERROR_FILE_EXISTS, 0, attempts - 1));
    export_scene(INITIAL_SCENE);
    EXPECT_EQ(file_call_count(FileCall::create), attempts);
    EXPECT_EQ(read_bytes("object.3ds").size(), 10921u);

    for (const DWORD error : {ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED}) {
        write_bytes("object.3ds", previous_file());
        file_fault_reset();
        ASSERT_TRUE(file_fault_arm(FileCall::create, 1, error, 0, 1000));
        export_scene(INITIAL_SCENE);
        EXPECT_EQ(file_call_count(FileCall::create), error == ERROR_FILE_EXISTS ? attempts : 1u);
        EXPECT_EQ(read_bytes("object.3ds"), previous_file());
        EXPECT_EQ(directory_names(), (Names{"object.3ds"}));
    }
}

}  // namespace
