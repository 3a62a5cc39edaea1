// Shared by the fuzz targets: a scratch file that holds the input, for the
// entry points that read files, and a silenced debugger output.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32/DebugOutput.h"

namespace VorelFuzz {

// A folder of this process's own under the temporary folder, made once.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vorel-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp");
    }();
    return folder;
}

// Writes the input to `path` (truncating it); false when it cannot.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// What the code under test traces is dropped: libFuzzer's own output stays
// readable, and tracing costs nothing.
inline void Quiet() {
    Platform::SetDebugSink([](std::string_view) {});
}

}  // namespace VorelFuzz
