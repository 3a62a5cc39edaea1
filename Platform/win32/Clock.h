#pragma once

#include <cstdint>
#include <functional>

namespace Platform {

// The source of timeGetTime. By default a monotonic millisecond counter;
// tests install their own to drive time. An empty function restores the
// default.
using TimeSource = std::function<uint32_t()>;
void SetTimeSource(TimeSource source);

}  // namespace Platform
