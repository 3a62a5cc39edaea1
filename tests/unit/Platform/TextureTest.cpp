#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "TestSupport.h"
#include "d3dx9/texture/Texture.h"

namespace {

using namespace VorelTest;
namespace fs = std::filesystem;

std::string DdsHeader(uint32_t width, uint32_t height, const char* fourCc, uint32_t bits, uint32_t flags,
                      const uint32_t masks[4]) {
    std::string h(128, '\0');
    std::memcpy(h.data(), "DDS ", 4);
    const uint32_t size = 124;
    std::memcpy(h.data() + 4, &size, 4);
    std::memcpy(h.data() + 12, &height, 4);
    std::memcpy(h.data() + 16, &width, 4);
    std::memcpy(h.data() + 80, &flags, 4);
    if (fourCc) std::memcpy(h.data() + 84, fourCc, 4);
    std::memcpy(h.data() + 88, &bits, 4);
    if (masks) std::memcpy(h.data() + 92, masks, 16);
    return h;
}

TEST(Dds, DecodesDxt1Dxt5AndUncompressedPixels) {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    std::string error;

    // DXT1: red and blue endpoints, texel 0 = red, texel 1 = blue, texel 2 =
    // two thirds red.
    std::string dxt1 = DdsHeader(4, 4, "DXT1", 0, 0x4, nullptr);
    const uint16_t red = 0xF800, blue = 0x001F;
    const uint32_t indices = 0 | (1 << 2) | (2 << 4);
    dxt1.append(reinterpret_cast<const char*>(&red), 2).append(reinterpret_cast<const char*>(&blue), 2);
    dxt1.append(reinterpret_cast<const char*>(&indices), 4);
    ASSERT_TRUE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(dxt1.data()), dxt1.size(), &w, &h,
                                          &rgba, &error))
        << error;
    EXPECT_EQ(w, 4u);
    EXPECT_EQ(std::vector<uint8_t>(rgba.begin(), rgba.begin() + 12),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255, 170, 0, 85, 255}));

    // DXT5: alpha endpoints 255 and 0, texel 0 takes alpha index 1 (0).
    std::string dxt5 = DdsHeader(4, 4, "DXT5", 0, 0x4, nullptr);
    const uint8_t alpha[8] = {255, 0, 1, 0, 0, 0, 0, 0};
    dxt5.append(reinterpret_cast<const char*>(alpha), 8);
    dxt5.append(reinterpret_cast<const char*>(&red), 2).append(reinterpret_cast<const char*>(&blue), 2);
    dxt5.append(reinterpret_cast<const char*>(&indices), 4);
    ASSERT_TRUE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(dxt5.data()), dxt5.size(), &w, &h,
                                          &rgba, &error))
        << error;
    EXPECT_EQ(rgba[3], 0);
    EXPECT_EQ(rgba[7], 255);

    // 32-bit BGRA.
    const uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    std::string raw = DdsHeader(1, 1, nullptr, 32, 0x41, masks);
    const uint32_t pixel = 0x80102030;
    raw.append(reinterpret_cast<const char*>(&pixel), 4);
    ASSERT_TRUE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), &w, &h,
                                          &rgba, &error))
        << error;
    EXPECT_EQ(rgba, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80}));

    // Cut short, or impossibly large: refused.
    EXPECT_FALSE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(dxt1.data()), dxt1.size() - 1, &w,
                                           &h, &rgba, &error));
    const std::string huge = DdsHeader(100000, 100000, "DXT1", 0, 0x4, nullptr);
    EXPECT_FALSE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(huge.data()), huge.size(), &w, &h,
                                           &rgba, &error));
    // A header of a large image with no texels after it costs no image.
    for (const std::string& bare :
         {DdsHeader(4096, 4096, "DXT1", 0, 0x4, nullptr), DdsHeader(4096, 4096, nullptr, 32, 0x41, masks)}) {
        std::vector<uint8_t> none;
        EXPECT_FALSE(Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(bare.data()), bare.size(), &w,
                                               &h, &none, &error));
        EXPECT_EQ(none.capacity(), 0u) << error;
    }
}

