#include "d3dx9/texture/Texture.h"

#include <d3dx9mesh.h>
#include <d3dx9tex.h>
#include <d3dx9xof.h>
#include <stb_image.h>
#include <strings.h>

#include <cstring>
#include <filesystem>
#include <new>

#include "FileBytes.h"
#include "win32/Notes.h"

namespace fs = std::filesystem;

namespace Platform::D3DX {
namespace {

// The entry of `folder` whose name matches `part` without regard to case.
fs::path MatchIn(const fs::path& folder, const std::string& part) {
    std::error_code ec;
    if (fs::exists(folder / part, ec)) return folder / part;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (strcasecmp(it->path().filename().c_str(), part.c_str()) == 0)
            return folder / it->path().filename();
    return {};
}

}  // namespace

HRESULT WINAPI Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* description) {
    if (level != 0 || description == nullptr) return D3DERR_INVALIDCALL;
    *description = {D3DFMT_A8R8G8B8, m_width, m_height};
    return S_OK;
}

std::string FindFile(const std::string& name, const std::string& folder, std::vector<std::string>* tried) {
    if (name.empty()) return {};
    std::error_code ec;
    const fs::path here(folder);
    const auto look = [&](const fs::path& place) {
        if (tried != nullptr) tried->push_back(fs::absolute(place, ec).lexically_normal().string());
    };
    look(here / name);
    if (fs::is_regular_file(here / name, ec)) return (here / name).string();
    std::string slashes = name;
    for (char& c : slashes)
        if (c == '\\') c = '/';
    // Part by part, each matched without regard to case.
    fs::path found = !slashes.empty() && slashes[0] == '/' ? fs::path("/") : here;
    bool whole = true;
    for (const auto& part : fs::path(slashes).relative_path()) {
        const std::string text = part.string();
        if (text.empty() || text == ".") continue;
        // Past a part that is not there, the rest as written.
        const fs::path match = whole ? MatchIn(found, text) : fs::path();
        whole = whole && !match.empty();
        found = whole ? match : found / text;
    }
    if (slashes != name || found != here / name) look(found);
    if (whole && fs::is_regular_file(found, ec)) return found.string();
    // A folder of the machine that wrote the file: the name alone, here.
    const std::string bareName = fs::path(slashes).filename().string();
    const fs::path bare = MatchIn(here, bareName);
    if (fs::path(slashes).has_parent_path()) look(bare.empty() ? here / bareName : bare);
    if (!bare.empty() && fs::is_regular_file(bare, ec)) return bare.string();
    return {};
}

}  // namespace Platform::D3DX

using namespace Platform;

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9, LPCSTR fileName, LPDIRECT3DTEXTURE9* texture) {
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (fileName == nullptr || *fileName == '\0') return D3DERR_INVALIDCALL;
    std::vector<std::string> tried;
    const std::string path = D3DX::FindFile(fileName, {}, &tried);
    for (const std::string& place : tried)
        AddNote(VOREL_NOTE_TEXTURE_TRIED, fileName, place);
    if (!path.empty())
        AddNote(VOREL_NOTE_TEXTURE_FOUND, fileName, tried.empty() ? path : fs::absolute(path).string());
    if (path.empty()) {
        OutputDebugStringA((std::string(fileName) + ": texture file not found\n").c_str());
        return D3DXFERR_FILENOTFOUND;
    }
    try {
        FileBytes file(path.c_str());
        const auto bytes = file.Bytes();
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        uint32_t width = 0, height = 0;
        std::vector<uint8_t> rgba;
        std::string error;
        bool decoded = false;
        if (bytes.size() >= 4 && bytes.substr(0, 4) == "DDS ") {
            decoded = D3DX::DecodeDds(data, bytes.size(), &width, &height, &rgba, &error);
        } else if (bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
                   static_cast<uint8_t>(bytes[1]) == 0xD8 && static_cast<uint8_t>(bytes[2]) == 0xFF) {
            decoded = D3DX::DecodeJpeg(data, bytes.size(), &width, &height, &rgba, &error);
        } else if (!bytes.empty() && bytes.size() <= INT32_MAX) {
            int w = 0, h = 0, channels = 0;
            // The size from the header first: a few bytes may claim an
            // image far larger than any texture.
            const bool known =
                stbi_info_from_memory(data, static_cast<int>(bytes.size()), &w, &h, &channels) != 0;
            stbi_uc* pixels = nullptr;
            if (known && !D3DX::PlausibleImageSize(uint64_t(w) * uint64_t(h), bytes.size()))
                error =
                    "an image of " + std::to_string(w) + " x " + std::to_string(h) +
                    (uint64_t(w) * uint64_t(h) > D3DX::kMaxTexturePixels
                         ? " pixels, larger than the texture limit"
                         : " pixels, more than a file of " + std::to_string(bytes.size()) + " bytes holds");
            else
                pixels = stbi_load_from_memory(data, static_cast<int>(bytes.size()), &w, &h, &channels, 4);
            if (pixels != nullptr) {
                width = static_cast<uint32_t>(w);
                height = static_cast<uint32_t>(h);
                rgba.assign(pixels, pixels + size_t(width) * height * 4);
                stbi_image_free(pixels);
                decoded = true;
            } else if (error.empty()) {
                error = stbi_failure_reason() != nullptr ? stbi_failure_reason() : "not an image";
            }
        } else {
            error = file.Error() != 0 ? std::strerror(file.Error()) : "an empty file";
        }
        if (!decoded) {
            OutputDebugStringA((path + ": cannot be read as a texture: " + error + "\n").c_str());
            return D3DXERR_INVALIDDATA;
        }
        *texture = new D3DX::Texture(width, height, std::move(rgba));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
