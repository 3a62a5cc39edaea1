// The effect-list loader: effects, techniques and handles read from the
// input; the effect files it names are not there.
#include "FuzzSupport.h"
#include "cEffectsManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorelFuzz::Quiet();
    static const std::string path = VorelFuzz::ScratchFolder() + "/Effects.xml";
    if (!VorelFuzz::WriteInput(path, data, size)) return 0;
    Vorel::Graphics::cEffectsManager effects(nullptr);
    effects.LoadEffects(path);
    effects.GetHandle("Phong", "Phong");
    return 0;
}
