#include "d3d9/Device.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "d3d9/Gl.h"
#include "d3d9/GlTranslate.h"
#include "d3dx9/mesh/Mesh.h"
#include "d3dx9/texture/Texture.h"
#include "win32/Window.h"

namespace Platform::D3D9 {

static_assert(Gl::kPoint == GL_POINT && Gl::kLine == GL_LINE && Gl::kFill == GL_FILL);
static_assert(Gl::kFront == GL_FRONT && Gl::kBack == GL_BACK && Gl::kCw == GL_CW && Gl::kCcw == GL_CCW);
static_assert(Gl::kRgba8 == GL_RGBA8 && Gl::kDepth24Stencil8 == GL_DEPTH24_STENCIL8);

namespace {

void Trace(const std::string& line) {
    OutputDebugStringA((line + "\n").c_str());
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

// a · b, row vectors as Direct3D has them.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k)
                m.m[r][c] += a.m[r][k] * b.m[k][c];
    return m;
}

// A GPU copy holds its device, so the context it lives in is known, and
// the device outlives it.
class DeviceObject : public GpuObject {
public:
    explicit DeviceObject(Device* device) : m_device(device) { m_device->AddRef(); }
    ~DeviceObject() override { m_device->Release(); }

protected:
    Device* m_device;
};

class TextureObject final : public DeviceObject {
public:
    using DeviceObject::DeviceObject;
    ~TextureObject() override {
        if (m_device->MakeCurrent()) glDeleteTextures(1, &name);
    }
    GLuint name = 0;
};

// A mesh's vertices and its triangles grouped by material, each group one
// range of the index buffer.
class MeshObject final : public DeviceObject {
public:
    using DeviceObject::DeviceObject;
    ~MeshObject() override {
        if (!m_device->MakeCurrent()) return;
        glDeleteVertexArrays(1, &vao);
        glDeleteBuffers(1, &vertices);
        glDeleteBuffers(1, &indices);
    }
    struct Range {
        DWORD attribute;
        GLsizei first, count;
    };
    GLuint vao = 0, vertices = 0, indices = 0;
    uint64_t vertexVersion = 0, topologyVersion = 0;
    GLsizeiptr vertexBytes = 0;
    std::vector<Range> ranges;
};

void UploadTopology(D3DX::Mesh& mesh, MeshObject& gpu) {
    const auto& indices = mesh.Indices();
    const auto& attributes = mesh.Attributes();
    const size_t vertexCount = mesh.GetNumVertices();
    // Faces in material order, file order within a material; a face with an
    // index past the vertices is left out.
    std::vector<uint32_t> order(attributes.size());
    for (size_t f = 0; f < order.size(); ++f)
        order[f] = static_cast<uint32_t>(f);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return attributes[a] < attributes[b]; });
    std::vector<uint32_t> sorted;
    sorted.reserve(indices.size());
    gpu.ranges.clear();
    for (uint32_t f : order) {
        const uint32_t* face = indices.data() + size_t(f) * 3;
        if (face[0] >= vertexCount || face[1] >= vertexCount || face[2] >= vertexCount) continue;
        if (gpu.ranges.empty() || gpu.ranges.back().attribute != attributes[f])
            gpu.ranges.push_back({attributes[f], static_cast<GLsizei>(sorted.size()), 0});
        sorted.insert(sorted.end(), face, face + 3);
        gpu.ranges.back().count += 3;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(sorted.size() * sizeof(uint32_t)),
                 sorted.data(), GL_STATIC_DRAW);
    gpu.topologyVersion = mesh.TopologyVersion();
}

void UploadVertices(D3DX::Mesh& mesh, MeshObject& gpu) {
    const D3DX::VertexLayout& layout = mesh.Layout();
    const size_t bytes = size_t(mesh.GetNumVertices()) * layout.stride;
    glBindBuffer(GL_ARRAY_BUFFER, gpu.vertices);
    const void* data = mesh.GetNumVertices() != 0 ? mesh.Vertex(0) : nullptr;
    FillArrayBuffer(&gpu.vertexBytes, static_cast<GLsizeiptr>(bytes), data, GL_DYNAMIC_DRAW);
    gpu.vertexVersion = mesh.VertexVersion();
}

