// ID3DXEffect over GLSL programs: one program per pass, linked when the
// effect is made; parameter values kept here and uploaded by BeginPass and
// CommitChanges.
#include <d3dx9effect.h>
#include <d3dx9xof.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "RefCounted.h"
#include "d3d9/Device.h"
#include "d3d9/Gl.h"
#include "d3dx9/effect/EffectFile.h"
#include "d3dx9/texture/Texture.h"

namespace Platform::D3DX {
namespace {

class Buffer final : public RefCounted<ID3DXBuffer> {
public:
    explicit Buffer(std::string text) : m_text(std::move(text)) {}
    LPVOID WINAPI GetBufferPointer() override { return m_text.data(); }
    DWORD WINAPI GetBufferSize() override { return static_cast<DWORD>(m_text.size() + 1); }

private:
    std::string m_text;  // with its terminating null, as compiler messages come
};

struct Parameter {
    EffectParameter declared;
    std::array<float, 16> values{};
    int intValue = 0;
    LPDIRECT3DBASETEXTURE9 texture = nullptr;  // held
    GLint unit = -1;                           // texture unit, for a texture
    bool dirty = true;
};

struct Pass {
    GLuint program = 0;
    std::vector<GLint> locations;  // by parameter; -1 where the program does not use it
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
};

class Effect final : public RefCounted<ID3DXEffect> {
public:
    HRESULT WINAPI OnLostDevice() override { return D3D_OK; }
    HRESULT WINAPI OnResetDevice() override { return D3D_OK; }

    Effect(D3D9::Device* device, const EffectDescription& description) : m_device(device) {
        m_device->AddRef();
        GLint unit = 0;
        for (const EffectParameter& p : description.parameters) {
            Parameter parameter{p, p.defaults};
            parameter.intValue = static_cast<int>(p.defaults[0]);
            if (p.type == ParameterType::Texture) parameter.unit = unit++;
            m_parameters.push_back(parameter);
        }
    }
    ~Effect() override {
        for (Parameter& p : m_parameters)
            if (p.texture != nullptr) p.texture->Release();
        if (m_device->MakeCurrent())
            for (Technique& t : m_techniques)
                for (Pass& pass : t.passes)
                    glDeleteProgram(pass.program);
        m_device->Release();
    }

    // Links every pass; false with the messages in `log`.
    bool Link(const EffectDescription& description, const std::string& fileName, std::string* log) {
        for (const EffectTechnique& t : description.techniques) {
            Technique technique{t.name, {}};
            for (const EffectPass& p : t.passes) {
                std::string messages;
                const GLuint program = D3D9::LinkProgram(
                    StageSource(description, description.stages[p.vertexStage]),
                    StageSource(description, description.stages[p.fragmentStage]), &messages);
                if (program == 0) {
                    *log += LocateLog(messages, fileName);
                    continue;
                }
                Pass pass{program, {}};
                for (const Parameter& parameter : m_parameters)
                    pass.locations.push_back(glGetUniformLocation(program, parameter.declared.name.c_str()));
                technique.passes.push_back(std::move(pass));
            }
            m_techniques.push_back(std::move(technique));
        }
        return log->empty();
    }

