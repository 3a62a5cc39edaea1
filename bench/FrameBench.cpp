// The whole per-frame update of a model as the viewer runs it: the clock
// moved on by a frame, the keys of the current set, the frame tree and the
// skinning of every skinned mesh. For the sample models and a generated
// model of 200k vertices with four influences each; for that model also
// with every view tool on (timeline, names, the selected bone
// with its weights, both panels): their own work, the joints projected,
// the names kept apart, the key marks, the rows in view and the weights'
// copy of the pose, without a device to draw it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "Common.h"
#include "Goals.h"
#include "ModelGenerator.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"
#include "cViewTools.h"
#include "d3dx9/mesh/SkinInfo.h"
#include "win32/DebugOutput.h"

namespace {

void Frame(benchmark::State& state, const std::string& path, bool inspecting = false) {
    Vorel::cModelLoader loader;
    Vorel::cModel* model = loader.LoadModel(path, "model.x");
    if (model->m_containers.empty()) {
        state.SkipWithError("the model did not load");
        return;
    }
    size_t vertices = 0;
    for (const auto& c : model->m_containers)
        vertices += c.container->MeshData.pMesh->GetNumVertices();
    Vorel::cViewTools viewTools;
    D3DXMATRIX world, view, projection;
    D3DXMatrixIdentity(&world);
    const D3DXVECTOR3 eye = model->m_sphereCenter - D3DXVECTOR3(0, 0, 3 * model->m_sphereRadius);
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &model->m_sphereCenter, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 1024.0f / 768, 1, 5000);
    const std::deque<Vorel::Graphics::TextPacket*> texts;
    if (inspecting) {
        viewTools.ModelChanged(model, false);
        viewTools.m_views = {
            .timeline = true, .names = true, .weights = true, .framesPanel = true, .infoPanel = true};
        viewTools.Select(static_cast<int32_t>(model->m_frames.size() / 2));
    }
    for (auto _ : state) {
        model->AdvanceClock(1000.0f / 60);
        if (inspecting) viewTools.Prepare(model);
        model->Update(model->m_time);
        if (!inspecting) continue;
        model->DrawSkeleton(world, nullptr);
        viewTools.Draw(model, view * projection, 1024, 768, texts);
    }
    state.counters["vertices"] = static_cast<double>(vertices);
}

}  // namespace

int main(int argc, char** argv) {
    Platform::SetDebugSink([](std::string_view) {});  // the generated model names textures that are not there
    const VorelTest::ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.Path();
    for (const char* sample : {"Figure.x", "Lumen.x", "Blocks.x"}) {
        const std::string path = std::string(VOREL_SOURCE_DIR) + "/Assets/Models/" + sample;
        benchmark::RegisterBenchmark((std::string("FrameUpdate/") + sample).c_str(),
                                     [path](benchmark::State& s) { Frame(s, path); })
            ->Unit(benchmark::kMicrosecond);
    }
    VorelBench::ModelShape shape;
    shape.vertices = 200000;
    const std::string path = (folder / "200k.x").string();
    std::ofstream(path, std::ios::binary) << VorelBench::GeneratedModel(shape);
    benchmark::RegisterBenchmark("FrameUpdate/200k", [path](benchmark::State& s) {
        Frame(s, path);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FrameUpdate/200k, every view", [path](benchmark::State& s) {
        Frame(s, path, true);
    })->Unit(benchmark::kMicrosecond);
    benchmark::AddCustomContext("skinning code", Platform::D3DX::SkinInfo::VectorCode());
    benchmark::Initialize(&argc, argv);
    VorelBench::Results results;
    benchmark::RunSpecifiedBenchmarks(&results);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (results.Has("FrameUpdate/200k"))
        VorelBench::PrintGoal("whole per-frame update of the 200k-vertex model",
                              results.Seconds("FrameUpdate/200k") * 1e3, 2.5, " ms", false);
    if (results.Has("FrameUpdate/200k, every view"))
        VorelBench::PrintGoal("whole per-frame update of the 200k-vertex model with every view on",
                              results.Seconds("FrameUpdate/200k, every view") * 1e3, 2.5, " ms", false);
    return 0;
}
