#include <d3dx9anim.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* root, LPCSTR name) {
    if (root == nullptr || name == nullptr) return nullptr;
    std::vector<const D3DXFRAME*> pending{root};
    while (!pending.empty()) {
        const D3DXFRAME* frame = pending.back();
        pending.pop_back();
        if (frame->Name != nullptr && std::strcmp(frame->Name, name) == 0)
            return const_cast<LPD3DXFRAME>(frame);
        // Pushed sibling first: the children are searched before it.
        if (frame->pFrameSibling != nullptr) pending.push_back(frame->pFrameSibling);
        if (frame->pFrameFirstChild != nullptr) pending.push_back(frame->pFrameFirstChild);
    }
    return nullptr;
}

HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME root, LPD3DXALLOCATEHIERARCHY allocator) {
    if (allocator == nullptr) return D3DERR_INVALIDCALL;
    std::vector<LPD3DXFRAME> pending;
    if (root != nullptr) pending.push_back(root);
    HRESULT result = S_OK;
    while (!pending.empty()) {
        LPD3DXFRAME frame = pending.back();
        pending.pop_back();
        if (frame->pFrameSibling != nullptr) pending.push_back(frame->pFrameSibling);
        if (frame->pFrameFirstChild != nullptr) pending.push_back(frame->pFrameFirstChild);
        for (LPD3DXMESHCONTAINER c = frame->pMeshContainer; c != nullptr;) {
            LPD3DXMESHCONTAINER next = c->pNextMeshContainer;
            if (FAILED(allocator->DestroyMeshContainer(c))) result = E_FAIL;
            c = next;
        }
        if (FAILED(allocator->DestroyFrame(frame))) result = E_FAIL;
    }
    return result;
}

HRESULT WINAPI D3DXFrameCalculateBoundingSphere(const D3DXFRAME* root, LPD3DXVECTOR3 center, float* radius) {
    if (center == nullptr || radius == nullptr) return D3DERR_INVALIDCALL;
    *center = D3DXVECTOR3(0, 0, 0);
    *radius = 0;
    // Every vertex in model space: each frame's matrix after its children's.
    std::vector<D3DXVECTOR3> points;
    std::vector<std::pair<const D3DXFRAME*, D3DXMATRIX>> pending;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    if (root != nullptr) pending.emplace_back(root, identity);
    while (!pending.empty()) {
        const auto [frame, parent] = pending.back();
        pending.pop_back();
        if (frame->pFrameSibling != nullptr) pending.emplace_back(frame->pFrameSibling, parent);
        const D3DXMATRIX combined = frame->TransformationMatrix * parent;
        if (frame->pFrameFirstChild != nullptr) pending.emplace_back(frame->pFrameFirstChild, combined);
        for (const D3DXMESHCONTAINER* c = frame->pMeshContainer; c != nullptr; c = c->pNextMeshContainer) {
            LPD3DXMESH mesh = c->MeshData.pMesh;
            if (mesh == nullptr) continue;
            void* data = nullptr;
            if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) continue;
            const DWORD stride = mesh->GetNumBytesPerVertex();
            for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
                D3DXVECTOR3 p;
                std::memcpy(&p, static_cast<const char*>(data) + size_t(v) * stride, sizeof p);
                D3DXVec3TransformCoord(&p, &p, &combined);
                if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) points.push_back(p);
            }
            mesh->UnlockVertexBuffer();
        }
    }
    if (points.empty()) return S_OK;
    // The centre of the box around the points, and the farthest point from it.
    D3DXVECTOR3 low = points[0], high = points[0];
    for (const auto& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    *center = (low + high) * 0.5f;
    float farthest = 0;
    for (const auto& p : points) {
        const D3DXVECTOR3 d = p - *center;
        farthest = std::max(farthest, d.x * d.x + d.y * d.y + d.z * d.z);
    }
    // A hair more, so that every vertex is inside after rounding.
    *radius = std::sqrt(farthest) * (1.0f + 1e-6f);
    return S_OK;
}
