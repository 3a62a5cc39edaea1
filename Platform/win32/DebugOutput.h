#pragma once

#include <functional>
#include <string_view>

namespace Platform {

// Where OutputDebugStringA writes. By default standard error; tests install
// a sink to read the lines. An empty function restores the default.
using DebugSink = std::function<void(std::string_view)>;
void SetDebugSink(DebugSink sink);

}  // namespace Platform
