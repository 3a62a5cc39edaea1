#include "cModelFacts.h"

#include <vorelnotes.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

#include "cMeshContainer.h"
#include "cModel.h"

namespace Vorel {
namespace {

// The encoding and float size from the file's 16-byte header
// ("xof 0303txt 0032").
void ReadHeader(const std::string& path, cModelFacts* facts) {
    char header[16] = {};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(header, sizeof header) || std::string_view(header, 4) != "xof ") return;
    const std::string_view format(header + 8, 4), floats(header + 12, 4);
    facts->encoding = format == "txt "   ? "text"
                      : format == "bin " ? "binary"
                      : format == "tzip" ? "compressed text"
                      : format == "bzip" ? "compressed binary"
                                         : "";
    facts->floatBits = floats == "0064" ? 64 : floats == "0032" ? 32 : 0;
}

}  // namespace

cModelFacts cModelFacts::Gather(const cModel& model) {
    cModelFacts facts;
    facts.path = std::filesystem::path(model.m_path).lexically_normal().string();
    ReadHeader(model.m_path, &facts);
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(model.m_path, ec);
    facts.bytes = ec ? 0 : static_cast<uint64_t>(bytes);
    facts.loadMilliseconds = model.m_loadMilliseconds;
    facts.frames = model.m_frames.size();

    for (const cFrame* frame : model.m_frames)
        for (auto* c = static_cast<const cMeshContainer*>(frame->pMeshContainer); c != nullptr;
             c = static_cast<const cMeshContainer*>(c->pNextMeshContainer)) {
            Mesh mesh;
            mesh.name = c->Name != nullptr ? c->Name : "";
            mesh.frame = frame->Name != nullptr ? frame->Name : "";
            LPD3DXMESH data = c->MeshData.pMesh;
            mesh.vertices = data != nullptr ? data->GetNumVertices() : 0;
            mesh.triangles = data != nullptr ? data->GetNumFaces() : 0;
            mesh.materials = c->NumMaterials;
            mesh.bones = c->pSkinInfo != nullptr ? c->pSkinInfo->GetNumBones() : 0;
            mesh.skinned = c->IsSkinned();
            for (size_t t = 0; t < c->m_textureFiles.size(); ++t)
                if (!c->m_textureFiles[t].empty())
                    mesh.textures.emplace_back(c->m_textureFiles[t],
                                               t < c->m_textures.size() && c->m_textures[t] != nullptr);
            facts.meshes.push_back(std::move(mesh));
        }

    // The notes: the places each texture was sought, and the trace lines.
    std::unordered_set<std::string> said;
    std::unordered_map<std::string, size_t> textures;
    for (const cModel::LoadNote& note : model.m_loadNotes) {
        if (note.kind == VOREL_NOTE_TRACE) {
            if (said.insert(note.text).second) facts.warnings.push_back(note.text);
            continue;
        }
        const auto [at, added] = textures.try_emplace(note.subject, facts.textures.size());
        if (added) facts.textures.push_back({note.subject, "", {}});
        Texture* texture = &facts.textures[at->second];
        if (note.kind == VOREL_NOTE_TEXTURE_FOUND) texture->found = note.text;
        if (note.kind == VOREL_NOTE_TEXTURE_TRIED &&
            std::find(texture->tried.begin(), texture->tried.end(), note.text) == texture->tried.end())
            texture->tried.push_back(note.text);
    }

    facts.setCount = model.m_setCount;
    for (const auto& set : model.m_animationSets) {
        Set s;
        s.name = set->m_name;
        s.length = set->m_length;
        s.ticksPerSecond = set->m_ticksPerSecond;
        s.rateFromFile = set->m_rateFromFile;
        s.boneAnimations = set->m_animations.size();
        for (const auto& animation : set->m_animations) {
            s.keys += animation->KeyCount();
            if (animation->m_frame != nullptr)
                ++s.bound;
            else
                s.unbound.push_back(animation->m_name);
        }
        facts.sets.push_back(std::move(s));
    }
    facts.centre = model.m_sphereCenter;
    facts.radius = model.m_sphereRadius;
    return facts;
}

}  // namespace Vorel
