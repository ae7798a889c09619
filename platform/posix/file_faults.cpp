#include "platform/posix/file_faults.h"

#include "platform/posix/file_faults_internal.h"

namespace {

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

}  // namespace

bool file_fault_arm(FileCall kind, std::uint32_t nth, DWORD error, DWORD partial_bytes,
                    std::uint32_t times) {
    if (nth == 0 || times == 0)
        return false;
    for (ArmedFault& slot : armed_faults) {
        if (!slot.armed) {
            slot = ArmedFault{true, kind, nth, times, error, partial_bytes};
            return true;
        }
    }
    return false;
}

void file_fault_reset() {
    for (ArmedFault& slot : armed_faults)
        slot = ArmedFault{};
    for (std::uint32_t& count : call_counts)
        count = 0;
    total_calls = 0;
}

std::uint32_t file_call_count(FileCall kind) {
    if (kind == FileCall::any)
        return total_calls;
    return call_counts[static_cast<int>(kind)];
}

int file_faults_pending() {
    int pending = 0;
    for (const ArmedFault& slot : armed_faults)
        pending += slot.armed ? 1 : 0;
    return pending;
}

FileFault file_fault_take(FileCall kind) {
    ++call_counts[static_cast<int>(kind)];
    ++total_calls;
    FileFault result{false, 0, 0};
    // Every armed fault that matches counts this call, even when another one
    // fires on it, so each keeps its own position in the sequence of calls.
    for (ArmedFault& slot : armed_faults) {
        if (!slot.armed || (slot.kind != kind && slot.kind != FileCall::any))
            continue;
        if (--slot.remaining != 0)
            continue;
        if (--slot.times == 0)
            slot.armed = false;
        else
            slot.remaining = 1;  // the next matching call fails as well
        if (!result.fire)
            result = FileFault{true, slot.error, slot.partial_bytes};
    }
    return result;
}
