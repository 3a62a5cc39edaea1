#pragma once

#include <d3dx9mesh.h>

#include <string>
#include <vector>

#include "BulkMemory.h"
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

    // The blend runs in the widest vector code the processor has, chosen
    // when it first runs; `portable` keeps it to what every x86-64 has.
    static const char* VectorCode();
    static void KeepToPortableCode(bool portable);

    // Up to four influences of one vertex, the unused ones weightless on
    // the first bone: what the blend reads, laid out once. A first bone of
    // kNone: no influence, or more than this holds.
    static constexpr uint16_t kNone = UINT16_MAX;
    struct Four {
        uint16_t bone[4];
        float weight[4];
    };

private:
    DWORD m_fvf;
    size_t m_vertexCount;
    std::vector<Bone> m_bones;
    // Influences by vertex: those of vertex v are [m_first[v], m_first[v + 1]).
    BulkVector<uint32_t> m_first;
    BulkVector<uint32_t> m_influenceBone;
    BulkVector<float> m_influenceWeight;
    // Every vertex's four; the vertices of more influences (or of a bone
    // past 65534) are blended by the general loop, after.
    BulkVector<Four> m_four;
    std::vector<uint32_t> m_many;
};

}  // namespace Platform::D3DX
