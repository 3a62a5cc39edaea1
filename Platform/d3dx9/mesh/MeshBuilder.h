#pragma once

#include <d3dx9mesh.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "d3dx9/xfile/Document.h"

namespace Platform::D3DX {

// What the loader hands to the allocator for one Mesh data object.
struct BuiltMesh {
    LPD3DXMESH mesh = nullptr;      // one reference, the builder's
    LPD3DXSKININFO skin = nullptr;  // one reference, or null
    std::vector<D3DXMATERIAL> materials;
    std::vector<std::string> textureNames;  // what materials[i].pTextureFilename points at
    std::vector<DWORD> adjacency;           // three per face
};

// The texture name of each Material object read so far, so that a material
// that many meshes refer to is looked through once.
using TextureNames = std::unordered_map<const XFile::Node*, std::string>;

// Builds a mesh from a Mesh data object and its children (normals, texture
// coordinates, vertex colours, material list, skin weights, DeclData).
// Problems in the data are traced with `fileName` and the bad entries
// skipped; false only when there is no usable mesh at all.
bool BuildMesh(const XFile::Node& node, LPDIRECT3DDEVICE9 device, DWORD options, const std::string& fileName,
               BuiltMesh* out, TextureNames* textureNames = nullptr);

}  // namespace Platform::D3DX
