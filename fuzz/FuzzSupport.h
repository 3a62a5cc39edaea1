// Shared by the fuzz targets: a scratch folder that holds the input, for the
// entry points that read files, and a silenced debugger output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Common.h"
#include "win32/DebugOutput.h"

namespace VorelFuzz {

// A folder of this process's own, made once and removed at exit.
inline std::string ScratchFolder() {
    static const VorelTest::ScratchFolder folder;
    return folder.Path().string();
}

// Writes the input to `path` (truncating it); false when it cannot.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    return VorelTest::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
}

// What the code under test traces is dropped: libFuzzer's own output stays
// readable, and tracing costs nothing.
inline void Quiet() {
    Platform::SetDebugSink([](std::string_view) {});
}

}  // namespace VorelFuzz
