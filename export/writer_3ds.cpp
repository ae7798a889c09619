#include "export/writer_3ds.h"

#include "export/file_image.h"
#include "export/replace_file.h"

void write_3ds_image(std::uint32_t vertex_count, const Vector3* vertices,
                     std::uint32_t triangle_count, const Face* faces) {
    const std::uint32_t size = assemble_3ds_image(vertex_count, vertices, triangle_count, faces);
    if (size == 0) {
        return;
    }
    (void)replace_file_contents(EXPORT_FILE_NAME, file_image.bytes, size);
}