TEST(TextureFiles, NamesWrittenOnWindowsAreFound) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::create_directories(scratch.Path() / "Textures");
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models" / "lumen.png",
                  scratch.Path() / "Textures" / "Lumen.PNG");
    fs::current_path(scratch.Path());
    for (const char* name : {"Textures/Lumen.PNG", "textures\\lumen.png", ".\\TEXTURES\\LUMEN.png",
                             "C:\\Users\\artist\\work\\lumen.png"}) {
        SCOPED_TRACE(name);
        const std::string found = Platform::D3DX::FindFile(name);
        if (std::string(name).rfind("C:", 0) == 0) {
            EXPECT_TRUE(found.empty()) << "a folder of another machine: only the bare name here";
            continue;
        }
        EXPECT_EQ(fs::canonical(found), fs::canonical(scratch.Path() / "Textures" / "Lumen.PNG"));
    }
    fs::copy_file(scratch.Path() / "Textures" / "Lumen.PNG", scratch.Path() / "lumen.png");
    EXPECT_FALSE(Platform::D3DX::FindFile("C:\\Users\\artist\\work\\lumen.png").empty());

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(nullptr, "TEXTURES\\lumen.png", &texture), S_OK);
    D3DSURFACE_DESC description{};
    texture->GetLevelDesc(0, &description);
    EXPECT_EQ(description.Width, 64u);
    EXPECT_EQ(description.Height, 64u);
    texture->Release();

    CapturedDebugOutput out;
    std::ofstream("broken.png") << "not an image";
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "broken.png", &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "missing.png", &texture), D3DXFERR_FILENOTFOUND);
    EXPECT_NE(out.Text().find("missing.png: texture file not found"), std::string::npos) << out.Text();
}

// Headers that claim 9000 x 9000 pixels (81 million, past the limit) in a
// few bytes: refused by their size before anything is decoded.
TEST(TextureFiles, ImagesPastTheSizeLimitAreRefusedFromTheirHeader) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const uint32_t side = 9000;
    const std::string bmp = "BM" + le32(54 + 16) + le32(0) + le32(54) + le32(40) + le32(side) + le32(side) +
                            std::string("\1\0\x18\0", 4) + std::string(24, '\0') + std::string(16, '\0');
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(side) +
                            be32(side) + std::string("\x08\x06\0\0\0", 5) + be32(0) + std::string(64, '\0');
    const std::string dds = DdsHeader(side, side, "DXT1", 0, 4, nullptr) + std::string(64, '\0');
    for (const auto& [name, bytes] : {std::pair{"huge.bmp", bmp}, {"huge.png", png}, {"huge.dds", dds}}) {
        SCOPED_TRACE(name);
        std::ofstream(name, std::ios::binary) << bytes;
        CapturedDebugOutput out;
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, name, &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        EXPECT_NE(out.Text().find(std::string(name) + ": cannot be read as a texture"), std::string::npos);
        EXPECT_NE(out.Text().find("9000 x 9000"), std::string::npos) << out.Text();
    }
    // Within the limit, but more pixels than any compression gets into the
    // file's few bytes: a damaged header, refused before 64 MB are made (a
    // 55-byte BMP of 5 million by 4 pixels, found by fuzzing, took seconds).
    std::string tga("\0\0\x02\0\0\0\0\0\0\0\0\0", 12);
    tga += std::string("\xA0\x0F\xA0\x0F\x20\x08", 6) + std::string(64, '\0');  // 4000 x 4000, 32 bits
    std::ofstream("claims.tga", std::ios::binary) << tga;
    CapturedDebugOutput out;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "claims.tga", &texture), D3DXERR_INVALIDDATA);
    EXPECT_NE(out.Text().find("4000 x 4000 pixels, more than a file of 82 bytes holds"), std::string::npos)
        << out.Text();
}

}  // namespace
