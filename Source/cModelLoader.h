#pragma once

#include <d3dx9.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "cModel.h"

namespace Vorel {

// The model store: each .x file is loaded once and kept under its name for
// the whole run.
class cModelLoader {
public:
    // The model stored under `name`, with its set and time reset; otherwise
    // the file at `path` loaded and stored under `name`. Never null: a file
    // that fails to load still gives a (frameless) model. The current
    // directory is the same afterwards, whatever happened.
    cModel* LoadModel(const std::string& path, const std::string& name);
    cModel* FindModel(const std::string& name) const;
    void SetDevice(LPDIRECT3DDEVICE9 device) { m_D3DDevice = device; }

    // "C:\m\a.x" is ("C:/m", "a.x"); a path without a separator has an
    // empty directory.
    static std::pair<std::string, std::string> SplitPath(const std::string& path);

private:
    LPDIRECT3DDEVICE9 m_D3DDevice = nullptr;
    std::map<std::string, std::unique_ptr<cModel>> m_models;
};

}  // namespace Vorel
