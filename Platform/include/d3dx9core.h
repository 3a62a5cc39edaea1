// D3DX 9's buffers, fonts and lines.
#pragma once

#include <d3d9.h>
#include <d3dx9math.h>

struct ID3DXBuffer : public IUnknown {
    virtual LPVOID WINAPI GetBufferPointer() = 0;
    virtual DWORD WINAPI GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// Sprites are not drawn here: a font draws with its own batch, and the
// sprite passed to DrawTextA must be null.
struct ID3DXSprite;
typedef ID3DXSprite* LPD3DXSPRITE;

// Text in one face at a fixed height, drawn crisp, pixel for pixel. Faces
// resolve to the metric-compatible Liberation fonts ("Arial" to Liberation
// Sans, "Times New Roman" to Serif, "Courier New" to Mono; any other face to
// Sans), bold from weight 600 on.
struct ID3DXFont : public IUnknown {
    // Draws `text` (`count` bytes, or up to its terminating null when -1) in
    // `rect`, one line per line break; a tab is one space wide. Returns the
    // text's height, 0 on failure. With DT_CALCRECT nothing is drawn and
    // `rect` becomes the rectangle the text occupies, keeping the edges the
    // alignment names: (1024, 768) with DT_RIGHT | DT_BOTTOM gives a
    // rectangle whose bottom-right corner is (1024, 768).
    virtual INT WINAPI DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect, DWORD format,
                                 D3DCOLOR color) = 0;
    // Around the device's Reset; the font survives it, so both just succeed.
    virtual HRESULT WINAPI OnLostDevice() = 0;
    virtual HRESULT WINAPI OnResetDevice() = 0;
};
typedef ID3DXFont* LPD3DXFONT;
#define DrawText DrawTextA

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight, UINT mipLevels,
                               BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                               DWORD pitchAndFamily, LPCSTR faceName, LPD3DXFONT* font);
#define D3DXCreateFont D3DXCreateFontA

// One-pixel lines, depth-tested as the device's render state says.
struct ID3DXLine : public IUnknown {
    // A strip through `count` points, each taken as (x, y, z, 1) times
    // `transform` into clip space.
    virtual HRESULT WINAPI DrawTransform(const D3DXVECTOR3* vertices, DWORD count,
                                         const D3DXMATRIX* transform, D3DCOLOR color) = 0;
    // Around the device's Reset; the line survives it, so both just succeed.
    virtual HRESULT WINAPI OnLostDevice() = 0;
    virtual HRESULT WINAPI OnResetDevice() = 0;
};
typedef ID3DXLine* LPD3DXLINE;

HRESULT WINAPI D3DXCreateLine(LPDIRECT3DDEVICE9 device, LPD3DXLINE* line);
