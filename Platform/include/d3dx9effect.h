// D3DX 9's effects over GLSL, read from an effect file of this platform's
// own format (Assets/Shaders/README.md): parameters, techniques of passes,
// and the GLSL stages the passes link.
#pragma once

#include <d3dx9core.h>

typedef const char* D3DXHANDLE;

#define D3DXSHADER_DEBUG (1 << 0)

struct D3DXMACRO;
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;
struct ID3DXEffectPool;
typedef ID3DXEffectPool* LPD3DXEFFECTPOOL;

// Parameters hold their values in the effect: a setter stores, BeginPass
// and CommitChanges upload what changed to the pass's program, so a value
// set between two CommitChanges reaches the next draw. A matrix parameter
// acts on a row vector as v · M when the GLSL writes M * v.
struct ID3DXEffect : public IUnknown {
    // Null when there is no such technique or parameter.
    virtual D3DXHANDLE WINAPI GetTechniqueByName(LPCSTR name) = 0;
    // Parameters have no members here: the parent must be null.
    virtual D3DXHANDLE WINAPI GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
    virtual HRESULT WINAPI SetTechnique(D3DXHANDLE technique) = 0;
    // At most the parameter's size is copied.
    virtual HRESULT WINAPI SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) = 0;
    virtual HRESULT WINAPI SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT WINAPI SetInt(D3DXHANDLE parameter, INT value) = 0;
    virtual HRESULT WINAPI SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT WINAPI SetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9 texture) = 0;
    virtual HRESULT WINAPI Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT WINAPI BeginPass(UINT pass) = 0;
    virtual HRESULT WINAPI CommitChanges() = 0;
    virtual HRESULT WINAPI EndPass() = 0;
    virtual HRESULT WINAPI End() = 0;
    // Around the device's Reset; the effect's programs and values survive
    // it, so both just succeed.
    virtual HRESULT WINAPI OnLostDevice() = 0;
    virtual HRESULT WINAPI OnResetDevice() = 0;
};
typedef ID3DXEffect* LPD3DXEFFECT;

// Compiles and links every pass. Compiler and linker messages, and what is
// wrong with the file, come back in `errors` as text naming the file and
// line; `errors` may be null.
HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName, const D3DXMACRO* defines,
                                         LPD3DXINCLUDE include, DWORD flags, LPD3DXEFFECTPOOL pool,
                                         LPD3DXEFFECT* effect, LPD3DXBUFFER* errors);
#define D3DXCreateEffectFromFile D3DXCreateEffectFromFileA
