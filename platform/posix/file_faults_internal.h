// Between the file calls and the fault hook: each call asks whether it is the
// one that must fail.
#pragma once

#include "platform/posix/file_faults.h"

struct FileFault {
    bool fire;            // this call must fail
    DWORD error;          // the error GetLastError() then reports
    DWORD partial_bytes;  // writes only: bytes to write before failing
};

// Counts the call and reports whether an armed fault fires on it.
FileFault file_fault_take(FileCall kind);
