// D3DX 9's texture files: BMP, TGA, PNG, JPEG and DDS (uncompressed and
// DXT1/3/5). A name written on Windows (backslashes, another letter case,
// a folder that is not here) is looked for until the file is found.
#pragma once

#include <d3d9.h>

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName,
                                          LPDIRECT3DTEXTURE9* texture);

enum D3DXIMAGE_FILEFORMAT { D3DXIFF_BMP = 0, D3DXIFF_JPG = 1, D3DXIFF_TGA = 2, D3DXIFF_PNG = 3 };

struct PALETTEENTRY;

// Writes the surface (or `rect` of it) as PNG; the other formats and a
// palette are not written.
HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR fileName, D3DXIMAGE_FILEFORMAT format,
                                      LPDIRECT3DSURFACE9 surface, const PALETTEENTRY* palette,
                                      const RECT* rect);
#define D3DXSaveSurfaceToFile D3DXSaveSurfaceToFileA
