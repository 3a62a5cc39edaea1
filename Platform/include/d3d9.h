// Direct3D 9: the object, the device and the resource interfaces the
// application calls. The device draws with OpenGL into an off-screen
// 1024 x 768 back buffer that Present shows 1:1 in its window. Meshes and
// textures keep their data in memory and get their GPU copies when they are
// first drawn; a null device is accepted wherever a mesh or texture is made.
#pragma once

#include <d3d9types.h>

#define D3D_SDK_VERSION 32
#define D3DADAPTER_DEFAULT 0

// Flexible vertex formats: the parts of a vertex, in memory order position,
// normal, diffuse colour, texture coordinates.
#define D3DFVF_XYZ 0x002
#define D3DFVF_NORMAL 0x010
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_TEX1 0x100

#define D3DLOCK_READONLY 0x00000010L

#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020L
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040L
#define D3DDEVCAPS_HWTRANSFORMANDLIGHT 0x00010000L

#define D3DCLEAR_TARGET 0x00000001L
#define D3DCLEAR_ZBUFFER 0x00000002L
#define D3DCLEAR_STENCIL 0x00000004L

#define D3DPRESENT_INTERVAL_DEFAULT 0x00000000L
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000L

typedef DWORD D3DCOLOR;
#define D3DCOLOR_ARGB(a, r, g, b) \
    ((D3DCOLOR)((((a)&0xff) << 24) | (((r)&0xff) << 16) | (((g)&0xff) << 8) | ((b)&0xff)))
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

enum D3DFORMAT {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_D24S8 = 75,
};

enum D3DDEVTYPE { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };
enum D3DMULTISAMPLE_TYPE { D3DMULTISAMPLE_NONE = 0 };
enum D3DSWAPEFFECT { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DBACKBUFFER_TYPE { D3DBACKBUFFER_TYPE_MONO = 0 };

enum D3DRENDERSTATETYPE {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_CULLMODE = 22,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
};

enum D3DFILLMODE { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DCULL { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DZBUFFERTYPE { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };

// What DrawPrimitiveUP draws: lines only here.
enum D3DPRIMITIVETYPE { D3DPT_LINELIST = 2, D3DPT_LINESTRIP = 3 };
enum D3DTRANSFORMSTATETYPE { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3, D3DTS_WORLD = 256 };

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

// Only the capability the renderer asks about.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD DevCaps;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    UINT Width;
    UINT Height;
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct RGNDATA;

struct IDirect3DDevice9;
typedef IDirect3DDevice9* LPDIRECT3DDEVICE9;

// A picture the device rendered, read back when it is locked: rows top
// first, each pixel's bytes blue, green, red, unused (D3DFMT_X8R8G8B8).
struct IDirect3DSurface9 : public IUnknown {
    virtual HRESULT WINAPI GetDesc(D3DSURFACE_DESC* description) = 0;
    virtual HRESULT WINAPI LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT WINAPI UnlockRect() = 0;
};
typedef IDirect3DSurface9* LPDIRECT3DSURFACE9;

struct IDirect3DBaseTexture9 : public IUnknown {};
typedef IDirect3DBaseTexture9* LPDIRECT3DBASETEXTURE9;

// A texture's image, decoded to 32-bit pixels when it is made.
struct IDirect3DTexture9 : public IDirect3DBaseTexture9 {
    virtual HRESULT WINAPI GetLevelDesc(UINT level, D3DSURFACE_DESC* description) = 0;
};
typedef IDirect3DTexture9* LPDIRECT3DTEXTURE9;

// The device records state; only drawing, Clear and Present reach OpenGL.
struct IDirect3DDevice9 : public IUnknown {
    // D3DERR_DEVICELOST while the window is minimised: nobody would see the
    // frame.
    virtual HRESULT WINAPI TestCooperativeLevel() = 0;
    virtual HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT WINAPI SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT WINAPI GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT WINAPI BeginScene() = 0;
    virtual HRESULT WINAPI EndScene() = 0;
    virtual HRESULT WINAPI Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                 DWORD stencil) = 0;
    // The whole back buffer, 1:1 under the window's menu bar; the rectangles,
    // the override window and the dirty region must be null.
    virtual HRESULT WINAPI Present(const RECT* source, const RECT* destination, HWND window,
                                   const RGNDATA* dirty) = 0;
    virtual HRESULT WINAPI GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                         IDirect3DSurface9** surface) = 0;
    // A back buffer of the parameters' size (0: the window's client area,
    // written back into them), cleared to black, with every render state and
    // transform back at its default. Fails with D3DERR_INVALIDCALL, changing
    // nothing, inside a scene or for a size or format that cannot be made.
    // The fonts', lines' and effects' GPU objects live through a reset here:
    // their OnLostDevice and OnResetDevice have nothing to do.
    virtual HRESULT WINAPI Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    // The vertex format of DrawPrimitiveUP: D3DFVF_XYZ | D3DFVF_DIFFUSE
    // (a position, then a D3DCOLOR) is the one drawn here.
    virtual HRESULT WINAPI SetFVF(DWORD fvf) = 0;
    // Lines from the caller's memory, as the fixed pipeline draws them
    // unlit: each vertex taken through world, view and projection, in its
    // own colour, depth tested as the render states say. `count` is the
    // number of lines; D3DERR_INVALIDCALL outside a scene, for another
    // vertex format or primitive, or for a stride smaller than a vertex.
    virtual HRESULT WINAPI DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                           UINT stride) = 0;
};

struct IDirect3D9 : public IUnknown {
    virtual HRESULT WINAPI GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT WINAPI CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                           D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT WINAPI GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // A windowed device of 1024 x 768 or any other back-buffer size, with a
    // 24-bit depth and 8-bit stencil buffer, on a live window.
    virtual HRESULT WINAPI CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                        D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
};
typedef IDirect3D9* LPDIRECT3D9;

// Null for any other SDK version.
IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion);
