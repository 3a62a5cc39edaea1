#pragma once

#include <d3dx9anim.h>

#include "cVQS.h"

namespace Vorel {

// A frame of a model's tree: the platform's record with the animation
// system's transforms.
struct cFrame : public D3DXFRAME {
    cVQS m_combined;  // frame to model
    cVQS m_local;     // frame to parent: the bind pose, then the animated pose
    cVQS m_bind;      // frame to parent as the file gives it; each pose starts from it
};

}  // namespace Vorel