    D3DXHANDLE WINAPI GetTechniqueByName(LPCSTR name) override {
        if (name == nullptr) return nullptr;
        for (Technique& t : m_techniques)
            if (t.name == name) return reinterpret_cast<D3DXHANDLE>(&t);
        return nullptr;
    }
    D3DXHANDLE WINAPI GetParameterByName(D3DXHANDLE parent, LPCSTR name) override {
        if (parent != nullptr || name == nullptr) return nullptr;
        for (Parameter& p : m_parameters)
            if (p.declared.name == name) return reinterpret_cast<D3DXHANDLE>(&p);
        return nullptr;
    }
    HRESULT WINAPI SetTechnique(D3DXHANDLE handle) override {
        Technique* technique = Find(m_techniques, handle);
        if (technique == nullptr || m_begun) return D3DERR_INVALIDCALL;
        m_technique = technique;
        return D3D_OK;
    }
    HRESULT WINAPI SetValue(D3DXHANDLE handle, LPCVOID data, UINT bytes) override {
        Parameter* p = Find(m_parameters, handle);
        if (p == nullptr || data == nullptr) return D3DERR_INVALIDCALL;
        if (p->declared.type == ParameterType::Texture) {
            if (bytes != sizeof(LPDIRECT3DBASETEXTURE9)) return D3DERR_INVALIDCALL;
            LPDIRECT3DBASETEXTURE9 texture;
            std::memcpy(&texture, data, sizeof texture);
            return SetTexture(handle, texture);
        }
        if (p->declared.type == ParameterType::Int) {
            if (bytes < sizeof(int)) return D3DERR_INVALIDCALL;
            std::memcpy(&p->intValue, data, sizeof(int));
        } else {
            const size_t size = ParameterFloats(p->declared.type) * sizeof(float);
            std::memcpy(p->values.data(), data, std::min<size_t>(bytes, size));
        }
        p->dirty = true;
        return D3D_OK;
    }
    HRESULT WINAPI SetMatrix(D3DXHANDLE handle, const D3DXMATRIX* matrix) override {
        Parameter* p = Find(m_parameters, handle);
        if (p == nullptr || matrix == nullptr || p->declared.type != ParameterType::Float4x4)
            return D3DERR_INVALIDCALL;
        std::memcpy(p->values.data(), &matrix->m[0][0], sizeof(float) * 16);
        p->dirty = true;
        return D3D_OK;
    }
    HRESULT WINAPI SetInt(D3DXHANDLE handle, INT value) override {
        return SetScalar(handle, value, float(value));
    }
    HRESULT WINAPI SetFloat(D3DXHANDLE handle, float value) override {
        return SetScalar(handle, static_cast<int>(value), value);
    }
    HRESULT WINAPI SetTexture(D3DXHANDLE handle, LPDIRECT3DBASETEXTURE9 texture) override {
        Parameter* p = Find(m_parameters, handle);
        if (p == nullptr || p->declared.type != ParameterType::Texture) return D3DERR_INVALIDCALL;
        if (texture != nullptr) texture->AddRef();
        if (p->texture != nullptr) p->texture->Release();
        p->texture = texture;
        p->dirty = true;
        return D3D_OK;
    }
    HRESULT WINAPI Begin(UINT* passes, DWORD) override {
        if (passes == nullptr || m_begun) return D3DERR_INVALIDCALL;
        if (m_technique == nullptr && !m_techniques.empty()) m_technique = &m_techniques.front();
        if (m_technique == nullptr) return D3DERR_INVALIDCALL;
        *passes = static_cast<UINT>(m_technique->passes.size());
        m_begun = true;
        return D3D_OK;
    }
    HRESULT WINAPI BeginPass(UINT index) override {
        if (!m_begun || m_pass != nullptr || index >= m_technique->passes.size()) return D3DERR_INVALIDCALL;
        if (!m_device->MakeCurrent()) return D3DERR_DEVICELOST;
        m_pass = &m_technique->passes[index];
        m_device->UseProgram(m_pass->program);
        Upload(true);
        return D3D_OK;
    }
    HRESULT WINAPI CommitChanges() override {
        if (m_pass == nullptr) return D3DERR_INVALIDCALL;
        if (!m_device->MakeCurrent()) return D3DERR_DEVICELOST;
        Upload(false);
        return D3D_OK;
    }
    HRESULT WINAPI EndPass() override {
        if (m_pass == nullptr) return D3DERR_INVALIDCALL;
        m_pass = nullptr;
        if (m_device->MakeCurrent()) m_device->UseProgram(0);
        return D3D_OK;
    }
    HRESULT WINAPI End() override {
        if (!m_begun || m_pass != nullptr) return D3DERR_INVALIDCALL;
        m_begun = false;
        return D3D_OK;
    }

private:
    // An int or a float parameter takes either, converted as C++ converts.
    HRESULT SetScalar(D3DXHANDLE handle, int asInt, float asFloat) {
        Parameter* p = Find(m_parameters, handle);
        if (p == nullptr) return D3DERR_INVALIDCALL;
        if (p->declared.type == ParameterType::Int)
            p->intValue = asInt;
        else if (p->declared.type == ParameterType::Float)
            p->values[0] = asFloat;
        else
            return D3DERR_INVALIDCALL;
        p->dirty = true;
        return D3D_OK;
    }

