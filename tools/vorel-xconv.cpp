// vorel-xconv: writes a .x file in another encoding, or as glTF 2.0; or
// many files and folders of them into an output folder.
//   vorel-xconv [--format txt|bin|tzip|bzip|glb|gltf] [--float 32|64] [--ticks-per-second N] IN OUT
//   vorel-xconv [options] -o DIR [-j N] [--force] INPUT...
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "Batch.h"
#include "CommandLine.h"
#include "FileBytes.h"
#include "GltfCheck.h"
#include "GltfCompress.h"
#include "GltfExport.h"
#include "cModel.h"
#include "cModelLoader.h"
#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"

namespace {

using namespace Platform::XFile;

constexpr const char* kAbout =
    "Writes the .x file IN to OUT in the chosen encoding (default: text, 32-bit floats), or as\n"
    "glTF 2.0: glb is one file; gltf is OUT with OUT's stem .bin and its images beside it.\n"
    "With -o DIR, every INPUT (files, and folders searched for .x files) is written below DIR,\n"
    "each at its path below its folder, with the format's extension; the files are converted\n"
    "in parallel, past those that fail, and a summary ends the run (exit code 1 if any failed).";
constexpr const char* kGltf =
    "glTF is written as Vorel shows the model:\n"
    "  space     .x is left-handed, glTF right-handed with +Y up: z is mirrored in positions,\n"
    "            normals, node transforms, inverse bind matrices and keys, and each\n"
    "            triangle's winding is reversed; one unit is one metre.\n"
    "  material  diffuse colour and alpha: base colour (alpha below 1 blends); texture: base\n"
    "            colour texture; emissive: emissive; metallic 0; roughness from the specular\n"
    "            colour's largest channel s and power p: 1 - s * (1 - sqrt(2 / (p + 2))).\n"
    "  textures  PNG and JPEG embedded as they are; BMP, TGA and DDS written as PNG.\n"
    "  skins     the four largest influences of each vertex, renormalised to sum 1.\n"
    "  keys      every animation set, in seconds at the set's tick rate: the file's\n"
    "            AnimTicksPerSecond, else 1000 a second; --ticks-per-second N overrides.";

// Written whole or not at all: into a file beside it, then renamed over it.
bool WriteFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "vorel-xconv: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "vorel-xconv: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// The written glTF read back and posed by glTF's rules against the model
// at every set's key times and between them: a line for each set, and
// false when any strays beyond the tolerance.
bool Check(Vorel::cModel& model, const std::string& out, float ticksPerSecond, double tolerance) {
    VorelTools::GltfDocument written;
    std::vector<VorelTools::SetCheck> sets;
    std::string why;
    if (!VorelTools::ReadGltfFile(out, &written, &why) ||
        !VorelTools::CheckGltf(model, written, ticksPerSecond, &sets, &why)) {
        std::fprintf(stderr, "vorel-xconv: %s cannot be checked: %s\n", out.c_str(), why.c_str());
        return false;
    }
    bool sound = true;
    for (const VorelTools::SetCheck& set : sets) {
        const bool within = set.worst <= tolerance;
        std::printf("checked  %s: %s: %.1e of the model's radius at most, over %zu times (tolerance %.0e)\n",
                    out.c_str(), set.name.c_str(), set.worst, set.times, tolerance);
        if (!within)
            std::fprintf(stderr, "vorel-xconv: %s: %s poses %.1e of the model's radius away from the model\n",
                         out.c_str(), set.name.c_str(), set.worst);
        sound = sound && within;
    }
    return sound;
}

int ExportGltf(const std::string& in, const std::string& out, bool binary, float ticksPerSecond, bool check,
               bool compress) {
    // Read first: a file the reader refuses is reported as such, and the
    // loader's own readings share this document.
    std::shared_ptr<const Document> document;
    if (FAILED(ReadFileDocument(in.c_str(), StandardTemplates(), &document))) {
        std::fprintf(stderr, "vorel-xconv: %s is not a readable .x file\n", in.c_str());
        return 1;
    }
    Vorel::cModelLoader loader;
    Vorel::cModel* model = loader.LoadModel(in, Vorel::cModelLoader::SplitPath(in).second);
    document.reset();
    VorelTools::GltfOptions options;
    options.ticksPerSecond = ticksPerSecond;
    options.embedImages = binary;
    options.stem = std::filesystem::path(out).stem().string();
    if (options.stem.empty()) options.stem = "model";
    VorelTools::GltfExport exported;
    std::string error;
    std::error_code ec;
    const std::string folder = std::filesystem::absolute(in, ec).parent_path().string();
    if (!VorelTools::ExportGltf(*model, folder, options, &exported, &error)) {
        std::fprintf(stderr, "vorel-xconv: %s: nothing to export: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    for (const std::string& warning : exported.warnings)
        std::fprintf(stderr, "vorel-xconv: %s: %s\n", in.c_str(), warning.c_str());
    if (compress && !VorelTools::CompressGltf(&exported, &error)) {
        std::fprintf(stderr, "vorel-xconv: %s cannot be compressed: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    if (binary) {
        if (!WriteFile(out, VorelTools::GlbFile(exported))) return 1;
    } else {
        const std::filesystem::path beside = std::filesystem::path(out).parent_path();
        if (!exported.buffer.empty() &&
            !WriteFile((beside / (options.stem + ".bin")).string(), exported.buffer))
            return 1;
        for (const VorelTools::GltfImage& image : exported.images)
            if (!WriteFile((beside / image.uri).string(), image.bytes)) return 1;
        if (!WriteFile(out, exported.json)) return 1;
    }
    const double tolerance = compress ? VorelTools::kCompressedCheckTolerance : VorelTools::kCheckTolerance;
    return !check || Check(*model, out, ticksPerSecond, tolerance) ? 0 : 1;
}

// The batch: each file converted by this program in a child process, as
// `vorel-xconv OPTIONS IN OUT`; an output already there is skipped unless
// `force`.
int ConvertMany(const std::vector<std::string>& inputs, const std::string& folder, int jobs, bool force,
                const std::vector<std::string>& options, const std::string& extension) {
    VorelTools::Unread unread;
    const std::vector<VorelTools::BatchFile> files = VorelTools::CollectModels(inputs, &unread);
    for (const auto& [path, why] : unread)
        std::printf("failed   %s: %s\n", path.c_str(), why.c_str());
    std::vector<size_t> todo;
    size_t skipped = 0, converted = 0, failed = unread.size();
    std::vector<std::string> outputs;
    std::set<std::string> planned;
    for (size_t i = 0; i < files.size(); ++i) {
        outputs.push_back(VorelTools::OutputPath(folder, files[i].relative, extension));
        std::error_code ec;
        if (!planned.insert(outputs[i]).second) {
            // Two inputs of one relative path: the first keeps the output.
            std::printf("failed   %s: %s is another input's output\n", files[i].path.c_str(),
                        outputs[i].c_str());
            ++failed;
            continue;
        }
        if (!force && std::filesystem::exists(outputs[i], ec)) {
            std::printf("skipped  %s: %s is there (--force writes over it)\n", files[i].path.c_str(),
                        outputs[i].c_str());
            ++skipped;
            continue;
        }
        std::filesystem::create_directories(std::filesystem::path(outputs[i]).parent_path(), ec);
        todo.push_back(i);
    }
    std::fflush(stdout);
    VorelTools::RunChildren(
        VorelTools::OwnProgram(), todo.size(), jobs,
        [&](size_t t) {
            std::vector<std::string> arguments = options;
            arguments.push_back("--");  // a path may begin with '-'
            arguments.push_back(files[todo[t]].path);
            arguments.push_back(outputs[todo[t]]);
            return arguments;
        },
        [&](size_t t) { return files[todo[t]].path; },
        [&](size_t t, const VorelTools::ChildResult& result) {
            const VorelTools::BatchFile& file = files[todo[t]];
            if (result.exitCode == 0) {
                ++converted;
                std::printf("wrote    %s\n", outputs[todo[t]].c_str());
            } else {
                ++failed;
                const std::string why = result.exitCode > 128 ? "the converter ended with signal " +
                                                                    std::to_string(result.exitCode - 128)
                                                              : VorelTools::LastLine(result.err);
                std::printf("failed   %s: %s\n", file.path.c_str(),
                            why.empty() ? "(no reason given)" : why.c_str());
            }
            std::fflush(stdout);
        });
    std::printf("%zu converted, %zu failed, %zu skipped\n", converted, failed, skipped);
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kAbout, "vorel-xconv");
    app.footer(kGltf);
    std::string format = "txt", folder;
    std::vector<std::string> paths;
    int floatSize = 32, jobs = VorelTools::DefaultJobs();
    float ticksPerSecond = 0;
    bool force = false, check = false, compress = false;
    app.add_option("--format", format, "the encoding written")
        ->check(CLI::IsMember({"txt", "bin", "tzip", "bzip", "glb", "gltf"}))
        ->capture_default_str();
    app.add_option("--float", floatSize, "the size of the floats of a .x file")
        ->check(CLI::IsMember({32, 64}))
        ->capture_default_str();
    app.add_option("--ticks-per-second", ticksPerSecond, "the tick rate of every set, for glTF")
        ->check(VorelTools::kFinite & CLI::PositiveNumber);
    app.add_flag(
        "--check", check,
        "with glb or gltf, the written file posed by glTF's rules against the model at every set's key "
        "times and halfway between them; exit 1 when a vertex strays more than 1e-4 of the model's "
        "radius");
    app.add_flag("--compress", compress,
                 std::string("with glb or gltf, the data compressed (EXT_meshopt_compression) and quantized "
                             "(KHR_mesh_quantization): ") +
                     VorelTools::kCompressedPrecision + "; --check then allows 1e-3 of the radius");
    auto* output =
        app.add_option("-o,--output", folder, "the folder the inputs are written into")->type_name("DIR");
    app.add_option("-j,--jobs", jobs, "files converted at once (default: the processors there are)")
        ->type_name("N")
        ->check(CLI::Range(1, 256))
        ->needs(output);
    app.add_flag("--force", force, "write over outputs that are there")->needs(output);
    app.add_option("IN OUT | INPUT...", paths, "the .x file read and the file written; with -o, the inputs")
        ->required();
    if (const auto code = VorelTools::ParseCommandLine(app, argc, argv)) return *code;
    if (!*output && paths.size() != 2) {
        std::fprintf(stderr, "vorel-xconv: give IN and OUT, or -o DIR and the inputs\n");
        return 2;
    }
    const bool glb = format == "glb", gltf = format == "gltf";
    if ((check || compress) && !glb && !gltf) {
        std::fprintf(stderr, "vorel-xconv: --check and --compress are for glb and gltf\n");
        return 2;
    }
    if (*output) {
        std::vector<std::string> options{"--format", format, "--float", std::to_string(floatSize)};
        if (check) options.push_back("--check");
        if (compress) options.push_back("--compress");
        if (ticksPerSecond > 0)
            options.insert(options.end(), {"--ticks-per-second", std::to_string(ticksPerSecond)});
        const std::string extension = format == "glb" ? ".glb" : format == "gltf" ? ".gltf" : ".x";
        return ConvertMany(paths, folder, jobs, force, options, extension);
    }
    const std::string in = paths[0], out = paths[1];
    if (glb || gltf) return ExportGltf(in, out, glb, ticksPerSecond, check, compress);

    std::string text;
    {
        Platform::FileBytes file(in.c_str());
        if (file.Error() != 0) {
            std::fprintf(stderr, "vorel-xconv: %s: %s\n", in.c_str(), std::strerror(file.Error()));
            return 1;
        }
        Document document;
        // The reader has written the reason on standard error.
        if (FAILED(ReadDocument(file.Bytes(), in, StandardTemplates(), &document))) {
            std::fprintf(stderr, "vorel-xconv: %s is not a readable .x file\n", in.c_str());
            return 1;
        }
        const Format encoding = format == "bin"    ? Format::Binary
                                : format == "tzip" ? Format::TextCompressed
                                : format == "bzip" ? Format::BinaryCompressed
                                                   : Format::Text;
        text = WriteDocument(document, encoding, floatSize);
    }
    return WriteFile(out, text) ? 0 : 1;
}
