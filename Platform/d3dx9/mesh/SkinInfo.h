#pragma once

#include <d3dx9mesh.h>

#include <string>
#include <vector>

#include "RefCounted.h"

namespace Platform::D3DX {

class SkinInfo final : public RefCounted<ID3DXSkinInfo> {
public:
    struct Bone {
        std::string name;
        D3DXMATRIX offset;
        std::vector<DWORD> vertices;
        std::vector<float> weights;
    };

    // The bones' vertex indices must be below vertexCount: the loader has
    // dropped the rest. The influences are gathered per vertex here, once.
    SkinInfo(DWORD fvf, size_t vertexCount, std::vector<Bone> bones);

    DWORD WINAPI GetNumBones() override { return static_cast<DWORD>(m_bones.size()); }
    LPCSTR WINAPI GetBoneName(DWORD bone) override;
    LPD3DXMATRIX WINAPI GetBoneOffsetMatrix(DWORD bone) override;
    DWORD WINAPI GetNumBoneInfluences(DWORD bone) override;
    HRESULT WINAPI GetBoneInfluence(DWORD bone, DWORD* vertices, float* weights) override;
    DWORD WINAPI GetFVF() override { return m_fvf; }
    HRESULT WINAPI UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                     const D3DXMATRIX* boneInvTransposeTransforms, LPCVOID source,
                                     LPVOID destination) override;

private:
    DWORD m_fvf;
    size_t m_vertexCount;
    std::vector<Bone> m_bones;
    // Influences by vertex: those of vertex v are [m_first[v], m_first[v + 1]).
    std::vector<uint32_t> m_first;
    std::vector<uint32_t> m_influenceBone;
    std::vector<float> m_influenceWeight;
};

}  // namespace Platform::D3DX
