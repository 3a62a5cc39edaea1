#pragma once

#include "cVQS.h"

namespace Vorel {

// One key of a bone animation: a time in the file's ticks and the
// transform at that time.
struct cKeyFrame {
    float m_time = 0;
    cVQS m_transform;
};

}  // namespace Vorel
