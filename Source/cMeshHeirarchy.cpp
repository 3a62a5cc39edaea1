#include "cMeshHeirarchy.h"

#include <algorithm>
#include <cstring>

#include "cFrame.h"
#include "cMeshContainer.h"

namespace Vorel {
namespace {

// A copy of a name, or null for none or an empty one.
LPSTR CopyName(LPCSTR name) {
    if (name == nullptr || *name == '\0') return nullptr;
    const size_t length = std::strlen(name) + 1;
    char* copy = new char[length];
    std::memcpy(copy, name, length);
    return copy;
}

}  // namespace

HRESULT WINAPI cMeshHeirarchy::CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) {
    *newFrame = nullptr;
    auto* frame = new cFrame();
    frame->Name = CopyName(name);
    D3DXMatrixIdentity(&frame->TransformationMatrix);
    frame->pMeshContainer = nullptr;
    frame->pFrameSibling = nullptr;
    frame->pFrameFirstChild = nullptr;
    *newFrame = frame;
    return S_OK;
}

HRESULT WINAPI cMeshHeirarchy::CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                   const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE*,
                                                   DWORD numMaterials, const DWORD* adjacency,
                                                   LPD3DXSKININFO skinInfo,
                                                   LPD3DXMESHCONTAINER* newMeshContainer) {
    *newMeshContainer = nullptr;
    auto* container = new cMeshContainer();
    container->Name = CopyName(name);
    container->MeshData.Type = D3DXMESHTYPE_MESH;
    container->NumMaterials = numMaterials;
    container->m_materials.resize(numMaterials);

    LPD3DXMESH source = meshData->pMesh;
    const DWORD faces = source->GetNumFaces();
    // No neighbours where the loader gives no adjacency (a mesh without
    // faces has none at all).
    container->pAdjacency = new DWORD[size_t(faces) * 3];
    if (adjacency != nullptr)
        std::memcpy(container->pAdjacency, adjacency, size_t(faces) * 3 * sizeof(DWORD));
    else
        std::fill_n(container->pAdjacency, size_t(faces) * 3, 0xFFFFFFFFu);

    LPDIRECT3DDEVICE9 device = nullptr;
    source->GetDevice(&device);
    container->m_fvf = source->GetFVF();
    source->CloneMeshFVF(D3DXMESH_SYSTEMMEM, container->m_fvf, device, &container->MeshData.pMesh);

    container->m_textures.assign(numMaterials, nullptr);
    container->m_textureFiles.assign(numMaterials, std::string());
    for (DWORD i = 0; i < numMaterials; ++i) {
        container->m_materials[i] = materials[i].MatD3D;
        container->m_materials[i].Ambient = container->m_materials[i].Diffuse;
        const char* texture = materials[i].pTextureFilename;
        if (texture != nullptr) container->m_textureFiles[i] = texture;
        if (texture != nullptr && *texture != '\0' &&
            FAILED(D3DXCreateTextureFromFileA(device, texture, &container->m_textures[i])))
            container->m_textures[i] = nullptr;  // left untextured
    }
    // GetDevice added a reference; the meshes and textures do not hold one.
    if (device != nullptr) device->Release();

    if (skinInfo != nullptr) {
        skinInfo->AddRef();
        container->pSkinInfo = skinInfo;
        const DWORD bones = skinInfo->GetNumBones();
        container->m_boneOffsets.resize(bones);
        container->m_boneTransforms.assign(bones, nullptr);
        for (DWORD i = 0; i < bones; ++i)
            container->m_boneOffsets[i] = *skinInfo->GetBoneOffsetMatrix(i);
    } else {
        container->pSkinInfo = nullptr;
    }
    container->pMaterials = nullptr;
    container->pEffects = nullptr;
    container->pNextMeshContainer = nullptr;
    *newMeshContainer = container;
    return S_OK;
}

HRESULT WINAPI cMeshHeirarchy::DestroyFrame(LPD3DXFRAME frame) {
    delete[] frame->Name;
    delete static_cast<cFrame*>(frame);
    return S_OK;
}

HRESULT WINAPI cMeshHeirarchy::DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) {
    auto* container = static_cast<cMeshContainer*>(meshContainer);
    delete[] container->Name;
    for (LPDIRECT3DTEXTURE9 texture : container->m_textures)
        if (texture != nullptr) texture->Release();
    delete[] container->pAdjacency;
    if (container->m_skinnedMesh != nullptr) container->m_skinnedMesh->Release();
    if (container->m_weightMesh != nullptr) container->m_weightMesh->Release();
    if (container->MeshData.pMesh != nullptr) container->MeshData.pMesh->Release();
    if (container->pSkinInfo != nullptr) container->pSkinInfo->Release();
    delete container;
    return S_OK;
}

}  // namespace Vorel
