#include <d3dx9math.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "MathSupport.h"

namespace {

using namespace VorelTest;

D3DXMATRIX Compose(const D3DXVECTOR3& s, const D3DXQUATERNION& q, const D3DXVECTOR3& t) {
    D3DXMATRIX S, R, T;
    D3DXMatrixScaling(&S, s.x, s.y, s.z);
    D3DXMatrixRotationQuaternion(&R, &q);
    D3DXMatrixTranslation(&T, t.x, t.y, t.z);
    return S * R * T;
}

// Rodrigues' formula in double: an independent way to rotate a point.
D3DXVECTOR3 Rotate(const D3DXVECTOR3& p, double ax, double ay, double az, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double dot = ax * p.x + ay * p.y + az * p.z;
    const double cx = ay * p.z - az * p.y, cy = az * p.x - ax * p.z, cz = ax * p.y - ay * p.x;
    return {static_cast<float>(p.x * c + cx * s + ax * dot * (1 - c)),
            static_cast<float>(p.y * c + cy * s + ay * dot * (1 - c)),
            static_cast<float>(p.z * c + cz * s + az * dot * (1 - c))};
}

TEST(Matrix, RowVectorsAndTheOrderOfProducts) {
    D3DXMATRIX S, T;
    D3DXMatrixScaling(&S, 2, 3, 4);
    D3DXMatrixTranslation(&T, 10, 20, 30);
    EXPECT_EQ(T._41, 10.0f) << "the offset is in the fourth row";
    ExpectNear(Apply({1, 1, 1}, S * T), {12, 23, 34}, kTight);  // S · T scales first, then translates
    D3DXMATRIX P = S;
    P *= T;
    D3DXMatrixMultiply(&P, &P, &P);  // in place
    ExpectNear(P, (S * T) * (S * T), kTight);
}

TEST(Matrix, QuaternionRotationMatchesAnIndependentRotation) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 50; ++i) {
        double ax = u(rng), ay = u(rng), az = u(rng);
        const double length = std::sqrt(ax * ax + ay * ay + az * az);
        ax /= length, ay /= length, az /= length;
        const double angle = u(rng) * 3.1;
        const D3DXQUATERNION q(
            static_cast<float>(ax * std::sin(angle / 2)), static_cast<float>(ay * std::sin(angle / 2)),
            static_cast<float>(az * std::sin(angle / 2)), static_cast<float>(std::cos(angle / 2)));
        D3DXMATRIX R;
        D3DXMatrixRotationQuaternion(&R, &q);
        const D3DXVECTOR3 p(0.3f, -1.2f, 2.0f);
        ExpectNear(Apply(p, R), Rotate(p, ax, ay, az, angle), kLoose);
    }
    // A quarter turn about z takes x to y.
    const D3DXQUATERNION quarter(0, 0, std::sqrt(0.5f), std::sqrt(0.5f));
    D3DXMATRIX R;
    D3DXMatrixRotationQuaternion(&R, &quarter);
    ExpectNear(Apply({1, 0, 0}, R), {0, 1, 0}, kTight);
}

TEST(Matrix, InverseUndoesAndSingularMatricesHaveNone) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-3, 3);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (int i = 0; i < 50; ++i) {
        D3DXMATRIX m;
        for (auto& row : m.m)
            for (float& v : row)
                v = u(rng);
        D3DXMATRIX inverse;
        float det = 0;
        if (D3DXMatrixInverse(&inverse, &det, &m) == nullptr) continue;
        if (std::fabs(det) < 0.1f) continue;  // too close to singular for float checks
        ExpectNear(m * inverse, identity, kLoose);
    }
    D3DXMATRIX singular = identity;
    singular._33 = 0;
    D3DXMATRIX untouched = identity;
    float det = 1;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_TRUE(untouched == identity);
    D3DXMATRIX transposed;
    D3DXMatrixTranspose(&transposed, &singular);
    D3DXMatrixTranspose(&transposed, &transposed);
    EXPECT_TRUE(transposed == singular);
}

