// vorel-info: what the viewer makes of a .x file.
//   vorel-info [--json | --objects | --pose TICKS [--set N]] FILE
#include <d3dx9.h>
#include <rmxftmpl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "CommandLine.h"
#include "cMeshContainer.h"
#include "cModelLoader.h"
#include "d3dx9/xfile/Container.h"

namespace {

using namespace Vorel;

struct Counts {
    int frames = 0;
    std::vector<cMeshContainer*> containers;
};

// The frames in the model's own walk order, each indented by its depth.
void Walk(const cModel& model, Counts* counts, std::string* tree) {
    std::vector<size_t> depth(model.m_frames.size(), 1);
    for (size_t i = 0; i < model.m_frames.size(); ++i) {
        const cFrame* frame = model.m_frames[i];
        if (model.m_links[i].parent >= 0) depth[i] = depth[static_cast<size_t>(model.m_links[i].parent)] + 1;
        ++counts->frames;
        *tree += std::string(depth[i] * 2, ' ') + (frame->Name ? frame->Name : "(unnamed)") + "\n";
        for (auto* c = static_cast<cMeshContainer*>(frame->pMeshContainer); c != nullptr;
             c = static_cast<cMeshContainer*>(c->pNextMeshContainer))
            counts->containers.push_back(c);
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
    app.add_option("FILE", path, "the .x file")->required();
    if (const auto code = VorelTools::ParseCommandLine(app, argc, argv)) return *code;
    const std::string mode = json ? "--json" : objects ? "--objects" : *pose ? "--pose" : "";

    // The reader first: a file it cannot read is reported as such (it has
    // written why on standard error).
    ID3DXFile* file = nullptr;
    D3DXFileCreate(&file);
    file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
    ID3DXFileEnumObject* enumObject = nullptr;
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
    cModelLoader loader;
    cModel* model = loader.LoadModel(path, cModelLoader::SplitPath(path).second);
    enumObject->Release();
    file->Release();
    if (mode == "--pose") return Pose(model, path, ticks, set);
    // A file read without fault may still hold nothing to show (template
    // declarations only): nothing loaded, and the exit code says so.
    if (model->m_frameRoot == nullptr) {
        std::fprintf(stderr, "vorel-info: %s holds no frame or mesh: no model was loaded\n", path.c_str());
        return 1;
    }
    Counts counts;
    std::string tree;
    Walk(*model, &counts, &tree);

    if (mode == "--json") {
        using Json = nlohmann::ordered_json;
        Json containers = Json::array();
        for (const cMeshContainer* c : counts.containers) {
            LPD3DXMESH mesh = c->MeshData.pMesh;
            Json textures = Json::array();
            for (size_t t = 0; t < c->m_textureFiles.size(); ++t)
                if (!c->m_textureFiles[t].empty())
                    textures.push_back(
                        {{"file", c->m_textureFiles[t]}, {"found", c->m_textures[t] != nullptr}});
            containers.push_back({{"name", c->Name ? c->Name : ""},
                                  {"vertices", mesh ? mesh->GetNumVertices() : 0},
                                  {"triangles", mesh ? mesh->GetNumFaces() : 0},
                                  {"materials", c->NumMaterials},
                                  {"bones", c->pSkinInfo ? c->pSkinInfo->GetNumBones() : 0},
                                  {"textures", textures}});
        }
        Json sets = Json::array();
        for (const auto& set : model->m_animationSets) {
            size_t bound = 0, keys = 0;
            for (const auto& a : set->m_animations)
                bound += a->m_frame != nullptr, keys += a->KeyCount();
            sets.push_back({{"name", set->m_name},
                            {"length", set->m_length},
                            {"ticksPerSecond", set->m_ticksPerSecond},
                            {"boneAnimations", set->m_animations.size()},
                            {"bound", bound},
                            {"keys", keys}});
        }
        const D3DXVECTOR3& c = model->m_sphereCenter;
        const Json out = {{"file", path},
                          {"frames", counts.frames},
                          {"meshContainers", containers},
                          {"setCount", model->m_setCount},
                          {"animationSets", sets},
                          {"sphere", {{"center", {c.x, c.y, c.z}}, {"radius", model->m_sphereRadius}}}};
        // Names are the file's bytes: what is not UTF-8 is replaced, not refused.
        std::puts(out.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
        return 0;
    }

    std::printf("%s\n\nframes (%d):\n%s\nmesh containers (%zu):\n", path.c_str(), counts.frames, tree.c_str(),
                counts.containers.size());
    for (const cMeshContainer* c : counts.containers) {
        LPD3DXMESH mesh = c->MeshData.pMesh;
        std::printf("  %s: %u vertices, %u triangles, %u materials, %u bones\n",
                    c->Name ? c->Name : "(unnamed)", mesh ? mesh->GetNumVertices() : 0,
                    mesh ? mesh->GetNumFaces() : 0, c->NumMaterials,
                    c->pSkinInfo ? c->pSkinInfo->GetNumBones() : 0);
        for (size_t t = 0; t < c->m_textureFiles.size(); ++t)
            if (!c->m_textureFiles[t].empty())
                std::printf("    texture %s: %s\n", c->m_textureFiles[t].c_str(),
                            c->m_textures[t] ? "found" : "missing");
    }
    std::printf("\nanimation sets (%zu read, %u reported):\n", model->m_animationSets.size(),
                model->m_setCount);
    for (const auto& set : model->m_animationSets) {
        size_t bound = 0, keys = 0;
        for (const auto& a : set->m_animations)
            bound += a->m_frame != nullptr, keys += a->KeyCount();
        std::printf(
            "  %s: length %d at %g ticks a second, %zu bone animations (%zu bound, %zu unbound), %zu keys\n",
            set->m_name.empty() ? "(unnamed)" : set->m_name.c_str(), set->m_length, set->m_ticksPerSecond,
            set->m_animations.size(), bound, set->m_animations.size() - bound, keys);
    }
    std::printf("\nbounding sphere: centre (%g, %g, %g), radius %g\n", model->m_sphereCenter.x,
                model->m_sphereCenter.y, model->m_sphereCenter.z, model->m_sphereRadius);
    return 0;
}
