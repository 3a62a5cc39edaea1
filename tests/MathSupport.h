// Comparing matrices and vectors with named tolerances.
#pragma once

#include <d3dx9math.h>
#include <gtest/gtest.h>

#include <random>

namespace VorelTest {

// Float round-off of a few operations on values near 1.
constexpr float kTight = 1e-5f;
// After a decomposition and a rebuild, or a chain of products.
constexpr float kLoose = 1e-4f;

inline void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance);
        }
}

inline void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
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
