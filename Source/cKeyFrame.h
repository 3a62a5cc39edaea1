#pragma once

#include <d3dx9math.h>

#include "cQuaternion.h"
#include "cVQS.h"

namespace Vorel {

// One key of a track: a time in the file's ticks and the track's value then.
template <class Value>
struct cKey {
    float m_time = 0;
    Value m_value{};
};

using cRotationKey = cKey<cQuaternion>;  // unit, in D3DX's sense (x, y, z, w)
using cVectorKey = cKey<D3DXVECTOR3>;    // a scale or a translation
using cKeyFrame = cKey<cVQS>;            // a whole transform, from a matrix key

}  // namespace Vorel
