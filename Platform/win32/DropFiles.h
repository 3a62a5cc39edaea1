#pragma once

#include <windows.h>

namespace Platform {

// A drop of no files yet; DragFinish frees it.
HDROP NewDrop();
void AddDroppedFile(HDROP drop, const char* path);

}  // namespace Platform
