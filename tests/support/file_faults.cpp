#include "tests/support/file_faults.h"

namespace {

struct FileFault {
    bool fire;            // this call must fail
    DWORD error;          // the error GetLastError() then reports
    DWORD partial_bytes;  // writes only: bytes to write before failing
};

struct ArmedFault {
    bool armed;
    FileCall kind;
    std::uint32_t remaining;  // matching calls up to and including the next failing one
    std::uint32_t times;      // failing calls still to come
    DWORD error;
    DWORD partial_bytes;
};

ArmedFault armed_faults[FILE_FAULT_SLOTS];
std::uint32_t call_counts[FILE_CALL_KINDS];
std::uint32_t total_calls;

// Counts the call and reports whether an armed fault fires on it.
FileFault take_fault(FileCall kind) {
    ++call_counts[static_cast<int>(kind)];
    ++total_calls;
    FileFault result{false, 0, 0};
    // Every armed fault that matches counts this call, even when another one
    // fires on it, so each keeps its own position in the sequence of calls.
    for (ArmedFault& slot : armed_faults) {
        if (!slot.armed || (slot.kind != kind && slot.kind != FileCall::any)) {
            continue;
        }
        if (--slot.remaining != 0) {
            continue;
        }
        if (--slot.times == 0) {
            slot.armed = false;
        } else {
            slot.remaining = 1;  // the next matching call fails as well
        }
        if (!result.fire) {
            result = FileFault{true, slot.error, slot.partial_bytes};
        }
    }
    return result;
}

}  // namespace

bool file_fault_arm(FileCall kind, std::uint32_t nth, DWORD error, DWORD partial_bytes,
                    std::uint32_t times) {
    if (nth == 0 || times == 0) {
        return false;
    }
    for (ArmedFault& slot : armed_faults) {
        if (!slot.armed) {
            slot = ArmedFault{true, kind, nth, times, error, partial_bytes};
            return true;
        }
    }
    return false;
}

void file_fault_reset() {
    for (ArmedFault& slot : armed_faults) {
        slot = ArmedFault{};
    }
    for (std::uint32_t& count : call_counts) {
        count = 0;
    }
    total_calls = 0;
}

std::uint32_t file_call_count(FileCall kind) {
    if (kind == FileCall::any) {
        return total_calls;
    }
    return call_counts[static_cast<int>(kind)];
}

int file_faults_pending() {
    int pending = 0;
    for (const ArmedFault& slot : armed_faults) {
        pending += slot.armed ? 1 : 0;
    }
    return pending;
}

// The wrappers: each counts its call and, when a fault fires, fails the way
// the real call would; otherwise it is the real call (__real_X is X).
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" {

HANDLE __real_CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
HANDLE __wrap_CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode,
                          LPSECURITY_ATTRIBUTES security, DWORD creation_disposition,
                          DWORD flags_and_attributes, HANDLE template_file) {
    const FileFault fault = take_fault(FileCall::create);
    if (fault.fire) {
        SetLastError(fault.error);
        return INVALID_HANDLE_VALUE;  // NOLINT(performance-no-int-to-ptr)
    }
    return __real_CreateFileA(file_name, desired_access, share_mode, security, creation_disposition,
                              flags_and_attributes, template_file);
}

BOOL __real_WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __wrap_WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
                      LPOVERLAPPED overlapped) {
    const FileFault fault = take_fault(FileCall::write);
    if (!fault.fire) {
        return __real_WriteFile(file, buffer, bytes_to_write, bytes_written, overlapped);
    }
    // Like a disk that fills up mid-write: part of the data, then the error.
    const DWORD partial =
        fault.partial_bytes < bytes_to_write ? fault.partial_bytes : bytes_to_write;
    if (partial > 0) {
        (void)__real_WriteFile(file, buffer, partial, bytes_written, overlapped);
    } else if (bytes_written != nullptr) {
        *bytes_written = 0;
    }
    SetLastError(fault.error);
    return FALSE;
}

BOOL __real_FlushFileBuffers(HANDLE);
BOOL __real_CloseHandle(HANDLE);
BOOL __real_MoveFileExA(LPCSTR, LPCSTR, DWORD);
BOOL __real_DeleteFileA(LPCSTR);

}  // extern "C"

namespace {

// A call that either fails with nothing done, or is the real call.
template <auto real, typename... Args>
BOOL fail_or_call(FileCall kind, Args... args) {
    const FileFault fault = take_fault(kind);
    if (fault.fire) {
        SetLastError(fault.error);
        return FALSE;
    }
    return real(args...);
}

}  // namespace

extern "C" {

BOOL __wrap_FlushFileBuffers(HANDLE file) {
    return fail_or_call<__real_FlushFileBuffers>(FileCall::flush, file);
}
BOOL __wrap_MoveFileExA(LPCSTR existing_name, LPCSTR new_name, DWORD flags) {
    return fail_or_call<__real_MoveFileExA>(FileCall::move, existing_name, new_name, flags);
}
BOOL __wrap_DeleteFileA(LPCSTR file_name) {
    return fail_or_call<__real_DeleteFileA>(FileCall::remove, file_name);
}

BOOL __wrap_CloseHandle(HANDLE object) {
    const FileFault fault = take_fault(FileCall::close);
    // A failed close still releases the descriptor, as close(2) does.
    const BOOL closed = __real_CloseHandle(object);
    if (fault.fire) {
        SetLastError(fault.error);
        return FALSE;
    }
    return closed;
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