void SetUpVertexArray(D3DX::Mesh& mesh, MeshObject& gpu) {
    const D3DX::VertexLayout& layout = mesh.Layout();
    const auto stride = static_cast<GLsizei>(layout.stride);
    const auto at = [](int offset) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)); };
    glBindVertexArray(gpu.vao);
    glBindBuffer(GL_ARRAY_BUFFER, gpu.vertices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.indices);
    glEnableVertexAttribArray(kPositionLocation);
    glVertexAttribPointer(kPositionLocation, 3, GL_FLOAT, GL_FALSE, stride, at(0));
    if (layout.normal >= 0) {
        glEnableVertexAttribArray(kNormalLocation);
        glVertexAttribPointer(kNormalLocation, 3, GL_FLOAT, GL_FALSE, stride, at(layout.normal));
    }
    if (layout.diffuse >= 0) {
        // A D3DCOLOR's bytes in memory are blue, green, red, alpha.
        glEnableVertexAttribArray(kColorLocation);
        glVertexAttribPointer(kColorLocation, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.diffuse));
    }
    if (layout.texcoord >= 0) {
        glEnableVertexAttribArray(kTexcoordLocation);
        glVertexAttribPointer(kTexcoordLocation, 2, GL_FLOAT, GL_FALSE, stride, at(layout.texcoord));
    }
}

// The mesh's GPU copy, made on first use and brought up to date with its
// vertices and triangles; its vertex array is bound.
MeshObject& Uploaded(Device* device, D3DX::Mesh& mesh) {
    if (mesh.Gpu() == nullptr) {
        auto gpu = std::make_unique<MeshObject>(device);
        glGenVertexArrays(1, &gpu->vao);
        glGenBuffers(1, &gpu->vertices);
        glGenBuffers(1, &gpu->indices);
        glBindVertexArray(gpu->vao);
        UploadVertices(mesh, *gpu);
        UploadTopology(mesh, *gpu);
        SetUpVertexArray(mesh, *gpu);
        mesh.Gpu() = std::move(gpu);
    }
    auto& gpu = static_cast<MeshObject&>(*mesh.Gpu());
    glBindVertexArray(gpu.vao);
    if (gpu.vertexVersion != mesh.VertexVersion()) UploadVertices(mesh, gpu);
    if (gpu.topologyVersion != mesh.TopologyVersion()) UploadTopology(mesh, gpu);
    return gpu;
}

class Surface final : public RefCounted<IDirect3DSurface9> {
public:
    explicit Surface(Device* device) : m_device(device) { m_device->AddRef(); }
    ~Surface() override { m_device->Release(); }
    HRESULT WINAPI GetDesc(D3DSURFACE_DESC* description) override {
        if (description == nullptr) return D3DERR_INVALIDCALL;
        *description = {D3DFMT_X8R8G8B8, m_device->Width(), m_device->Height()};
        return S_OK;
    }
    // The picture as it is when locked.
    HRESULT WINAPI LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override {
        if (locked == nullptr || m_locked) return D3DERR_INVALIDCALL;
        const auto width = static_cast<LONG>(m_device->Width()),
                   height = static_cast<LONG>(m_device->Height());
        const RECT area = rect != nullptr ? *rect : RECT{0, 0, width, height};
        if (area.left < 0 || area.top < 0 || area.right > width || area.bottom > height ||
            area.left >= area.right || area.top >= area.bottom)
            return D3DERR_INVALIDCALL;
        if (!m_device->MakeCurrent()) return D3DERR_DEVICELOST;
        try {
            m_device->ReadBackBuffer(&m_pixels);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        locked->Pitch = width * 4;
        locked->pBits = m_pixels.data() + size_t(area.top) * size_t(width) * 4 + size_t(area.left) * 4;
        m_locked = true;
        return S_OK;
    }
    HRESULT WINAPI UnlockRect() override {
        if (!m_locked) return D3DERR_INVALIDCALL;
        m_locked = false;
        return S_OK;
    }

private:
    Device* m_device;
    std::vector<uint8_t> m_pixels;
    bool m_locked = false;
};

class Direct3D final : public RefCounted<IDirect3D9> {
public:
    HRESULT WINAPI GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) return D3DERR_INVALIDCALL;
        *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
        SDL_DisplayMode desktop;
        if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            mode->Width = static_cast<UINT>(desktop.w);
            mode->Height = static_cast<UINT>(desktop.h);
            mode->RefreshRate = static_cast<UINT>(desktop.refresh_rate);
        }
        return S_OK;
    }
    HRESULT WINAPI CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                   D3DFORMAT backBufferFormat, BOOL) override {
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || displayFormat != D3DFMT_X8R8G8B8 || ColorFormat(backBufferFormat) == 0)
            return D3DERR_NOTAVAILABLE;
        return S_OK;
    }
    HRESULT WINAPI GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (adapter != D3DADAPTER_DEFAULT || caps == nullptr) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        *caps = {type, adapter, D3DDEVCAPS_HWTRANSFORMANDLIGHT};
        return S_OK;
    }
    HRESULT WINAPI CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD,
                                D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override {
        if (device == nullptr) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || parameters == nullptr) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        HWND window = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
        Device* created = nullptr;
        try {
            const HRESULT hr = Device::Create(window, *parameters, &created);
            *device = created;
            return hr;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
};

}  // namespace

