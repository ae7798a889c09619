// Sizes and seeds of the long randomised runs. Each run is reproducible: it
// draws from one seed, fixed by default and overridable from the environment,
// and reports the seed with any failure.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define KESTROVAN_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTROVAN_SANITIZED_BUILD 1
#endif
#endif

// The sanitizers slow the program down many times over: their runs are
// shorter so each stays well under two minutes.
#ifdef KESTROVAN_SANITIZED_BUILD
constexpr bool SANITIZED_BUILD = true;
#else
constexpr bool SANITIZED_BUILD = false;
#endif

// The value of the environment variable `name` (decimal or 0x-hex), or
// `fallback` when it is unset or not a number.
inline std::uint64_t setting_from_environment(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    return *end == '\0' ? value : fallback;
}
