// Writing the solid as "object.3ds" in the current directory.
#pragma once

#include <cstdint>

#include "canvas/scene.h"
#include "export/mesh.h"

constexpr char EXPORT_FILE_NAME[] = "object.3ds";

// Assembles the file image from the first vertex_count vertices and
// triangle_count faces and replaces "object.3ds" with it whole. Failures are
// silent: the previous file, if any, is then left exactly as it was.
void write_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                     std::uint32_t triangle_count, const Face* faces);
