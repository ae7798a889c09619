// The four-lane cubic Bezier sampler: evaluates the profile at 20 fixed
// parameter values, four at a time, plots each sample and, when the recording
// switch is on, stores the samples for the export.
#pragma once

#include <cstdint>

#include "canvas/scene.h"

constexpr int CURVE_SAMPLES = 20;
static_assert(CURVE_SAMPLES % 4 == 0, "samples are produced in groups of four");

constexpr int PROFILE_STORE_BYTES = 256 * 1024;
constexpr int PROFILE_STORE_CAPACITY = PROFILE_STORE_BYTES / static_cast<int>(sizeof(Vector3));
static_assert(sizeof(Vector3) == 12, "samples are packed 12-byte records");

struct ProfileStore {
    Vector3 samples[PROFILE_STORE_CAPACITY];
};

extern ProfileStore profile_store;
extern std::uint32_t recorded_count;

// One pass over the profile: plots 20 white dots and, if recording_flag is 1,
// records the samples in profile_store and sets recorded_count to 20. Always
// leaves recording_flag at 0.
void sample_profile_curve();
