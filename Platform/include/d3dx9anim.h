// D3DX 9's frame hierarchy: frames, the allocation interface through which
// the hierarchy loader builds them, and the loader.
#pragma once

#include <d3dx9math.h>
#include <d3dx9mesh.h>

struct D3DXFRAME {
    LPSTR Name;
    D3DXMATRIX TransformationMatrix;
    LPD3DXMESHCONTAINER pMeshContainer;
    D3DXFRAME* pFrameSibling;
    D3DXFRAME* pFrameFirstChild;
};
typedef D3DXFRAME* LPD3DXFRAME;

// The application's allocator: the loader asks it for every frame and mesh
// container and hands the finished records back to it to free.
struct ID3DXAllocateHierarchy {
    virtual HRESULT WINAPI CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) = 0;
    // The loader keeps ownership of everything it passes in: the allocator
    // copies or references what it wants to keep.
    virtual HRESULT WINAPI CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                               const D3DXMATERIAL* materials,
                                               const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                                               const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                               LPD3DXMESHCONTAINER* newMeshContainer) = 0;
    virtual HRESULT WINAPI DestroyFrame(LPD3DXFRAME frame) = 0;
    virtual HRESULT WINAPI DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) = 0;

protected:
    ~ID3DXAllocateHierarchy() = default;
};
typedef ID3DXAllocateHierarchy* LPD3DXALLOCATEHIERARCHY;

struct ID3DXLoadUserData;
typedef ID3DXLoadUserData* LPD3DXLOADUSERDATA;

// Only the number of animation sets is offered: playback is the
// application's own.
struct ID3DXAnimationController : public IUnknown {
    virtual UINT WINAPI GetMaxNumAnimationSets() = 0;
    virtual UINT WINAPI GetNumAnimationSets() = 0;
};
typedef ID3DXAnimationController* LPD3DXANIMATIONCONTROLLER;

// Loads the frames and meshes of a .x file through the allocator. Frames
// keep the file's order; a mesh outside any frame gets a frame of its own;
// polygons become triangle fans; a position used with different normals is
// split into several vertices, and skin weights follow to every copy. The
// animation controller is made only when the file has animation sets.
HRESULT WINAPI D3DXLoadMeshHierarchyFromX(LPCSTR fileName, DWORD meshOptions, LPDIRECT3DDEVICE9 device,
                                          LPD3DXALLOCATEHIERARCHY allocator,
                                          LPD3DXLOADUSERDATA userDataLoader, LPD3DXFRAME* frameHierarchy,
                                          LPD3DXANIMATIONCONTROLLER* animController);

// Frees a tree through the allocator that made it: containers first, then
// each frame, children and siblings included.
HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME root, LPD3DXALLOCATEHIERARCHY allocator);

// A frame of the tree below and beside root (each frame before its
// children, its children before its siblings) named exactly so; null when
// none is. Unnamed frames match no name. The tree is walked without
// recursion, so its depth is not limited by the stack.
LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* root, LPCSTR name);

// The sphere around every mesh vertex of the tree in the bind pose (each
// frame's matrix applied after its children's). A tree with no vertices
// gives the origin and radius 0.
HRESULT WINAPI D3DXFrameCalculateBoundingSphere(const D3DXFRAME* root, LPD3DXVECTOR3 center, float* radius);
