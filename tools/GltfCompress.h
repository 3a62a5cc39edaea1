// A glTF export made smaller: every accessor's data encoded with
// meshoptimizer's codecs under EXT_meshopt_compression, and quantized where
// KHR_mesh_quantization and glTF allow it:
// - positions, translations and scales: floats with 20-bit mantissas (a
//   vertex within 2^-20 of its largest coordinate);
// - texture coordinates: floats with 16-bit mantissas;
// - normals: 16-bit integers, octahedral with 12 bits a component;
// - rotations: 16-bit integers (within 2^-15 a component);
// - weights: 16-bit integers that sum to one; colours: 8-bit;
// - joints, indices, key times and inverse bind matrices as they are.
#pragma once

#include <string>

namespace VorelTools {

struct GltfExport;

// What the quantization keeps, for people.
extern const char* const kCompressedPrecision;

// The largest difference from the viewer's pose a compressed export may
// show, as a share of the model's radius: a rotation's error of 2^-15 a
// component, summed along a chain of bones as long as the model, stays
// near 10^-4.
constexpr double kCompressedCheckTolerance = 1e-3;

// Rewrites the export's document and buffer; false, with the reason in
// `why` and the export as it was, when its data cannot be encoded.
bool CompressGltf(GltfExport* exported, std::string* why);

}  // namespace VorelTools
