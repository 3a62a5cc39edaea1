// What a user waits for, start to exit, on generated models of about 50 MB
// in text and binary: vorel-info against a small program that loads the
// file with Assimp, and vorel-snapshot (start-up, device, load, pose, draw,
// PNG) against vorel-info; and a batch conversion with one job and two. Each run is a new process. (Peak
// memory is load_bench's: a child's resident peak here counts what it shares of this process until it starts
// its program.)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Common.h"
#include "Goals.h"
#include "ModelGenerator.h"
#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"

extern char** environ;

namespace {

// Runs the program to its exit, its output discarded; false unless it
// exits with 0.
bool RunProcess(const std::vector<std::string>& command, double* seconds) {
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Process(benchmark::State& state, const std::vector<std::string>& command) {
    for (auto _ : state) {
        double seconds = 0;
        if (!RunProcess(command, &seconds)) {
            state.SkipWithError(("failed: " + command[0]).c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Platform::XFile;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);  // vorel-snapshot draws without a display
    const VorelTest::ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.Path();
    const std::string bin = (folder / "50MB.bin.x").string(), txt = (folder / "50MB.txt.x").string();
    {
        VorelBench::ModelShape shape;
        shape.vertices = 170000;
        const std::string text = VorelBench::GeneratedModel(shape);
        Document document;
        if (FAILED(ReadDocument(text, "generated", StandardTemplates(), &document))) return 1;
        std::ofstream(txt, std::ios::binary) << text;
        std::ofstream(bin, std::ios::binary) << WriteDocument(document, Format::Binary, 32);
    }
    const std::string tools = VOREL_BINARY_DIR;
    const auto add = [](const std::string& name, std::vector<std::string> command) {
        benchmark::RegisterBenchmark(name.c_str(), [command](benchmark::State& s) { Process(s, command); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    for (const auto& [name, path] : {std::pair{"txt", txt}, {"bin", bin}}) {
        add(std::string("Process/vorel-info/50MB/") + name, {tools + "/vorel-info", path});
        add(std::string("Process/assimp-load/50MB/") + name, {tools + "/assimp-load", path});
    }
    add("Process/vorel-snapshot/50MB/txt",
        {tools + "/vorel-snapshot", txt, (folder / "picture.png").string()});
    // A batch of at least 20 seconds done one file at a time: a generated
    // model of about 10 MB under as many names (links: no copies) as that
    // takes, converted to glb with one child process at a time and with two.
    const std::filesystem::path batch = folder / "batch", converted = folder / "converted";
    std::filesystem::create_directories(batch);
    {
        VorelBench::ModelShape shape;
        shape.vertices = 35000;
        std::ofstream(batch / "m0.x", std::ios::binary) << VorelBench::GeneratedModel(shape);
    }
    const std::vector<std::string> one = {tools + "/vorel-xconv", "--format", "glb",
                                          (batch / "m0.x").string(), (folder / "m0.glb").string()};
    double single = 0;
    if (!RunProcess(one, &single) || !RunProcess(one, &single)) return 1;
    const int files = std::max(2, static_cast<int>(std::ceil(22.0 / single)));
    for (int i = 1; i < files; ++i)
        std::filesystem::create_hard_link(batch / "m0.x", batch / ("m" + std::to_string(i) + ".x"));
    std::printf("batch: %d files of %.2f s each\n", files, single);
    // A contact sheet of the real files beside the project, against one
    // thumbnail process per file.
    const std::filesystem::path shared = std::filesystem::path(VOREL_SOURCE_DIR) / ".." / "shared" / "models";
    std::vector<std::string> models;
    std::error_code walk;
    for (std::filesystem::recursive_directory_iterator it(shared, walk), end; !walk && it != end;
         it.increment(walk))
        if (it->path().extension() == ".x" || it->path().extension() == ".X")
            models.push_back(it->path().string());
    if (!models.empty()) {
        add("Process/vorel-snapshot/sheet256",
            {tools + "/vorel-snapshot", "--sheet", (folder / "sheet.png").string(), "--size", "256",
             shared.string()});
        benchmark::RegisterBenchmark(
            "Process/vorel-snapshot/thumbnail256-each",
            [models, tools, folder](benchmark::State& state) {
                for (auto _ : state) {
                    double total = 0, seconds = 0;
                    for (const std::string& model : models) {
                        if (!RunProcess({tools + "/vorel-snapshot", "--thumbnail", "--size", "256", model,
                                         (folder / "t.png").string()},
                                        &seconds))
                            state.SkipWithError(("failed: " + model).c_str());
                        total += seconds;
                    }
                    state.SetIterationTime(total);
                }
            })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* jobs : {"1", "2"})
        add(std::string("Process/vorel-xconv/batch/j") + jobs,
            {tools + "/vorel-xconv", "--format", "glb", "--force", "-j", jobs, "-o", converted.string(),
             batch.string()});
    benchmark::Initialize(&argc, argv);
    VorelBench::Results results;
    benchmark::RunSpecifiedBenchmarks(&results);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    for (const auto& [name, goal] : {std::pair{"txt", 3.5}, {"bin", 2.0}}) {
        const std::string ours = std::string("Process/vorel-info/50MB/") + name,
                          peer = std::string("Process/assimp-load/50MB/") + name;
        if (results.Has(ours) && results.Has(peer))
            VorelBench::PrintGoal(std::string("whole process ") + (goal > 3 ? "text" : "binary") +
                                      " 50MB, vorel-info times as fast as Assimp",
                                  results.Seconds(peer) / results.Seconds(ours), goal, "x");
    }
    if (results.Has("Process/vorel-snapshot/50MB/txt") && results.Has("Process/vorel-info/50MB/txt"))
        VorelBench::PrintGoal("first picture of the 50MB text model, beyond vorel-info",
                              results.Seconds("Process/vorel-snapshot/50MB/txt") -
                                  results.Seconds("Process/vorel-info/50MB/txt"),
                              1.5, " s", false);
    if (results.Has("Process/vorel-snapshot/sheet256") &&
        results.Has("Process/vorel-snapshot/thumbnail256-each"))
        VorelBench::PrintGoal(
            "contact sheet of ../shared/models at 256 pixels, over a thumbnail process a file",
            results.Seconds("Process/vorel-snapshot/sheet256") /
                results.Seconds("Process/vorel-snapshot/thumbnail256-each"),
            0.25, "x", false);
    if (results.Has("Process/vorel-xconv/batch/j1") && results.Has("Process/vorel-xconv/batch/j2"))
        VorelBench::PrintGoal(
            "batch conversion, -j 2 over -j 1 (" +
                std::to_string(static_cast<int>(results.Seconds("Process/vorel-xconv/batch/j1"))) +
                " s serial)",
            results.Seconds("Process/vorel-xconv/batch/j2") / results.Seconds("Process/vorel-xconv/batch/j1"),
            0.6, "x", false);
    return 0;
}
