// Debian's Emscripten (3.1.6) ships libc++ 13, whose <bit> lacks
// std::bit_cast; its clang has the builtin the later library uses. The web
// preset includes this header first in every file, so the shared code
// compiles unchanged.
#pragma once

#include <bit>

#if defined(__EMSCRIPTEN__) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
