#include "d3dx9/mesh/SkinInfo.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstring>

#include "d3dx9/mesh/Mesh.h"

namespace Platform::D3DX {
namespace {

using v4 = float __attribute__((vector_size(16)));
using v8 = float __attribute__((vector_size(32)));

struct Blend {
    const SkinInfo::Four* four;
    size_t vertices;
    const D3DXMATRIX* palette;
    const D3DXMATRIX* normals;  // the palette itself, or its inverse transposes
    const uint8_t* in;
    uint8_t* out;
    size_t stride;
    int normal;  // offset, or -1
};

// Two rows of a matrix as one vector, and back (vectors of eight floats
// are not passed to functions: the default code has no register for them).
#define VOREL_LOAD_ROWS(to, from) std::memcpy(&(to), (from), sizeof(v8))
#define VOREL_SPLIT_ROWS(from, low, high)                                      \
    do {                                                                       \
        std::memcpy(&(low), &(from), 16);                                      \
        std::memcpy(&(high), reinterpret_cast<const char*>(&(from)) + 16, 16); \
    } while (false)

float LoadFloat(const uint8_t* at) {
    float f;
    std::memcpy(&f, at, 4);
    return f;
}

// Three lanes of a vector: eight bytes, then four.
void StoreThree(uint8_t* at, const v4& value) {
    uint64_t low;
    std::memcpy(&low, &value, 8);
    std::memcpy(at, &low, 8);
    const float z = value[2];
    std::memcpy(at + 8, &z, 4);
}

// Per vertex: the four matrices blended by weight, two rows per vector,
// then the position (and normal) through the blend once. Vertices go in
// blocks that fit the first-level cache: a block is copied whole (what is
// not blended is kept), then blended where it lies.
template <bool kNormal, bool kOwnNormalMatrices>
[[gnu::always_inline]] inline void BlendFour(const Blend& b) {
    // Locals, not the struct's members: stores through byte pointers would
    // make the compiler load those again for every vertex.
    const SkinInfo::Four* const four = b.four;
    const D3DXMATRIX* const palette = b.palette;
    const D3DXMATRIX* const normals = b.normals;
    const uint8_t* const source = b.in;
    uint8_t* const destination = b.out;
    const size_t stride = b.stride, vertices = b.vertices,
                 normalAt = kNormal ? static_cast<size_t>(b.normal) : 0;
    constexpr size_t kBlock = 128;
    for (size_t first = 0; first < vertices; first += kBlock) {
        const size_t last = std::min(vertices, first + kBlock);
        if (source != destination)
            std::memcpy(destination + first * stride, source + first * stride, (last - first) * stride);
        for (size_t v = first; v < last; ++v) {
            const SkinInfo::Four& f = four[v];
            if (f.bone[0] == SkinInfo::kNone) continue;
            uint8_t* out = destination + v * stride;
            v8 m01 = {}, m23 = {}, n01 = {}, n23 = {};
            for (int i = 0; i < 4; ++i) {
                const float* m = &palette[f.bone[i]].m[0][0];
                v8 rows01, rows23;
                VOREL_LOAD_ROWS(rows01, m);
                VOREL_LOAD_ROWS(rows23, m + 8);
                m01 += f.weight[i] * rows01;
                m23 += f.weight[i] * rows23;
                if (kOwnNormalMatrices) {
                    const float* n = &normals[f.bone[i]].m[0][0];
                    VOREL_LOAD_ROWS(rows01, n);
                    VOREL_LOAD_ROWS(rows23, n + 8);
                    n01 += f.weight[i] * rows01;
                    n23 += f.weight[i] * rows23;
                }
            }
            v4 r0, r1, r2, r3;
            VOREL_SPLIT_ROWS(m01, r0, r1);
            VOREL_SPLIT_ROWS(m23, r2, r3);
            // Read from the copy (or the vertex itself, in place): it is in
            // cache and the same bytes as the source.
            const v4 position = LoadFloat(out) * r0 + LoadFloat(out + 4) * r1 + LoadFloat(out + 8) * r2 + r3;
            if (kNormal) {
                const uint8_t* n = out + normalAt;
                if (kOwnNormalMatrices) {
                    VOREL_SPLIT_ROWS(n01, r0, r1);
                    VOREL_SPLIT_ROWS(n23, r2, r3);
                }
                const v4 normal = LoadFloat(n) * r0 + LoadFloat(n + 4) * r1 + LoadFloat(n + 8) * r2;
                StoreThree(out + normalAt, normal);
            }
            StoreThree(out, position);
        }
    }
}

#undef VOREL_LOAD_ROWS
#undef VOREL_SPLIT_ROWS

template <bool kNormal, bool kOwn>
void Portable(const Blend& b) {
    BlendFour<kNormal, kOwn>(b);
}

#if defined(__x86_64__) || defined(__i386__)
template <bool kNormal, bool kOwn>
[[gnu::target("avx2,fma")]] void Wide(const Blend& b) {
    BlendFour<kNormal, kOwn>(b);
}

bool HasWide() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}
#else
template <bool kNormal, bool kOwn>
void Wide(const Blend& b) {
    BlendFour<kNormal, kOwn>(b);
}

bool HasWide() {
    return false;
}
#endif

std::atomic<bool> g_portableOnly{false};

bool UseWide() {
    return HasWide() && !g_portableOnly.load(std::memory_order_relaxed);
}

template <bool kNormal, bool kOwn>
void Run(const Blend& b) {
    if (UseWide())
        Wide<kNormal, kOwn>(b);
    else
        Portable<kNormal, kOwn>(b);
}

}  // namespace

const char* SkinInfo::VectorCode() {
    return UseWide() ? "AVX2 and FMA" : "portable";
}

void SkinInfo::KeepToPortableCode(bool portable) {
    g_portableOnly = portable;
}

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
    m_four.resize(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const uint32_t first = m_first[v], count = m_first[v + 1] - first;
        Four& f = m_four[v];
        bool many = count > 4;
        for (uint32_t i = 0; i < std::min<uint32_t>(count, 4); ++i)
            many = many || m_influenceBone[first + i] >= kNone;
        if (many) m_many.push_back(static_cast<uint32_t>(v));
        if (many || count == 0) {
            f = {{kNone, kNone, kNone, kNone}, {0, 0, 0, 0}};
            continue;
        }
        for (uint32_t i = 0; i < 4; ++i) {
            const bool used = i < count;
            f.bone[i] = static_cast<uint16_t>(m_influenceBone[first + (used ? i : 0)]);
            f.weight[i] = used ? m_influenceWeight[first + i] : 0.0f;
        }
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
    const D3DXMATRIX* normals = inverseTranspose != nullptr ? inverseTranspose : palette;
    const Blend blend{m_four.data(), m_vertexCount, palette, normals, in, out, layout.stride, layout.normal};
    if (layout.normal < 0)
        Run<false, false>(blend);
    else if (inverseTranspose != nullptr)
        Run<true, true>(blend);
    else
        Run<true, false>(blend);
    for (const uint32_t v : m_many) {
        const uint32_t first = m_first[v], last = m_first[v + 1];
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
