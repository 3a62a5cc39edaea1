#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cBoneAnimation.h"

namespace Vorel {

// One animation set of a model file.
struct cAnimationSet {
    // Without a tick rate in the file, one tick is a millisecond.
    static constexpr float kDefaultTicksPerSecond = 1000.0f;

    std::string m_name;
    int32_t m_length = 0;  // the largest key time of the set, in ticks
    float m_ticksPerSecond = kDefaultTicksPerSecond;
    bool m_rateFromFile = false;  // the file's AnimTicksPerSecond, not the default
    std::vector<std::unique_ptr<cBoneAnimation>> m_animations;
};

}  // namespace Vorel
