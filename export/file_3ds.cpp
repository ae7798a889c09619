#include "export/file_3ds.h"

#include <bit>
#include <cstring>

#include "export/replace_file.h"

FileImage file_image;

namespace {

// Several fields sit at odd offsets, so everything is stored byte by byte.
void put_u16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put_u32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value >> 16);
    at[3] = static_cast<std::uint8_t>(value >> 24);
}

void put_chunk_header(std::uint8_t* at, std::uint16_t id, std::uint32_t length) {
    put_u16(at, id);
    put_u32(at + 2, length);
}

void put_vertices(std::uint8_t* at, const Vector3* vertices, std::uint32_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        // Vertices are packed 12-byte records of floats, already the file's layout.
        std::memcpy(at, vertices, static_cast<std::size_t>(count) * sizeof(Vector3));
    } else {
        for (std::uint32_t i = 0; i < count; ++i, at += VERTEX_BYTES) {
            put_u32(at, std::bit_cast<std::uint32_t>(vertices[i].x));
            put_u32(at + 4, std::bit_cast<std::uint32_t>(vertices[i].y));
            put_u32(at + 8, std::bit_cast<std::uint32_t>(vertices[i].z));
        }
    }
}

}  // namespace

std::uint32_t assemble_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                                 std::uint32_t triangle_count, const Face* faces) {
    if (vertex_count > 0xFFFF || triangle_count > 0xFFFF ||
        image_size_3ds(vertex_count, triangle_count) > FILE_IMAGE_BYTES) {
        return 0;
    }
    std::uint8_t* const image = file_image.bytes;

    // The vertex list: its count, then the vertices in index order.
    put_u16(image + VERTEX_COUNT_AT, static_cast<std::uint16_t>(vertex_count));
    put_vertices(image + VERTICES_AT, vertices, vertex_count);

    // The face list right after it: its count, then each face.
    std::uint8_t* const face_list = image + VERTICES_AT + VERTEX_BYTES * vertex_count;
    put_u16(face_list + CHUNK_HEADER_BYTES, static_cast<std::uint16_t>(triangle_count));
    std::uint8_t* at = face_list + CHUNK_HEADER_BYTES + COUNT_BYTES;
    for (std::uint32_t i = 0; i < triangle_count; ++i, at += FACE_BYTES) {
        put_u16(at, faces[i].a);
        put_u16(at + 2, faces[i].b);
        put_u16(at + 4, faces[i].c);
        put_u16(at + 6, 0);
    }

    // Every chunk runs to the end of the file except the vertex list, which
    // the face list follows inside the mesh chunk.
    const auto total = static_cast<std::uint32_t>(at - image);
    put_chunk_header(image + MAIN_CHUNK_AT, CHUNK_MAIN, total - MAIN_CHUNK_AT);
    put_chunk_header(image + EDITOR_CHUNK_AT, CHUNK_EDITOR, total - EDITOR_CHUNK_AT);
    put_chunk_header(image + OBJECT_CHUNK_AT, CHUNK_OBJECT, total - OBJECT_CHUNK_AT);
    image[OBJECT_NAME_AT] = 0;
    put_chunk_header(image + MESH_CHUNK_AT, CHUNK_TRIANGLE_MESH, total - MESH_CHUNK_AT);
    put_chunk_header(image + VERTEX_LIST_AT, CHUNK_VERTEX_LIST,
                     CHUNK_HEADER_BYTES + COUNT_BYTES + VERTEX_BYTES * vertex_count);
    put_chunk_header(face_list, CHUNK_FACE_LIST,
                     CHUNK_HEADER_BYTES + COUNT_BYTES + FACE_BYTES * triangle_count);
    return total;
}

void write_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                     std::uint32_t triangle_count, const Face* faces) {
    const std::uint32_t size = assemble_3ds_image(vertex_count, vertices, triangle_count, faces);
    if (size == 0) {
        return;
    }
    (void)replace_file_contents(EXPORT_FILE_NAME, file_image.bytes, size);
}
