#include "Pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Singletons.h"
#include "cApplication.h"
#include "cGraphicsManager.h"
#include "cWindow.h"
#include "win32/AssetFolder.h"

namespace VorelTools {

bool StartGraphics(const char* tool, int width, int height) {
    std::error_code ec;
    const std::string assets = Platform::FindOwnAssetFolder();
    if (!assets.empty()) std::filesystem::current_path(assets, ec);
    if (assets.empty() || ec) {
        std::fprintf(stderr, "%s: cannot find the viewer's Assets folder\n", tool);
        return false;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    static char module;
    Vorel::cWindow* window = Vorel::cWindow::Instance();
    if (!window->Init(reinterpret_cast<HINSTANCE>(&module), "Vorel - Penwick - Lumen1")) return false;
    window->Show(SW_SHOWNORMAL);
    Vorel::CreateSingletons();
    if (!Vorel::cApplication::Instance()->Init() ||
        ((width != 1024 || height != 768) &&
         !Vorel::cGraphicsManager::Instance()->Resize(static_cast<UINT>(width), static_cast<UINT>(height)))) {
        std::fprintf(stderr, "%s: the graphics could not start at %d x %d\n", tool, width, height);
        StopGraphics();
        return false;
    }
    return true;
}

void StopGraphics() {
    Vorel::DestroySingletons();
    Vorel::cWindow::Destroy();
}

bool ReadBack(LPDIRECT3DDEVICE9 device, int* width, int* height, std::vector<unsigned char>* pixels) {
    LPDIRECT3DSURFACE9 surface = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) return false;
    D3DSURFACE_DESC description{};
    surface->GetDesc(&description);
    *width = static_cast<int>(description.Width);
    *height = static_cast<int>(description.Height);
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        surface->Release();
        return false;
    }
    pixels->resize(size_t(*width) * *height * 3);
    for (int y = 0; y < *height; ++y) {
        const auto* row = static_cast<const unsigned char*>(locked.pBits) + size_t(y) * locked.Pitch;
        unsigned char* out = pixels->data() + size_t(y) * *width * 3;
        for (int x = 0; x < *width; ++x)
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = row[x * 4 + 2 - c];  // BGRA
    }
    surface->UnlockRect();
    surface->Release();
    return true;
}

std::vector<unsigned char> Unmix(const std::vector<unsigned char>& black,
                                 const std::vector<unsigned char>& white) {
    std::vector<unsigned char> rgba(black.size() / 3 * 4);
    for (size_t p = 0; p < black.size() / 3; ++p) {
        int through = 0;
        for (int c = 0; c < 3; ++c)
            through = std::max(through, int(white[p * 3 + c]) - int(black[p * 3 + c]));
        const int alpha = 255 - std::clamp(through, 0, 255);
        for (int c = 0; c < 3; ++c)
            rgba[p * 4 + c] =
                alpha == 0 ? 0 : static_cast<unsigned char>(std::min(255, black[p * 3 + c] * 255 / alpha));
        rgba[p * 4 + 3] = static_cast<unsigned char>(alpha);
    }
    return rgba;
}

std::pair<int, int> ShrunkSize(int width, int height, int size) {
    if (size <= 0 || size >= std::max(width, height)) return {width, height};
    const double scale = static_cast<double>(size) / std::max(width, height);
    return {std::max(1, static_cast<int>(width * scale)), std::max(1, static_cast<int>(height * scale))};
}

std::vector<unsigned char> Shrink(const std::vector<unsigned char>& pixels, int width, int height,
                                  int channels, int size) {
    const auto [w, h] = ShrunkSize(width, height, size);
    if (w == width && h == height) return pixels;
    std::vector<unsigned char> out(size_t(w) * h * channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = x * width / w, x1 = (x + 1) * width / w, y0 = y * height / h,
                      y1 = (y + 1) * height / h;
            unsigned sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < channels; ++c)
                        sum[c] += pixels[(size_t(sy) * width + sx) * channels + c];
            const unsigned count = static_cast<unsigned>((x1 - x0) * (y1 - y0));
            for (int c = 0; c < channels; ++c)
                out[(size_t(y) * w + x) * channels + c] =
                    static_cast<unsigned char>((sum[c] + count / 2) / count);
        }
    return out;
}

}  // namespace VorelTools
