#pragma once

#include <string>
#include <vector>

#include "cKeyFrame.h"

namespace Vorel {

struct cFrame;

// The keys that drive one frame (bone), in file order. The keys of all key
// blocks of one animation are merged by index.
struct cBoneAnimation {
    std::string m_name;          // the frame it drives
    cFrame* m_frame = nullptr;   // that frame in the model's tree; null when there is none
    std::vector<cKeyFrame> m_keys;
};

}  // namespace Vorel
