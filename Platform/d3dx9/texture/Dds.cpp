#include <cstring>

#include "d3dx9/LittleEndian.h"
#include "d3dx9/texture/Texture.h"

namespace Platform::D3DX {
namespace {

constexpr uint32_t kFourCcFlag = 0x4;
constexpr uint32_t kAlphaFlag = 0x1;
// Larger than any texture a model ships: the pixel buffer is sized from it.
constexpr uint32_t kMaxSide = 16384;

void Rgb565(uint16_t c, uint8_t* out) {
    out[0] = static_cast<uint8_t>(((c >> 11) & 31) * 255 / 31);
    out[1] = static_cast<uint8_t>(((c >> 5) & 63) * 255 / 63);
    out[2] = static_cast<uint8_t>((c & 31) * 255 / 31);
    out[3] = 255;
}

// The colour half of a DXT block into 16 RGBA texels. DXT1 with c0 <= c1
// has three colours and transparent black; the other forms always four.
void ColourBlock(const uint8_t* block, bool dxt1, uint8_t texels[16][4]) {
    const uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    uint8_t palette[4][4];
    Rgb565(c0, palette[0]);
    Rgb565(c1, palette[1]);
    for (int k = 0; k < 3; ++k) {
        if (!dxt1 || c0 > c1) {
            palette[2][k] = static_cast<uint8_t>((2 * palette[0][k] + palette[1][k]) / 3);
            palette[3][k] = static_cast<uint8_t>((palette[0][k] + 2 * palette[1][k]) / 3);
        } else {
            palette[2][k] = static_cast<uint8_t>((palette[0][k] + palette[1][k]) / 2);
            palette[3][k] = 0;
        }
    }
    palette[2][3] = 255;
    palette[3][3] = (!dxt1 || c0 > c1) ? 255 : 0;
    const uint32_t bits = Read32(block + 4);
    for (int i = 0; i < 16; ++i)
        std::memcpy(texels[i], palette[(bits >> (2 * i)) & 3], 4);
}

}  // namespace

bool DecodeDds(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* rgba, std::string* error) {
    if (size < 128 || std::memcmp(data, "DDS ", 4) != 0 || Read32(data + 4) != 124) {
        *error = "not a DDS image";
        return false;
    }
    const uint32_t h = Read32(data + 12), w = Read32(data + 16);
    const uint32_t pfFlags = Read32(data + 80), fourCc = Read32(data + 84), bits = Read32(data + 88);
    const uint32_t masks[4] = {Read32(data + 92), Read32(data + 96), Read32(data + 100), Read32(data + 104)};
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide || uint64_t(w) * h > kMaxTexturePixels) {
        *error = "a DDS image of " + std::to_string(w) + " x " + std::to_string(h) + " texels";
        return false;
    }
    const uint8_t* pixels = data + 128;
    const size_t available = size - 128;
    // The image is made only once the file is known to hold its texels: a
    // header alone must not cost the memory of the image it claims.

    if (pfFlags & kFourCcFlag) {
        int kind = 0;
        if (std::memcmp(&fourCc, "DXT1", 4) == 0)
            kind = 1;
        else if (std::memcmp(&fourCc, "DXT3", 4) == 0)
            kind = 3;
        else if (std::memcmp(&fourCc, "DXT5", 4) == 0)
            kind = 5;
        if (kind == 0) {
            *error = "a DDS compression other than DXT1, DXT3 and DXT5";
            return false;
        }
        const size_t blockSize = kind == 1 ? 8 : 16;
        const size_t blocksWide = (w + 3) / 4, blocksHigh = (h + 3) / 4;
        if (blocksWide * blocksHigh * blockSize > available) {
            *error = "a DDS image cut short";
            return false;
        }
        rgba->assign(size_t(w) * h * 4, 0);
        for (size_t by = 0; by < blocksHigh; ++by)
            for (size_t bx = 0; bx < blocksWide; ++bx) {
                const uint8_t* block = pixels + (by * blocksWide + bx) * blockSize;
                uint8_t texels[16][4];
                ColourBlock(kind == 1 ? block : block + 8, kind == 1, texels);
                if (kind == 3) {
                    for (int i = 0; i < 16; ++i)
                        texels[i][3] = static_cast<uint8_t>(((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
                } else if (kind == 5) {
                    uint8_t alpha[8] = {block[0], block[1]};
                    for (int k = 2; k < 8; ++k) {
                        if (alpha[0] > alpha[1])
                            alpha[k] = static_cast<uint8_t>(((8 - k) * alpha[0] + (k - 1) * alpha[1]) / 7);
                        else if (k < 6)
                            alpha[k] = static_cast<uint8_t>(((6 - k) * alpha[0] + (k - 1) * alpha[1]) / 5);
                        else
                            alpha[k] = k == 6 ? 0 : 255;
                    }
                    uint64_t indices = 0;
                    for (int k = 0; k < 6; ++k)
                        indices |= uint64_t(block[2 + k]) << (8 * k);
                    for (int i = 0; i < 16; ++i)
                        texels[i][3] = alpha[(indices >> (3 * i)) & 7];
                }
                for (int i = 0; i < 16; ++i) {
                    const size_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < w && y < h) std::memcpy(rgba->data() + (y * w + x) * 4, texels[i], 4);
                }
            }
    } else if (bits == 32 || bits == 24) {
        const size_t bytes = bits / 8;
        if (size_t(w) * h * bytes > available) {
            *error = "a DDS image cut short";
            return false;
        }
        rgba->assign(size_t(w) * h * 4, 0);
        // Each channel from its mask: shift to the lowest set bit.
        const auto channel = [](uint32_t value, uint32_t mask) -> uint8_t {
            if (mask == 0) return 255;
            int shift = 0;
            while (((mask >> shift) & 1) == 0)
                ++shift;
            const uint32_t max = mask >> shift;
            return static_cast<uint8_t>(uint64_t((value & mask) >> shift) * 255 / max);
        };
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            uint32_t value = 0;
            std::memcpy(&value, pixels + i * bytes, bytes);
            uint8_t* out = rgba->data() + i * 4;
            for (int k = 0; k < 3; ++k)
                out[k] = channel(value, masks[k]);
            out[3] = (pfFlags & kAlphaFlag) ? channel(value, masks[3]) : 255;
        }
    } else {
        *error = "a DDS pixel format of " + std::to_string(bits) + " bits";
        return false;
    }
    *width = w;
    *height = h;
    return true;
}

}  // namespace Platform::D3DX
