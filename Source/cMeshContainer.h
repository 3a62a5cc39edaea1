#pragma once

#include <d3dx9.h>

#include <string>
#include <vector>

#include "cVQS.h"

namespace Vorel {

// A mesh of a model: the platform's record with what drawing and skinning
// use. Arrays are owned; m_boneTransforms point at frames of the tree.
struct cMeshContainer : public D3DXMESHCONTAINER {
    std::vector<LPDIRECT3DTEXTURE9> m_textures;  // one per material, null where there is none
    std::vector<std::string> m_textureFiles;     // the names the file gives them, for inspection
    std::vector<D3DMATERIAL9> m_materials;
    LPD3DXMESH m_skinnedMesh = nullptr;  // receives the skinned vertices
    // The skinned copy with one colour per vertex (a bone's weight), drawn
    // in its place while m_showWeights; made when first asked for.
    LPD3DXMESH m_weightMesh = nullptr;
    bool m_showWeights = false;
    std::vector<D3DXMATRIX> m_boneOffsets;
    std::vector<const cVQS*> m_boneTransforms;
    DWORD m_fvf = 0;

    // Posed by its bones: it has skin and its skinned copy could be made.
    // Any other container is drawn, posed and exported as a rigid mesh
    // under its frame.
    bool IsSkinned() const { return pSkinInfo != nullptr && m_skinnedMesh != nullptr; }
};

}  // namespace Vorel
