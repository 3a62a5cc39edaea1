#include "d3dx9/mesh/Mesh.h"

#include <cstring>
#include <new>

namespace Platform::D3DX {

VertexLayout::VertexLayout(DWORD fvf) {
    // Position, then normal, diffuse colour and one pair of texture
    // coordinates, in that order when present.
    if (fvf & D3DFVF_NORMAL) normal = static_cast<int>(stride), stride += 12;
    if (fvf & D3DFVF_DIFFUSE) diffuse = static_cast<int>(stride), stride += 4;
    if (fvf & D3DFVF_TEX1) texcoord = static_cast<int>(stride), stride += 8;
}

Mesh::Mesh(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device, size_t vertexCount, size_t faceCount)
    : m_options(options),
      m_fvf(fvf | D3DFVF_XYZ),
      m_device(device),
      m_layout(fvf),
      m_vertexCount(vertexCount),
      m_vertices(vertexCount * m_layout.stride, 0),
      m_indices(faceCount * 3, 0),
      m_attributes(faceCount, 0) {}

HRESULT WINAPI Mesh::GetDevice(LPDIRECT3DDEVICE9* device) {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    *device = m_device;
    if (m_device != nullptr) m_device->AddRef();
    return S_OK;
}

HRESULT WINAPI Mesh::DrawSubset(DWORD attribute) {
    auto* services = dynamic_cast<D3D9::DeviceServices*>(m_device);
    if (services == nullptr) return D3DERR_INVALIDCALL;
    return services->DrawMeshSubset(*this, attribute);
}

HRESULT WINAPI Mesh::CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device, LPD3DXMESH* clone) {
    if (clone == nullptr) return D3DERR_INVALIDCALL;
    *clone = nullptr;
    try {
        auto* copy = new Mesh(options, fvf, device, m_vertexCount, m_attributes.size());
        const VertexLayout& to = copy->m_layout;
        for (size_t i = 0; i < m_vertexCount; ++i) {
            const uint8_t* source = Vertex(i);
            uint8_t* target = copy->Vertex(i);
            std::memcpy(target, source, 12);
            if (to.normal >= 0 && m_layout.normal >= 0)
                std::memcpy(target + to.normal, source + m_layout.normal, 12);
            if (to.diffuse >= 0) {
                const uint32_t white = 0xFFFFFFFFu;
                std::memcpy(target + to.diffuse,
                            m_layout.diffuse >= 0 ? source + m_layout.diffuse
                                                  : reinterpret_cast<const uint8_t*>(&white),
                            4);
            }
            if (to.texcoord >= 0 && m_layout.texcoord >= 0)
                std::memcpy(target + to.texcoord, source + m_layout.texcoord, 8);
        }
        copy->m_indices = m_indices;
        copy->m_attributes = m_attributes;
        *clone = copy;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT WINAPI Mesh::LockVertexBuffer(DWORD flags, LPVOID* data) {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    if ((flags & D3DLOCK_READONLY) == 0) ++m_vertexVersion;
    *data = m_vertices.data();
    return S_OK;
}

HRESULT WINAPI Mesh::LockIndexBuffer(DWORD flags, LPVOID* data) {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    if ((flags & D3DLOCK_READONLY) == 0) ++m_topologyVersion;
    *data = m_indices.data();
    return S_OK;
}

HRESULT WINAPI Mesh::LockAttributeBuffer(DWORD flags, DWORD** data) {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    if ((flags & D3DLOCK_READONLY) == 0) ++m_topologyVersion;
    *data = m_attributes.data();
    return S_OK;
}

}  // namespace Platform::D3DX
