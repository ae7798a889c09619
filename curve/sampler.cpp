#include "curve/sampler.h"

#include <cmath>

#include "canvas/pixel_buffer.h"
#include "canvas/raster.h"

ProfileStore profile_store;
std::uint32_t recorded_count = 0;

namespace {

// Four single-precision lanes evaluated together (SSE or NEON as the target
// offers). Only element-wise IEEE operations are used, so every lane rounds
// exactly as the scalar formula would.
typedef float Float4 __attribute__((vector_size(16), aligned(16)));

struct BezierWeights {
    Float4 b0, b1, b2, b3;
};

struct CurvePoints {
    Float4 x, y, z;
};

alignas(16) const Float4 ONES = {1.0f, 1.0f, 1.0f, 1.0f};
alignas(16) const Float4 THREES = {3.0f, 3.0f, 3.0f, 3.0f};
alignas(16) const Float4 FOURS = {4.0f, 4.0f, 4.0f, 4.0f};
alignas(16) const Float4 LANE_STEPS = {1.0f, 2.0f, 3.0f, 4.0f};

// 1/20 worked out in double and rounded once to single precision.
const float SAMPLE_STEP = static_cast<float>(1.0 / CURVE_SAMPLES);

Float4 splat(float v) {
    return Float4{v, v, v, v};
}

// Nearest integer, ties to even (the default rounding mode), as dots land.
int round_to_pixel(float v) {
    return static_cast<int>(std::nearbyint(v));
}

// Every operation is single precision, in exactly this order.
BezierWeights bezier_basis_x4(Float4 t) {
    const Float4 u = ONES - t;
    const Float4 uu = u * u;
    const Float4 tt = t * t;
    BezierWeights w;
    w.b0 = u * uu;
    w.b1 = (uu * THREES) * t;
    w.b2 = (u * THREES) * tt;
    w.b3 = tt * t;
    return w;
}

// Reads the control points' float copies control_f[0..3]. The terms are summed
// in two pairs; z in the reverse order. Every control point has z = 0, so z is
// always 0.
CurvePoints bezier_point_x4(Float4 b0, Float4 b1, Float4 b2, Float4 b3) {
    const Vector3* p = control_f;
    CurvePoints c;
    c.x = (splat(p[0].x) * b0 + splat(p[1].x) * b1) + (splat(p[2].x) * b2 + splat(p[3].x) * b3);
    c.y = (splat(p[0].y) * b0 + splat(p[1].y) * b1) + (splat(p[2].y) * b2 + splat(p[3].y) * b3);
    c.z = (splat(p[3].z) * b3 + splat(p[2].z) * b2) + (splat(p[1].z) * b1 + splat(p[0].z) * b0);
    return c;
}

}  // namespace

void sample_profile_curve() {
    const Float4 step = splat(SAMPLE_STEP);
    // The parameter is accumulated group by group, never recomputed, so t = 0
    // is never sampled and the last lane reaches exactly 1.
    Float4 t = LANE_STEPS * step;
    const Float4 dt = FOURS * step;
    recorded_count = 0;
    for (int group = 0; group < CURVE_SAMPLES / 4; ++group) {
        const BezierWeights w = bezier_basis_x4(t);
        const CurvePoints c = bezier_point_x4(w.b0, w.b1, w.b2, w.b3);
        if (recording_flag == 1) {
            for (int lane = 0; lane < 4; ++lane) {
                profile_store.samples[recorded_count + lane] =
                    Vector3{c.x[lane], c.y[lane], c.z[lane]};
            }
            recorded_count += 4;
        }
        for (int lane = 0; lane < 4; ++lane) {
            plot_dot(round_to_pixel(c.x[lane]), round_to_pixel(c.y[lane]), CURVE_DOT_WORD);
        }
        t = t + dt;
    }
    recording_flag = 0;
}
