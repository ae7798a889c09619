// Makes chosen file calls fail on purpose, so every failure path of a caller
// can be exercised even when the tests run as root (where permissions alone
// cannot make a create or a write fail). It sits between the program and the
// file calls at link time (linker --wrap, see platform_seams.cmake), so the
// shipped file calls carry no hook.
//
// A fault is armed for the n-th call of one kind (or of any kind), counted
// from the moment it is armed. When that call comes it fails the way the real
// call would: nothing happens on disk, the call returns its failure value and
// GetLastError() reports the chosen error. A write fault may first write part
// of the data, like a disk that fills up mid-write. A failed close still
// releases the descriptor, as close(2) does.
#pragma once

#include <cstdint>

#include "platform/windows_api.h"

enum class FileCall : std::uint8_t {
    create,  // CreateFileA
    write,   // WriteFile
    flush,   // FlushFileBuffers
    close,   // CloseHandle
    move,    // MoveFileExA
    remove,  // DeleteFileA
    any,     // any of the above
};

constexpr int FILE_CALL_KINDS = 6;  // the kinds other than `any`
constexpr int FILE_FAULT_SLOTS = 8;

// Arms a fault on the nth (1 = the very next) call of `kind` and on the
// `times` - 1 calls of that kind after it. For writes, `partial_bytes` bytes
// are written before the call fails (clamped to the request). Returns false
// when all slots are armed already, or nth or times is 0.
bool file_fault_arm(FileCall kind, std::uint32_t nth, DWORD error, DWORD partial_bytes = 0,
                    std::uint32_t times = 1);

// Disarms every fault and zeroes the call counters.
void file_fault_reset();

// Calls of `kind` made since the last reset (failed ones included).
std::uint32_t file_call_count(FileCall kind);

// Faults armed but not yet fired.
int file_faults_pending();
