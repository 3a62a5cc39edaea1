#include <d3dx9math.h>

#include <algorithm>
#include <cmath>

namespace {

using Rows = double[3][3];

double Dot3(const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross3(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool Normalise3(double* v) {
    const double length = std::sqrt(Dot3(v, v));
    if (!(length > 1e-12) || !std::isfinite(length)) return false;
    for (int i = 0; i < 3; ++i)
        v[i] /= length;
    return true;
}

// Any unit vector perpendicular to v (which must be a unit vector).
void Perpendicular(const double* v, double* out) {
    const double axis[3] = {std::fabs(v[0]) < 0.9 ? 1.0 : 0.0, std::fabs(v[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    Cross3(v, axis, out);
    Normalise3(out);
}

// Quaternion (x, y, z, w) of a proper rotation matrix for row vectors.
D3DXQUATERNION QuaternionOf(const Rows r) {
    // Shepperd's method: pivot on the largest of w², x², y², z² for accuracy.
    const double trace = r[0][0] + r[1][1] + r[2][2];
    double q[4];  // x, y, z, w
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q[3] = 0.25 * s;
        q[0] = (r[1][2] - r[2][1]) / s;
        q[1] = (r[2][0] - r[0][2]) / s;
        q[2] = (r[0][1] - r[1][0]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2;
        q[3] = (r[1][2] - r[2][1]) / s;
        q[0] = 0.25 * s;
        q[1] = (r[0][1] + r[1][0]) / s;
        q[2] = (r[2][0] + r[0][2]) / s;
    } else if (r[1][1] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2;
        q[3] = (r[2][0] - r[0][2]) / s;
        q[0] = (r[0][1] + r[1][0]) / s;
        q[1] = 0.25 * s;
        q[2] = (r[1][2] + r[2][1]) / s;
    } else {
        const double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2;
        q[3] = (r[0][1] - r[1][0]) / s;
        q[0] = (r[2][0] + r[0][2]) / s;
        q[1] = (r[1][2] + r[2][1]) / s;
        q[2] = 0.25 * s;
    }
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    return {static_cast<float>(q[0] / norm), static_cast<float>(q[1] / norm), static_cast<float>(q[2] / norm),
            static_cast<float>(q[3] / norm)};
}

}  // namespace

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                       float m31, float m32, float m33, float m34, float m41, float m42, float m43,
                       float m44) {
    _11 = m11, _12 = m12, _13 = m13, _14 = m14;
    _21 = m21, _22 = m22, _23 = m23, _24 = m24;
    _31 = m31, _32 = m32, _33 = m33, _34 = m34;
    _41 = m41, _42 = m42, _43 = m43, _44 = m44;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& b) const {
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, this, &b);
    return out;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& b) {
    D3DXMatrixMultiply(this, this, &b);
    return *this;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& b) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != b.m[r][c]) return false;
    return true;
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] +
                             a->m[r][3] * b->m[3][c];
    *out = result;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    // Cofactors in double: the inverse of a float matrix is then as good as
    // float can hold.
    double a[16], inv[16];
    for (int i = 0; i < 16; ++i)
        a[i] = m->m[i / 4][i % 4];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (determinant != nullptr) *determinant = static_cast<float>(det);
    if (det == 0.0 || !std::isfinite(det)) return nullptr;
    D3DXMATRIX result;
    for (int i = 0; i < 16; ++i)
        result.m[i / 4][i % 4] = static_cast<float>(inv[i] / det);
    *out = result;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = m->m[c][r];
    *out = result;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    // The transpose of the usual column-vector matrix: rows are the images
    // of the axes.
    *out = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,  //
                      2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,  //
                      2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,  //
                      0, 0, 0, 1);
    return out;
}

