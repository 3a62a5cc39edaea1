// Throughput of the .x reader: whole files from memory to a document, per
// encoding, on the largest real files (when ../shared/models is there) and
// on a generated mesh written in each encoding.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "FileBytes.h"
#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"

namespace {

using namespace Platform::XFile;

void ReadBytes(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        Document document;
        const HRESULT hr = ReadDocument(bytes, "bench", StandardTemplates(), &document);
        benchmark::DoNotOptimize(hr);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

std::string GeneratedMesh(Format format) {
    std::string text = "xof 0303txt 0032\nMesh Grid {\n 40000;\n";
    for (int i = 0; i < 40000; ++i)
        text += " " + std::to_string((i % 200) * 0.5) + "; " + std::to_string((i / 200) * 0.5) + "; 0.125;" +
                (i + 1 < 40000 ? ",\n" : ";\n");
    text += " 39601;\n";
    for (int i = 0; i < 39601; ++i) {
        const int a = (i / 199) * 200 + i % 199;
        text += " 4; " + std::to_string(a) + ", " + std::to_string(a + 1) + ", " + std::to_string(a + 201) +
                ", " + std::to_string(a + 200) + (i + 1 < 39601 ? ";,\n" : ";;\n");
    }
    text += "}\n";
    Document document;
    ReadDocument(text, "generated", StandardTemplates(), &document);
    return WriteDocument(document, format, 32);
}

void Register() {
    const struct {
        const char* name;
        Format format;
    } formats[] = {{"txt", Format::Text},
                   {"bin", Format::Binary},
                   {"tzip", Format::TextCompressed},
                   {"bzip", Format::BinaryCompressed}};
    for (const auto& f : formats) {
        const std::string bytes = GeneratedMesh(f.format);
        benchmark::RegisterBenchmark((std::string("GeneratedMesh/") + f.name).c_str(),
                                     [bytes](benchmark::State& s) { ReadBytes(s, bytes); });
    }
    const std::filesystem::path models = std::filesystem::path(VOREL_SOURCE_DIR) / ".." / "shared" / "models";
    for (const char* file :
         {"assimp/test/models/X/Testwuson.X",
          "dbpro/Dark Basic Public Shared/Official Plugins/3D Cloth & Particles/Install/Examples/"
          "Ghost Train/Media/Mummy.X"}) {
        Platform::FileBytes mapped((models / file).c_str());
        if (mapped.Error() != 0) continue;
        const std::string bytes(mapped.Bytes());
        benchmark::RegisterBenchmark(("Corpus/" + std::filesystem::path(file).filename().string()).c_str(),
                                     [bytes](benchmark::State& s) { ReadBytes(s, bytes); });
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
