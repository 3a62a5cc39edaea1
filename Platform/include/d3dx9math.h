// D3DX 9's vector, quaternion, matrix and colour types and the matrix
// routines the application calls. Conventions as in D3DX: row vectors
// (p' = p · M), so A · B applies A first; left-handed view and projection.
// Every routine may be given the same matrix as input and output.
#pragma once

#include <d3d9types.h>

#include <cmath>

#define D3DX_PI 3.141592654f

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(float vx, float vy, float vz) : D3DVECTOR{vx, vy, vz} {}
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    D3DXVECTOR3 operator*(float s) const { return {x * s, y * s, z * s}; }
    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
};

struct D3DXQUATERNION {
    float x, y, z, w;
    D3DXQUATERNION() = default;
    D3DXQUATERNION(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}
};

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
               float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44);
    float& operator()(unsigned row, unsigned col) { return m[row][col]; }
    float operator()(unsigned row, unsigned col) const { return m[row][col]; }
    D3DXMATRIX operator*(const D3DXMATRIX& b) const;
    D3DXMATRIX& operator*=(const D3DXMATRIX& b);
    bool operator==(const D3DXMATRIX& b) const;
};

struct D3DXCOLOR {
    float r, g, b, a;
    D3DXCOLOR() = default;
    D3DXCOLOR(float cr, float cg, float cb, float ca) : r(cr), g(cg), b(cb), a(ca) {}
    D3DXCOLOR(const D3DCOLORVALUE& c) : r(c.r), g(c.g), b(c.b), a(c.a) {}
    operator D3DCOLORVALUE() const { return {r, g, b, a}; }
    // ARGB, each channel 255 from 1 up, 0 from 0 down (and for a NaN),
    // otherwise c × 255 rounded.
    operator DWORD() const {
        const auto channel = [](float c) -> DWORD {
            if (c >= 1.0f) return 255;
            if (!(c > 0.0f)) return 0;
            return static_cast<DWORD>(c * 255.0f + 0.5f);
        };
        return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
    }
};

typedef D3DXMATRIX* LPD3DXMATRIX;
typedef D3DXVECTOR3* LPD3DXVECTOR3;

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out);
// out = a · b: a applied first.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
// Null, with out untouched, when m is singular (or not finite). The
// determinant is written when asked for, either way.
D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
// The offset goes in the fourth row.
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
// The rotation of unit quaternion q, for row vectors.
D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
// m = S · R · T with a scale vector, a unit quaternion and a translation.
// A reflection comes back as a negative x scale, a zero-scale axis as a 0
// scale with a rotation completed from the other axes; both still rebuild m,
// and both return D3DERR_INVALIDCALL. Results are always finite.
HRESULT WINAPI D3DXMatrixDecompose(D3DXVECTOR3* outScale, D3DXQUATERNION* outRotation,
                                   D3DXVECTOR3* outTranslation, const D3DXMATRIX* m);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                                      const D3DXVECTOR3* up);
// Depth maps zn..zf to 0..1.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf);
// Left-handed orthographic: a view `w` x `h` across, depth 0 at `zn` to 1 at `zf`.
D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf);
// The point (x, y, z, 1) · m, divided by its w.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
