// vorel-info: what the viewer makes of a .x file, or of many.
//   vorel-info [--json | --objects | --pose TICKS [--set N]] FILE
//   vorel-info [--json] [-j N] FILE-OR-FOLDER...
#include <d3dx9.h>
#include <rmxftmpl.h>
#include <vorelnotes.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "Batch.h"
#include "CommandLine.h"
#include "FactsJson.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"
#include "d3dx9/xfile/Container.h"

namespace {

using namespace Vorel;

// The frames in the model's own walk order, each indented by its depth.
void Walk(const cModel& model, std::string* tree) {
    std::vector<size_t> depth(model.m_frames.size(), 1);
    for (size_t i = 0; i < model.m_frames.size(); ++i) {
        const cFrame* frame = model.m_frames[i];
        if (model.m_links[i].parent >= 0) depth[i] = depth[static_cast<size_t>(model.m_links[i].parent)] + 1;
        *tree += std::string(depth[i] * 2, ' ') + (frame->Name ? frame->Name : "(unnamed)") + "\n";
    }
}

// Prints a data object, then what it holds, depth first on a stack of its
// own; a reference's target is printed, not what the target holds.
void Objects(ID3DXFileData* top) {
    struct Open {
        ID3DXFileData* object;
        SIZE_T next, count;
    };
    std::vector<Open> path;
    const auto print = [&path](ID3DXFileData* data) {
        GUID type{};
        data->GetType(&type);
        SIZE_T size = 0;
        data->GetName(nullptr, &size);
        std::string name(size, '\0');
        data->GetName(name.data(), &size);
        SIZE_T bytes = 0;
        const void* payload = nullptr;
        data->Lock(&bytes, &payload);
        data->Unlock();
        std::printf("%s%s%s <%s> %zu bytes\n", std::string(path.size() * 2, ' ').c_str(),
                    data->IsReference() ? "-> " : "", name.c_str(), Platform::XFile::FormatGuid(type).c_str(),
                    bytes);
        SIZE_T children = 0;
        if (!data->IsReference()) data->GetChildren(&children);
        data->AddRef();
        path.push_back({data, 0, children});
    };
    print(top);
    while (!path.empty()) {
        Open& open = path.back();
        ID3DXFileData* child = nullptr;
        if (open.next == open.count) {
            open.object->Release();
            path.pop_back();
        } else if (SUCCEEDED(open.object->GetChild(open.next++, &child))) {
            print(child);
            child->Release();
        }
    }
}

// Every vertex of every mesh container in model space, posed as the viewer
// poses it: skinned containers after skinning, the others under their
// frame's combined transform.
int Pose(cModel* model, const std::string& path, float ticks, long set) {
    if (model->m_frameRoot == nullptr) {
        std::fprintf(stderr, "vorel-info: %s holds no model that could be loaded\n", path.c_str());
        return 1;
    }
    if (set >= 0 && static_cast<size_t>(set) >= model->m_animationSets.size()) {
        std::fprintf(stderr, "vorel-info: %s has no animation set %ld (it has %zu)\n", path.c_str(), set,
                     model->m_animationSets.size());
        return 1;
    }
    model->m_currentSet = set >= 0 ? static_cast<uint32_t>(set) : 0;
    model->Update(ticks);
    std::string out;
    char line[96];
    std::vector<D3DXVECTOR3> vertices;
    for (const cModel::Container& c : model->m_containers) {
        cModel::ModelSpaceVertices(c, &vertices);
        out += std::string("container ") + (c.container->Name ? c.container->Name : "(unnamed)") +
               (c.container->IsSkinned() ? " skinned " : " rigid ") + std::to_string(vertices.size()) + "\n";
        for (const D3DXVECTOR3& p : vertices) {
            std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", p.x, p.y, p.z);
            out += line;
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// Each file read by this program in a child process (`vorel-info --json
// FILE`): one line for each, as text or as its JSON object with the path
// and whether it loads, then a summary; 1 when any does not load.
int Triage(const std::vector<std::string>& inputs, bool json, int jobs) {
    using Json = nlohmann::ordered_json;
    VorelTools::Unread unread;
    const std::vector<VorelTools::BatchFile> files = VorelTools::CollectModels(inputs, &unread);
    size_t loaded = 0, failed = 0;
    const auto report = [&](const std::string& path, const Json* facts, const std::string& why) {
        facts != nullptr ? ++loaded : ++failed;
        if (json) {
            Json line = {{"path", path}, {"loads", facts != nullptr}};
            if (facts != nullptr)
                for (const auto& [key, value] : facts->items())
                    line[key] = value;
            else
                line["error"] = why;
            std::puts(line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
        } else if (facts != nullptr) {
            size_t vertices = 0;
            for (const Json& mesh : (*facts)["meshContainers"])
                vertices += mesh["vertices"].get<size_t>();
            std::printf("loads  %s: %zu frames, %zu mesh containers, %zu vertices, %zu animation sets\n",
                        path.c_str(), (*facts)["frames"].get<size_t>(), (*facts)["meshContainers"].size(),
                        vertices, (*facts)["animationSets"].size());
        } else {
            std::printf("fails  %s: %s\n", path.c_str(), why.c_str());
        }
        std::fflush(stdout);
    };
    for (const auto& [path, why] : unread)
        report(path, nullptr, why);
    VorelTools::RunChildren(
        VorelTools::OwnProgram(), files.size(), jobs,
        [&](size_t i) {
            return std::vector<std::string>{"--json", "--", files[i].path};  // a path may begin with '-'
        },
        [&](size_t i) { return files[i].path; },
        [&](size_t i, const VorelTools::ChildResult& result) {
            const Json facts = result.exitCode == 0 ? Json::parse(result.out, nullptr, false) : Json();
            if (result.exitCode == 0 && facts.is_object()) return report(files[i].path, &facts, "");
            const std::string why = result.exitCode > 128 ? "the reader ended with signal " +
                                                                std::to_string(result.exitCode - 128)
                                                          : VorelTools::LastLine(result.err);
            report(files[i].path, nullptr, why.empty() ? "no model was loaded" : why);
        });
    if (json)
        std::puts(Json({{"files", loaded + failed}, {"loaded", loaded}, {"failed", failed}}).dump().c_str());
    else
        std::printf("%zu files: %zu load, %zu do not\n", loaded + failed, loaded, failed);
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Loads a .x model as the viewer does and says what it holds.", "vorel-info");
    std::string path;
    bool json = false, objects = false;
    float ticks = 0;
    long set = -1;
    auto* jsonFlag = app.add_flag("--json", json, "the same as one JSON object");
    auto* objectsFlag =
        app.add_flag("--objects", objects, "the object tree of the reader")->excludes(jsonFlag);
    auto* pose = app.add_option("--pose", ticks, "every vertex in model space, posed at TICKS")
                     ->type_name("TICKS")
                     ->check(VorelTools::kFinite)
                     ->excludes(jsonFlag, objectsFlag);
    app.add_option("--set", set, "the set posed (default 0)")
        ->type_name("N")
        ->check(CLI::NonNegativeNumber)
        ->needs(pose);
    std::vector<std::string> inputs;
    int jobs = VorelTools::DefaultJobs();
    app.add_option("FILE", inputs,
                   "the .x file; several files or folders (searched for .x files): one line for each")
        ->required();
    app.add_option("-j,--jobs", jobs,
                   "with several files, how many are read at once (default: the processors)")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    if (const auto code = VorelTools::ParseCommandLine(app, argc, argv)) return *code;
    std::error_code ec;
    if (inputs.size() > 1 || std::filesystem::is_directory(inputs[0], ec)) {
        if (objects || *pose) {
            std::fprintf(stderr, "vorel-info: --objects and --pose take one file\n");
            return 2;
        }
        return Triage(inputs, json, jobs);
    }
    path = inputs[0];
    const std::string mode = json ? "--json" : objects ? "--objects" : *pose ? "--pose" : "";

    // The reader first: a file it cannot read is reported as such (it has
    // written why on standard error).
    ID3DXFile* file = nullptr;
    D3DXFileCreate(&file);
    file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
    ID3DXFileEnumObject* enumObject = nullptr;
    // What the reader says reading the file belongs to the load, which
    // shares the document it reads here.
    UINT64 notes = 0;
    VorelReadNotes(&notes, nullptr, nullptr);
    if (FAILED(file->CreateEnumObject(path.c_str(), D3DXF_FILELOAD_FROMFILE, &enumObject))) {
        std::fprintf(stderr, "vorel-info: %s cannot be read as a .x file\n", path.c_str());
        file->Release();
        return 1;
    }
    if (mode == "--objects") {
        SIZE_T count = 0;
        enumObject->GetChildren(&count);
        for (SIZE_T i = 0; i < count; ++i) {
            ID3DXFileData* data = nullptr;
            if (FAILED(enumObject->GetChild(i, &data))) continue;
            Objects(data);
            data->Release();
        }
    }
    if (mode == "--objects") {
        enumObject->Release();
        file->Release();
        return 0;
    }

    // Loaded while the document read above is held: the loader's two
    // readings of the file share it, and the file is parsed once.
    std::vector<cModel::LoadNote> read;
    VorelReadNotes(
        &notes,
        [](void* to, VOREL_NOTE_KIND kind, LPCSTR subject, LPCSTR text) {
            static_cast<std::vector<cModel::LoadNote>*>(to)->push_back({kind, subject, text});
        },
        &read);
    cModelLoader loader;
    cModel* model = loader.LoadModel(path, cModelLoader::SplitPath(path).second);
    model->m_loadNotes.insert(model->m_loadNotes.begin(), read.begin(), read.end());
    enumObject->Release();
    file->Release();
    if (mode == "--pose") return Pose(model, path, ticks, set);
    // A file read without fault may still hold nothing to show (template
    // declarations only): nothing loaded, and the exit code says so.
    if (model->m_frameRoot == nullptr) {
        std::fprintf(stderr, "vorel-info: %s holds no frame or mesh: no model was loaded\n", path.c_str());
        return 1;
    }
    std::string tree;
    Walk(*model, &tree);

    const cModelFacts facts = cModelFacts::Gather(*model);
    if (mode == "--json") {
        // Names are the file's bytes: what is not UTF-8 is replaced, not refused.
        using Json = nlohmann::ordered_json;
        std::puts(VorelTools::FactsJson(facts).dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
        return 0;
    }

    std::printf(
        "%s\n%s, %d-bit floats, %llu bytes, loaded in %.1f ms\n\nframes (%zu):\n%s\nmesh containers (%zu):\n",
        path.c_str(), facts.encoding.empty() ? "unknown encoding" : facts.encoding.c_str(), facts.floatBits,
        static_cast<unsigned long long>(facts.bytes), facts.loadMilliseconds, facts.frames, tree.c_str(),
        facts.meshes.size());
    for (const cModelFacts::Mesh& mesh : facts.meshes) {
        std::printf("  %s: %u vertices, %u triangles, %u materials, %u bones\n",
                    mesh.name.empty() ? "(unnamed)" : mesh.name.c_str(), mesh.vertices, mesh.triangles,
                    mesh.materials, mesh.bones);
        for (const auto& [file, found] : mesh.textures)
            std::printf("    texture %s: %s\n", file.c_str(), found ? "found" : "missing");
    }
    for (const cModelFacts::Texture& texture : facts.textures)
        if (texture.found.empty()) {
            std::printf("\ntexture %s was sought in:\n", texture.name.c_str());
            for (const std::string& place : texture.tried)
                std::printf("  %s\n", place.c_str());
        }
    std::printf("\nanimation sets (%zu read, %u reported):\n", facts.sets.size(), facts.setCount);
    for (const cModelFacts::Set& set : facts.sets)
        std::printf(
            "  %s: length %d at %g ticks a second (%s), %zu bone animations (%zu bound, %zu unbound), %zu "
            "keys\n",
            set.name.empty() ? "(unnamed)" : set.name.c_str(), set.length, set.ticksPerSecond,
            set.rateFromFile ? "the file's" : "the default", set.boneAnimations, set.bound,
            set.unbound.size(), set.keys);
    std::printf("\nbounding sphere: centre (%g, %g, %g), radius %g\n", facts.centre.x, facts.centre.y,
                facts.centre.z, facts.radius);
    if (!facts.warnings.empty()) std::printf("\nwarnings (%zu):\n", facts.warnings.size());
    for (const std::string& warning : facts.warnings)
        std::printf("  %s\n", warning.c_str());
    return 0;
}
