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
    const float vx = (p.x * m0 + p.y * m3) + p.z * m6;
    const float vy = (p.x * m1 + p.y * m4) + p.z * m7;
    const float vz = (p.x * m2 + p.y * m5) + p.z * m8;
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

    for (int j = 0; j < RING_COUNT; ++j) {
        for (int i = 0; i < RING_SAMPLES; ++i) {
            ASSERT_EQ(bits_of(ring_buffer.vertices[j * RING_SAMPLES + i]),
                      bits_of(reference_vertex(j, i)))
                << "ring " << j << " sample " << i;
        }
    }
}

// Ring j is the profile turned right-handedly about the line through the
// pixel origin parallel to A->B by 90 degrees minus j steps of 18 degrees;
// so every vertex keeps its sample's distance from that line and its
// position along it.
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
            }
        }
    }
}

}  // namespace
