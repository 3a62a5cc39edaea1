#include <d3dx9.h>
#include <gtest/gtest.h>
#include <vorelnotes.h>

#include <cstring>

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

// The pixels of a DDS file, or nothing (with a capacity of 0) when it is
// refused.
std::vector<uint8_t> Dds(const std::string& file) {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    std::string error;
    Platform::D3DX::DecodeDds(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &w, &h, &rgba,
                              &error);
    return rgba;
}

TEST(Dds, DecodesDxt1Dxt5AndUncompressedPixels) {
    // Red and blue endpoints, texel 0 = red, texel 1 = blue, texel 2 = two
    // thirds red; DXT5's alpha endpoints 255 and 0, texel 0 taking index 1.
    const std::string colours("\x00\xF8\x1F\x00\x24\x00\x00\x00", 8);
    const std::string dxt1 = DdsHeader(4, 4, "DXT1", 0, 0x4, nullptr) + colours;
    const auto red = Dds(dxt1);
    ASSERT_EQ(red.size(), 64u);
    EXPECT_EQ(std::vector<uint8_t>(red.begin(), red.begin() + 12),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255, 170, 0, 85, 255}));
    const auto dxt5 =
        Dds(DdsHeader(4, 4, "DXT5", 0, 0x4, nullptr) + std::string("\xFF\0\1\0\0\0\0\0", 8) + colours);
    ASSERT_EQ(dxt5.size(), 64u);
    EXPECT_EQ(dxt5[3], 0);
    EXPECT_EQ(dxt5[7], 255);
    const uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    EXPECT_EQ(Dds(DdsHeader(1, 1, nullptr, 32, 0x41, masks) + "\x30\x20\x10\x80"),
              (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80}))
        << "32-bit BGRA";
    // Cut short, impossibly large, or a large image's header without its
    // texels: refused, and no image made.
    for (const std::string& refused :
         {dxt1.substr(0, dxt1.size() - 1), DdsHeader(100000, 100000, "DXT1", 0, 0x4, nullptr),
          DdsHeader(4096, 4096, "DXT1", 0, 0x4, nullptr), DdsHeader(4096, 4096, nullptr, 32, 0x41, masks)})
        EXPECT_EQ(Dds(refused).capacity(), 0u);
}

// Found in the folder given (the current one, for the texture loader).
TEST(TextureFiles, NamesWrittenOnWindowsAreFound) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    const fs::path folder = scratch.Path(), file = folder / "Textures" / "Lumen.PNG";
    fs::create_directories(folder / "Textures");
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "Assets" / "Models" / "lumen.png", file);
    for (const char* name : {"Textures/Lumen.PNG", "textures\\lumen.png", ".\\TEXTURES\\LUMEN.png"})
        EXPECT_EQ(fs::canonical(Platform::D3DX::FindFile(name, folder)), fs::canonical(file)) << name;
    const char* elsewhere = "C:\\Users\\artist\\work\\lumen.png";
    EXPECT_TRUE(Platform::D3DX::FindFile(elsewhere, folder).empty()) << "a folder of another machine";
    fs::copy_file(file, folder / "lumen.png");
    EXPECT_EQ(fs::canonical(Platform::D3DX::FindFile(elsewhere, folder)), fs::canonical(folder / "lumen.png"))
        << "its bare name here";
    fs::current_path(folder);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(nullptr, "TEXTURES\\lumen.png", &texture), S_OK);
    D3DSURFACE_DESC description{};
    texture->GetLevelDesc(0, &description);
    EXPECT_EQ(description.Width, 64u);
    EXPECT_EQ(description.Height, 64u);
    texture->Release();

    CapturedDebugOutput out;
    UINT64 position = 0;
    EXPECT_EQ(VorelReadNotes(&position, nullptr, nullptr), S_OK);
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "missing.png", &texture), D3DXFERR_FILENOTFOUND);
    EXPECT_NE(out.Text().find("missing.png: texture file not found"), std::string::npos) << out.Text();

    // The notes of that search and of one that finds its file: every place
    // looked at, where it was found, the trace line.
    ASSERT_EQ(D3DXCreateTextureFromFileA(nullptr, "sub\\LUMEN.png", &texture), S_OK);
    texture->Release();
    std::vector<std::string> notes;
    const auto gather = [](void* to, VOREL_NOTE_KIND kind, LPCSTR subject, LPCSTR text) {
        static_cast<std::vector<std::string>*>(to)->push_back(std::to_string(kind) + " " + subject + " " +
                                                              text);
    };
    EXPECT_EQ(VorelReadNotes(&position, gather, &notes), S_OK);
    const std::string here = fs::current_path().string();
    EXPECT_EQ(
        notes,
        (std::vector<std::string>{
            "2 missing.png " + here + "/missing.png", "1  missing.png: texture file not found",
            "2 sub\\LUMEN.png " + here + "/sub\\LUMEN.png", "2 sub\\LUMEN.png " + here + "/sub/LUMEN.png",
            "2 sub\\LUMEN.png " + here + "/lumen.png", "3 sub\\LUMEN.png " + here + "/lumen.png"}));
    notes.clear();
    EXPECT_EQ(VorelReadNotes(&position, gather, &notes), S_OK);
    EXPECT_TRUE(notes.empty()) << "read once";
    const UINT64 before = position;
    for (int i = 0; i < 5000; ++i)
        OutputDebugStringA("a\n\nb\n");
    EXPECT_EQ(VorelReadNotes(&position, gather, &notes), S_FALSE) << "the oldest are gone";
    EXPECT_EQ(position, before + 10000) << "a note a line, none for an empty one";
    EXPECT_EQ(notes.size(), 4096u);
    EXPECT_EQ(VorelReadNotes(nullptr, nullptr, nullptr), E_POINTER);
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
        WriteFile(name, bytes);
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
    WriteFile("claims.tga", tga);
    CapturedDebugOutput out;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "claims.tga", &texture), D3DXERR_INVALIDDATA);
    EXPECT_NE(out.Text().find("4000 x 4000 pixels, more than a file of 82 bytes holds"), std::string::npos)
        << out.Text();
}

}  // namespace
