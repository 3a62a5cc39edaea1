#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Vorel {

class cModel;

// What a loaded model's file holds and what happened loading it: the facts
// the information panel shows and vorel-info prints, gathered in one place.
struct cModelFacts {
    struct Mesh {
        std::string name, frame;
        uint32_t vertices = 0, triangles = 0, materials = 0, bones = 0;
        bool skinned = false;
        // Per material that names a texture: its name, and whether it loaded.
        std::vector<std::pair<std::string, bool>> textures;
    };
    // Each texture name once, with the places it was sought in order and
    // where it was found (empty: nowhere).
    struct Texture {
        std::string name, found;
        std::vector<std::string> tried;
    };
    struct Set {
        std::string name;
        int32_t length = 0;
        float ticksPerSecond = 0;
        bool rateFromFile = false;
        size_t boneAnimations = 0, bound = 0, keys = 0;
        std::vector<std::string> unbound;  // the frames named that the model lacks
    };

    std::string path;
    // "text", "binary", "compressed text" or "compressed binary", with 32-
    // or 64-bit floats; empty and 0 when the header cannot be read.
    std::string encoding;
    int floatBits = 0;
    uint64_t bytes = 0;
    double loadMilliseconds = 0;
    size_t frames = 0;
    std::vector<Mesh> meshes;
    std::vector<Texture> textures;
    uint32_t setCount = 0;  // as the platform reports it; `sets` are those read
    std::vector<Set> sets;
    D3DXVECTOR3 centre{0, 0, 0};
    float radius = 0;
    // The load's trace lines, each once, in order.
    std::vector<std::string> warnings;

    static cModelFacts Gather(const cModel& model);
};

}  // namespace Vorel
