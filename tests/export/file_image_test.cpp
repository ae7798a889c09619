// The byte layout of the written file, read back with a chunk walker.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "export/file_image.h"
#include "export/mesh.h"
#include "export_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool is_container(std::uint16_t id) {
    return id == CHUNK_MAIN || id == CHUNK_EDITOR || id == CHUNK_OBJECT ||
           id == CHUNK_TRIANGLE_MESH;
}

// Describes the chunks that tile [begin, end) as "id@offset+length[children]",
// or reports where a length is too short or runs past its parent.
std::string walk(const Bytes& bytes, std::size_t begin, std::size_t end) {
    std::ostringstream out;
    out << std::hex;
    for (std::size_t at = begin; at < end;) {
        if (at != begin)
            out << ' ';
        const std::uint32_t length = end - at < 6 ? 0 : u32_at(bytes, at + 2);
        if (length < 6 || length > end - at)
            return out.str() + "<bad chunk at " + std::to_string(at) + ">";
        out << u16_at(bytes, at) << '@' << std::dec << at << '+' << length << std::hex;
        if (is_container(u16_at(bytes, at))) {
            std::size_t data = at + 6;
            if (u16_at(bytes, at) == CHUNK_OBJECT) {
                while (data < at + length && bytes[data] != 0)
                    ++data;
                ++data;  // the name's terminator
            }
            out << '[' << walk(bytes, data, at + length) << ']';
        }
        at += length;
    }
    return out.str();
}

// Checks a whole file of V vertices and F faces: the exact nesting, the
// counts, every index in range, every flags word 0, every coordinate finite.
void expect_mesh_file(const Bytes& bytes, std::uint32_t v, std::uint32_t f) {
    const std::uint32_t total = 41 + 12 * v + 8 * f;
    ASSERT_EQ(bytes.size(), total);
    std::ostringstream shape;
    shape << "4d4d@0+" << total << "[3d3d@6+" << total - 6 << "[4000@12+" << total - 12
          << "[4100@19+" << total - 19 << "[4110@25+" << 8 + 12 * v << " 4120@" << 33 + 12 * v
          << '+' << 8 + 8 * f << "]]]]";
    ASSERT_EQ(walk(bytes, 0, bytes.size()), shape.str());
    EXPECT_EQ(bytes[18], 0) << "the object's name is empty";
    ASSERT_EQ(bytes[0] | bytes[1] << 8, 0x4D4D);
    ASSERT_EQ(u16_at(bytes, 31), v);
    ASSERT_EQ(u16_at(bytes, 39 + 12 * v), f);
    for (std::size_t at = 33; at < 33 + 12 * v; at += 4)
        ASSERT_TRUE(std::isfinite(float_at(bytes, at))) << "at " << at;
    for (std::size_t at = 41 + 12 * v; at < total; at += 8) {
        for (int k = 0; k < 3; ++k)
            ASSERT_LT(u16_at(bytes, at + 2 * k), v) << "at " << at;
        ASSERT_EQ(u16_at(bytes, at + 6), 0) << "flags at " << at;
    }
}

// Ordinary and degenerate scenes alike give a complete 10,921-byte file
// holding the mesh as built, with no NaN or infinity in it.
TEST(FileImage, EveryExportIsACompleteWellNestedFile) {
    EditorScene same_handles = INITIAL_SCENE;
    same_handles.axis[1] = same_handles.axis[0];
    EditorScene one_pixel = same_handles;
    for (ScreenPoint& p : one_pixel.control)
        p = one_pixel.axis[0];
    EditorScene far_corner = INITIAL_SCENE;
    far_corner.control[3] = make_screen_point(1279, 1023);
    far_corner.axis[0] = make_screen_point(1279, 0);
    far_corner.axis[1] = make_screen_point(0, 1023);

    ScratchDirectory scratch;
    for (const EditorScene& scene :
         {INITIAL_SCENE, off_axis_scene(), same_handles, one_pixel, far_corner}) {
        SCOPED_TRACE(testing::Message() << "axis B " << std::hex << scene.axis[1]);
        export_scene(scene);
        const Bytes bytes = read_bytes("object.3ds");
        expect_mesh_file(bytes, MESH_VERTICES, MESH_FACES);
        ASSERT_EQ(bytes.size(), 10921u);
        ASSERT_EQ(std::memcmp(bytes.data() + 33, ring_buffer.vertices, 12 * MESH_VERTICES), 0);
        // Faces keep their emission order and index order.
        const std::size_t last_face = 41 + 12 * MESH_VERTICES + 8 * (MESH_FACES - 1);
        EXPECT_EQ(u16_at(bytes, last_face), face_list.faces[MESH_FACES - 1].a);
        EXPECT_EQ(u16_at(bytes, last_face + 4), face_list.faces[MESH_FACES - 1].c);
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
