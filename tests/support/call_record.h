// Records the Windows calls the program makes, with copies of what their
// pointer arguments showed, for tests that check the program's use of the
// platform. It sits between the program and the platform at link time
// (linker --wrap, see platform_seams.cmake), so the shipped editor carries
// none of it. A call is recorded on entry, before it does anything; calls the
// stand-in makes of itself are not recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace recorded {

struct Call {
    std::string name;
    std::vector<std::intptr_t> args;   // every argument in order; pointers as addresses
    std::vector<std::string> strings;  // string arguments in order (not integer ids)
    WNDCLASSA window_class{};          // RegisterClassA (its string pointers as passed)
    RECT rect{};                       // AdjustWindowRect: the rectangle passed in
    BITMAPINFOHEADER bitmap{};         // StretchDIBits
    MSG msg{};                         // TranslateMessage, DispatchMessageA
};

// Forgets every call and switches recording on.
void reset();
// Long runs may switch recording off.
void set_recording(bool on);

const std::vector<Call>& calls();
std::vector<std::string> call_names();

}  // namespace recorded
