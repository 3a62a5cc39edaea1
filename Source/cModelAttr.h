#pragma once

#include <string>

#include "cAttribute.h"

namespace Vorel {

class cModel;

// Which model an object shows, and at what uniform scale. The model belongs
// to the model store; copies share it.
class cModelAttr : public cAttribute {
public:
    cModelAttr() { m_type = "Model"; }
    cAttribute* Clone() const override { return new cModelAttr(*this); }

    std::string m_meshFile;
    cModel* m_model = nullptr;
    float m_scale = 0.0f;  // no scale in the object file: drawn at 0
};

}  // namespace Vorel
