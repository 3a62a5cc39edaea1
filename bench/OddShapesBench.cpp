// The whole model load, as the viewer does it, of files of hostile shape
// (very many siblings, deep nesting, references that fan out, cycles): each
// must load, or be refused, in well under a second.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Common.h"
#include "cModelLoader.h"
#include "fixtures/OddShapes.h"
#include "win32/DebugOutput.h"

namespace {

void Load(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        Vorel::cModelLoader loader;  // a new store each time: nothing cached
        const Vorel::cModel* model = loader.LoadModel(path, "shape.x");
        benchmark::DoNotOptimize(model);
        state.counters["frames"] = static_cast<double>(model->m_frames.size());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Platform::SetDebugSink([](std::string_view) {});  // the refusals' messages
    const VorelTest::ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.Path();
    for (const VorelTest::OddShape& shape : VorelTest::OddShapes()) {
        const std::string path = (folder / (std::string(shape.name) + ".x")).string();
        std::ofstream(path) << shape.text;
        benchmark::RegisterBenchmark(shape.name, [path](benchmark::State& s) { Load(s, path); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
