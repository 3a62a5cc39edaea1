#include <d3dx9anim.h>

#include <cstring>
#include <vector>

LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* root, LPCSTR name) {
    if (root == nullptr || name == nullptr) return nullptr;
    std::vector<const D3DXFRAME*> pending{root};
    while (!pending.empty()) {
        const D3DXFRAME* frame = pending.back();
        pending.pop_back();
        if (frame->Name != nullptr && std::strcmp(frame->Name, name) == 0) return const_cast<LPD3DXFRAME>(frame);
        // Sibling after the children: the children are searched first.
        if (frame->pFrameSibling != nullptr) pending.push_back(frame->pFrameSibling);
        if (frame->pFrameFirstChild != nullptr) pending.push_back(frame->pFrameFirstChild);
    }
    return nullptr;
}
