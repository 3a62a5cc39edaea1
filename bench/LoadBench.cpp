// Load throughput on generated skinned, animated models of about 10, 50 and
// 200 MB of text and their binary and compressed forms: the reader alone,
// the whole model load as the viewer does it, and beside them on the same
// files Assimp's importer without post-processing and a floor the benchmark
// measures itself, every number of the text read with std::from_chars.
// The peak memory of a whole text load is the growth of the resident set.
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "Common.h"
#include "Goals.h"
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

bool LoadWhole(const std::string& path) {
    Vorel::cModelLoader loader;  // a new store each time: nothing cached
    const Vorel::cModel* model = loader.LoadModel(path, "model.x");
    return !model->m_containers.empty() && model->m_maxBones != 0 && !model->m_animationSets.empty();
}

void WholeLoad(benchmark::State& state, const std::string& path, size_t size) {
    for (auto _ : state)
        if (!LoadWhole(path)) {
            state.SkipWithError("the generated model did not load whole");
            break;
        }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// "VmRSS" or "VmHWM" of this process, in bytes.
int64_t Resident(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtoll(line.c_str() + std::strlen(field) + 1, nullptr, 10) * 1024;
    return -1;
}

// The most memory a whole load holds at once: how far the resident set of
// a process that does nothing else grows. In a child, so that nothing this
// program holds or has freed counts either way.
void PeakMemory(benchmark::State& state, const std::string& path, size_t size) {
    for (auto _ : state) {
        int link[2];
        if (pipe(link) != 0) return state.SkipWithError("no pipe");
        const pid_t child = fork();
        if (child == 0) {
            malloc_trim(0);
            std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
            const int64_t before = Resident("VmRSS:");
            const bool loaded = LoadWhole(path);
            const int64_t grown = loaded ? Resident("VmHWM:") - before : -1;
            _exit(write(link[1], &grown, sizeof grown) == sizeof grown ? 0 : 1);
        }
        close(link[1]);
        int64_t grown = -1;
        const bool got = read(link[0], &grown, sizeof grown) == sizeof grown;
        close(link[0]);
        waitpid(child, nullptr, 0);
        if (!got || grown < 0) return state.SkipWithError("the generated model did not load whole");
        state.counters["peak_MB"] = double(grown) / 1e6;
        state.counters["peak_per_file_byte"] = double(grown) / double(size);
    }
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
    const VorelTest::ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.Path();
    const std::pair<const char*, size_t> sizes[] = {{"10MB", 35000}, {"50MB", 170000}, {"200MB", 700000}};
    for (const auto& [size, vertices] : sizes) {
        VorelBench::ModelShape shape;
        shape.vertices = vertices;
        const std::string text = VorelBench::GeneratedModel(shape);
        Document document;
        if (FAILED(ReadDocument(text, "generated", StandardTemplates(), &document))) return 1;
        const auto add = [](const std::string& name, auto run) {
            benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMillisecond);
        };
        for (const auto& [name, format] :
             {std::pair{"txt", Format::Text}, {"bin", Format::Binary}, {"bzip", Format::BinaryCompressed}}) {
            const std::string bytes = format == Format::Text ? text : WriteDocument(document, format, 32);
            const std::string path = (folder / (std::string(size) + "." + name + ".x")).string();
            std::ofstream(path, std::ios::binary) << bytes;
            const std::string suffix = std::string(size) + "/" + name;
            add("Reader/" + suffix, [bytes](benchmark::State& s) { Reader(s, bytes); });
            add("WholeLoad/" + suffix,
                [path, n = bytes.size()](benchmark::State& s) { WholeLoad(s, path, n); });
            add("Assimp/" + suffix, [path, n = bytes.size()](benchmark::State& s) { Peer(s, path, n); });
            if (format == Format::Text)
                benchmark::RegisterBenchmark(("PeakMemory/" + suffix).c_str(), [path, n = bytes.size()](
                                                                                   benchmark::State& s) {
                    PeakMemory(s, path, n);
                })->Iterations(1);
        }
        add(std::string("NumbersFloor/") + size + "/txt",
            [text](benchmark::State& s) { NumbersFloor(s, text); });
    }
    benchmark::Initialize(&argc, argv);
    VorelBench::Results results;
    benchmark::RunSpecifiedBenchmarks(&results);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    // Throughputs are of the file's bytes: the ratio of two on one file is
    // the inverse ratio of their times.
    const auto rate = [&](const std::string& name) {
        return results.Counter(name, "bytes_per_second") / 1e6;
    };
    for (const auto& [size, vertices] : sizes) {
        const std::string s = size;
        if (results.Has("WholeLoad/" + s + "/txt") && results.Has("Assimp/" + s + "/txt"))
            VorelBench::PrintGoal("whole text load " + s + ", times Assimp's throughput",
                                  rate("WholeLoad/" + s + "/txt") / rate("Assimp/" + s + "/txt"), 3.5, "x");
        if (results.Has("Reader/" + s + "/txt") && results.Has("NumbersFloor/" + s + "/txt"))
            VorelBench::PrintGoal("text reader " + s, rate("Reader/" + s + "/txt"),
                                  std::min(450.0, rate("NumbersFloor/" + s + "/txt") / 2), " MB/s", true, 0);
        if (results.Has("Reader/" + s + "/bin"))
            VorelBench::PrintGoal("binary reader " + s, rate("Reader/" + s + "/bin"), 1500, " MB/s", true, 0);
        if (results.Has("WholeLoad/" + s + "/bin") && results.Has("Assimp/" + s + "/bin"))
            VorelBench::PrintGoal("whole binary load " + s + ", times Assimp's throughput",
                                  rate("WholeLoad/" + s + "/bin") / rate("Assimp/" + s + "/bin"), 2.0, "x");
        if (results.Has("PeakMemory/" + s + "/txt"))
            VorelBench::PrintGoal("peak memory of a whole text load " + s + ", times the file",
                                  results.Counter("PeakMemory/" + s + "/txt", "peak_per_file_byte"), 2.0, "x",
                                  false);
    }
    return 0;
}
