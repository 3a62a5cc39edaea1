// What encoding adds to drawing: five seconds of the skinned sample's walk
// at 30 frames a second and 1024 x 768, drawn and read back as
// vorel-snapshot --video draws them, alone and then encoded as MP4 and as
// WebM, in one process.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Common.h"
#include "Goals.h"
#include "Pictures.h"
#include "Video.h"
#include "cGraphicsManager.h"
#include "cModelViewer.h"

namespace {

constexpr int kFps = 30, kFrames = 5 * kFps;

// The frames drawn and read back, each given to `writer` when there is one.
void Draw(benchmark::State& state, const std::string& out) {
    Vorel::cGraphicsManager* graphics = Vorel::cGraphicsManager::Instance();
    Vorel::cModel* model = graphics->GetCurrentModel();
    const float step = model->m_animationSets[0]->m_ticksPerSecond / kFps;
    std::vector<unsigned char> pixels;
    int width = 0, height = 0;
    for (auto _ : state) {
        std::string why;
        std::unique_ptr<VorelTools::VideoWriter> writer;
        if (!out.empty()) writer = VorelTools::VideoWriter::Open(out, 1024, 768, 3, kFps, nullptr, &why);
        for (int i = 0; i < kFrames; ++i) {
            model->m_time = step * static_cast<float>(i);
            graphics->RenderFrame();
            if (!VorelTools::ReadBack(graphics->GetRenderer()->m_D3DDevice, &width, &height, &pixels))
                state.SkipWithError("the back buffer cannot be read");
            if (writer != nullptr && !writer->Add(pixels.data(), &why)) break;
        }
        if (!out.empty() && (writer == nullptr || !writer->Finish(&why))) state.SkipWithError(why.c_str());
    }
    state.counters["frames"] = kFrames;
}

}  // namespace

int main(int argc, char** argv) {
    const VorelTest::ScratchFolder scratch;
    if (!VorelTools::StartGraphics("video_bench", 1024, 768)) return 1;
    Vorel::cModelViewer* viewer = Vorel::cModelViewer::Instance();
    viewer->Init();
    const std::string figure = std::string(VOREL_SOURCE_DIR) + "/Assets/Models/Figure.x";
    viewer->LoadModel(figure, "Figure.x");
    Vorel::cModel* model = Vorel::cGraphicsManager::Instance()->GetCurrentModel();
    if (model == nullptr || model->m_animationSets.empty()) return 1;
    model->m_speed = 0;
    for (const char* name : {"render", "mp4", "webm"}) {
        const std::string out =
            name == std::string("render") ? "" : (scratch.Path() / "walk.").string() + name;
        benchmark::RegisterBenchmark((std::string("Video/") + name).c_str(),
                                     [out](benchmark::State& s) { Draw(s, out); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    VorelBench::Results results;
    benchmark::RunSpecifiedBenchmarks(&results);
    for (const char* format : {"mp4", "webm"})
        if (results.Has("Video/render") && results.Has(std::string("Video/") + format))
            VorelBench::PrintGoal(
                std::string("encoding 5 s of 1024 x 768 at 30 fps as ") + format +
                    ", over drawing the frames",
                results.Seconds(std::string("Video/") + format) / results.Seconds("Video/render") - 1, 0.5,
                "", false);
    VorelTools::StopGraphics();
    return 0;
}