HRESULT Device::Create(HWND window, const D3DPRESENT_PARAMETERS& parameters, Device** device) {
    *device = nullptr;
    if (LiveWindow(window) == nullptr) {
        Trace("CreateDevice: no window to draw in");
        return D3DERR_INVALIDCALL;
    }
    if (!parameters.Windowed) {
        Trace("CreateDevice: only windowed devices are made");
        return D3DERR_NOTAVAILABLE;
    }
    if (ColorFormat(parameters.BackBufferFormat) == 0 ||
        (parameters.EnableAutoDepthStencil && DepthFormat(parameters.AutoDepthStencilFormat) == 0)) {
        Trace("CreateDevice: a back-buffer or depth format that is not made");
        return D3DERR_NOTAVAILABLE;
    }
    if (SDL_GL_MakeCurrent(window->sdl, window->gl) != 0) {
        Trace(std::string("CreateDevice: the window's OpenGL context cannot be used (") + SDL_GetError() +
              ")");
        return D3DERR_NOTAVAILABLE;
    }
    // Direct3D's depth runs from 0 to 1, which OpenGL has with clip control.
    if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
        const int version = epoxy_gl_version();
        Trace("CreateDevice: OpenGL " + std::to_string(version / 10) + "." + std::to_string(version % 10) +
              " has no clip control (OpenGL 4.5 or GL_ARB_clip_control is needed)");
        return D3DERR_NOTAVAILABLE;
    }
    const auto [width, height] = BackBufferSize(window, parameters, "CreateDevice");
    if (width == 0) return D3DERR_NOTAVAILABLE;
    auto* made = new Device(window, width, height, parameters.EnableAutoDepthStencil != FALSE);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        Trace("CreateDevice: the back buffer cannot be made");
        made->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *device = made;
    return S_OK;
}

std::pair<UINT, UINT> Device::BackBufferSize(HWND window, const D3DPRESENT_PARAMETERS& parameters,
                                             const char* call) {
    const UINT width =
        parameters.BackBufferWidth != 0 ? parameters.BackBufferWidth : static_cast<UINT>(window->clientWidth);
    const UINT height = parameters.BackBufferHeight != 0 ? parameters.BackBufferHeight
                                                         : static_cast<UINT>(window->clientHeight);
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (width == 0 || height == 0 || width > static_cast<UINT>(largest) ||
        height > static_cast<UINT>(largest)) {
        Trace(std::string(call) + ": a back buffer of " + std::to_string(width) + " x " +
              std::to_string(height) + " cannot be made");
        return {0, 0};
    }
    return {width, height};
}

Device::Device(HWND window, UINT width, UINT height, bool depth)
    : m_window(window), m_width(width), m_height(height), m_autoDepth(depth) {
    DefaultState();
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glGenFramebuffers(1, &m_framebuffer);
    glGenRenderbuffers(1, &m_colour);
    glGenRenderbuffers(1, &m_depth);
    Allocate(width, height);
}

void Device::DefaultState() {
    m_zEnable = m_autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
    m_zWrite = TRUE;
    m_fill = D3DFILL_SOLID;
    m_cull = D3DCULL_CCW;
    m_lighting = TRUE;
    m_ambient = 0;
    m_world = m_view = m_projection = Identity();
    m_fvf = 0;
}

