#include "export/mesh.h"

FaceList face_list;
std::uint32_t face_count = 0;

namespace {

void emit(int a, int b, int c) {
    face_list.faces[face_count++] =
        Face{static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b),
             static_cast<std::uint16_t>(c)};
}

}  // namespace

void build_faces(int ring_count) {
    face_count = 0;
    const int quads_per_strip = RING_SAMPLES - 1;
    if (ring_count < 2 || ring_count > RING_BUFFER_CAPACITY / RING_SAMPLES ||
        ring_count * RING_SAMPLES > 65536 ||
        2 * quads_per_strip * ring_count > FACE_LIST_CAPACITY) {
        return;
    }
    // Every triangle is wound the same way round the surface, so each inner
    // edge is walked once in each direction by its two triangles.
    for (int k = 0; k < ring_count - 1; ++k) {
        for (int i = 0; i < quads_per_strip; ++i) {
            const int c = k * RING_SAMPLES + i;
            emit(c, c + RING_SAMPLES, c + 1);
            emit(c + RING_SAMPLES, c + RING_SAMPLES + 1, c + 1);
        }
    }
    // The closing strip joins the last ring back to ring 0.
    const int base = (ring_count - 1) * RING_SAMPLES;
    for (int i = 0; i < quads_per_strip; ++i) {
        emit(i, i + 1, base + i);
        emit(base + i, i + 1, base + i + 1);
    }
}
