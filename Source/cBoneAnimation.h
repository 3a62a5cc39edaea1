#pragma once

#include <string>
#include <vector>

#include "cKeyFrame.h"

namespace Vorel {

struct cFrame;

// What drives one frame (bone) in one set: a track per component, each with
// its own key times, in time order. A component without a track keeps the
// frame's bind-pose value; a matrix track gives the whole transform, and the
// component tracks beside it override their part of it.
struct cBoneAnimation {
    std::string m_name;         // the frame it drives
    cFrame* m_frame = nullptr;  // that frame in the model's tree; null when there is none
    std::vector<cRotationKey> m_rotationKeys;
    std::vector<cVectorKey> m_scaleKeys;
    std::vector<cVectorKey> m_translationKeys;
    std::vector<cKeyFrame> m_matrixKeys;

    size_t KeyCount() const {
        return m_rotationKeys.size() + m_scaleKeys.size() + m_translationKeys.size() + m_matrixKeys.size();
    }
};

}  // namespace Vorel
