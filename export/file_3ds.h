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

// The file's layout. Every chunk starts with a header: its 16-bit id, then a
// 32-bit length that counts the header, the data and every chunk inside.
constexpr std::uint32_t CHUNK_HEADER_BYTES = 6;
constexpr std::uint32_t OBJECT_NAME_BYTES = 1;  // the empty name: its terminator
constexpr std::uint32_t COUNT_BYTES = 2;        // the 16-bit vertex and face counts
constexpr std::uint32_t VERTEX_BYTES = 12;      // x, y and z as single-precision floats
constexpr std::uint32_t FACE_BYTES = 8;         // three 16-bit indices and a zero flags word

// Each chunk nests in the one before, straight after its header; the
// object's name lies between the object's header and the mesh chunk.
constexpr std::uint32_t MAIN_CHUNK_AT = 0;
constexpr std::uint32_t EDITOR_CHUNK_AT = MAIN_CHUNK_AT + CHUNK_HEADER_BYTES;
constexpr std::uint32_t OBJECT_CHUNK_AT = EDITOR_CHUNK_AT + CHUNK_HEADER_BYTES;
constexpr std::uint32_t OBJECT_NAME_AT = OBJECT_CHUNK_AT + CHUNK_HEADER_BYTES;
constexpr std::uint32_t MESH_CHUNK_AT = OBJECT_NAME_AT + OBJECT_NAME_BYTES;
constexpr std::uint32_t VERTEX_LIST_AT = MESH_CHUNK_AT + CHUNK_HEADER_BYTES;
constexpr std::uint32_t VERTEX_COUNT_AT = VERTEX_LIST_AT + CHUNK_HEADER_BYTES;
constexpr std::uint32_t VERTICES_AT = VERTEX_COUNT_AT + COUNT_BYTES;
// Everything but the vertices and faces: the headers, the name and the counts
// (the face list, after the vertices, has a header and a count of its own).
constexpr std::uint32_t FIXED_BYTES = VERTICES_AT + CHUNK_HEADER_BYTES + COUNT_BYTES;

constexpr std::uint32_t image_size_3ds(std::uint32_t vertex_count, std::uint32_t triangle_count) {
    return FIXED_BYTES + VERTEX_BYTES * vertex_count + FACE_BYTES * triangle_count;
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
