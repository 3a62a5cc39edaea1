#include "cObject.h"

#include <tinyxml.h>
#include <windows.h>

#include <cstdlib>

#include "XmlFile.h"
#include "cFactoryManager.h"
#include "cGraphicsManager.h"
#include "cModelAttr.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"
#include "cRotationAttr.h"

namespace Vorel {

namespace {

// atof's reading: text that is not a number gives 0, and so does a missing
// attribute.
float Number(const TiXmlElement* element, const char* name) {
    const char* text = element != nullptr ? element->Attribute(name) : nullptr;
    return text != nullptr ? static_cast<float>(std::atof(text)) : 0.0f;
}

D3DXVECTOR3 Vector(const TiXmlElement* element) {
    return {Number(element, "x"), Number(element, "y"), Number(element, "z")};
}

template <class T>
T* Bound(const cObject& object, const char* type) {
    return static_cast<T*>(object.GetAttribute(type));
}

void BindGraphics3D(Graphics::cGraphics3DCom* component, const cObject& object) {
    component->m_positionAttr = Bound<cPositionAttr>(object, "Position");
    component->m_rotationAttr = Bound<cRotationAttr>(object, "Rotation");
    component->m_modelAttr = Bound<cModelAttr>(object, "Model");
}

void BindCamera(Graphics::cCameraCom* component, const cObject& object) {
    component->m_positionAttr = Bound<cPositionAttr>(object, "Position");
    component->m_orientationAttr = Bound<cOrientationAttr>(object, "Orientation");
}

}  // namespace

cObject::~cObject() {
    // Components go back to their factories, in ascending type id; then the
    // attributes to their pools, in ascending name.
    for (const auto& entry : m_components) {
        if (cBaseComponentFactory* factory =
                cFactoryManager::Instance()->GetFactory(static_cast<int32_t>(entry.first)))
            factory->DestroyComponent(static_cast<uint32_t>(m_id));
    }
    m_components.clear();
    for (auto& [type, attribute] : m_attributes)
        delete attribute;
    m_attributes.clear();
}

void cObject::AddAttribute(const std::string& type, cAttribute* attribute) {
    if (!m_attributes.emplace(type, attribute).second) delete attribute;
}

cAttribute* cObject::GetAttribute(const std::string& type) const {
    const auto it = m_attributes.find(type);
    return it == m_attributes.end() ? nullptr : it->second->GetValue();
}

void cObject::AddComponent(uint32_t type, cComponent* component) {
    m_components.emplace(type, component);
}

cComponent* cObject::GetComponent(uint32_t type) const {
    const auto it = m_components.find(type);
    return it == m_components.end() ? nullptr : it->second;
}

void cObject::LoadFromFile(const std::string& name) {
    const std::string path = "Assets/XML/Objects/" + name + ".xml";
    TiXmlDocument document;
    std::string error;
    if (!LoadXmlFile(path, &document, &error)) {
        OutputDebugStringA(
            (path + ": object file not read (" + error + "); the archetype " + name + " is empty\n").c_str());
        return;
    }
    const TiXmlNode* rootNode = document.FirstChild("Object");
    const TiXmlElement* root = rootNode != nullptr ? rootNode->ToElement() : nullptr;
    if (root == nullptr) {
        OutputDebugStringA((path + ": no Object element; the archetype " + name + " is empty\n").c_str());
        return;
    }

    // Attributes first, so that components find every attribute the file
    // defines wherever it stands. Each pass starts at the first element of
    // its name and visits every element after it; the type decides.
    for (const TiXmlElement* e = root->FirstChildElement("Attribute"); e != nullptr;
         e = e->NextSiblingElement()) {
        const char* type = e->Attribute("type");
        if (type == nullptr) continue;
        const std::string t = type;
        if (t == "Position") {
            auto* attribute = new cPositionAttr();
            attribute->m_position = Vector(e);
            AddAttribute(t, attribute);
        } else if (t == "Rotation") {
            AddAttribute(t, new cRotationAttr());
        } else if (t == "Model") {
            auto* attribute = new cModelAttr();
            if (const TiXmlElement* mesh = e->FirstChildElement("Mesh")) {
                if (const char* file = mesh->GetText()) attribute->m_meshFile = file;
                attribute->m_scale = Number(mesh, "scale");
            }
            AddAttribute(t, attribute);
        } else if (t == "Orientation") {
            auto* attribute = new cOrientationAttr();
            if (const TiXmlElement* up = e->FirstChildElement("Up")) attribute->m_up = Vector(up);
            if (const TiXmlElement* view = e->FirstChildElement("View")) attribute->m_view = Vector(view);
            AddAttribute(t, attribute);
        }
    }

    cGraphicsManager* graphics = cGraphicsManager::Instance();
    const auto id = static_cast<uint32_t>(m_id);
    for (const TiXmlElement* e = root->FirstChildElement("Component"); e != nullptr;
         e = e->NextSiblingElement()) {
        const char* type = e->Attribute("type");
        if (type == nullptr) continue;
        const std::string t = type;
        if (t == "Graphics3D" && graphics->GetGraphics3DFactory() != nullptr) {
            Graphics::cGraphics3DCom* component = graphics->GetGraphics3DFactory()->CreateComponent(id);
            if (component == nullptr) continue;
            component->m_isArchetype = true;
            BindGraphics3D(component, *this);
            AddComponent(kGraphics3DComponent, component);
        } else if (t == "Camera" && graphics->GetCameraFactory() != nullptr) {
            Graphics::cCameraCom* component = graphics->GetCameraFactory()->CreateComponent(id);
            if (component == nullptr) continue;
            component->m_isArchetype = true;
            BindCamera(component, *this);
            AddComponent(kCameraComponent, component);
        }
    }
}

void cObject::CloneFrom(const cObject& archetype) {
    for (const auto& [type, attribute] : archetype.m_attributes)
        AddAttribute(type, attribute->Clone());
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    const auto id = static_cast<uint32_t>(m_id);
    if (archetype.GetComponent(kGraphics3DComponent) != nullptr &&
        graphics->GetGraphics3DFactory() != nullptr) {
        if (Graphics::cGraphics3DCom* component = graphics->GetGraphics3DFactory()->CreateComponent(id)) {
            BindGraphics3D(component, *this);
            AddComponent(kGraphics3DComponent, component);
        }
    }
    if (archetype.GetComponent(kCameraComponent) != nullptr && graphics->GetCameraFactory() != nullptr) {
        if (Graphics::cCameraCom* component = graphics->GetCameraFactory()->CreateComponent(id)) {
            BindCamera(component, *this);
            AddComponent(kCameraComponent, component);
        }
    }
}

}  // namespace Vorel
