#include <cmath>

#include "export/mesh.h"

Vector3 axis_direction(const Vector3& a, const Vector3& b) {
    Vector3 d{
        static_cast<float>(static_cast<double>(b.x) - static_cast<double>(a.x)),
        static_cast<float>(static_cast<double>(b.y) - static_cast<double>(a.y)),
        static_cast<float>(static_cast<double>(b.z) - static_cast<double>(a.z)),
    };
    normalize_vector(d);
    return d;
}

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
