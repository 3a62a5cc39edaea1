// The files of one drop, as WM_DROPFILES hands them over.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/DropFiles.h"

struct HDROP__ {
    std::vector<std::string> files;
};

namespace Platform {

HDROP NewDrop() {
    return new HDROP__;
}

void AddDroppedFile(HDROP drop, const char* path) {
    if (drop != nullptr && path != nullptr) drop->files.emplace_back(path);
}

}  // namespace Platform

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size) {
    if (drop == nullptr) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->files.size());
    if (index >= drop->files.size()) return 0;
    const std::string& path = drop->files[index];
    if (file == nullptr) return static_cast<UINT>(path.size());
    if (size == 0) return 0;
    const size_t copied = std::min<size_t>(path.size(), size - 1);
    std::memcpy(file, path.data(), copied);
    file[copied] = '\0';
    return static_cast<UINT>(copied);
}

void WINAPI DragFinish(HDROP drop) {
    delete drop;
}
