// What the platform's meshes and textures, which know no OpenGL, need of
// the device that draws them.
#pragma once

#include <d3d9.h>

namespace Platform::D3DX {
class Mesh;
}

namespace Platform::D3D9 {

// The GPU side of a mesh or texture, made by the device when the resource
// is first drawn and freed with the resource.
class GpuObject {
public:
    virtual ~GpuObject() = default;
};

class DeviceServices {
public:
    // Draws the triangles of one material of `mesh` with the program bound
    // by the open effect pass.
    virtual HRESULT DrawMeshSubset(D3DX::Mesh& mesh, DWORD attribute) = 0;

protected:
    ~DeviceServices() = default;
};

}  // namespace Platform::D3D9
