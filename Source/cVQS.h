#pragma once

#include <d3dx9math.h>

#include "cQuaternion.h"

namespace Vorel {

// A transform as translation, rotation and per-axis scale. As a matrix it is
// S · R · T (row vectors: scale, then rotate, then translate).
struct cVQS {
    D3DXVECTOR3 m_translation{0, 0, 0};
    cQuaternion m_rotation;
    D3DXVECTOR3 m_scale{1, 1, 1};

    static cVQS Identity() { return cVQS(); }
    static D3DXMATRIX ToMatrix(const cVQS& a);
    // The decomposition of m; a matrix that does not decompose (a zero-scale
    // axis, a reflection) still gives finite values that rebuild it.
    static cVQS FromMatrix(D3DXMATRIX m);
    // Applies b, then a: the child b under the parent a. Goes through the two
    // matrices and one decomposition.
    static cVQS Concatenate(const cVQS& a, const cVQS& b);
    // p scaled by the x scale only, rotated, then translated.
    static D3DXVECTOR3 TransformPoint(const cVQS& a, const D3DXVECTOR3& p);
    // Linear in translation and scale, spherical in rotation; t = 0 gives a.
    static cVQS Interpolate(const cVQS& a, const cVQS& b, float t);
};

}  // namespace Vorel
