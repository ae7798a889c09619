// Sizes and seeds of the long randomised runs. Each run is reproducible: it
// draws from one seed, fixed by default and overridable from the environment,
// and reports the seed with any failure.
#pragma once

#include <cstdint>
#include <cstdio>
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

// A randomised run's seed and size, each from its environment variable, and
// the settings that repeat the run, to be shown with any failure.
struct RandomRun {
    std::uint64_t seed;
    std::uint64_t size;
    std::string repeat_with;
};

inline RandomRun random_run_from_environment(const char* seed_name, std::uint64_t default_seed,
                                             const char* size_name, std::uint64_t default_size) {
    const RandomRun run{setting_from_environment(seed_name, default_seed),
                        setting_from_environment(size_name, default_size),
                        {}};
    char text[160];
    std::snprintf(text, sizeof text, "%s=0x%llx %s=%llu", seed_name,
                  static_cast<unsigned long long>(run.seed), size_name,
                  static_cast<unsigned long long>(run.size));
    return RandomRun{run.seed, run.size, text};
}