void Device::Allocate(UINT width, UINT height) {
    m_width = width;
    m_height = height;
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colour);
    glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    // Until the first Clear the back buffer is black, as a new one is.
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

HRESULT WINAPI Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters == nullptr || m_inScene || !parameters->Windowed ||
        ColorFormat(parameters->BackBufferFormat) == 0 ||
        (parameters->EnableAutoDepthStencil && DepthFormat(parameters->AutoDepthStencilFormat) == 0))
        return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    const auto [width, height] = BackBufferSize(m_window, *parameters, "Reset");
    if (width == 0) return D3DERR_INVALIDCALL;
    m_autoDepth = parameters->EnableAutoDepthStencil != FALSE;
    Allocate(width, height);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        Trace("Reset: the back buffer cannot be made");
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    parameters->BackBufferWidth = width;
    parameters->BackBufferHeight = height;
    DefaultState();
    return D3D_OK;
}

Device::~Device() {
    if (!MakeCurrent()) return;
    if (m_window->content) {
        m_window->content = nullptr;
        m_window->presentedByDevice = false;
    }
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteRenderbuffers(1, &m_colour);
    glDeleteRenderbuffers(1, &m_depth);
    if (m_userProgram != 0) {
        glDeleteProgram(m_userProgram);
        glDeleteVertexArrays(1, &m_userVao);
        glDeleteBuffers(1, &m_userBuffer);
    }
}

bool Device::MakeCurrent() {
    if (LiveWindow(m_window) == nullptr) return false;
    return SDL_GL_MakeCurrent(m_window->sdl, m_window->gl) == 0;
}

void Device::BindBackBuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glViewport(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height));
    glDisable(GL_SCISSOR_TEST);
}

void Device::ApplyDepthState() {
    if (m_zEnable != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);  // D3DCMP_LESSEQUAL, Direct3D's default
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(m_zWrite ? GL_TRUE : GL_FALSE);
    glDisable(GL_BLEND);
}

void Device::ApplyTriangleState() {
    ApplyDepthState();
    glPolygonMode(GL_FRONT_AND_BACK, PolygonMode(m_fill));
    glFrontFace(kFrontFace);
    if (const uint32_t face = CulledFace(m_cull)) {
        glEnable(GL_CULL_FACE);
        glCullFace(face);
    } else {
        glDisable(GL_CULL_FACE);
    }
}

void Device::UseProgram(GLuint program) {
    m_program = program;
    glUseProgram(program);
}

HRESULT WINAPI Device::TestCooperativeLevel() {
    if (LiveWindow(m_window) == nullptr) return D3DERR_DEVICELOST;
    return (SDL_GetWindowFlags(m_window->sdl) & SDL_WINDOW_MINIMIZED) != 0 ? D3DERR_DEVICELOST : D3D_OK;
}

