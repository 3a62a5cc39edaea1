#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "MathSupport.h"
#include "cQuaternion.h"
#include "cVQS.h"

namespace {

using namespace VorelTest;
using Vorel::cQuaternion;
using Vorel::cVQS;

cVQS Random(std::mt19937& rng, bool uniformScale) {
    std::uniform_real_distribution<float> scale(0.5f, 2.0f), offset(-10, 10);
    cVQS v;
    v.m_translation = {offset(rng), offset(rng), offset(rng)};
    const D3DXQUATERNION q = RandomRotation(rng);
    v.m_rotation = {q.x, q.y, q.z, q.w};
    const float s = scale(rng);
    v.m_scale = uniformScale ? D3DXVECTOR3(s, s, s) : D3DXVECTOR3(s, scale(rng), scale(rng));
    return v;
}

TEST(cQuaternion, HamiltonProductOfTheUnitAxes) {
    const cQuaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
    ExpectNear(cQuaternion::Multiply(i, j), k, 0);
    ExpectNear(cQuaternion::Multiply(j, i), cQuaternion(0, 0, -1, 0), 0);
    ExpectNear(cQuaternion::Multiply(i, i), cQuaternion(0, 0, 0, -1), 0);
    const cQuaternion q(1, 2, 3, 4);
    ExpectNear(cQuaternion::Multiply(q, cQuaternion::Inverse(q)), cQuaternion(), kTight);
    EXPECT_EQ(cQuaternion::Dot(q, q), 30.0f);
}

TEST(cQuaternion, SlerpEdgeCases) {
    const float h = std::sqrt(0.5f);
    const cQuaternion a(0, 0, 0, 1);
    // Dot 0.5: 60 degrees apart, both weights sin 30 / sin 60 at t = 0.5.
    const cQuaternion b(0, 0, std::sqrt(0.75f), 0.5f);
    const float weight = 0.57735027f;
    ExpectNear(cQuaternion::Slerp(a, b, 0.5f), cQuaternion(0, 0, weight * b.z, weight * (1 + b.w)), kTight);
    // Dot -0.5: the end is negated first, then the same weights apply.
    const cQuaternion negB(-b.x, -b.y, -b.z, -b.w);
    ExpectNear(cQuaternion::Slerp(a, negB, 0.5f), cQuaternion(0, 0, weight * b.z, weight * (1 + b.w)),
               kTight);

    const cQuaternion q(h, 0, 0, h);
    for (float t : {0.0f, 0.3f, 1.0f}) {
        ExpectNear(cQuaternion::Slerp(q, q, t), q, 0);                          // the same: from, exactly
        ExpectNear(cQuaternion::Slerp(q, cQuaternion(-h, 0, 0, -h), t), q, 0);  // q to -q: from
    }
    ExpectNear(cQuaternion::Slerp(a, b, 0), a, kTight);
    ExpectNear(cQuaternion::Slerp(a, b, 1), b, kTight);
    // t = 1 gives the end with the sign chosen for the shorter arc.
    ExpectNear(cQuaternion::Slerp(a, negB, 1), b, kTight);
    // Keys a hair apart, as a slowly turning bone has them, still move
    // between them rather than stepping.
    const cQuaternion close(0, 0, std::sin(2e-4f), std::cos(2e-4f));
    EXPECT_NEAR(cQuaternion::Slerp(a, close, 0.5f).z, close.z / 2, 1e-9f);
    EXPECT_NEAR(cQuaternion::Slerp(a, cQuaternion(-close.x, -close.y, -close.z, -close.w), 0.25f).z,
                close.z / 4, 1e-9f);
    // Rounding past 1: no NaN out of acos.
    const cQuaternion over(0, 0, 0, 1.0000001f);
    const cQuaternion result = cQuaternion::Slerp(over, over, 0.5f);
    EXPECT_FALSE(std::isnan(result.w));
}

TEST(cVQS, TheMatrixScalesRotatesThenTranslates) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(cVQS::ToMatrix(cVQS::Identity()) == identity);
    // Scale first, then rotate, then translate.
    cVQS v;
    v.m_scale = {2, 2, 2};
    v.m_rotation = {0, 0, std::sqrt(0.5f), std::sqrt(0.5f)};
    v.m_translation = {10, 0, 0};
    ExpectNear(Apply({1, 0, 0}, cVQS::ToMatrix(v)), {10, 2, 0}, kTight);
}

TEST(cVQS, ConcatenateAppliesTheChildThenTheParent) {
    std::mt19937 rng(9);
    for (int i = 0; i < 100; ++i) {
        const cVQS parent = Random(rng, true);
        const cVQS child = Random(rng, true);
        const cVQS both = cVQS::Concatenate(parent, child);
        const D3DXVECTOR3 p(0.5f, -2, 3);
        ExpectNear(Apply(p, cVQS::ToMatrix(both)),
                   Apply(Apply(p, cVQS::ToMatrix(child)), cVQS::ToMatrix(parent)), kRebuiltTwice);
    }
    const cVQS child = Random(rng, true);
    ExpectNear(cVQS::ToMatrix(cVQS::Concatenate(cVQS::Identity(), child)), cVQS::ToMatrix(child), kRebuilt);
}

TEST(cVQS, TransformPointUsesTheXScaleOnly) {
    std::mt19937 rng(13);
    const cVQS v = Random(rng, false);
    EXPECT_EQ(cVQS::TransformPoint(v, {0, 0, 0}), v.m_translation)
        << "the origin goes to the translation, exactly";
    cVQS scaled;
    scaled.m_scale = {2, 5, 7};
    ExpectNear(cVQS::TransformPoint(scaled, {1, 1, 1}), {2, 2, 2}, kTight);
    // With uniform scale it agrees with the matrix.
    const cVQS u = Random(rng, true);
    ExpectNear(cVQS::TransformPoint(u, {1, 2, 3}), Apply({1, 2, 3}, cVQS::ToMatrix(u)), kRebuilt);
}

TEST(cVQS, InterpolateIsLinearInTranslationAndScale) {
    cVQS a, b;
    a.m_translation = {0, 10, -4};
    b.m_translation = {4, 20, 4};
    a.m_scale = {1, 1, 1};
    b.m_scale = {3, 1, 2};
    b.m_rotation = {0, 0, 1, 0};  // half a turn about z
    const cVQS mid = cVQS::Interpolate(a, b, 0.25f);
    ExpectNear(mid.m_translation, {1, 12.5f, -2}, kTight);
    ExpectNear(mid.m_scale, {1.5f, 1, 1.25f}, kTight);
    ExpectNear(mid.m_rotation, cQuaternion::Slerp(a.m_rotation, b.m_rotation, 0.25f), 0);
}

}  // namespace
