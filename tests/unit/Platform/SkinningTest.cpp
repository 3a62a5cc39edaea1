#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "MathSupport.h"
#include "d3dx9/mesh/Mesh.h"
#include "d3dx9/mesh/SkinInfo.h"

namespace {

using namespace VorelTest;
using Platform::D3DX::SkinInfo;

// Both vector codes, with and without matrices of their own for the
// normals, into another buffer and in place, over vertices of none to six
// influences.
TEST(Skinning, BlendsPositionsAndNormalsLikeAPlainReference) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> u(-2, 2);
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    const size_t vertexCount = 300, boneCount = 7;
    const Platform::D3DX::VertexLayout layout(fvf);
    std::vector<uint8_t> source(vertexCount * layout.stride);
    for (size_t i = 0; i < source.size() / 4; ++i) {
        const float v = u(rng);
        std::memcpy(source.data() + i * 4, &v, 4);
    }
    // Random influences; every seventh vertex has none.
    std::vector<SkinInfo::Bone> bones(boneCount);
    std::vector<std::vector<std::pair<size_t, float>>> influences(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const size_t count = v % 7;
        for (size_t k = 0; k < count; ++k) {
            const size_t b = (v * 3 + k * 5) % boneCount;
            const float w = 1.0f / static_cast<float>(count);
            bones[b].vertices.push_back(static_cast<DWORD>(v));
            bones[b].weights.push_back(w);
            influences[v].emplace_back(b, w);
        }
    }
    std::vector<D3DXMATRIX> palette(boneCount), normalPalette(boneCount);
    for (auto* matrices : {&palette, &normalPalette})
        for (auto& m : *matrices)
            for (auto& row : m.m)
                for (float& x : row)
                    x = u(rng);
    auto* skin = new SkinInfo(fvf, vertexCount, bones);
    for (int run = 0; run < 8; ++run) {
        const bool portable = run & 1, ownNormals = run & 2, inPlace = run & 4;
        SCOPED_TRACE(std::string(portable ? "portable" : SkinInfo::VectorCode()) +
                     (ownNormals ? ", own normal matrices" : "") + (inPlace ? ", in place" : ""));
        SkinInfo::KeepToPortableCode(portable);
        std::vector<uint8_t> target(source.size(), 0xCD);
        if (inPlace) target = source;
        const std::vector<D3DXMATRIX>& normalMatrices = ownNormals ? normalPalette : palette;
        ASSERT_EQ(skin->UpdateSkinnedMesh(palette.data(), ownNormals ? normalPalette.data() : nullptr,
                                          inPlace ? target.data() : source.data(), target.data()),
                  S_OK);
        SkinInfo::KeepToPortableCode(false);

        for (size_t v = 0; v < vertexCount; ++v) {
            SCOPED_TRACE("vertex " + std::to_string(v));
            const uint8_t* in = source.data() + v * layout.stride;
            const uint8_t* out = target.data() + v * layout.stride;
            if (influences[v].empty()) {
                EXPECT_EQ(std::memcmp(in, out, layout.stride), 0)
                    << "no influence: the source vertex as it was";
                continue;
            }
            D3DXVECTOR3 p, n, got, gotNormal, expected(0, 0, 0), expectedNormal(0, 0, 0);
            std::memcpy(&p, in, 12);
            std::memcpy(&n, in + layout.normal, 12);
            for (const auto& [b, w] : influences[v]) {
                D3DXMATRIX turn = normalMatrices[b];
                turn._41 = turn._42 = turn._43 = 0;  // a normal is a direction
                expected += Apply(p, palette[b]) * w;
                expectedNormal += Apply(n, turn) * w;
            }
            std::memcpy(&got, out, 12);
            std::memcpy(&gotNormal, out + layout.normal, 12);
            ExpectNear(got, expected, kRebuilt);
            ExpectNear(gotNormal, expectedNormal, kRebuilt);
            EXPECT_EQ(std::memcmp(in + layout.texcoord, out + layout.texcoord, 8), 0)
                << "texture coordinates untouched";
        }
    }
    skin->Release();
}

}  // namespace