TEST(Matrix, DecomposeRebuildsRandomTransforms) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> scale(0.1f, 4.0f), offset(-50, 50);
    for (int i = 0; i < 200; ++i) {
        const D3DXVECTOR3 s(scale(rng), scale(rng), scale(rng));
        const D3DXQUATERNION q = RandomRotation(rng);
        const D3DXVECTOR3 t(offset(rng), offset(rng), offset(rng));
        const D3DXMATRIX m = Compose(s, q, t);
        D3DXVECTOR3 s2, t2;
        D3DXQUATERNION q2;
        ASSERT_EQ(D3DXMatrixDecompose(&s2, &q2, &t2, &m), S_OK);
        ExpectNear(s2, s, kRebuilt);
        EXPECT_EQ(t2, t);
        EXPECT_NEAR(q2.x * q2.x + q2.y * q2.y + q2.z * q2.z + q2.w * q2.w, 1.0f, kTight);
        // q and -q are the same rotation: compare the matrices they make.
        ExpectNear(Compose(s2, q2, t2), m, kRebuilt);
    }
}

TEST(Matrix, DecomposeStaysFiniteForWhatHasNoDecomposition) {
    D3DXMATRIX rotation;
    const D3DXQUATERNION q(0.2f, -0.4f, 0.1f, std::sqrt(1 - 0.04f - 0.16f - 0.01f));
    D3DXMatrixRotationQuaternion(&rotation, &q);
    D3DXMATRIX zero;  // nothing but the w column
    std::memset(&zero, 0, sizeof zero);
    zero._44 = 1;
    const struct {
        const char* what;
        D3DXMATRIX m;
        bool rebuilds;
    } cases[] = {
        {"reflection", Compose({-1, 2, 3}, q, {1, 2, 3}), true},
        {"zero scale on one axis", Compose({0, 2, 3}, q, {1, 2, 3}), true},
        {"zero scale on two axes", Compose({0, 0, 3}, q, {1, 2, 3}), true},
        {"all zero", zero, true},
        {"sheared flat", D3DXMATRIX(1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), false},
        {"not a number", D3DXMATRIX(NAN, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, INFINITY, 1), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        D3DXVECTOR3 s, t;
        D3DXQUATERNION r;
        EXPECT_EQ(D3DXMatrixDecompose(&s, &r, &t, &c.m), D3DERR_INVALIDCALL);
        for (float v : {s.x, s.y, s.z, t.x, t.y, t.z, r.x, r.y, r.z, r.w})
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_NEAR(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w, 1.0f, kTight);
        if (c.rebuilds) ExpectNear(Compose(s, r, t), c.m, kLoose);
    }
    D3DXVECTOR3 s, t;
    D3DXQUATERNION r;
    D3DXMatrixDecompose(&s, &r, &t, &zero);
    EXPECT_EQ(r.w, 1.0f) << "nothing to rotate: the identity rotation";
}

TEST(Matrix, LeftHandedViewAndProjection) {
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectNear(Apply({0, 0, 0}, view), {0, 0, 5}, kTight);
    ExpectNear(Apply({1, 2, 0}, view), {1, 2, 5}, kTight);  // x right, y up, z into the screen

    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 4.0f / 3.0f, 1.0f, 100.0f);
    D3DXVECTOR3 near, far, corner;
    const D3DXVECTOR3 p1(0, 0, 1), p2(0, 0, 100), p3(4, 3, 3);
    D3DXVec3TransformCoord(&near, &p1, &projection);
    D3DXVec3TransformCoord(&far, &p2, &projection);
    D3DXVec3TransformCoord(&corner, &p3, &projection);
    EXPECT_NEAR(near.z, 0.0f, kTight) << "depth 0 at the near plane";
    EXPECT_NEAR(far.z, 1.0f, kTight) << "depth 1 at the far plane";
    ExpectNear(D3DXVECTOR3(corner.x, corner.y, 0), {1, 1, 0}, kTight);  // the corner of a 90 degree, 4:3 view

    D3DXMatrixOrthoLH(&projection, 8, 6, 1, 101);
    D3DXVec3TransformCoord(&corner, &p3, &projection);
    D3DXVec3TransformCoord(&far, &p2, &projection);
    ExpectNear(corner, {1, 1, 0.02f}, kTight);  // an 8 x 6 view, depth in proportion
    EXPECT_NEAR(far.z, 0.99f, kTight);

    D3DXMatrixLookAtLH(&view, &eye, &at, &eye);  // up along the view: still a rotation
    for (const auto& row : view.m)
        for (float v : row)
            EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
