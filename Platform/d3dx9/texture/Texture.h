#pragma once

#include <d3d9.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RefCounted.h"
#include "d3d9/DeviceServices.h"

namespace Platform::D3DX {

// A texture's top level as 8-bit RGBA rows, top row first. The GPU copy is
// made when it is first drawn.
class Texture final : public RefCounted<IDirect3DTexture9> {
public:
    Texture(uint32_t width, uint32_t height, std::vector<uint8_t> rgba)
        : m_width(width), m_height(height), m_rgba(std::move(rgba)) {}
    HRESULT WINAPI GetLevelDesc(UINT level, D3DSURFACE_DESC* description) override;

    const std::vector<uint8_t>& Pixels() const { return m_rgba; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    std::unique_ptr<D3D9::GpuObject>& Gpu() { return m_gpu; }

private:
    uint32_t m_width, m_height;
    std::vector<uint8_t> m_rgba;
    std::unique_ptr<D3D9::GpuObject> m_gpu;
};

// The largest image decoded, in pixels (256 MiB of RGBA).
constexpr uint64_t kMaxTexturePixels = uint64_t(1) << 26;

// Whether a file of `fileBytes` can hold an image of `pixels`: at most the
// texture limit, and at most what the best compression gives (deflate
// shrinks at most 1032 to 1, and a 1-bit image holds 8 pixels a byte). A
// header that claims more is a damaged file, which would otherwise cost
// time and memory out of proportion to its size.
constexpr bool PlausibleImageSize(uint64_t pixels, uint64_t fileBytes) {
    return pixels <= kMaxTexturePixels && pixels <= fileBytes * 8 * 1032;
}

// Decodes a JPEG image to RGBA; false with `error` set when libjpeg cannot.
bool DecodeJpeg(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                std::vector<uint8_t>* rgba, std::string* error);

// Decodes a DDS image (uncompressed 24/32-bit, or DXT1/3/5) to RGBA; false
// with `error` set when it is not one it can read.
bool DecodeDds(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* rgba, std::string* error);

// The file a texture name means, relative to `folder` (the current folder
// when it is empty): as written, with backslashes as folder separators,
// each part matched without regard to letter case, and last the bare file
// name in that folder. Empty when none exists. `tried`, when given, gets
// each place looked at, made whole.
std::string FindFile(const std::string& name, const std::string& folder = {},
                     std::vector<std::string>* tried = nullptr);

}  // namespace Platform::D3DX
