// D3DXLoadMeshHierarchyFromX: the frames and meshes of a .x file, built
// through the application's allocator.
#include <d3dx9anim.h>
#include <d3dx9xof.h>
#include <rmxfguid.h>

#include <atomic>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "RefCounted.h"
#include "d3dx9/mesh/MeshBuilder.h"
#include "d3dx9/xfile/Container.h"

namespace Platform::D3DX {
namespace {

using XFile::Node;

class AnimationController final : public RefCounted<ID3DXAnimationController> {
public:
    explicit AnimationController(UINT sets) : m_sets(sets) {}
    UINT WINAPI GetMaxNumAnimationSets() override { return m_sets; }
    UINT WINAPI GetNumAnimationSets() override { return m_sets; }

private:
    UINT m_sets;
};

class Loader {
public:
    Loader(LPD3DXALLOCATEHIERARCHY allocator, LPDIRECT3DDEVICE9 device, DWORD options, std::string fileName)
        : m_allocator(allocator), m_device(device), m_options(options), m_file(std::move(fileName)) {}
    ~Loader() {
        for (auto& [node, built] : m_built) {
            if (built.mesh != nullptr) built.mesh->Release();
            if (built.skin != nullptr) built.skin->Release();
        }
    }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    HRESULT Frame(const Node& node, LPD3DXFRAME* out);
    HRESULT MeshFrame(const Node& mesh, LPD3DXFRAME* out);

private:
    HRESULT Container(const Node& mesh, LPD3DXFRAME frame);

