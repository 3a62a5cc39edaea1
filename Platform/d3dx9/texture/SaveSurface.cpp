// D3DXSaveSurfaceToFileA: a surface written as PNG.
#include <d3dx9tex.h>
#include <stb_image_write.h>

#include <string>
#include <vector>

HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR fileName, D3DXIMAGE_FILEFORMAT format,
                                      LPDIRECT3DSURFACE9 surface, const PALETTEENTRY* palette,
                                      const RECT* rect) {
    if (fileName == nullptr || surface == nullptr || palette != nullptr) return D3DERR_INVALIDCALL;
    if (format != D3DXIFF_PNG) return E_NOTIMPL;
    D3DSURFACE_DESC description{};
    if (FAILED(surface->GetDesc(&description))) return D3DERR_INVALIDCALL;
    const RECT whole{0, 0, static_cast<LONG>(description.Width), static_cast<LONG>(description.Height)};
    const RECT area = rect != nullptr ? *rect : whole;
    if (area.left < 0 || area.top < 0 || area.right > whole.right || area.bottom > whole.bottom ||
        area.left >= area.right || area.top >= area.bottom)
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked{};
    const HRESULT hr = surface->LockRect(&locked, &area, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
        for (int x = 0; x < width; ++x) {
            uint8_t* out = rgb.data() + (size_t(y) * width + x) * 3;
            out[0] = row[x * 4 + 2];
            out[1] = row[x * 4 + 1];
            out[2] = row[x * 4 + 0];
        }
    }
    surface->UnlockRect();
    if (stbi_write_png(fileName, width, height, 3, rgb.data(), width * 3) == 0) {
        OutputDebugStringA((std::string(fileName) + ": cannot write the picture\n").c_str());
        return E_FAIL;
    }
    return S_OK;
}
