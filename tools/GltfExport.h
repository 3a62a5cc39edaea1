// A loaded model written as glTF 2.0: frames as nodes, mesh containers as
// meshes, skins, materials, textures and every animation set, converted
// from the .x file's left-handed space into glTF's right-handed one by
// mirroring z (positions, normals, transforms, inverse bind matrices and
// keys alike) and reversing each triangle's winding.
#pragma once

#include <string>
#include <vector>

namespace Vorel {
class cModel;
}

namespace VorelTools {

struct GltfOptions {
    // Overrides every set's tick rate when above zero.
    float ticksPerSecond = 0;
    // Images inside the buffer (GLB), or as files beside the document.
    bool embedImages = true;
    // The stem that the buffer and image files beside the document take.
    std::string stem = "model";
};

struct GltfImage {
    std::string uri;  // the file beside the document; empty when embedded
    std::string mimeType;
    std::string bytes;
};

struct GltfExport {
    std::string json;               // the document
    std::string buffer;             // its one binary buffer (the document names it, or it is the GLB's)
    std::vector<GltfImage> images;  // written beside the document unless embedded
    std::vector<std::string> warnings;
};

// The model as Vorel poses it. `folder` is where its texture names are
// looked up (the model file's folder). False, with `error` set, when it
// holds nothing to export.
bool ExportGltf(Vorel::cModel& model, const std::string& folder, const GltfOptions& options, GltfExport* out,
                std::string* error);

// The document and its buffer as one GLB file.
std::string GlbFile(const GltfExport& exported);

}  // namespace VorelTools
