#include "export/mesh.h"

#include <cmath>

#include "export/file_3ds.h"

RingBuffer ring_buffer;
FaceList face_list;
std::uint32_t face_count = 0;

namespace {

// Nine floats m0..m8, three rows of three. A point p becomes
// (p.x*m0 + p.y*m3 + p.z*m6, p.x*m1 + p.y*m4 + p.z*m7, p.x*m2 + p.y*m5 + p.z*m8).
struct RotationMatrix {
    float m[9];
};

// Scales v to unit length (length in double). A zero vector stays zero.
void normalize_vector(Vector3& v) {
    const double x = v.x;
    const double y = v.y;
    const double z = v.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) {
        // Coincident axis handles: a zero axis, and the export carries on.
        v = Vector3{0.0f, 0.0f, 0.0f};
        return;
    }
    v.x = static_cast<float>(x / length);
    v.y = static_cast<float>(y / length);
    v.z = static_cast<float>(z / length);
}

// b - a, normalised. Differences and length are worked out in double from
// the float inputs; the results are stored as floats.
Vector3 axis_direction(const Vector3& a, const Vector3& b) {
    Vector3 d{
        static_cast<float>(static_cast<double>(b.x) - static_cast<double>(a.x)),
        static_cast<float>(static_cast<double>(b.y) - static_cast<double>(a.y)),
        static_cast<float>(static_cast<double>(b.z) - static_cast<double>(a.z)),
    };
    normalize_vector(d);
    return d;
}

// Rotation about `axis` with c in the cosine role and s in the sine role,
// every entry worked out in double from the float inputs and stored as float.
void axis_rotation_matrix(const Vector3& axis, float c, float s, RotationMatrix& rotation) {
    const double x = axis.x;
    const double y = axis.y;
    const double z = axis.z;
    const double cd = c;
    const double sd = s;
    const double t = 1.0 - cd;
    float* m = rotation.m;
    m[0] = static_cast<float>(x * x + (1.0 - x * x) * cd);
    m[1] = static_cast<float>(x * y * t + z * sd);
    m[2] = static_cast<float>(x * z * t - y * sd);
    m[3] = static_cast<float>(x * y * t - z * sd);
    m[4] = static_cast<float>(y * y + (1.0 - y * y) * cd);
    m[5] = static_cast<float>(y * z * t + x * sd);
    m[6] = static_cast<float>(x * z * t + y * sd);
    m[7] = static_cast<float>(y * z * t - x * sd);
    m[8] = static_cast<float>(z * z + (1.0 - z * z) * cd);
}

// Rotates `count` samples into `out`, in single precision.
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

void emit(int a, int b, int c) {
    face_list.faces[face_count++] =
        Face{static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b),
             static_cast<std::uint16_t>(c)};
}

// Fills face_list with the triangles joining the RING_COUNT rings, the last
// ring back to ring 0, and sets face_count. The checks in mesh.h prove that
// they fit the face list and that every index fits 16 bits.
void build_faces() {
    face_count = 0;
    const int quads_per_strip = RING_SAMPLES - 1;
    // Every triangle is wound the same way round the surface, so each inner
    // edge is walked once in each direction by its two triangles.
    for (int k = 0; k < RING_COUNT - 1; ++k) {
        for (int i = 0; i < quads_per_strip; ++i) {
            const int c = k * RING_SAMPLES + i;
            emit(c, c + RING_SAMPLES, c + 1);
            emit(c + RING_SAMPLES, c + RING_SAMPLES + 1, c + 1);
        }
    }
    // The closing strip joins the last ring back to ring 0.
    const int base = (RING_COUNT - 1) * RING_SAMPLES;
    for (int i = 0; i < quads_per_strip; ++i) {
        emit(i, i + 1, base + i);
        emit(base + i, i + 1, base + i + 1);
    }
}

}  // namespace

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
    build_faces();
}

void export_solid() {
    build_solid_mesh();
    write_3ds_image(MESH_VERTICES, ring_buffer.vertices, face_count, face_list.faces);
}
