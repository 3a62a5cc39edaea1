// ID3DXFont: glyphs from a Dear ImGui font atlas of the face's Liberation
// font at the asked height, one pixel per texel, drawn as quads on whole
// pixels so that text is as crisp as the font.
#include <d3dx9core.h>
#include <d3dx9mesh.h>
#include <imgui.h>
#include <strings.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "RefCounted.h"
#include "d3d9/Device.h"
#include "d3d9/Gl.h"
#include "d3d9/GlTranslate.h"
#include "d3dx9/font/TextLayout.h"

namespace Platform::D3DX {
namespace {

constexpr const char* kFontFolders[] = {"/usr/share/fonts/truetype/liberation/",
                                        "/usr/share/fonts/truetype/liberation2/"};
constexpr ImWchar kLatin1[] = {0x0020, 0x00FF, 0};

const char* kTextVertex = R"(#version 330 core
in vec2 a_position;
in vec2 a_texcoord;
uniform vec2 u_size;
out vec2 v_uv;
void main() {
    v_uv = a_texcoord;
    gl_Position = vec4(a_position.x / u_size.x * 2.0 - 1.0, 1.0 - a_position.y / u_size.y * 2.0, 0.0, 1.0);
}
)";

const char* kTextFragment = R"(#version 330 core
in vec2 v_uv;
uniform sampler2D u_atlas;
uniform vec4 u_color;
out vec4 colour;
void main() { colour = vec4(u_color.rgb, u_color.a * texture(u_atlas, v_uv).r); }
)";

// The Liberation file standing in for a Windows face.
std::string FontFile(const char* face, bool bold, bool italic) {
    std::string family = "Sans";
    if (face != nullptr && (strcasecmp(face, "Times New Roman") == 0 || strcasecmp(face, "Times") == 0))
        family = "Serif";
    if (face != nullptr && (strcasecmp(face, "Courier New") == 0 || strcasecmp(face, "Courier") == 0))
        family = "Mono";
    const std::string style = bold && italic ? "BoldItalic" : bold ? "Bold" : italic ? "Italic" : "Regular";
    for (const char* folder : kFontFolders) {
        const std::string path = std::string(folder) + "Liberation" + family + "-" + style + ".ttf";
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fclose(f);
            return path;
        }
    }
    return {};
}

class Font final : public RefCounted<ID3DXFont> {
public:
    HRESULT WINAPI OnLostDevice() override { return D3D_OK; }
    HRESULT WINAPI OnResetDevice() override { return D3D_OK; }

    Font(D3D9::Device* device, std::unique_ptr<ImFontAtlas> atlas)
        : m_device(device), m_atlas(std::move(atlas)), m_font(m_atlas->Fonts[0]) {
        m_device->AddRef();
        for (int c = 0x20; c < 256; ++c)
            m_metrics.advance[c] =
                static_cast<int>(std::lround(m_font->FindGlyph(static_cast<ImWchar>(c))->AdvanceX));
        m_metrics.advance['\t'] = m_metrics.advance[' '];
        m_metrics.lineHeight = static_cast<int>(std::lround(m_font->FontSize));
    }
    ~Font() override {
        if (m_device->MakeCurrent()) {
            glDeleteTextures(1, &m_texture);
            glDeleteProgram(m_program);
            glDeleteVertexArrays(1, &m_vao);
            glDeleteBuffers(1, &m_buffer);
        }
        m_device->Release();
    }

    INT WINAPI DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect, DWORD format,
                         D3DCOLOR color) override {
        if (sprite != nullptr || text == nullptr || rect == nullptr || count < -1) return 0;
        const size_t length = count == -1 ? std::strlen(text) : static_cast<size_t>(count);
        LayoutLines(text, length, format, m_metrics, &m_lines);
        const int width = BlockWidth(m_lines);
        const int height = static_cast<int>(m_lines.size()) * m_metrics.lineHeight;
        const RECT block = AlignedRect(*rect, format, width, height);
        if (format & DT_CALCRECT) {
            *rect = block;
            return height;
        }
        if (m_lines.empty() || !m_device->MakeCurrent() || !Prepare()) return height;

        m_vertices.clear();
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const TextLine& line = m_lines[i];
            float x = static_cast<float>(format & DT_RIGHT ? rect->right - line.width
                                         : format & DT_CENTER
                                             ? rect->left + (rect->right - rect->left - line.width) / 2
                                             : rect->left);
            const auto y = static_cast<float>(block.top + static_cast<LONG>(i) * m_metrics.lineHeight);
            for (size_t at = line.begin; at < line.end; ++at) {
                const auto c = static_cast<unsigned char>(text[at]);
                if (c < 0x20 || c == ' ') {  // blank space: a tab, or a control byte (no room)
                    x += static_cast<float>(m_metrics.advance[c]);
                    continue;
                }
                const ImFontGlyph* g = m_font->FindGlyph(c);
                const float x0 = x + g->X0, y0 = y + g->Y0, x1 = x + g->X1, y1 = y + g->Y1;
                const float quad[6][4] = {{x0, y0, g->U0, g->V0}, {x1, y0, g->U1, g->V0},
                                          {x1, y1, g->U1, g->V1}, {x0, y0, g->U0, g->V0},
                                          {x1, y1, g->U1, g->V1}, {x0, y1, g->U0, g->V1}};
                for (const auto& v : quad)
                    m_vertices.insert(m_vertices.end(), v, v + 4);
                x += static_cast<float>(m_metrics.advance[c]);
            }
        }
        if (m_vertices.empty()) return height;

        m_device->BindBackBuffer();
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if ((format & DT_NOCLIP) == 0) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(rect->left, static_cast<GLint>(m_device->Height()) - rect->bottom,
                      std::max<LONG>(rect->right - rect->left, 0),
                      std::max<LONG>(rect->bottom - rect->top, 0));
        }
        glUseProgram(m_program);
        glUniform2f(m_sizeLocation, static_cast<float>(m_device->Width()),
                    static_cast<float>(m_device->Height()));
        float rgba[4];
        D3D9::ColorChannels(color, rgba);
        glUniform4fv(m_colorLocation, 1, rgba);
        glUniform1i(m_atlasLocation, 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glBindVertexArray(m_vao);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
        const auto bytes = static_cast<GLsizeiptr>(m_vertices.size() * sizeof(float));
        D3D9::FillArrayBuffer(&m_bufferBytes, bytes, m_vertices.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(m_vertices.size() / 4));
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_BLEND);
        // The device's own draws choose their program again.
        glUseProgram(0);
        return height;
    }