    // A handle is the address of one of ours; anything else is no handle.
    template <class T>
    static T* Find(std::vector<T>& items, D3DXHANDLE handle) {
        for (T& item : items)
            if (reinterpret_cast<D3DXHANDLE>(&item) == handle) return &item;
        return nullptr;
    }

    // Every parameter for a new pass; what changed since, for a commit.
    void Upload(bool all) {
        for (size_t i = 0; i < m_parameters.size(); ++i) {
            Parameter& p = m_parameters[i];
            if (!all && !p.dirty) continue;
            p.dirty = false;
            const GLint location = m_pass->locations[i];
            if (p.declared.type == ParameterType::Texture) {
                // A sampler with nothing bound reads black.
                glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(p.unit));
                auto* texture = dynamic_cast<Texture*>(p.texture);
                glBindTexture(GL_TEXTURE_2D, texture != nullptr ? m_device->TextureName(*texture) : 0);
                if (location >= 0) glUniform1i(location, p.unit);
                continue;
            }
            if (location < 0) continue;
            const float* v = p.values.data();
            switch (p.declared.type) {
                case ParameterType::Int:
                    glUniform1i(location, p.intValue);
                    break;
                case ParameterType::Float:
                    glUniform1f(location, v[0]);
                    break;
                case ParameterType::Float2:
                    glUniform2fv(location, 1, v);
                    break;
                case ParameterType::Float3:
                    glUniform3fv(location, 1, v);
                    break;
                case ParameterType::Float4:
                    glUniform4fv(location, 1, v);
                    break;
                // Rows as OpenGL's columns: the GLSL's M * v is v · M.
                case ParameterType::Float4x4:
                    glUniformMatrix4fv(location, 1, GL_FALSE, v);
                    break;
                case ParameterType::Texture:
                    break;
            }
        }
    }

    D3D9::Device* m_device;
    std::vector<Parameter> m_parameters;
    std::vector<Technique> m_techniques;
    Technique* m_technique = nullptr;
    Pass* m_pass = nullptr;
    bool m_begun = false;
};

HRESULT Fail(HRESULT hr, const std::string& message, LPD3DXBUFFER* errors) {
    if (errors != nullptr) *errors = new Buffer(message + "\n");
    return hr;
}

}  // namespace
}  // namespace Platform::D3DX

using namespace Platform;

HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName, const D3DXMACRO* defines,
                                         LPD3DXINCLUDE include, DWORD, LPD3DXEFFECTPOOL pool,
                                         LPD3DXEFFECT* effect, LPD3DXBUFFER* errors) {
    if (errors != nullptr) *errors = nullptr;
    if (effect == nullptr || fileName == nullptr) return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (defines != nullptr || include != nullptr || pool != nullptr)
        return D3DX::Fail(D3DERR_INVALIDCALL,
                          std::string(fileName) + ": macros, includes and pools are not read", errors);
    D3D9::Device* gpu = D3D9::Device::From(device);
    if (gpu == nullptr || !gpu->MakeCurrent()) return D3DERR_INVALIDCALL;
    try {
        FileBytes file(fileName);
        if (file.Error() != 0)
            return D3DX::Fail(D3DXFERR_FILENOTFOUND,
                              std::string(fileName) + ": " + std::strerror(file.Error()), errors);
        D3DX::EffectDescription description;
        std::string message;
        if (!D3DX::ParseEffect(file.Bytes(), fileName, &description, &message))
            return D3DX::Fail(E_FAIL, message, errors);
        auto* made = new D3DX::Effect(gpu, description);
        std::string log;
        if (!made->Link(description, fileName, &log)) {
            made->Release();
            return D3DX::Fail(E_FAIL, log, errors);
        }
        *effect = made;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
