#pragma once

namespace Vorel {

// A rotation quaternion, vector part first. Nothing here renormalises.
struct cQuaternion {
    float x = 0, y = 0, z = 0, w = 1;

    cQuaternion() = default;
    cQuaternion(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}

    // The Hamilton product a ⊗ b.
    static cQuaternion Multiply(const cQuaternion& a, const cQuaternion& b);
    // The conjugate over the squared norm; q must not be zero.
    static cQuaternion Inverse(const cQuaternion& q);
    static float Dot(const cQuaternion& a, const cQuaternion& b);
    // Spherical interpolation from `from` (t = 0) towards `to` (t = 1) along
    // the shorter arc: `to` is negated when the two lie more than 90 degrees
    // apart. Within 1e-7 of parallel it interpolates linearly, and equal
    // ends give `from` itself. Not normalised.
    static cQuaternion Slerp(const cQuaternion& from, const cQuaternion& to, float t);
};

}  // namespace Vorel
