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
        for (std::uint32_t i = 0; i < count; ++i, at += 12) {
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

    // Vertex list at 25: header, count, then the vertices in index order.
    put_u16(image + 31, static_cast<std::uint16_t>(vertex_count));
    put_vertices(image + 33, vertices, vertex_count);

    // Face list right after it: three indices and a zero flags word each.
    std::uint8_t* const face_chunk = image + 33 + 12 * vertex_count;
    put_u16(face_chunk + 6, static_cast<std::uint16_t>(triangle_count));
    std::uint8_t* at = face_chunk + 8;
    for (std::uint32_t i = 0; i < triangle_count; ++i, at += 8) {
        put_u16(at, faces[i].a);
        put_u16(at + 2, faces[i].b);
        put_u16(at + 4, faces[i].c);
        put_u16(at + 6, 0);
    }

    // Every chunk runs to the end of the file except the vertex list, which
    // the face list follows inside the mesh chunk.
    const auto total = static_cast<std::uint32_t>(at - image);
    put_chunk_header(image + 0, CHUNK_MAIN, total);
    put_chunk_header(image + 6, CHUNK_EDITOR, total - 6);
    put_chunk_header(image + 12, CHUNK_OBJECT, total - 12);
    image[18] = 0;  // the object's name: the empty string
    put_chunk_header(image + 19, CHUNK_TRIANGLE_MESH, total - 19);
    put_chunk_header(image + 25, CHUNK_VERTEX_LIST, 8 + 12 * vertex_count);
    put_chunk_header(face_chunk, CHUNK_FACE_LIST, 8 + 8 * triangle_count);
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
