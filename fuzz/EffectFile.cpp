// The effect-file parser, and the GLSL it prepares for every stage.
#include <string_view>

#include "FuzzSupport.h"
#include "d3dx9/effect/EffectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Platform::D3DX::EffectDescription effect;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (Platform::D3DX::ParseEffect(text, "fuzz.fx", &effect, &error))
        for (const auto& stage : effect.stages)
            Platform::D3DX::StageSource(effect, stage);
    Platform::D3DX::LocateLog(text, "fuzz.fx");
    return 0;
}
