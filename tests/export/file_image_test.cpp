// The byte layout of the written file, read back with a chunk walker.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "canvas/scene.h"
#include "export/file_image.h"
#include "export/mesh.h"
#include "export_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
    std::uint16_t id = 0;
    std::size_t begin = 0;  // offset of the header
    std::size_t end = 0;    // one past the last byte the length covers
    std::vector<Chunk> children;
};

// Chunks holding nested chunks; the object block starts with its name.
bool is_container(std::uint16_t id) {
    return id == CHUNK_MAIN || id == CHUNK_EDITOR || id == CHUNK_OBJECT ||
           id == CHUNK_TRIANGLE_MESH;
}

// Reads the chunks that exactly tile [begin, end), recursing into containers.
// Any length that is too short or runs past its parent is a failure.
std::vector<Chunk> walk(const Bytes& bytes, std::size_t begin, std::size_t end) {
    std::vector<Chunk> chunks;
    std::size_t at = begin;
    while (at < end) {
        if (end - at < 6) {
            ADD_FAILURE() << "stray bytes at " << at;
            return chunks;
        }
        Chunk chunk;
        chunk.id = u16_at(bytes, at);
        chunk.begin = at;
        const std::uint32_t length = u32_at(bytes, at + 2);
        if (length < 6 || length > end - at) {
            ADD_FAILURE() << "chunk " << std::hex << chunk.id << " at " << std::dec << at
                          << " has length " << length << ", room " << end - at;
            return chunks;
        }
        chunk.end = at + length;
        if (is_container(chunk.id)) {
            std::size_t data = at + 6;
            if (chunk.id == CHUNK_OBJECT) {
                while (data < chunk.end && bytes[data] != 0)
                    ++data;
                ++data;  // the name's terminator
            }
            chunk.children = walk(bytes, data, chunk.end);
        }
        chunks.push_back(chunk);
        at = chunk.end;
    }
    return chunks;
}

// Walks a whole file and checks the one shape it may have; returns the
// vertex-list and face-list chunks through the arguments.
void expect_single_mesh_layout(const Bytes& bytes, Chunk& vertices, Chunk& faces) {
    const std::vector<Chunk> top = walk(bytes, 0, bytes.size());
    ASSERT_EQ(top.size(), 1u);
    ASSERT_EQ(top[0].id, CHUNK_MAIN);
    ASSERT_EQ(top[0].children.size(), 1u);
    const Chunk& editor = top[0].children[0];
    ASSERT_EQ(editor.id, CHUNK_EDITOR);
    ASSERT_EQ(editor.begin, 6u);
    ASSERT_EQ(editor.children.size(), 1u);
    const Chunk& object = editor.children[0];
    ASSERT_EQ(object.id, CHUNK_OBJECT);
    ASSERT_EQ(object.begin, 12u);
    EXPECT_EQ(bytes[18], 0) << "the object's name is empty";
    ASSERT_EQ(object.children.size(), 1u);
    const Chunk& mesh = object.children[0];
    ASSERT_EQ(mesh.id, CHUNK_TRIANGLE_MESH);
    ASSERT_EQ(mesh.begin, 19u);
    ASSERT_EQ(mesh.children.size(), 2u);
    vertices = mesh.children[0];
    faces = mesh.children[1];
    ASSERT_EQ(vertices.id, CHUNK_VERTEX_LIST);
    ASSERT_EQ(vertices.begin, 25u);
    ASSERT_EQ(faces.id, CHUNK_FACE_LIST);
    // Every chunk runs to the end of the file except the vertex list.
    EXPECT_EQ(top[0].end, bytes.size());
    EXPECT_EQ(editor.end, bytes.size());
    EXPECT_EQ(object.end, bytes.size());
    EXPECT_EQ(mesh.end, bytes.size());
    EXPECT_EQ(faces.end, bytes.size());
}

// Checks a file of the solid: layout, counts, sizes, indices, flags and that
// every coordinate is a finite number.
void expect_solid_file(const Bytes& bytes) {
    ASSERT_EQ(bytes.size(), 10921u);
    EXPECT_EQ(bytes[0], 0x4D);
    EXPECT_EQ(bytes[1], 0x4D);
    EXPECT_EQ(u32_at(bytes, 2), bytes.size());
    EXPECT_EQ(bytes[19], 0x00);

    Chunk vertices, faces;
    expect_single_mesh_layout(bytes, vertices, faces);
    if (testing::Test::HasFatalFailure())
        return;

    const std::uint16_t v = u16_at(bytes, vertices.begin + 6);
    ASSERT_EQ(v, MESH_VERTICES);
    ASSERT_EQ(vertices.end - vertices.begin, 8u + 12u * v);
    for (std::size_t at = vertices.begin + 8; at < vertices.end; at += 4) {
        ASSERT_TRUE(std::isfinite(float_at(bytes, at))) << "at " << at;
    }

    const std::uint16_t f = u16_at(bytes, faces.begin + 6);
    ASSERT_EQ(f, MESH_FACES);
    ASSERT_EQ(faces.end - faces.begin, 8u + 8u * f);
    for (std::size_t at = faces.begin + 8; at < faces.end; at += 8) {
        ASSERT_LT(u16_at(bytes, at), v);
        ASSERT_LT(u16_at(bytes, at + 2), v);
        ASSERT_LT(u16_at(bytes, at + 4), v);
        ASSERT_EQ(u16_at(bytes, at + 6), 0) << "flags at " << at;
    }
    EXPECT_EQ(bytes.size(), 41u + 12u * v + 8u * f);
}

