// Load throughput on generated skinned, animated models of about 10 and
// 50 MB of text and their binary and compressed forms: the reader alone,
// the whole model load as the viewer does it, and a floor the benchmark
// measures itself, every number of the text read with std::from_chars.
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <assimp/Importer.hpp>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ModelGenerator.h"
#include "cModelLoader.h"
#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"
#include "win32/DebugOutput.h"

namespace {

using namespace Platform::XFile;

void Reader(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        Document document;
        benchmark::DoNotOptimize(ReadDocument(bytes, "bench", StandardTemplates(), &document));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void WholeLoad(benchmark::State& state, const std::string& path, size_t size) {
    for (auto _ : state) {
        Vorel::cModelLoader loader;  // a new store each time: nothing cached
        const Vorel::cModel* model = loader.LoadModel(path, "model.x");
        if (model->m_containers.empty() || model->m_maxBones == 0 || model->m_animationSets.empty()) {
            state.SkipWithError("the generated model did not load whole");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The peer: Assimp's importer on the same file, without post-processing.
void Peer(benchmark::State& state, const std::string& path, size_t size) {
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene == nullptr || scene->mNumMeshes == 0) {
            state.SkipWithError(importer.GetErrorString());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// Every number of the text, found and converted: what no text reader can
// beat by much.
void NumbersFloor(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        double sum = 0;
        const char* at = text.data();
        const char* end = at + text.size();
        while (at < end) {
            if ((*at >= '0' && *at <= '9') || *at == '-') {
                double value = 0;
                const auto [next, ec] = std::from_chars(at, end, value);
                if (ec == std::errc()) sum += value;
                at = next > at ? next : at + 1;
            } else {
                ++at;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

int main(int argc, char** argv) {
    Platform::SetDebugSink([](std::string_view) {});  // the models name textures that are not there
    std::string pattern = (std::filesystem::temp_directory_path() / "vorel-bench-XXXXXX").string();
    const std::filesystem::path folder = mkdtemp(pattern.data());
    for (const auto& [megabytes, vertices] : {std::pair{10, size_t(40000)}, {50, size_t(200000)}}) {
        VorelBench::ModelShape shape;
        shape.vertices = vertices;
        const std::string text = VorelBench::GeneratedModel(shape);
        Document document;
        if (FAILED(ReadDocument(text, "generated", StandardTemplates(), &document))) return 1;
        const std::string size = std::to_string(megabytes) + "MB";
        for (const auto& [name, format] :
             {std::pair{"txt", Format::Text}, {"bin", Format::Binary}, {"bzip", Format::BinaryCompressed}}) {
            const std::string bytes = format == Format::Text ? text : WriteDocument(document, format, 32);
            const std::string path = (folder / (size + "." + name + ".x")).string();
            std::ofstream(path, std::ios::binary) << bytes;
            benchmark::RegisterBenchmark(("Reader/" + size + "/" + name).c_str(), [bytes](
                                                                                      benchmark::State& s) {
                Reader(s, bytes);
            })->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(
                ("WholeLoad/" + size + "/" + name).c_str(),
                [path, n = bytes.size()](benchmark::State& s) { WholeLoad(s, path, n); })
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Assimp/" + size + "/" + name).c_str(), [path, n = bytes.size()](
                                                                                      benchmark::State& s) {
                Peer(s, path, n);
            })->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("NumbersFloor/" + size + "/txt").c_str(), [text](benchmark::State& s) {
            NumbersFloor(s, text);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
