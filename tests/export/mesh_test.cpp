// Geometry of the solid: pinned vertex bits, a scalar reference for an
// off-diagonal axis, and the invariants of a rotation about the axis line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "canvas/scene.h"
#include "curve/sampler.h"
#include "export/mesh.h"
#include "export_test_support.h"

namespace {

struct Bits {
    std::uint32_t x, y, z;
    bool operator==(const Bits&) const = default;
};

Bits bits_of(const Vector3& v) {
    return {float_bits(v.x), float_bits(v.y), float_bits(v.z)};
}

void PrintTo(const Bits& b, std::ostream* os) {
    *os << std::hex << "(" << b.x << ", " << b.y << ", " << b.z << ")";
}

// The solid computed again, independently and one vertex at a time: axis and
// matrix entries in double from the float inputs, the transform in float.
Vector3 reference_vertex(int ring, int sample) {
    const Vector3 a = axis_f[0];
    const Vector3 b = axis_f[1];
    const float dx = static_cast<float>(double(b.x) - double(a.x));
    const float dy = static_cast<float>(double(b.y) - double(a.y));
    const float dz = static_cast<float>(double(b.z) - double(a.z));
    const double length = std::sqrt(double(dx) * dx + double(dy) * dy + double(dz) * dz);
    const double x = length == 0 ? 0.0 : float(dx / length);
    const double y = length == 0 ? 0.0 : float(dy / length);
    const double z = length == 0 ? 0.0 : float(dz / length);

    const float step = static_cast<float>(2.0 * std::numbers::pi / 20.0);
    const double theta = double(step) * ring;
    const double c = float(std::sin(theta));  // sine in the cosine role
    const double s = float(std::cos(theta));
    const float m0 = float(x * x + (1 - x * x) * c);
    const float m1 = float(x * y * (1 - c) + z * s);
    const float m2 = float(x * z * (1 - c) - y * s);
    const float m3 = float(x * y * (1 - c) - z * s);
    const float m4 = float(y * y + (1 - y * y) * c);
    const float m5 = float(y * z * (1 - c) + x * s);
    const float m6 = float(x * z * (1 - c) + y * s);
    const float m7 = float(y * z * (1 - c) - x * s);
    const float m8 = float(z * z + (1 - z * z) * c);

    const Vector3 p = profile_store.samples[sample];
    float vx = p.x * m0;
    vx = vx + p.y * m3;
    vx = vx + p.z * m6;
    float vy = p.x * m1;
    vy = vy + p.y * m4;
    vy = vy + p.z * m7;
    float vz = p.x * m2;
    vz = vz + p.y * m5;
    vz = vz + p.z * m8;
    return {vx, vy, vz};
}

struct Exact {
    long double x, y, z;
};

Exact unit_axis_exact() {
    const long double dx = axis_f[1].x - axis_f[0].x;
    const long double dy = axis_f[1].y - axis_f[0].y;
    const long double n = std::sqrt(dx * dx + dy * dy);
    return {dx / n, dy / n, 0.0L};
}

long double dot(const Exact& a, const Exact& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Exact exact(const Vector3& v) {
    return {v.x, v.y, v.z};
}

TEST(RevolutionMesh, InitialSceneVerticesHaveThePinnedBits) {
    record_scene(INITIAL_SCENE);
    build_solid_mesh();

    const Vector3 first = ring_buffer.vertices[0];
    EXPECT_NEAR(first.x, 44.82625, 1e-4);
    EXPECT_NEAR(first.y, 44.82625, 1e-4);
    EXPECT_NEAR(first.z, 38.46661, 1e-4);
    // Beyond ring 0 any slip to single precision in the angle or the matrix
    // changes these bits.
    EXPECT_EQ(bits_of(ring_buffer.vertices[20]), (Bits{0x4211AF18, 0x4254ED12, 0x421255F0}));
    EXPECT_EQ(bits_of(ring_buffer.vertices[399]), (Bits{0x44265CDA, 0x441EA325, 0x42867FEC}));
}

TEST(RevolutionMesh, OffDiagonalAxisMatchesTheScalarReferenceBitForBit) {
    record_scene(off_axis_scene());
    build_solid_mesh();

    int mismatches = 0;
    for (int j = 0; j < RING_COUNT; ++j) {
        for (int i = 0; i < RING_SAMPLES; ++i) {
            const Bits expected = bits_of(reference_vertex(j, i));
            const Bits actual = bits_of(ring_buffer.vertices[j * RING_SAMPLES + i]);
            if (expected != actual && ++mismatches <= 5) {
                ADD_FAILURE() << "ring " << j << " sample " << i << ": expected "
                              << testing::PrintToString(expected) << ", got "
                              << testing::PrintToString(actual);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Ring j is the profile turned right-handedly about the line through the
// pixel origin parallel to A->B by 90 degrees minus j steps of 18 degrees.
TEST(RevolutionMesh, RingsAreTheProfileRotatedAboutTheAxisLine) {
    for (const EditorScene& scene : {INITIAL_SCENE, off_axis_scene()}) {
        record_scene(scene);
        build_solid_mesh();
        const Exact k = unit_axis_exact();
        for (int j = 0; j < RING_COUNT; ++j) {
            const long double angle = std::numbers::pi_v<long double> / 2 -
                                      j * 2 * std::numbers::pi_v<long double> / RING_COUNT;
            const long double c = std::cos(angle);
            const long double s = std::sin(angle);
            for (int i = 0; i < RING_SAMPLES; ++i) {
                const Exact p = exact(profile_store.samples[i]);
                const Exact v = exact(ring_buffer.vertices[j * RING_SAMPLES + i]);
                const Exact cross{k.y * p.z - k.z * p.y, k.z * p.x - k.x * p.z,
                                  k.x * p.y - k.y * p.x};
                const long double along = dot(k, p);
                const Exact want{p.x * c + cross.x * s + k.x * along * (1 - c),
                                 p.y * c + cross.y * s + k.y * along * (1 - c),
                                 p.z * c + cross.z * s + k.z * along * (1 - c)};
                const long double tolerance = 1e-5L * std::sqrt(dot(p, p)) + 1e-4L;
                ASSERT_NEAR(v.x, want.x, tolerance) << "ring " << j << " sample " << i;
                ASSERT_NEAR(v.y, want.y, tolerance) << "ring " << j << " sample " << i;
                ASSERT_NEAR(v.z, want.z, tolerance) << "ring " << j << " sample " << i;

                // The same, said as the two invariants of a rotation: the
                // position along the line and the distance from it.
                const Exact radial_p{p.x - along * k.x, p.y - along * k.y, p.z - along * k.z};
                const long double along_v = dot(k, v);
                const Exact radial_v{v.x - along_v * k.x, v.y - along_v * k.y, v.z - along_v * k.z};
                ASSERT_NEAR(along_v, along, tolerance);
                ASSERT_NEAR(std::sqrt(dot(radial_v, radial_v)), std::sqrt(dot(radial_p, radial_p)),
                            tolerance);
            }
        }
    }
}

// With A = B the axis is zero and every matrix is c = sin(j * step) on the
// diagonal: ring j is the profile scaled by that factor.
TEST(RevolutionMesh, CoincidentAxisHandlesScaleTheProfile) {
    EditorScene scene = INITIAL_SCENE;
    scene.axis[1] = scene.axis[0];
    record_scene(scene);
    build_solid_mesh();
    for (int j = 0; j < RING_COUNT; ++j) {
        const float scale = static_cast<float>(std::sin(double(RING_ANGLE_STEP) * j));
        for (int i = 0; i < RING_SAMPLES; ++i) {
            const Vector3 p = profile_store.samples[i];
            const Vector3 v = ring_buffer.vertices[j * RING_SAMPLES + i];
            ASSERT_EQ(v.x, p.x * scale) << j << "," << i;
            ASSERT_EQ(v.y, p.y * scale) << j << "," << i;
            ASSERT_EQ(v.z, 0.0f) << j << "," << i;
        }
    }
}

TEST(RevolutionMesh, NormalizeVector) {
    Vector3 v{3.0f, 0.0f, 4.0f};
    normalize_vector(v);
    EXPECT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.8f);

    Vector3 zero{0.0f, 0.0f, 0.0f};
    normalize_vector(zero);
    EXPECT_EQ(float_bits(zero.x) | float_bits(zero.y) | float_bits(zero.z), 0u);

    // Squares beyond the float range are still summed without overflow.
    Vector3 huge{3e38f, 3e38f, 0.0f};
    normalize_vector(huge);
    EXPECT_FLOAT_EQ(huge.x, static_cast<float>(std::sqrt(0.5)));
    EXPECT_FLOAT_EQ(huge.y, static_cast<float>(std::sqrt(0.5)));
}

}  // namespace
