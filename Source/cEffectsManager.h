#pragma once

#include <d3dx9.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace Vorel::Graphics {

// The effects of Assets/XML/Effects.xml, compiled once, and their technique
// and parameter handles under the list's own names.
class cEffectsManager {
public:
    struct EffectGroup {
        LPD3DXEFFECT m_effect = nullptr;
        std::map<std::string, D3DXHANDLE, std::less<>> m_handles;
    };

    explicit cEffectsManager(LPDIRECT3DDEVICE9 device) : m_D3DDevice(device) {}
    ~cEffectsManager();
    cEffectsManager(const cEffectsManager&) = delete;
    cEffectsManager& operator=(const cEffectsManager&) = delete;

    // Reads the list and compiles each effect. A list that cannot be read
    // gives one trace and no effects; an effect that does not compile gives
    // its messages in one message box and is kept without an effect.
    void LoadEffects(const std::string& listPath = "Assets/XML/Effects.xml");
    // Null when there is no such effect, or it did not compile.
    LPD3DXEFFECT GetEffect(std::string_view effectName) const;
    // Null when the effect, the name, or the effect's own "var" is unknown.
    D3DXHANDLE GetHandle(std::string_view effectName, std::string_view handleName) const;
    // Every effect told of the device's reset, before and after it.
    void OnLostDevice();
    void OnResetDevice();

private:
    LPDIRECT3DDEVICE9 m_D3DDevice;
    std::map<std::string, EffectGroup, std::less<>> m_effects;
};

}  // namespace Vorel::Graphics
