// The byte layout of the written file, read back with a chunk walker.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "export/file_3ds.h"
#include "export/mesh.h"
#include "export_test_support.h"
#include "tests/support/mesh_file_check.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Ordinary and degenerate scenes alike give a complete 10,921-byte file
// holding the mesh as built, with no NaN or infinity in it.
TEST(FileImage, EveryExportIsACompleteWellNestedFile) {
    EditorScene same_handles = INITIAL_SCENE;
    same_handles.axis[1] = same_handles.axis[0];
    EditorScene one_pixel = same_handles;
    for (ScreenPoint& p : one_pixel.control) {
        p = one_pixel.axis[0];
    }
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
