#pragma once

#include <d3dx9.h>

namespace Vorel {

// The allocator the platform's hierarchy loader builds a model with: frames
// are cFrame records, mesh containers cMeshContainer records with a
// system-memory copy of the mesh, their materials (ambient = diffuse),
// textures and bone offsets. It has no state: any instance frees what any
// other made.
class cMeshHeirarchy : public ID3DXAllocateHierarchy {
public:
    HRESULT WINAPI CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) override;
    HRESULT WINAPI CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                       const D3DXMATERIAL* materials,
                                       const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                                       const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                       LPD3DXMESHCONTAINER* newMeshContainer) override;
    HRESULT WINAPI DestroyFrame(LPD3DXFRAME frame) override;
    HRESULT WINAPI DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) override;
    virtual ~cMeshHeirarchy() = default;
};

}  // namespace Vorel
