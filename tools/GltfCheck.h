// A written glTF posed by glTF's own rules (nodes, skins, animation
// channels with step, linear and spherical interpolation) and set against
// the model as the viewer poses it: the proof that an export moves as the
// .x file does.
#pragma once

#include <d3dx9.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace Vorel {
class cModel;
}

namespace VorelTools {

// A glTF document and its one buffer, read back.
struct GltfDocument {
    nlohmann::json doc;
    std::string buffer;

    // An accessor's components as numbers (normalised integers as their
    // fractions); empty when the accessor or its data is not there whole.
    // Each is read once and kept.
    const std::vector<double>& Read(int accessor) const;

    mutable std::map<int, std::vector<double>> read;  // what Read has read
};

// A GLB file's bytes, or a .gltf file with its buffer beside it, read;
// false, with the reason in `why`, when it is not one.
bool ReadGlb(const std::string& bytes, GltfDocument* out, std::string* why);
bool ReadGltfFile(const std::string& path, GltfDocument* out, std::string* why);

// Views compressed with EXT_meshopt_compression decoded into the buffer
// and made plain views of it: the document as if written without the
// extension (its fallback buffer dropped, its name no longer used). False,
// with the reason in `why`, when a view cannot be decoded. The readers
// above do this themselves.
bool DecodeMeshopt(GltfDocument* gltf, std::string* why);

// Every node's global matrix (row vectors, as D3DX) at `seconds` of
// animation `animation`, or at rest for -1.
std::vector<D3DXMATRIX> GltfGlobals(const GltfDocument& gltf, int animation, double seconds);

// The positions of mesh `mesh`'s first primitive posed under `globals`:
// skinned by its node's skin, or under its node. Empty when no node shows
// the mesh or its data is not there.
std::vector<D3DXVECTOR3> GltfPosed(const GltfDocument& gltf, const std::vector<D3DXMATRIX>& globals,
                                   int mesh);

// How far one set's export strays from the viewer's pose: the largest
// distance of a vertex over the times sampled, as a share of the model's
// bounding radius.
struct SetCheck {
    std::string name;
    size_t times = 0;
    double worst = 0;
};

// The largest difference allowed, as a share of the model's radius: far
// above a float's rounding over a chain of bones, far below what a wrong
// transform, key or weight moves a vertex.
constexpr double kCheckTolerance = 1e-4;

// `model` posed at each set's key times and halfway between them (at most
// 512 times a set, spread over them) against `gltf`, exported from it with
// that tick rate (0: each set's own); the bind pose when no set is
// exported. False, with the reason in `why`, when the document does not
// match the model's meshes or animations.
bool CheckGltf(Vorel::cModel& model, const GltfDocument& gltf, float ticksPerSecond,
               std::vector<SetCheck>* out, std::string* why);

}  // namespace VorelTools
