// The 3D Studio (.3ds) file of the solid: assembled in memory as one object
// holding one triangle mesh with a vertex list and a face list, nothing else,
// then written as "object.3ds" in the current directory.
#pragma once

#include <cstdint>

#include "canvas/scene.h"
#include "export/mesh.h"

constexpr int FILE_IMAGE_BYTES = 256 * 1024;

struct FileImage {
    std::uint8_t bytes[FILE_IMAGE_BYTES];
};

extern FileImage file_image;

// Chunk identifiers, outermost first.
constexpr std::uint16_t CHUNK_MAIN = 0x4D4D;
constexpr std::uint16_t CHUNK_EDITOR = 0x3D3D;
constexpr std::uint16_t CHUNK_OBJECT = 0x4000;
constexpr std::uint16_t CHUNK_TRIANGLE_MESH = 0x4100;
constexpr std::uint16_t CHUNK_VERTEX_LIST = 0x4110;
constexpr std::uint16_t CHUNK_FACE_LIST = 0x4120;

// Headers, the empty object name and the two counts: 41 bytes; then 12 per
// vertex and 8 per face (three indices and a zero flags word).
constexpr std::uint32_t image_size_3ds(std::uint32_t vertex_count, std::uint32_t triangle_count) {
    return 41 + 12 * vertex_count + 8 * triangle_count;
}

static_assert(image_size_3ds(MESH_VERTICES, MESH_FACES) <= FILE_IMAGE_BYTES,
              "the file of the solid must fit the file image");

// Assembles the file for the first vertex_count vertices and triangle_count
// faces into file_image, little-endian, and returns its size in bytes. Counts
// the 16-bit fields or the image cannot hold give 0 and leave the image as it
// was.
std::uint32_t assemble_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                                 std::uint32_t triangle_count, const Face* faces);

constexpr char EXPORT_FILE_NAME[] = "object.3ds";

// Assembles the file image from the first vertex_count vertices and
// triangle_count faces and replaces "object.3ds" with it whole. Failures are
// silent: the previous file, if any, is then left exactly as it was.
void write_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                     std::uint32_t triangle_count, const Face* faces);
