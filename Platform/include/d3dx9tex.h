// D3DX 9's texture files: BMP, TGA, PNG, JPEG and DDS (uncompressed and
// DXT1/3/5). A name written on Windows (backslashes, another letter case,
// a folder that is not here) is looked for until the file is found.
#pragma once

#include <d3d9.h>


HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName, LPDIRECT3DTEXTURE9* texture);
