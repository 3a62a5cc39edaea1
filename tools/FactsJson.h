// A model's facts as the JSON object vorel-info prints.
#pragma once

#include <nlohmann/json.hpp>

#include "cModelFacts.h"

namespace VorelTools {

inline nlohmann::ordered_json FactsJson(const Vorel::cModelFacts& facts) {
    using Json = nlohmann::ordered_json;
    Json meshes = Json::array();
    for (const auto& mesh : facts.meshes) {
        Json textures = Json::array();
        for (const auto& [file, found] : mesh.textures)
            textures.push_back({{"file", file}, {"found", found}});
        meshes.push_back({{"name", mesh.name},
                          {"frame", mesh.frame},
                          {"vertices", mesh.vertices},
                          {"triangles", mesh.triangles},
                          {"materials", mesh.materials},
                          {"bones", mesh.bones},
                          {"skinned", mesh.skinned},
                          {"textures", textures}});
    }
    Json textures = Json::array();
    for (const auto& texture : facts.textures) {
        Json entry = {{"file", texture.name}};
        entry["foundAt"] = texture.found.empty() ? Json() : Json(texture.found);
        entry["tried"] = texture.tried;
        textures.push_back(entry);
    }
    Json sets = Json::array();
    for (const auto& set : facts.sets)
        sets.push_back({{"name", set.name},
                        {"length", set.length},
                        {"seconds", set.ticksPerSecond > 0 ? set.length / set.ticksPerSecond : 0.0f},
                        {"ticksPerSecond", set.ticksPerSecond},
                        {"rateFrom", set.rateFromFile ? "file" : "default"},
                        {"boneAnimations", set.boneAnimations},
                        {"bound", set.bound},
                        {"unbound", set.unbound},
                        {"keys", set.keys}});
    const D3DXVECTOR3& c = facts.centre;
    return {{"file", facts.path},
            {"encoding", facts.encoding},
            {"floatBits", facts.floatBits},
            {"bytes", facts.bytes},
            {"loadMilliseconds", facts.loadMilliseconds},
            {"frames", facts.frames},
            {"meshContainers", meshes},
            {"textures", textures},
            {"setCount", facts.setCount},
            {"animationSets", sets},
            {"sphere", {{"center", {c.x, c.y, c.z}}, {"radius", facts.radius}}},
            {"warnings", facts.warnings}};
}

}  // namespace VorelTools
