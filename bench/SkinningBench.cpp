// Skinning throughput: UpdateSkinnedMesh over a mesh of positions, normals
// and texture coordinates with four influences per vertex, in vertices per
// second, at 50k, 200k and 1M vertices, against a plain scalar loop of the
// same work measured in the same run.
#include <benchmark/benchmark.h>
#include <d3dx9.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Goals.h"
#include "d3dx9/mesh/SkinInfo.h"

namespace {

using Platform::D3DX::SkinInfo;

constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
constexpr size_t kStride = 32;
constexpr int kBones = 64;

struct Scene {
    std::vector<uint8_t> source, destination;
    std::vector<D3DXMATRIX> palette;
    std::vector<uint32_t> bones;  // four per vertex
    std::vector<float> weights;   // four per vertex
    SkinInfo* skin = nullptr;
};

// Deterministic: the same vertices, bones and weights every run.
Scene Make(size_t vertices) {
    Scene s;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1, 1);
    s.source.resize(vertices * kStride);
    s.destination.resize(vertices * kStride);
    for (size_t v = 0; v < vertices; ++v) {
        const float vertex[8] = {unit(random), unit(random), unit(random), 0, 1, 0, 0.5f, 0.5f};
        std::memcpy(&s.source[v * kStride], vertex, sizeof vertex);
    }
    std::vector<SkinInfo::Bone> bones(kBones);
    for (int b = 0; b < kBones; ++b) {
        bones[b].name = "B" + std::to_string(b);
        D3DXMatrixIdentity(&bones[b].offset);
    }
    for (size_t v = 0; v < vertices; ++v)
        for (int i = 0; i < 4; ++i) {
            const auto b = static_cast<uint32_t>((v / 97 + static_cast<size_t>(i) * 13) % kBones);
            const float w = i == 0 ? 0.4f : 0.2f;
            bones[b].vertices.push_back(static_cast<DWORD>(v));
            bones[b].weights.push_back(w);
            s.bones.push_back(b);
            s.weights.push_back(w);
        }
    s.skin = new SkinInfo(kFvf, vertices, std::move(bones));
    s.palette.resize(kBones);
    for (int b = 0; b < kBones; ++b) {
        const float x = 0.01f * b, y = 0.02f * b, z = 0.03f * b,
                    length = std::sqrt(1 + x * x + y * y + z * z);
        const D3DXQUATERNION q(x / length, y / length, z / length, 1 / length);
        D3DXMatrixRotationQuaternion(&s.palette[b], &q);
        s.palette[b].m[3][0] = 0.1f * b;  // and a move
    }
    return s;
}

void Skin(benchmark::State& state) {
    Scene s = Make(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        s.skin->UpdateSkinnedMesh(s.palette.data(), nullptr, s.source.data(), s.destination.data());
        benchmark::DoNotOptimize(s.destination.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    s.skin->Release();
}

// The same blend as a plain loop over the vertex's own four influences.
void ScalarLoop(benchmark::State& state) {
    Scene s = Make(static_cast<size_t>(state.range(0)));
    const size_t vertices = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        for (size_t v = 0; v < vertices; ++v) {
            float p[3], n[3], sp[3] = {0, 0, 0}, sn[3] = {0, 0, 0};
            std::memcpy(p, &s.source[v * kStride], 12);
            std::memcpy(n, &s.source[v * kStride + 12], 12);
            for (int i = 0; i < 4; ++i) {
                const D3DXMATRIX& m = s.palette[s.bones[v * 4 + i]];
                const float w = s.weights[v * 4 + i];
                for (int c = 0; c < 3; ++c) {
                    sp[c] += w * (p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c]);
                    sn[c] += w * (n[0] * m.m[0][c] + n[1] * m.m[1][c] + n[2] * m.m[2][c]);
                }
            }
            std::memcpy(&s.destination[v * kStride], sp, 12);
            std::memcpy(&s.destination[v * kStride + 12], sn, 12);
        }
        benchmark::DoNotOptimize(s.destination.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    s.skin->Release();
}

BENCHMARK(Skin)->Arg(50000)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ScalarLoop)->Arg(50000)->Arg(200000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::AddCustomContext("skinning code", SkinInfo::VectorCode());
    benchmark::Initialize(&argc, argv);
    VorelBench::Results results;
    benchmark::RunSpecifiedBenchmarks(&results);
    for (const auto& [vertices, goal] : {std::pair{"200000", 150.0}, {"1000000", 100.0}})
        if (results.Has(std::string("Skin/") + vertices))
            VorelBench::PrintGoal(std::string("skinning at ") + vertices + " vertices",
                                  results.Counter(std::string("Skin/") + vertices, "items_per_second") / 1e6,
                                  goal, " M vertices/s", true, 0);
    return 0;
}
