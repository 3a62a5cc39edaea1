// The image path of the texture loader: DDS, JPEG and every format stb
// reads, from a file as the loader finds it, and the DDS decoder alone.
#include <d3dx9tex.h>

#include <vector>

#include "FuzzSupport.h"
#include "d3dx9/texture/Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorelFuzz::Quiet();
    static const std::string path = VorelFuzz::ScratchFolder() + "/texture.img";
    if (!VorelFuzz::WriteInput(path, data, size)) return 0;
    LPDIRECT3DTEXTURE9 texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileA(nullptr, path.c_str(), &texture)) && texture != nullptr) {
        D3DSURFACE_DESC description;
        texture->GetLevelDesc(0, &description);
        texture->Release();
    }
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
    std::string error;
    Platform::D3DX::DecodeDds(data, size, &width, &height, &rgba, &error);
    return 0;
}
