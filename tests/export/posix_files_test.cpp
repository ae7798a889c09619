// The POSIX stand-in of the kernel file calls behaves as the Windows calls
// the export relies on, and its fault hook fails exactly the calls asked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export_test_support.h"
#include "platform/posix/file_faults.h"
#include "platform/windows_api.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class PosixFiles : public testing::Test {
  protected:
    void SetUp() override { file_fault_reset(); }
    void TearDown() override { file_fault_reset(); }

    static HANDLE create(const char* name, DWORD disposition) {
        return CreateFileA(name, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }

    // Creates `name` with `data` through the stand-in; false on any failure.
    static bool put(const char* name, DWORD disposition, const Bytes& data) {
        HANDLE file = create(name, disposition);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        const BOOL wrote =
            WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        const BOOL closed = CloseHandle(file);
        return wrote && closed && written == data.size();
    }

    ScratchDirectory scratch_;
};

TEST_F(PosixFiles, CreateDispositions) {
    ASSERT_TRUE(put("a", CREATE_ALWAYS, Bytes(100, 1)));
    ASSERT_TRUE(put("a", CREATE_ALWAYS, Bytes{2, 3}));
    EXPECT_EQ(read_bytes("a"), (Bytes{2, 3})) << "create-always truncates";

    EXPECT_EQ(create("a", CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(read_bytes("a"), (Bytes{2, 3}));
    ASSERT_TRUE(put("b", CREATE_NEW, Bytes{4}));
    EXPECT_EQ(read_bytes("b"), (Bytes{4}));

    EXPECT_EQ(create("missing/c", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    std::filesystem::create_directory("d");
    EXPECT_EQ(create("d", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(create("e", 99), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(PosixFiles, BadHandlesAreRefused) {
    DWORD written = 7;
    const char byte = 0;
    for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        EXPECT_FALSE(WriteFile(bad, &byte, 1, &written, nullptr));
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(FlushFileBuffers(bad));
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

TEST_F(PosixFiles, MoveAndDelete) {
    ASSERT_TRUE(put("old", CREATE_NEW, Bytes{1}));
    ASSERT_TRUE(put("new", CREATE_NEW, Bytes{2}));

    // Without the replace flag an existing target stops the move.
    EXPECT_FALSE(MoveFileExA("new", "old", 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(read_bytes("old"), (Bytes{1}));
    EXPECT_EQ(read_bytes("new"), (Bytes{2}));

    EXPECT_TRUE(MoveFileExA("new", "old", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(read_bytes("old"), (Bytes{2}));
    EXPECT_FALSE(std::filesystem::exists("new"));

    EXPECT_TRUE(MoveFileExA("old", "free", 0));
    EXPECT_EQ(read_bytes("free"), (Bytes{2}));

    std::filesystem::create_directory("dir");
    EXPECT_FALSE(MoveFileExA("free", "dir", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory("dir"));

    EXPECT_FALSE(DeleteFileA("dir"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileA("free"));
    EXPECT_FALSE(DeleteFileA("free"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFileExA("free", "other", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(PosixFiles, FaultsFireOnTheChosenCallOnly) {
    ASSERT_TRUE(file_fault_arm(FileCall::create, 2, ERROR_ACCESS_DENIED));
    ASSERT_TRUE(file_fault_arm(FileCall::any, 5, ERROR_WRITE_FAULT));
    EXPECT_EQ(file_faults_pending(), 2);

    ASSERT_TRUE(put("one", CREATE_NEW, Bytes{1}));               // calls 1-3
    EXPECT_EQ(create("two", CREATE_NEW), INVALID_HANDLE_VALUE);  // second create
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(std::filesystem::exists("two"));
    EXPECT_FALSE(DeleteFileA("one"));  // fifth call of any kind
    EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
    EXPECT_TRUE(std::filesystem::exists("one"));
    EXPECT_EQ(file_faults_pending(), 0);
    EXPECT_TRUE(DeleteFileA("one"));

    EXPECT_EQ(file_call_count(FileCall::create), 2u);
    EXPECT_EQ(file_call_count(FileCall::remove), 2u);
    EXPECT_EQ(file_call_count(FileCall::any), 6u);

    // A repeated fault fails that many calls in a row, then no more.
    ASSERT_TRUE(file_fault_arm(FileCall::flush, 1, ERROR_DISK_FULL, 0, 2));
    HANDLE file = create("f", CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));

    EXPECT_FALSE(file_fault_arm(FileCall::write, 0, ERROR_DISK_FULL));
    for (int slot = 0; slot < FILE_FAULT_SLOTS; ++slot)
        ASSERT_TRUE(file_fault_arm(FileCall::write, 100, ERROR_DISK_FULL));
    EXPECT_FALSE(file_fault_arm(FileCall::write, 100, ERROR_DISK_FULL));
}

TEST_F(PosixFiles, AFailingWriteStopsPartWayAndAFailingCloseStillCloses) {
    ASSERT_TRUE(file_fault_arm(FileCall::write, 1, ERROR_DISK_FULL, 3));
    HANDLE file = create("partial", CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const Bytes data{1, 2, 3, 4, 5, 6};
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, data.data(), 6, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 3u);

    ASSERT_TRUE(file_fault_arm(FileCall::close, 1, ERROR_WRITE_FAULT));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(read_bytes("partial"), (Bytes{1, 2, 3}));
    // The descriptor is gone all the same.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