HRESULT WINAPI D3DXMatrixDecompose(D3DXVECTOR3* outScale, D3DXQUATERNION* outRotation,
                                   D3DXVECTOR3* outTranslation, const D3DXMATRIX* m) {
    *outTranslation = D3DXVECTOR3(m->_41, m->_42, m->_43);

    // With row vectors S · R has row i = scale_i × rotation row i.
    Rows rows;
    double scale[3];
    bool usable[3];
    bool finite = true;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            rows[i][j] = m->m[i][j];
            finite = finite && std::isfinite(rows[i][j]);
        }
    }
    if (!finite || !std::isfinite(m->_41) || !std::isfinite(m->_42) || !std::isfinite(m->_43)) {
        *outScale = D3DXVECTOR3(1, 1, 1);
        *outRotation = D3DXQUATERNION(0, 0, 0, 1);
        if (!std::isfinite(m->_41) || !std::isfinite(m->_42) || !std::isfinite(m->_43))
            *outTranslation = D3DXVECTOR3(0, 0, 0);
        return D3DERR_INVALIDCALL;
    }
    for (int i = 0; i < 3; ++i) {
        scale[i] = std::sqrt(Dot3(rows[i], rows[i]));
        usable[i] = Normalise3(rows[i]);
        if (!usable[i]) scale[i] = 0;
    }

    // Gram-Schmidt on the usable rows, in order; missing axes are completed
    // so that the rotation stays proper.
    int count = 0;
    int order[3];
    for (int i = 0; i < 3; ++i)
        if (usable[i]) order[count++] = i;
    for (int i = 0; i < 3; ++i)
        if (!usable[i]) order[count++] = i;
    HRESULT hr = S_OK;
    for (int k = 0; k < 3; ++k) {
        double* row = rows[order[k]];
        if (usable[order[k]]) {
            for (int j = 0; j < k; ++j) {
                const double* prior = rows[order[j]];
                const double d = Dot3(row, prior);
                for (int c = 0; c < 3; ++c)
                    row[c] -= d * prior[c];
            }
            if (Normalise3(row)) continue;
            usable[order[k]] = false;  // lies in the span of the others: sheared flat
            scale[order[k]] = 0;
        }
        hr = D3DERR_INVALIDCALL;
        if (k < 2) {
            // The axis's own direction where it fits, so that a matrix with
            // nothing in it decomposes to the identity rotation.
            row[0] = order[k] == 0, row[1] = order[k] == 1, row[2] = order[k] == 2;
            if (k == 1) {
                const double* prior = rows[order[0]];
                const double d = Dot3(row, prior);
                for (int c = 0; c < 3; ++c)
                    row[c] -= d * prior[c];
                if (!Normalise3(row)) Perpendicular(prior, row);
            }
        } else {
            // The third axis follows from the other two, right-handed order.
            const int i = order[k];
            Cross3(rows[(i + 1) % 3], rows[(i + 2) % 3], row);
            Normalise3(row);
        }
    }

    // A reflection: the rows form a left-handed set. Flip the x axis into the
    // scale so that the rotation is proper.
    double cross[3];
    Cross3(rows[0], rows[1], cross);
    if (Dot3(cross, rows[2]) < 0) {
        scale[0] = -scale[0];
        for (int c = 0; c < 3; ++c)
            rows[0][c] = -rows[0][c];
        hr = D3DERR_INVALIDCALL;
    }
    *outScale =
        D3DXVECTOR3(static_cast<float>(scale[0]), static_cast<float>(scale[1]), static_cast<float>(scale[2]));
    *outRotation = QuaternionOf(rows);
    return hr;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                                      const D3DXVECTOR3* up) {
    double zaxis[3] = {at->x - eye->x, at->y - eye->y, at->z - eye->z};
    double upv[3] = {up->x, up->y, up->z};
    if (!Normalise3(zaxis)) zaxis[0] = 0, zaxis[1] = 0, zaxis[2] = 1;
    double xaxis[3];
    Cross3(upv, zaxis, xaxis);
    if (!Normalise3(xaxis)) Perpendicular(zaxis, xaxis);  // up along the view: any sideways axis
    double yaxis[3];
    Cross3(zaxis, xaxis, yaxis);
    const double e[3] = {eye->x, eye->y, eye->z};
    *out = D3DXMATRIX(float(xaxis[0]), float(yaxis[0]), float(zaxis[0]), 0,  //
                      float(xaxis[1]), float(yaxis[1]), float(zaxis[1]), 0,  //
                      float(xaxis[2]), float(yaxis[2]), float(zaxis[2]), 0,  //
                      float(-Dot3(xaxis, e)), float(-Dot3(yaxis, e)), float(-Dot3(zaxis, e)), 1);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf) {
    const float yScale = 1.0f / std::tan(fovY / 2);
    const float xScale = yScale / aspect;
    const float q = zf / (zf - zn);
    *out = D3DXMATRIX(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf) {
    const float q = 1.0f / (zf - zn);
    *out = D3DXMATRIX(2 / w, 0, 0, 0, 0, 2 / h, 0, 0, 0, 0, q, 0, 0, 0, -zn * q, 1);
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    const float x = v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41;
    const float y = v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42;
    const float z = v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43;
    const float w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
    const float k = w != 0 ? 1.0f / w : 1.0f;
    *out = D3DXVECTOR3(x * k, y * k, z * k);
    return out;
}
