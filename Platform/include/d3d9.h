// Direct3D 9: the device and resource interfaces the application calls.
// Meshes and textures keep their data in memory; the device that draws them
// comes with the renderer, and a null device is accepted wherever one is
// passed.
#pragma once

#include <d3d9types.h>

struct IDirect3DDevice9;
typedef IDirect3DDevice9* LPDIRECT3DDEVICE9;

// Flexible vertex formats: the parts of a vertex, in memory order position,
// normal, diffuse colour, texture coordinates.
#define D3DFVF_XYZ 0x002
#define D3DFVF_NORMAL 0x010
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_TEX1 0x100

#define D3DLOCK_READONLY 0x00000010L

typedef DWORD D3DCOLOR;

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

enum D3DFORMAT { D3DFMT_UNKNOWN = 0, D3DFMT_A8R8G8B8 = 21 };

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    UINT Width;
    UINT Height;
};

// A texture's image, decoded to 32-bit pixels when it is made.
struct IDirect3DTexture9 : public IUnknown {
    virtual HRESULT WINAPI GetLevelDesc(UINT level, D3DSURFACE_DESC* description) = 0;
};
typedef IDirect3DTexture9* LPDIRECT3DTEXTURE9;