// The bytes of a one-triangle mesh, written out by hand from the layout.
TEST(FileImage, OneTriangleByteForByte) {
    const Vector3 vertices[3] = {{1.0f, 2.0f, -0.5f}, {0.0f, 0.0f, 0.0f}, {256.0f, 0.0f, 1.0f}};
    const Face faces[1] = {{2, 0, 0x0102}};
    const std::uint32_t size = assemble_3ds_image(3, vertices, 1, faces);
    const Bytes expected =
        {
            0x4D, 0x4D, 85,   0,    0,    0,              // main, 85 bytes in all
            0x3D, 0x3D, 79,   0,    0,    0,              // editor
            0x00, 0x40, 73,   0,    0,    0,              // object
            0x00,                                         // empty name
            0x00, 0x41, 66,   0,    0,    0,              // triangle mesh
            0x10, 0x41, 44,   0,    0,    0,    3,    0,  // vertex list, 3 vertices
            0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00,
            0xBF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x00, 0x00, 0x80, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x80, 0x3F, 0x20, 0x41, 16,   0,    0,    0,    1,    0,  // face list, 1 face
            2,    0,    0,    0,    0x02, 0x01, 0,    0,  // indices 2, 0, 0x0102 and the flags
        };
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(Bytes(file_image.bytes, file_image.bytes + size), expected);
}

TEST(FileImage, CountsTheSixteenBitFieldsCannotHoldAreRefused) {
    static Vector3 vertices[70000];
    static Face faces[1];
    file_image.bytes[0] = 0xAB;
    EXPECT_EQ(assemble_3ds_image(65536, vertices, 1, faces), 0u);
    EXPECT_EQ(assemble_3ds_image(3, vertices, 65536, faces), 0u);
    EXPECT_EQ(file_image.bytes[0], 0xAB) << "a refused image leaves the buffer alone";
    EXPECT_EQ(assemble_3ds_image(0, vertices, 0, faces), 41u);
}

struct NamedScene {
    std::string name;
    EditorScene scene;
};

std::vector<NamedScene> file_scenes() {
    EditorScene same_handles = INITIAL_SCENE;
    same_handles.axis[1] = same_handles.axis[0];
    EditorScene one_point = INITIAL_SCENE;
    for (ScreenPoint& p : one_point.control)
        p = make_screen_point(300, 300);
    EditorScene all_on_one_pixel = one_point;
    all_on_one_pixel.axis[0] = all_on_one_pixel.axis[1] = make_screen_point(300, 300);
    EditorScene far_corner = INITIAL_SCENE;
    far_corner.control[3] = make_screen_point(1279, 1023);
    far_corner.axis[0] = make_screen_point(1279, 0);
    far_corner.axis[1] = make_screen_point(0, 1023);
    return {{"initial", INITIAL_SCENE},
            {"off_axis", off_axis_scene()},
            {"coincident_axis_handles", same_handles},
            {"coincident_control_points", one_point},
            {"everything_on_one_pixel", all_on_one_pixel},
            {"far_corner", far_corner}};
}

// Degenerate scenes too give a complete file with no NaN or infinity in it.
TEST(FileImage, EveryExportIsACompleteWellNestedFile) {
    ScratchDirectory scratch;
    for (const NamedScene& s : file_scenes()) {
        SCOPED_TRACE(s.name);
        export_scene(s.scene);
        const Bytes bytes = read_bytes("object.3ds");
        expect_solid_file(bytes);
        // The file holds the mesh exactly as built.
        ASSERT_EQ(std::memcmp(bytes.data() + 33, ring_buffer.vertices, 12 * MESH_VERTICES), 0);
        for (int n = 0; n < MESH_FACES; ++n) {
            const std::size_t at = 41 + 12 * MESH_VERTICES + 8 * n;
            ASSERT_EQ(u16_at(bytes, at), face_list.faces[n].a);
            ASSERT_EQ(u16_at(bytes, at + 2), face_list.faces[n].b);
            ASSERT_EQ(u16_at(bytes, at + 4), face_list.faces[n].c);
        }
    }
}

TEST(FileImage, MovingBothHandlesTogetherLeavesTheFileUnchanged) {
    ScratchDirectory scratch;
    export_scene(INITIAL_SCENE);
    const Bytes original = read_bytes("object.3ds");
    EditorScene moved = INITIAL_SCENE;
    moved.axis[0] = make_screen_point(100 - 90, 100 + 500);
    moved.axis[1] = make_screen_point(400 - 90, 400 + 500);
    export_scene(moved);
    EXPECT_EQ(read_bytes("object.3ds"), original);
}

}  // namespace
