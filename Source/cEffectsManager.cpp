#include "cEffectsManager.h"

#include <tinyxml.h>

#include "CheckedCall.h"
#include "XmlFile.h"

namespace Vorel::Graphics {
namespace {

std::string Attribute(const TiXmlElement* element, const char* name) {
    const char* value = element->Attribute(name);
    return value != nullptr ? value : "";
}

}  // namespace

cEffectsManager::~cEffectsManager() {
    for (auto& [name, group] : m_effects) {
        if (group.m_effect != nullptr) group.m_effect->Release();
        group.m_handles.clear();
    }
    m_effects.clear();
}

void cEffectsManager::LoadEffects(const std::string& listPath) {
    TiXmlDocument document;
    std::string error;
    if (!LoadXmlFile(listPath, &document, &error)) {
        OutputDebugStringA((listPath + ": cannot read the effect list (" + error + ")\n").c_str());
        return;
    }
    const TiXmlNode* effects = document.FirstChild("Effects");
    const TiXmlElement* element = effects != nullptr ? effects->FirstChildElement("Effect") : nullptr;
    if (element == nullptr) {
        OutputDebugStringA((listPath + ": no \"Effects\" element with an \"Effect\" in it\n").c_str());
        return;
    }
    // Every element after the first Effect is an effect, whatever its name;
    // every element after an effect's first Handle is a handle.
    for (; element != nullptr; element = element->NextSiblingElement()) {
        const std::string name = Attribute(element, "name");
        const std::string file = Attribute(element, "file");
        if (name.empty() || file.empty()) {
            OutputDebugStringA((listPath + ": an effect without \"name\" or \"file\" is skipped\n").c_str());
            continue;
        }
        EffectGroup _effectGroup;
        const std::string sPath = "Assets/Shaders/" + file;
        LPD3DXBUFFER prErrors = nullptr;
        CHECKED(D3DXCreateEffectFromFile(m_D3DDevice, sPath.c_str(), 0, 0, D3DXSHADER_DEBUG, 0,
                                         &_effectGroup.m_effect, &prErrors));
        if (prErrors != nullptr) {
            MessageBoxA(NULL, static_cast<const char*>(prErrors->GetBufferPointer()), NULL, MB_OK);
            prErrors->Release();
        }
        LPD3DXEFFECT effect = _effectGroup.m_effect;
        for (const TiXmlElement* t = element->FirstChildElement("Technique"); t != nullptr;
             t = t->NextSiblingElement("Technique")) {
            const std::string var = Attribute(t, "var");
            _effectGroup.m_handles.emplace(
                Attribute(t, "name"), effect != nullptr ? effect->GetTechniqueByName(var.c_str()) : nullptr);
        }
        for (const TiXmlElement* h = element->FirstChildElement("Handle"); h != nullptr;
             h = h->NextSiblingElement()) {
            const std::string var = Attribute(h, "var");
            _effectGroup.m_handles.emplace(
                Attribute(h, "name"),
                effect != nullptr ? effect->GetParameterByName(nullptr, var.c_str()) : nullptr);
        }
        // The first effect of a name stays; a later one of that name is
        // compiled but not reachable, and is released here.
        if (!m_effects.emplace(name, std::move(_effectGroup)).second && effect != nullptr) effect->Release();
    }
}

LPD3DXEFFECT cEffectsManager::GetEffect(std::string_view effectName) const {
    const auto it = m_effects.find(effectName);
    return it == m_effects.end() ? nullptr : it->second.m_effect;
}

D3DXHANDLE cEffectsManager::GetHandle(std::string_view effectName, std::string_view handleName) const {
    const auto it = m_effects.find(effectName);
    if (it == m_effects.end()) return nullptr;
    const auto handle = it->second.m_handles.find(handleName);
    return handle == it->second.m_handles.end() ? nullptr : handle->second;
}

void cEffectsManager::OnLostDevice() {
    for (auto& [name, group] : m_effects)
        if (group.m_effect != nullptr) group.m_effect->OnLostDevice();
}

void cEffectsManager::OnResetDevice() {
    for (auto& [name, group] : m_effects)
        if (group.m_effect != nullptr) group.m_effect->OnResetDevice();
}

}  // namespace Vorel::Graphics
