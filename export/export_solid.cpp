#include "export/export_solid.h"

#include "export/mesh.h"
#include "export/writer_3ds.h"

void export_solid() {
    build_solid_mesh();
    write_3ds_image(MESH_VERTICES, ring_buffer.vertices, face_count, face_list.faces);
}