private:
    // The atlas texture, the program and the vertex array, made on the
    // first draw.
    bool Prepare() {
        if (m_program != 0) return true;
        std::string log;
        m_program = D3D9::LinkProgram(kTextVertex, kTextFragment, &log);
        if (m_program == 0) {
            OutputDebugStringA(("text cannot be drawn: " + log + "\n").c_str());
            return false;
        }
        m_sizeLocation = glGetUniformLocation(m_program, "u_size");
        m_colorLocation = glGetUniformLocation(m_program, "u_color");
        m_atlasLocation = glGetUniformLocation(m_program, "u_atlas");
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        m_atlas->GetTexDataAsAlpha8(&pixels, &w, &h);
        glGenTextures(1, &m_texture);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, w, h, 0, GL_RED, GL_UNSIGNED_BYTE, pixels);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glGenVertexArrays(1, &m_vao);
        glGenBuffers(1, &m_buffer);
        glBindVertexArray(m_vao);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
        glEnableVertexAttribArray(D3D9::kPositionLocation);
        glVertexAttribPointer(D3D9::kPositionLocation, 2, GL_FLOAT, GL_FALSE, 16, nullptr);
        glEnableVertexAttribArray(D3D9::kTexcoordLocation);
        glVertexAttribPointer(D3D9::kTexcoordLocation, 2, GL_FLOAT, GL_FALSE, 16,
                              reinterpret_cast<const void*>(8));
        return true;
    }

    D3D9::Device* m_device;
    std::unique_ptr<ImFontAtlas> m_atlas;
    ImFont* m_font;
    FontMetrics m_metrics;
    std::vector<TextLine> m_lines;  // reused by every call
    std::vector<float> m_vertices;
    GLuint m_program = 0, m_texture = 0, m_vao = 0, m_buffer = 0;
    GLsizeiptr m_bufferBytes = 0;
    GLint m_sizeLocation = -1, m_colorLocation = -1, m_atlasLocation = -1;
};

}  // namespace
}  // namespace Platform::D3DX

using namespace Platform;

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT, UINT weight, UINT, BOOL italic,
                               DWORD, DWORD, DWORD, DWORD, LPCSTR faceName, LPD3DXFONT* font) {
    if (font == nullptr) return D3DERR_INVALIDCALL;
    *font = nullptr;
    D3D9::Device* gpu = D3D9::Device::From(device);
    // A negative height is the characters' height, which is near enough the
    // cell's at these sizes; 0 is a default height.
    const int pixels = height == 0 ? 16 : std::abs(height);
    if (gpu == nullptr || pixels > 1024) return D3DERR_INVALIDCALL;
    try {
        auto atlas = std::make_unique<ImFontAtlas>();
        ImFontConfig config;
        config.OversampleH = config.OversampleV = 1;
        config.PixelSnapH = true;
        config.SizePixels = static_cast<float>(pixels);
        const std::string file = D3DX::FontFile(faceName, weight >= 600, italic != FALSE);
        if (!file.empty()) {
            atlas->AddFontFromFileTTF(file.c_str(), config.SizePixels, &config, D3DX::kLatin1);
        } else {
            OutputDebugStringA(
                "D3DXCreateFont: no Liberation font is installed (fonts-liberation); text is drawn in "
                "Dear ImGui's own font\n");
            atlas->AddFontDefault(&config);
        }
        if (atlas->Fonts.empty() || !atlas->Build()) return D3DXERR_INVALIDDATA;
        *font = new D3DX::Font(gpu, std::move(atlas));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