HRESULT WINAPI Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
        case D3DRS_ZENABLE:
            m_zEnable = value;
            return D3D_OK;
        case D3DRS_ZWRITEENABLE:
            m_zWrite = value;
            return D3D_OK;
        case D3DRS_FILLMODE:
            if (PolygonMode(value) == 0) return D3DERR_INVALIDCALL;
            m_fill = value;
            return D3D_OK;
        case D3DRS_CULLMODE:
            if (value < D3DCULL_NONE || value > D3DCULL_CCW) return D3DERR_INVALIDCALL;
            m_cull = value;
            return D3D_OK;
        // Kept for GetRenderState: the effects do all shading.
        case D3DRS_LIGHTING:
            m_lighting = value;
            return D3D_OK;
        case D3DRS_AMBIENT:
            m_ambient = value;
            return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT WINAPI Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DRS_ZENABLE:
            *value = m_zEnable;
            return D3D_OK;
        case D3DRS_ZWRITEENABLE:
            *value = m_zWrite;
            return D3D_OK;
        case D3DRS_FILLMODE:
            *value = m_fill;
            return D3D_OK;
        case D3DRS_CULLMODE:
            *value = m_cull;
            return D3D_OK;
        case D3DRS_LIGHTING:
            *value = m_lighting;
            return D3D_OK;
        case D3DRS_AMBIENT:
            *value = m_ambient;
            return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT WINAPI Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_WORLD:
            m_world = *matrix;
            return D3D_OK;
        case D3DTS_VIEW:
            m_view = *matrix;
            return D3D_OK;
        case D3DTS_PROJECTION:
            m_projection = *matrix;
            return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT WINAPI Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_WORLD:
            *matrix = m_world;
            return D3D_OK;
        case D3DTS_VIEW:
            *matrix = m_view;
            return D3D_OK;
        case D3DTS_PROJECTION:
            *matrix = m_projection;
            return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT WINAPI Device::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT WINAPI Device::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT WINAPI Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                             DWORD stencil) {
    if ((count != 0 && rects == nullptr) ||
        (flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0 || z < 0 || z > 1)
        return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    BindBackBuffer();
    float rgba[4];
    ColorChannels(color, rgba);
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClearDepth(z);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    // Clearing writes whatever the masks of the last draw were.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;
    if (count == 0) {
        glClear(bits);
        return D3D_OK;
    }
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < count; ++i) {
        // Rows count from the top in Direct3D, from the bottom in OpenGL.
        const LONG x1 = std::max<LONG>(rects[i].x1, 0), y1 = std::max<LONG>(rects[i].y1, 0);
        const LONG x2 = std::min<LONG>(rects[i].x2, static_cast<LONG>(m_width));
        const LONG y2 = std::min<LONG>(rects[i].y2, static_cast<LONG>(m_height));
        if (x2 <= x1 || y2 <= y1) continue;
        glScissor(x1, static_cast<GLint>(m_height) - y2, x2 - x1, y2 - y1);
        glClear(bits);
    }
    glDisable(GL_SCISSOR_TEST);
    return D3D_OK;
}

void Device::Blit(int drawableWidth, int drawableHeight) {
    // Top-left, under the menu bar, pixel for pixel.
    const int top = drawableHeight - m_window->menuBarHeight;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const auto w = static_cast<GLint>(m_width), h = static_cast<GLint>(m_height);
    glBlitFramebuffer(0, 0, w, h, 0, top - h, w, top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    (void)drawableWidth;
}

HRESULT WINAPI Device::Present(const RECT* source, const RECT* destination, HWND window,
                               const RGNDATA* dirty) {
    if (source != nullptr || destination != nullptr || window != nullptr || dirty != nullptr)
        return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    if (!m_window->content) m_window->content = [this](int w, int h) { Blit(w, h); };
    m_window->presentedByDevice = true;
    DrawWindow(m_window);
    return D3D_OK;
}

HRESULT WINAPI Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                     IDirect3DSurface9** surface) {
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    *surface = new (std::nothrow) Surface(this);
    return *surface != nullptr ? D3D_OK : E_OUTOFMEMORY;
}

void Device::ReadBackBuffer(std::vector<uint8_t>* pixels) {
    const size_t row = size_t(m_width) * 4;
    m_readBack.resize(row * m_height);
    pixels->resize(row * m_height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    // Mesa's llvmpipe has been seen to hand back the frame before when
    // other processes load the machine; a read-back is rare enough to wait
    // for the drawing to end.
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height), GL_BGRA,
                 GL_UNSIGNED_BYTE, m_readBack.data());
    for (UINT y = 0; y < m_height; ++y)
        std::memcpy(pixels->data() + y * row, m_readBack.data() + (m_height - 1 - y) * row, row);
}

GLuint Device::TextureName(D3DX::Texture& texture) {
    if (texture.Gpu() == nullptr) {
        // Without memory for it the texture stays unbound, and reads black.
        std::unique_ptr<TextureObject> gpu(new (std::nothrow) TextureObject(this));
        if (gpu == nullptr) return 0;
        glGenTextures(1, &gpu->name);
        glBindTexture(GL_TEXTURE_2D, gpu->name);
        // Rows top first, so texture coordinate v = 0 is the top, as in
        // Direct3D.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(texture.Width()),
                     static_cast<GLsizei>(texture.Height()), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texture.Pixels().data());
        glGenerateMipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        texture.Gpu() = std::move(gpu);
    }
    return static_cast<TextureObject&>(*texture.Gpu()).name;
}

