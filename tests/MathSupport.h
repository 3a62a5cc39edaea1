// Comparing matrices and vectors with named tolerances.
#pragma once

#include <d3dx9math.h>
#include <gtest/gtest.h>

#include <random>

namespace VorelTest {

// Float round-off of a few operations on values near 1.
constexpr float kTight = 1e-5f;
// A chain of products, or a rotation against one computed in double.
constexpr float kLoose = 1e-4f;
// After a decomposition and a rebuild, on values up to about 50: a
// transform taken apart and put together again, or blended four ways.
constexpr float kRebuilt = 1e-3f;
// The same, composed with a parent's transform on top.
constexpr float kRebuiltTwice = 2e-3f;

inline void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance);
        }
}

// Anything of x, y, z and perhaps w: vectors and quaternions.
template <class Vector>
void ExpectNear(const Vector& actual, const Vector& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    if constexpr (requires { actual.w; }) {
        EXPECT_NEAR(actual.w, expected.w, tolerance);
    }
}

// p · m for a point (w = 1), without the divide.
inline D3DXVECTOR3 Apply(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41, p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

// A unit quaternion uniformly distributed over rotations.
inline D3DXQUATERNION RandomRotation(std::mt19937& rng) {
    std::normal_distribution<float> n;
    float q[4];
    float length = 0;
    do {
        length = 0;
        for (float& c : q)
            c = n(rng), length += c * c;
    } while (length < 1e-6f);
    length = std::sqrt(length);
    return {q[0] / length, q[1] / length, q[2] / length, q[3] / length};
}

}  // namespace VorelTest
