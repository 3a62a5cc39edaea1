#include "d3dx9/mesh/SkinInfo.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "d3dx9/mesh/Mesh.h"

namespace Platform::D3DX {

SkinInfo::SkinInfo(DWORD fvf, size_t vertexCount, std::vector<Bone> bones)
    : m_fvf(fvf), m_vertexCount(vertexCount), m_bones(std::move(bones)), m_first(vertexCount + 1, 0) {
    for (const Bone& bone : m_bones) {
        assert(bone.weights.size() == bone.vertices.size());
        for (size_t i = 0; i < bone.vertices.size(); ++i) {
            assert(bone.vertices[i] < vertexCount && "the loader drops weights of vertices the mesh lacks");
            assert(std::isfinite(bone.weights[i]) && "the loader makes every weight a finite number");
            ++m_first[bone.vertices[i] + 1];
        }
    }
    for (size_t v = 0; v < vertexCount; ++v)
        m_first[v + 1] += m_first[v];
    m_influenceBone.resize(m_first[vertexCount]);
    m_influenceWeight.resize(m_first[vertexCount]);
    std::vector<uint32_t> next(m_first.begin(), m_first.end() - 1);
    for (uint32_t b = 0; b < m_bones.size(); ++b)
        for (size_t i = 0; i < m_bones[b].vertices.size(); ++i) {
            const uint32_t at = next[m_bones[b].vertices[i]]++;
            m_influenceBone[at] = b;
            m_influenceWeight[at] = m_bones[b].weights[i];
        }
}

LPCSTR WINAPI SkinInfo::GetBoneName(DWORD bone) {
    return bone < m_bones.size() ? m_bones[bone].name.c_str() : nullptr;
}

LPD3DXMATRIX WINAPI SkinInfo::GetBoneOffsetMatrix(DWORD bone) {
    return bone < m_bones.size() ? &m_bones[bone].offset : nullptr;
}

DWORD WINAPI SkinInfo::GetNumBoneInfluences(DWORD bone) {
    return bone < m_bones.size() ? static_cast<DWORD>(m_bones[bone].vertices.size()) : 0;
}

HRESULT WINAPI SkinInfo::GetBoneInfluence(DWORD bone, DWORD* vertices, float* weights) {
    if (bone >= m_bones.size() || vertices == nullptr || weights == nullptr) return D3DERR_INVALIDCALL;
    const Bone& b = m_bones[bone];
    std::memcpy(vertices, b.vertices.data(), b.vertices.size() * sizeof(DWORD));
    std::memcpy(weights, b.weights.data(), b.weights.size() * sizeof(float));
    return S_OK;
}

HRESULT WINAPI SkinInfo::UpdateSkinnedMesh(const D3DXMATRIX* palette, const D3DXMATRIX* inverseTranspose,
                                           LPCVOID source, LPVOID destination) {
    if (palette == nullptr || source == nullptr || destination == nullptr) return D3DERR_INVALIDCALL;
    const VertexLayout layout(m_fvf);
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(destination);
    if (in != out) std::memcpy(out, in, m_vertexCount * layout.stride);
    const D3DXMATRIX* normals = inverseTranspose != nullptr ? inverseTranspose : palette;
    for (size_t v = 0; v < m_vertexCount; ++v) {
        const uint32_t first = m_first[v], last = m_first[v + 1];
        if (first == last) continue;  // no bone moves it
        float p[3], n[3] = {0, 0, 0};
        std::memcpy(p, in + v * layout.stride, 12);
        if (layout.normal >= 0) std::memcpy(n, in + v * layout.stride + layout.normal, 12);
        float sp[3] = {0, 0, 0}, sn[3] = {0, 0, 0};
        for (uint32_t i = first; i < last; ++i) {
            const D3DXMATRIX& m = palette[m_influenceBone[i]];
            const D3DXMATRIX& k = normals[m_influenceBone[i]];
            const float w = m_influenceWeight[i];
            for (int c = 0; c < 3; ++c) {
                sp[c] += w * (p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c]);
                sn[c] += w * (n[0] * k.m[0][c] + n[1] * k.m[1][c] + n[2] * k.m[2][c]);
            }
        }
        std::memcpy(out + v * layout.stride, sp, 12);
        if (layout.normal >= 0) std::memcpy(out + v * layout.stride + layout.normal, sn, 12);
    }
    return S_OK;
}

}  // namespace Platform::D3DX
