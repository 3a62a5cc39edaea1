#pragma once

#include <d3dx9mesh.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "BulkMemory.h"
#include "RefCounted.h"
#include "d3d9/DeviceServices.h"

namespace Platform::D3DX {

// Where the parts of a vertex lie, from its flexible vertex format; -1 for a
// part the format lacks.
struct VertexLayout {
    explicit VertexLayout(DWORD fvf);
    size_t stride = 12;
    int normal = -1;
    int diffuse = -1;
    int texcoord = -1;
};

class Mesh final : public RefCounted<ID3DXMesh> {
public:
    Mesh(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device, size_t vertexCount, size_t faceCount);

    DWORD WINAPI GetNumFaces() override { return static_cast<DWORD>(m_attributes.size()); }
    DWORD WINAPI GetNumVertices() override { return static_cast<DWORD>(m_vertexCount); }
    DWORD WINAPI GetFVF() override { return m_fvf; }
    DWORD WINAPI GetNumBytesPerVertex() override { return static_cast<DWORD>(m_layout.stride); }
    // Indices are always kept in 32 bits, whatever the mesh was asked for.
    DWORD WINAPI GetOptions() override { return m_options | D3DXMESH_32BIT; }
    HRESULT WINAPI GetDevice(LPDIRECT3DDEVICE9* device) override;
    HRESULT WINAPI CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                                LPD3DXMESH* clone) override;
    HRESULT WINAPI LockVertexBuffer(DWORD flags, LPVOID* data) override;
    HRESULT WINAPI UnlockVertexBuffer() override { return S_OK; }
    HRESULT WINAPI LockIndexBuffer(DWORD flags, LPVOID* data) override;
    HRESULT WINAPI UnlockIndexBuffer() override { return S_OK; }
    HRESULT WINAPI LockAttributeBuffer(DWORD flags, DWORD** data) override;
    HRESULT WINAPI UnlockAttributeBuffer() override { return S_OK; }
    HRESULT WINAPI DrawSubset(DWORD attribute) override;

    const VertexLayout& Layout() const { return m_layout; }
    uint8_t* Vertex(size_t i) { return m_vertices.data() + i * m_layout.stride; }
    BulkVector<uint32_t>& Indices() { return m_indices; }
    BulkVector<DWORD>& Attributes() { return m_attributes; }

    // Counts of the locks that may have written vertices, and indices or
    // attributes: the device uploads again what changed since its copy.
    uint64_t VertexVersion() const { return m_vertexVersion; }
    uint64_t TopologyVersion() const { return m_topologyVersion; }
    std::unique_ptr<D3D9::GpuObject>& Gpu() { return m_gpu; }

private:
    DWORD m_options;
    DWORD m_fvf;
    LPDIRECT3DDEVICE9 m_device;  // not held: its GPU copy holds the device
    VertexLayout m_layout;
    size_t m_vertexCount;
    BulkVector<uint8_t> m_vertices;
    BulkVector<uint32_t> m_indices;  // three per face
    BulkVector<DWORD> m_attributes;  // one per face
    uint64_t m_vertexVersion = 0;
    uint64_t m_topologyVersion = 0;
    std::unique_ptr<D3D9::GpuObject> m_gpu;
};

}  // namespace Platform::D3DX
