// D3DX 9's meshes and skin information. A mesh holds its vertices (laid out
// by its flexible vertex format), 32-bit triangle indices and one attribute
// (material index) per triangle, in system memory.
#pragma once

#include <d3d9.h>
#include <d3dx9math.h>

#define D3DXMESH_32BIT 0x001
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220

#define D3DXERR_INVALIDMESH MAKE_HRESULT(1, 0x876, 2901)
#define D3DXERR_INVALIDDATA MAKE_HRESULT(1, 0x876, 2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_HRESULT(1, 0x876, 2906)

// The .x template of a file's animation tick rate (ticks per second).
DEFINE_GUID(DXFILEOBJ_AnimTicksPerSecond, 0x9e415a43, 0x7ba6, 0x4a73, 0x87, 0x43, 0xb7, 0x3d, 0x47, 0xe8,
            0x84, 0x76);

struct ID3DXMesh;
typedef ID3DXMesh* LPD3DXMESH;

struct ID3DXMesh : public IUnknown {
    virtual DWORD WINAPI GetNumFaces() = 0;
    virtual DWORD WINAPI GetNumVertices() = 0;
    virtual DWORD WINAPI GetFVF() = 0;
    virtual DWORD WINAPI GetNumBytesPerVertex() = 0;
    virtual DWORD WINAPI GetOptions() = 0;
    // The device given when the mesh was made (null is possible), with a
    // reference added when there is one.
    virtual HRESULT WINAPI GetDevice(LPDIRECT3DDEVICE9* device) = 0;
    // A copy with another vertex format: parts the copy has and the source
    // lacks are zero (colours opaque white).
    virtual HRESULT WINAPI CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                                        LPD3DXMESH* clone) = 0;
    virtual HRESULT WINAPI LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT WINAPI UnlockVertexBuffer() = 0;
    // Three 32-bit indices per triangle.
    virtual HRESULT WINAPI LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT WINAPI UnlockIndexBuffer() = 0;
    virtual HRESULT WINAPI LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT WINAPI UnlockAttributeBuffer() = 0;
    // Draws the triangles of material `attribute` with the device the mesh
    // was made with, through the effect pass that is open. A lock that may
    // have written vertices makes the next draw upload them again.
    virtual HRESULT WINAPI DrawSubset(DWORD attribute) = 0;
};

struct ID3DXSkinInfo;
typedef ID3DXSkinInfo* LPD3DXSKININFO;

struct ID3DXSkinInfo : public IUnknown {
    virtual DWORD WINAPI GetNumBones() = 0;
    virtual LPCSTR WINAPI GetBoneName(DWORD bone) = 0;
    // Null for a bone past the count.
    virtual LPD3DXMATRIX WINAPI GetBoneOffsetMatrix(DWORD bone) = 0;
    virtual DWORD WINAPI GetNumBoneInfluences(DWORD bone) = 0;
    virtual HRESULT WINAPI GetBoneInfluence(DWORD bone, DWORD* vertices, float* weights) = 0;
    virtual DWORD WINAPI GetFVF() = 0;
    // Blends positions and normals of the source vertices by the palette
    // (one matrix per bone, bone offset already applied) into the
    // destination, which has the same layout; vertices no bone influences
    // are copied unchanged. Normals use the palette's upper 3x3 unless an
    // inverse-transpose palette is given. Allocates nothing.
    virtual HRESULT WINAPI UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                             const D3DXMATRIX* boneInvTransposeTransforms, LPCVOID source,
                                             LPVOID destination) = 0;
};

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

struct D3DXEFFECTINSTANCE;
typedef D3DXEFFECTINSTANCE* LPD3DXEFFECTINSTANCE;

enum D3DXMESHDATATYPE { D3DXMESHTYPE_MESH = 1, D3DXMESHTYPE_PMESH = 2, D3DXMESHTYPE_PATCHMESH = 3 };

struct D3DXMESHDATA {
    D3DXMESHDATATYPE Type;
    LPD3DXMESH pMesh;
};

struct D3DXMESHCONTAINER {
    LPSTR Name;
    D3DXMESHDATA MeshData;
    LPD3DXMATERIAL pMaterials;
    LPD3DXEFFECTINSTANCE pEffects;
    DWORD NumMaterials;
    DWORD* pAdjacency;
    LPD3DXSKININFO pSkinInfo;
    D3DXMESHCONTAINER* pNextMeshContainer;
};
typedef D3DXMESHCONTAINER* LPD3DXMESHCONTAINER;
