// Replacing a file whole or not at all.
#pragma once

#include <cstdint>

// How many unique names are tried when the ones before are taken already.
constexpr int REPLACE_CREATE_ATTEMPTS = 16;

// Writes `size` bytes to a new, uniquely named file in the directory of
// `file_name`, flushes it to disk, then moves it over `file_name` in one
// rename step. On any failure the new file is removed and whatever was at
// `file_name` stays exactly as it was. Returns whether the file was replaced.
bool replace_file_contents(const char* file_name, const void* data, std::uint32_t size);
