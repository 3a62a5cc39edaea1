#include "Directories.h"

#include <windows.h>

#include <vector>

namespace Vorel {

std::string GetWorkingDirectory() {
    // Sized from the platform's answer, which counts the terminating null.
    // Should the directory change between the two calls and need more room,
    // the second answer is the new size: ask again.
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    while (size != 0) {
        std::vector<char> buffer(size);
        const DWORD length = GetCurrentDirectoryA(size, buffer.data());
        if (length < size) return std::string(buffer.data(), length);
        size = length;
    }
    return std::string();
}

std::string GetStartDirectory() {
    static const std::string start = GetWorkingDirectory();
    return start;
}

}  // namespace Vorel
