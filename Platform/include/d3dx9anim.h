// D3DX 9's frame hierarchy records.
#pragma once

#include <d3dx9math.h>

struct D3DXMESHCONTAINER;
typedef D3DXMESHCONTAINER* LPD3DXMESHCONTAINER;

struct D3DXFRAME {
    LPSTR Name;
    D3DXMATRIX TransformationMatrix;
    LPD3DXMESHCONTAINER pMeshContainer;
    D3DXFRAME* pFrameSibling;
    D3DXFRAME* pFrameFirstChild;
};
typedef D3DXFRAME* LPD3DXFRAME;

// A frame of the tree below and beside root (each frame before its
// children, its children before its siblings) named exactly so; null when
// none is. Unnamed frames
// match no name. The tree is walked without recursion, so its depth is not
// limited by the stack.
LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* root, LPCSTR name);