    LPD3DXALLOCATEHIERARCHY m_allocator;
    LPDIRECT3DDEVICE9 m_device;
    DWORD m_options;
    std::string m_file;
    // Each Mesh object built once, however many frames refer to it: a
    // reference is a pointer to data, not a reason to read it again.
    std::unordered_map<const Node*, BuiltMesh> m_built;
    TextureNames m_textureNames;
};

HRESULT Loader::Frame(const Node& top, LPD3DXFRAME* out) {
    // Depth first in file order on a stack of its own: each open frame with
    // the child it reads next and the place its next child frame goes.
    struct Open {
        const Node* node;
        LPD3DXFRAME frame;
        LPD3DXFRAME* nextChild;
        size_t next;
    };
    std::vector<Open> path;
    const auto create = [&](const Node& node, LPD3DXFRAME* slot) {
        *slot = nullptr;
        LPD3DXFRAME frame = nullptr;
        const HRESULT hr = m_allocator->CreateFrame(node.name.c_str(), &frame);
        if (FAILED(hr) || frame == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
        *slot = frame;
        D3DXMatrixIdentity(&frame->TransformationMatrix);
        path.push_back({&node, frame, &frame->pFrameFirstChild, 0});
        return S_OK;
    };
    HRESULT hr = create(top, out);
    while (SUCCEEDED(hr) && !path.empty()) {
        Open& open = path.back();
        if (open.next == open.node->children.size()) {
            path.pop_back();
            continue;
        }
        const XFile::Child& child = open.node->children[open.next++];
        const Node& c = *child.node;
        const GUID type = c.TypeGuid();
        if (type == TID_D3DRMFrameTransformMatrix) {
            if (c.payload.size() >= sizeof(float) * 16)
                std::memcpy(open.frame->TransformationMatrix.m, c.payload.data(), 64);
        } else if (type == TID_D3DRMFrame && !child.reference) {
            LPD3DXFRAME* slot = open.nextChild;
            hr = create(c, slot);  // `open` is not used past here
            if (SUCCEEDED(hr)) path[path.size() - 2].nextChild = &(*slot)->pFrameSibling;
        } else if (type == TID_D3DRMMesh) {
            // Inline, or a reference to a mesh defined elsewhere in the file.
            hr = Container(c, open.frame);
        }
    }
    return hr;
}

HRESULT Loader::MeshFrame(const Node& mesh, LPD3DXFRAME* out) {
    *out = nullptr;
    LPD3DXFRAME frame = nullptr;
    const HRESULT hr = m_allocator->CreateFrame("", &frame);
    if (FAILED(hr) || frame == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    *out = frame;
    D3DXMatrixIdentity(&frame->TransformationMatrix);
    return Container(mesh, frame);
}

HRESULT Loader::Container(const Node& mesh, LPD3DXFRAME frame) {
    const auto [at, first] = m_built.try_emplace(&mesh);
    BuiltMesh& built = at->second;
    if (first && !BuildMesh(mesh, m_device, m_options, m_file, &built, &m_textureNames)) built = BuiltMesh();
    if (built.mesh == nullptr) return S_OK;  // traced when it was built; the frame stays
    D3DXMESHDATA data{D3DXMESHTYPE_MESH, built.mesh};
    LPD3DXMESHCONTAINER container = nullptr;
    const HRESULT hr = m_allocator->CreateMeshContainer(mesh.name.c_str(), &data, built.materials.data(),
                                                        nullptr, static_cast<DWORD>(built.materials.size()),
                                                        built.adjacency.data(), built.skin, &container);
    if (FAILED(hr)) return hr;
    if (container == nullptr) return S_OK;
    LPD3DXMESHCONTAINER* last = &frame->pMeshContainer;
    while (*last != nullptr)
        last = &(*last)->pNextMeshContainer;
    *last = container;
    return S_OK;
}

UINT CountSets(const Node& node, int depth) {
    if (depth > XFile::kMaxDepth) return 0;
    UINT sets = node.TypeGuid() == TID_D3DRMAnimationSet ? 1 : 0;
    for (const XFile::Child& c : node.children)
        if (!c.reference) sets += CountSets(*c.node, depth + 1);
    return sets;
}

}  // namespace
}  // namespace Platform::D3DX

using namespace Platform;

HRESULT WINAPI D3DXLoadMeshHierarchyFromX(LPCSTR fileName, DWORD meshOptions, LPDIRECT3DDEVICE9 device,
                                          LPD3DXALLOCATEHIERARCHY allocator, LPD3DXLOADUSERDATA,
                                          LPD3DXFRAME* frameHierarchy,
                                          LPD3DXANIMATIONCONTROLLER* animController) {
    if (frameHierarchy != nullptr) *frameHierarchy = nullptr;
    if (animController != nullptr) *animController = nullptr;
    if (fileName == nullptr || allocator == nullptr || frameHierarchy == nullptr) return D3DERR_INVALIDCALL;
    try {
        std::shared_ptr<const XFile::Document> read;
        HRESULT hr = XFile::ReadFileDocument(fileName, XFile::StandardTemplates(), &read);
        if (FAILED(hr)) return hr;
        const XFile::Document& document = *read;

        D3DX::Loader loader(allocator, device, meshOptions, fileName);
        LPD3DXFRAME root = nullptr;
        LPD3DXFRAME* next = &root;
        UINT sets = 0;
        for (const XFile::Node* node : document.top) {
            const GUID type = node->TypeGuid();
            if (type == TID_D3DRMFrame)
                hr = loader.Frame(*node, next);
            else if (type == TID_D3DRMMesh)
                hr = loader.MeshFrame(*node, next);
            else
                sets += D3DX::CountSets(*node, 1);
            if (FAILED(hr)) {
                D3DXFrameDestroy(root, allocator);
                return hr;
            }
            while (*next != nullptr)
                next = &(*next)->pFrameSibling;
        }
        if (root == nullptr) {
            OutputDebugStringA((std::string(fileName) + ": holds no frame and no mesh\n").c_str());
            return D3DXERR_LOADEDMESHASNODATA;
        }
        *frameHierarchy = root;
        if (sets > 0 && animController != nullptr) *animController = new D3DX::AnimationController(sets);
    } catch (const std::bad_alloc&) {
        OutputDebugStringA((std::string(fileName) + ": out of memory while loading\n").c_str());
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
