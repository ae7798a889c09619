// The POSIX file calls behave as the Windows ones the export relies on, and
// the fault hook fails exactly the calls asked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "export_test_support.h"
#include "platform/windows_api.h"
#include "tests/support/file_faults.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

HANDLE create(const char* name, DWORD disposition) {
    return CreateFileA(name, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Writes `data` into a new handle and closes it; the write's result.
BOOL put(HANDLE file, const Bytes& data) {
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
        written == data.size();
    return CloseHandle(file) && wrote;
}

TEST(PosixFiles, CreateMoveAndDeleteKeepTheirWindowsMeaning) {
    file_fault_reset();
    ScratchDirectory scratch;
    ASSERT_TRUE(put(create("a", CREATE_NEW), Bytes{2, 3}));
    EXPECT_EQ(read_bytes("a"), (Bytes{2, 3}));
    EXPECT_EQ(create("a", CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    ASSERT_TRUE(put(create("b", CREATE_NEW), Bytes{4}));

    // What the program never asks for is refused, with nothing done.
    EXPECT_EQ(create("c", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(std::filesystem::exists("c"));
    EXPECT_FALSE(MoveFileExA("b", "a", 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(MoveFileExA("b", "a", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(read_bytes("a"), (Bytes{4}));
    EXPECT_FALSE(std::filesystem::exists("b"));

    std::filesystem::create_directory("d");
    EXPECT_EQ(create("d", CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(MoveFileExA("a", "d", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(DeleteFileA("d"));
    EXPECT_TRUE(std::filesystem::is_directory("d"));
    EXPECT_TRUE(DeleteFileA("a"));
    EXPECT_FALSE(DeleteFileA("a"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(PosixFiles, FaultsFireOnTheChosenCallsOnly) {
    file_fault_reset();
    ScratchDirectory scratch;
    ASSERT_TRUE(file_fault_arm(FileCall::create, 2, ERROR_ACCESS_DENIED));
    ASSERT_TRUE(file_fault_arm(FileCall::write, 2, ERROR_DISK_FULL, 3));
    ASSERT_TRUE(file_fault_arm(FileCall::any, 6, ERROR_WRITE_FAULT, 0, 2));

    ASSERT_TRUE(put(create("one", CREATE_NEW), Bytes{1}));       // calls 1-3
    EXPECT_EQ(create("two", CREATE_NEW), INVALID_HANDLE_VALUE);  // the second create
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(std::filesystem::exists("two"));

    HANDLE file = create("three", CREATE_NEW);  // call 5
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const Bytes data{1, 2, 3, 4, 5, 6};
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, data.data(), 6, &written, nullptr));  // call 6, second write
    EXPECT_EQ(written, 3u) << "the write stops part-way";
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL) << "the fault armed first of the two wins";
    EXPECT_FALSE(CloseHandle(file));  // call 7, the repeat
    EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
    EXPECT_EQ(read_bytes("three"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(CloseHandle(file)) << "a failed close still closes";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    EXPECT_EQ(file_faults_pending(), 0);
    EXPECT_EQ(file_call_count(FileCall::create), 3u);
    EXPECT_EQ(file_call_count(FileCall::any), 8u);
    file_fault_reset();
}

}  // namespace
