#include "cVQS.h"

namespace Vorel {

D3DXMATRIX cVQS::ToMatrix(const cVQS& a) {
    D3DXMATRIX scale, rotation, translation;
    D3DXMatrixScaling(&scale, a.m_scale.x, a.m_scale.y, a.m_scale.z);
    const D3DXQUATERNION q(a.m_rotation.x, a.m_rotation.y, a.m_rotation.z, a.m_rotation.w);
    D3DXMatrixRotationQuaternion(&rotation, &q);
    D3DXMatrixTranslation(&translation, a.m_translation.x, a.m_translation.y, a.m_translation.z);
    D3DXMATRIX result;
    D3DXMatrixMultiply(&result, &scale, &rotation);
    D3DXMatrixMultiply(&result, &result, &translation);
    return result;
}

cVQS cVQS::FromMatrix(D3DXMATRIX m) {
    cVQS result;
    D3DXQUATERNION q;
    // The status is not needed: what does not decompose still comes back
    // finite and rebuilds the matrix.
    D3DXMatrixDecompose(&result.m_scale, &q, &result.m_translation, &m);
    result.m_rotation = cQuaternion(q.x, q.y, q.z, q.w);
    return result;
}

cVQS cVQS::Concatenate(const cVQS& a, const cVQS& b) {
    const D3DXMATRIX child = ToMatrix(b);
    const D3DXMATRIX parent = ToMatrix(a);
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &child, &parent);
    return FromMatrix(product);
}

D3DXVECTOR3 cVQS::TransformPoint(const cVQS& a, const D3DXVECTOR3& p) {
    const float k = a.m_scale.x;
    const cQuaternion point(k * p.x, k * p.y, k * p.z, 0);
    const cQuaternion rotated =
        cQuaternion::Multiply(cQuaternion::Multiply(a.m_rotation, point), cQuaternion::Inverse(a.m_rotation));
    return a.m_translation + D3DXVECTOR3(rotated.x, rotated.y, rotated.z);
}

cVQS cVQS::Interpolate(const cVQS& a, const cVQS& b, float t) {
    const float u = 1.0f - t;
    cVQS result;
    result.m_translation = a.m_translation * u + b.m_translation * t;
    result.m_scale = a.m_scale * u + b.m_scale * t;
    result.m_rotation = cQuaternion::Slerp(a.m_rotation, b.m_rotation, t);
    return result;
}

}  // namespace Vorel
