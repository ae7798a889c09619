#include <cmath>

#include "export/mesh.h"

RingBuffer ring_buffer;

void transform_ring(const RotationMatrix& rotation, const Vector3* samples, int count,
                    Vector3* out) {
    const float* m = rotation.m;
    for (int i = 0; i < count; ++i) {
        const Vector3 p = samples[i];
        out[i] = Vector3{
            (p.x * m[0] + p.y * m[3]) + p.z * m[6],
            (p.x * m[1] + p.y * m[4]) + p.z * m[7],
            (p.x * m[2] + p.y * m[5]) + p.z * m[8],
        };
    }
}

void build_solid_mesh() {
    const Vector3 axis = axis_direction(axis_f[0], axis_f[1]);
    RotationMatrix rotation{};
    for (int j = 0; j < RING_COUNT; ++j) {
        const double theta = static_cast<double>(RING_ANGLE_STEP) * j;
        const float cosine = static_cast<float>(std::cos(theta));
        const float sine = static_cast<float>(std::sin(theta));
        // The sine takes the cosine's place and vice versa: ring 0 is the
        // profile turned a quarter turn out of the screen plane, and the
        // rings step round by -RING_ANGLE_STEP.
        axis_rotation_matrix(axis, sine, cosine, rotation);
        transform_ring(rotation, profile_store.samples, RING_SAMPLES,
                       ring_buffer.vertices + j * RING_SAMPLES);
    }
    build_faces(RING_COUNT);
}
