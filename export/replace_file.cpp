#include "export/replace_file.h"

#include "platform/windows_api.h"

namespace {

// Room for a directory part of the target name plus the temporary file name,
// within the classic Windows path limit.
constexpr int NAME_CAPACITY = 260;

// Counts up across the whole run, so each attempt tries a fresh name.
std::uint32_t temporary_serial = 0;

// "<directory of file_name>~kestrovan-<pid>-<serial>.tmp", pid and serial in
// hexadecimal. False if it does not fit.
bool temporary_name_for(const char* file_name, DWORD process_id, std::uint32_t serial,
                        char (&name)[NAME_CAPACITY]) {
    int directory_length = 0;
    int length = 0;
    for (; file_name[length] != '\0'; ++length) {
        if (file_name[length] == '/' || file_name[length] == '\\') {
            directory_length = length + 1;
        }
    }
    constexpr char PREFIX[] = "~kestrovan-";
    constexpr char SUFFIX[] = ".tmp";
    // prefix, 8 digits, '-', 8 digits, suffix and the terminator
    constexpr int TAIL = (sizeof PREFIX - 1) + 8 + 1 + 8 + (sizeof SUFFIX - 1) + 1;
    if (directory_length + TAIL > NAME_CAPACITY) {
        return false;
    }

    int at = 0;
    for (int i = 0; i < directory_length; ++i) {
        name[at++] = file_name[i];
    }
    for (int i = 0; PREFIX[i] != '\0'; ++i) {
        name[at++] = PREFIX[i];
    }
    constexpr char DIGITS[] = "0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) {
        name[at++] = DIGITS[(process_id >> shift) & 0xF];
    }
    name[at++] = '-';
    for (int shift = 28; shift >= 0; shift -= 4) {
        name[at++] = DIGITS[(serial >> shift) & 0xF];
    }
    for (int i = 0; SUFFIX[i] != '\0'; ++i) {
        name[at++] = SUFFIX[i];
    }
    name[at] = '\0';
    return true;
}

// The kernel's "no file" value is -1 cast to a handle.
bool is_open(HANDLE file) {
    return file != INVALID_HANDLE_VALUE;  // NOLINT(performance-no-int-to-ptr)
}

// Creates a file no one else has: a name that exists already (left over from
// an earlier run, say) is skipped, a bounded number of times.
bool create_temporary(const char* file_name, char (&name)[NAME_CAPACITY], HANDLE& file) {
    const DWORD process_id = GetCurrentProcessId();
    for (int attempt = 0; attempt < REPLACE_CREATE_ATTEMPTS; ++attempt) {
        if (!temporary_name_for(file_name, process_id, temporary_serial++, name)) {
            return false;
        }
        file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (is_open(file)) {
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

}  // namespace

bool replace_file_contents(const char* file_name, const void* data, std::uint32_t size) {
    char temporary[NAME_CAPACITY];
    HANDLE file = nullptr;
    if (!create_temporary(file_name, temporary, file)) {
        return false;
    }

    DWORD written = 0;
    bool complete = WriteFile(file, data, size, &written, nullptr) != FALSE && written == size;
    complete = complete && FlushFileBuffers(file) != FALSE;
    // Closed before the move: an open file cannot be renamed on Windows.
    complete = CloseHandle(file) != FALSE && complete;
    complete = complete && MoveFileExA(temporary, file_name,
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!complete) {
        DeleteFileA(temporary);
    }
    return complete;
}
