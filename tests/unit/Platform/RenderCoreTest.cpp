// The parts of rendering that need no OpenGL: state translations, the
// effect file, text layout, JPEG textures and PNG pictures.
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "d3d9/GlTranslate.h"
#include "d3dx9/effect/EffectFile.h"
#include "d3dx9/font/TextLayout.h"
#include "d3dx9/texture/Texture.h"

namespace {

using namespace Platform;
namespace fs = std::filesystem;

TEST(GlTranslate, FillCullFormatsAndColours) {
    EXPECT_EQ(D3D9::PolygonMode(0), 0u) << "the fill modes are drawn in the render tests";
    EXPECT_EQ(D3D9::PolygonMode(4), 0u);
    // Clockwise is the front; D3DCULL_CCW removes the back faces.
    EXPECT_EQ(D3D9::kFrontFace, D3D9::Gl::kCw);
    EXPECT_EQ(D3D9::CulledFace(D3DCULL_CCW), D3D9::Gl::kBack);
    EXPECT_EQ(D3D9::CulledFace(D3DCULL_CW), D3D9::Gl::kFront);
    EXPECT_EQ(D3D9::CulledFace(D3DCULL_NONE), 0u);
    EXPECT_EQ(D3D9::ColorFormat(D3DFMT_D24S8), 0u) << "no colour format from a depth one";
    EXPECT_EQ(D3D9::DepthFormat(D3DFMT_X8R8G8B8), 0u);
    float rgba[4];
    D3D9::ColorChannels(0xFF000032, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 0);
    EXPECT_FLOAT_EQ(rgba[2], 50.0f / 255.0f);
    EXPECT_FLOAT_EQ(rgba[3], 1);
    // D3DXCOLOR's channels saturate (255 is 1) and round; a NaN is 0.
    EXPECT_EQ(DWORD(D3DXCOLOR(255, 255, 255, 255)), 0xFFFFFFFFu);
    EXPECT_EQ(DWORD(D3DXCOLOR(0.5f, -3, 1, NAN)), 0x008000FFu);
    EXPECT_EQ(DWORD(D3DXCOLOR(0, 0, 0.2f, 1)), 0xFF000033u);
}

TEST(EffectFile, ReadsParametersTechniquesAndStages) {
    D3DX::EffectDescription effect;
    std::string error;
    const std::string text =
        VorelTest::ReadFile(std::string(VOREL_SOURCE_DIR) + "/tests/fixtures/effects/good.fx");
    ASSERT_TRUE(D3DX::ParseEffect(text, "good.fx", &effect, &error)) << error;
    ASSERT_EQ(effect.parameters.size(), 4u);
    EXPECT_EQ(effect.parameters[0].defaults[0], 1.0f) << "a matrix starts as the identity";
    EXPECT_EQ(effect.parameters[0].defaults[5], 1.0f);
    EXPECT_EQ(effect.parameters[1].defaults[1], 0.5f);
    EXPECT_EQ(effect.parameters[2].defaults[0], 3.0f);
    EXPECT_EQ(effect.parameters[3].type, D3DX::ParameterType::Texture);
    ASSERT_EQ(effect.techniques.size(), 2u);
    EXPECT_EQ(effect.techniques[1].passes.size(), 2u);
    EXPECT_EQ(effect.techniques[1].passes[1].fragmentStage, 1u);
    // The compiled text declares every parameter and keeps the file's lines.
    const std::string source = D3DX::StageSource(effect, effect.stages[0]);
    EXPECT_EQ(source.rfind("#version 330 core\n", 0), 0u);
    EXPECT_NE(source.find("uniform mat4 World;"), std::string::npos);
    EXPECT_NE(source.find("uniform sampler2D Picture;"), std::string::npos);
    EXPECT_NE(source.find("#line 12\nin vec3 a_position;"), std::string::npos);
}

TEST(EffectFile, MalformedFilesNameTheirLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {{"", "(0): no technique"},
                 {"parameter float3\n", "(1): a parameter needs a type and a name"},
                 {"parameter double X\n", "(1): unknown parameter type \"double\""},
                 {"parameter float 9X\n", "(1): \"9X\" is not a name"},
                 {"parameter float4 C = 1 2\n", "(1): \"C\" needs \"=\" and 4 values"},
                 {"parameter float C = x\n", "(1): \"x\" is not a number"},
                 {"parameter float C\nparameter int C\n", "(2): \"C\" is declared twice"},
                 {"pass P V F\n", "(1): a pass outside a technique"},
                 {"technique T\n pass P V\n", "(2): a pass needs a name"},
                 {"technique T\n", "technique \"T\" has no pass"},
                 {"technique T\n pass P V F\nstage V\nvoid main() {}\nend\n", "(2): no stage \"F\""},
                 {"technique T\n pass P V V\nstage V\nvoid main() {}\n", "(3): stage \"V\" has no \"end\""},
                 {"shader X\n", "(1): \"shader\" is not parameter"}};
    for (const auto& c : cases) {
        D3DX::EffectDescription effect;
        std::string error;
        EXPECT_FALSE(D3DX::ParseEffect(c.text, "bad.fx", &effect, &error)) << c.text;
        EXPECT_EQ(error.rfind("bad.fx", 0), 0u) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(EffectFile, CompilerMessagesNameTheFileAndLine) {
    const std::string log =
        "0:14(7): error: `x' undeclared\n"     // Mesa
        "0(15) : error C0000: syntax error\n"  // NVIDIA
        "ERROR: 0:16: 'y' : undeclared\n"      // AMD, Intel
        "link failed\n";
    EXPECT_EQ(D3DX::LocateLog(log, "P.fx"),
              "P.fx(14): error: `x' undeclared\n"
              "P.fx(15): error C0000: syntax error\n"
              "P.fx(16): error: 'y' : undeclared\n"
              "P.fx: link failed\n");
    // A log that ends right after a number and its colon or bracket (found
    // by fuzzing: the check looked one past the end). Each is read from a
    // buffer of exactly its size.
    for (const std::string text : {"0:", "0(", "2222:", "0:12("}) {
        const std::unique_ptr<char[]> exact(new char[text.size()]);
        std::memcpy(exact.get(), text.data(), text.size());
        EXPECT_EQ(D3DX::LocateLog(std::string_view(exact.get(), text.size()), "P.fx"),
                  "P.fx: " + text + "\n");
    }
}

D3DX::FontMetrics Metrics() {
    D3DX::FontMetrics m;
    m.advance.fill(10);
    m.advance[' '] = m.advance['\t'] = 4;
    m.lineHeight = 18;
    return m;
}

TEST(TextLayout, LinesTabsAndBreaks) {
    std::vector<D3DX::TextLine> lines;
    const std::string text = "ab\tc\r\nlonger\n";
    D3DX::LayoutLines(text.data(), text.size(), 0, Metrics(), &lines);
    ASSERT_EQ(lines.size(), 3u) << "a break at the end starts an empty line";
    EXPECT_EQ(lines[0].width, 34) << "a tab is one space wide";
    EXPECT_EQ(text.substr(lines[1].begin, lines[1].end - lines[1].begin), "longer");
    EXPECT_EQ(D3DX::BlockWidth(lines), 60);
    D3DX::LayoutLines(text.data(), text.size(), DT_SINGLELINE, Metrics(), &lines);
    EXPECT_EQ(lines.size(), 1u);
    D3DX::LayoutLines("", 0, 0, Metrics(), &lines);
    EXPECT_TRUE(lines.empty());
}

TEST(TextLayout, MeasuringKeepsTheEdgesTheAlignmentNames) {
    const struct {
        RECT start;
        DWORD format;
        RECT measured;
    } cases[] = {{{1024, 768, 1024, 768}, DT_RIGHT | DT_BOTTOM, {964, 732, 1024, 768}},  // the corner stays
                 {{5, 5, 5, 5}, DT_LEFT | DT_TOP, {5, 5, 65, 41}},
                 {{1019, 5, 1019, 5}, DT_RIGHT, {959, 5, 1019, 41}},
                 {{0, 0, 100, 100}, DT_CENTER | DT_VCENTER, {20, 32, 80, 68}}};
    for (const auto& c : cases) {
        const RECT r = D3DX::AlignedRect(c.start, c.format, 60, 36);
        EXPECT_EQ(r.left, c.measured.left) << c.format;
        EXPECT_EQ(r.top, c.measured.top) << c.format;
        EXPECT_EQ(r.right, c.measured.right) << c.format;
        EXPECT_EQ(r.bottom, c.measured.bottom) << c.format;
    }
}

TEST(JpegTexture, DecodesToTheImagesSizeAndColours) {
    VorelTest::ScratchFolder scratch;
    const fs::path path = scratch.Path() / "red.jpg";
    std::vector<uint8_t> rgb(16 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3)
        rgb[i] = 200, rgb[i + 1] = 20, rgb[i + 2] = 20;
    ASSERT_NE(stbi_write_jpg(path.c_str(), 16, 8, 3, rgb.data(), 95), 0);
    LPDIRECT3DTEXTURE9 texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(nullptr, path.c_str(), &texture), S_OK);
    D3DSURFACE_DESC description{};
    texture->GetLevelDesc(0, &description);
    EXPECT_EQ(description.Width, 16u);
    EXPECT_EQ(description.Height, 8u);
    const auto& pixels = static_cast<D3DX::Texture*>(texture)->Pixels();
    EXPECT_NEAR(pixels[0], 200, 8);
    EXPECT_NEAR(pixels[1], 20, 8);
    EXPECT_EQ(pixels[3], 255);
    texture->Release();

    // A file cut short in its scan data still gives its picture, as real
    // packs need.
    const std::string bytes = VorelTest::ReadFile(path);
    VorelTest::WriteFile(scratch.Path() / "cut.jpg", bytes.substr(0, bytes.size() - 6));
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, (scratch.Path() / "cut.jpg").c_str(), &texture), S_OK);
    if (texture != nullptr) texture->Release();
}

}  // namespace
