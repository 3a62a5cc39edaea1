// ID3DXLine: line strips through a clip-space transform, one pixel wide.
#include <d3dx9core.h>

#include <new>
#include <string>

#include "RefCounted.h"
#include "d3d9/Device.h"
#include "d3d9/Gl.h"
#include "d3d9/GlTranslate.h"

namespace Platform::D3DX {
namespace {

const char* kLineVertex = R"(#version 330 core
in vec3 a_position;
uniform mat4 u_transform;
void main() { gl_Position = u_transform * vec4(a_position, 1.0); }
)";

const char* kLineFragment = R"(#version 330 core
uniform vec4 u_color;
out vec4 colour;
void main() { colour = u_color; }
)";

class Line final : public RefCounted<ID3DXLine> {
public:
    HRESULT WINAPI OnLostDevice() override { return D3D_OK; }
    HRESULT WINAPI OnResetDevice() override { return D3D_OK; }

    explicit Line(D3D9::Device* device) : m_device(device) { m_device->AddRef(); }
    ~Line() override {
        if (m_device->MakeCurrent() && m_program != 0) {
            glDeleteProgram(m_program);
            glDeleteVertexArrays(1, &m_vao);
            glDeleteBuffers(1, &m_buffer);
        }
        m_device->Release();
    }

    HRESULT WINAPI DrawTransform(const D3DXVECTOR3* vertices, DWORD count, const D3DXMATRIX* transform,
                                 D3DCOLOR color) override {
        if (vertices == nullptr || transform == nullptr || count < 2) return D3DERR_INVALIDCALL;
        if (!m_device->MakeCurrent()) return D3DERR_DEVICELOST;
        if (!Prepare()) return E_FAIL;
        m_device->BindBackBuffer();
        m_device->ApplyDepthState();
        glUseProgram(m_program);
        // Rows as OpenGL's columns: the shader's M * v is v · M.
        glUniformMatrix4fv(m_transformLocation, 1, GL_FALSE, &transform->m[0][0]);
        float rgba[4];
        D3D9::ColorChannels(color, rgba);
        glUniform4fv(m_colorLocation, 1, rgba);
        glBindVertexArray(m_vao);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
        const auto bytes = static_cast<GLsizeiptr>(size_t(count) * sizeof(D3DXVECTOR3));
        D3D9::FillArrayBuffer(&m_bufferBytes, bytes, vertices, GL_STREAM_DRAW);
        glDrawArrays(GL_LINE_STRIP, 0, static_cast<GLsizei>(count));
        glUseProgram(0);
        return D3D_OK;
    }

private:
    bool Prepare() {
        if (m_program != 0) return true;
        std::string log;
        m_program = D3D9::LinkProgram(kLineVertex, kLineFragment, &log);
        if (m_program == 0) {
            OutputDebugStringA(("lines cannot be drawn: " + log + "\n").c_str());
            return false;
        }
        m_transformLocation = glGetUniformLocation(m_program, "u_transform");
        m_colorLocation = glGetUniformLocation(m_program, "u_color");
        glGenVertexArrays(1, &m_vao);
        glGenBuffers(1, &m_buffer);
        glBindVertexArray(m_vao);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
        glEnableVertexAttribArray(D3D9::kPositionLocation);
        glVertexAttribPointer(D3D9::kPositionLocation, 3, GL_FLOAT, GL_FALSE, sizeof(D3DXVECTOR3), nullptr);
        return true;
    }

    D3D9::Device* m_device;
    GLuint m_program = 0, m_vao = 0, m_buffer = 0;
    GLsizeiptr m_bufferBytes = 0;
    GLint m_transformLocation = -1, m_colorLocation = -1;
};

}  // namespace
}  // namespace Platform::D3DX

HRESULT WINAPI D3DXCreateLine(LPDIRECT3DDEVICE9 device, LPD3DXLINE* line) {
    if (line == nullptr) return D3DERR_INVALIDCALL;
    *line = nullptr;
    Platform::D3D9::Device* gpu = Platform::D3D9::Device::From(device);
    if (gpu == nullptr) return D3DERR_INVALIDCALL;
    *line = new (std::nothrow) Platform::D3DX::Line(gpu);
    return *line != nullptr ? D3D_OK : E_OUTOFMEMORY;
}
