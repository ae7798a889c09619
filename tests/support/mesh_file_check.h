// Reading back a written "object.3ds": its chunk outline and a whole-file
// check shared by the export tests and the hardening runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Describes the chunks that tile [begin, end) as "id@offset+length[children]",
// or reports where a length is too short or runs past its parent.
std::string describe_chunks(const std::vector<std::uint8_t>& bytes, std::size_t begin,
                            std::size_t end);

// Checks a whole file of v vertices and f faces: the exact nesting, the
// counts, every index in range, every flags word 0, every coordinate finite.
// Reports through GoogleTest; a caller that must stop at the first bad file
// asks testing::Test::HasFatalFailure() afterwards.
void expect_mesh_file(const std::vector<std::uint8_t>& bytes, std::uint32_t v, std::uint32_t f);