HRESULT Device::DrawMeshSubset(D3DX::Mesh& mesh, DWORD attribute) {
    if (m_program == 0) return D3DERR_INVALIDCALL;  // no effect pass is open
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    MeshObject* uploaded = nullptr;
    try {
        uploaded = &Uploaded(this, mesh);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    MeshObject& gpu = *uploaded;
    const auto range = std::find_if(gpu.ranges.begin(), gpu.ranges.end(),
                                    [&](const MeshObject::Range& r) { return r.attribute == attribute; });
    if (range == gpu.ranges.end()) return D3D_OK;  // no triangles of that material
    // The parts a vertex lacks: no normal, white, texture coordinates 0.
    const D3DX::VertexLayout& layout = mesh.Layout();
    if (layout.normal < 0) glVertexAttrib3f(kNormalLocation, 0, 0, 0);
    if (layout.diffuse < 0) glVertexAttrib4f(kColorLocation, 1, 1, 1, 1);
    if (layout.texcoord < 0) glVertexAttrib2f(kTexcoordLocation, 0, 0);
    BindBackBuffer();
    ApplyTriangleState();
    glDrawElements(GL_TRIANGLES, range->count, GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<uintptr_t>(range->first) * sizeof(uint32_t)));
    return D3D_OK;
}

HRESULT WINAPI Device::SetFVF(DWORD fvf) {
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT WINAPI Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride) {
    constexpr DWORD kColouredPoints = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    constexpr UINT kVertexBytes = 16;  // x, y, z, colour
    if (!m_inScene || m_fvf != kColouredPoints || vertices == nullptr || stride < kVertexBytes ||
        (type != D3DPT_LINELIST && type != D3DPT_LINESTRIP))
        return D3DERR_INVALIDCALL;
    if (count == 0) return D3D_OK;
    const size_t points = type == D3DPT_LINELIST ? size_t(count) * 2 : size_t(count) + 1;
    if (points > size_t(INT32_MAX) / stride) return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    if (m_userProgram == 0) {
        static const char* const kVertex = R"(#version 330 core
in vec3 a_position;
in vec4 a_color;
uniform mat4 u_transform;
out vec4 v_color;
void main() {
    gl_Position = u_transform * vec4(a_position, 1.0);
    v_color = a_color;
}
)";
        static const char* const kFragment = R"(#version 330 core
in vec4 v_color;
out vec4 colour;
void main() { colour = v_color; }
)";
        std::string log;
        m_userProgram = LinkProgram(kVertex, kFragment, &log);
        if (m_userProgram == 0) {
            Trace("DrawPrimitiveUP: " + log);
            return E_FAIL;
        }
        m_userTransform = glGetUniformLocation(m_userProgram, "u_transform");
        glGenVertexArrays(1, &m_userVao);
        glGenBuffers(1, &m_userBuffer);
        glBindVertexArray(m_userVao);
        glBindBuffer(GL_ARRAY_BUFFER, m_userBuffer);
        glEnableVertexAttribArray(kPositionLocation);
        glEnableVertexAttribArray(kColorLocation);
    }
    BindBackBuffer();
    ApplyDepthState();
    glUseProgram(m_userProgram);
    const D3DMATRIX transform = Multiply(Multiply(m_world, m_view), m_projection);
    // Rows as OpenGL's columns: the shader's M * v is v · M.
    glUniformMatrix4fv(m_userTransform, 1, GL_FALSE, &transform.m[0][0]);
    glBindVertexArray(m_userVao);
    glBindBuffer(GL_ARRAY_BUFFER, m_userBuffer);
    FillArrayBuffer(&m_userBufferBytes, static_cast<GLsizeiptr>(points * stride), vertices, GL_STREAM_DRAW);
    const auto step = static_cast<GLsizei>(stride);
    glVertexAttribPointer(kPositionLocation, 3, GL_FLOAT, GL_FALSE, step, nullptr);
    // D3DCOLOR's bytes in memory are blue, green, red, alpha.
    glVertexAttribPointer(kColorLocation, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, step,
                          reinterpret_cast<const void*>(12));
    glDrawArrays(type == D3DPT_LINELIST ? GL_LINES : GL_LINE_STRIP, 0, static_cast<GLsizei>(points));
    glUseProgram(m_program);
    return D3D_OK;
}

}  // namespace Platform::D3D9

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return new (std::nothrow) Platform::D3D9::Direct3D();
}
