#pragma once

#include <d3dx9.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cModel.h"

namespace Vorel {

// The model store: each .x file is loaded once and kept, while something
// shows it, under its key, the file's full canonical path (collections hold many files
// of one name in different folders).
class cModelLoader {
public:
    // The model stored for `path`, with its set and time reset; otherwise
    // the file loaded, named `name` (its bare name), and stored. Never null:
    // a file that fails to load gives a frameless model, which is not
    // stored (once the file is repaired, loading it again reads it) and
    // lives until the next failed load. The current directory is the same
    // afterwards, whatever happened.
    cModel* LoadModel(const std::string& path, const std::string& name);
    // The file at `path` read again, replacing the model stored for it
    // (which is destroyed) and carrying over its set where the new version
    // still has it, its time, speed and skeleton view. Null when the new
    // version does not load: the stored model stays.
    cModel* ReloadModel(const std::string& path, const std::string& name);
    // Lets go of every stored model but `current` whose key is not among
    // `shown`.
    void ReleaseAllBut(const std::vector<const std::string*>& shown, const cModel* current);
    size_t Count() const { return m_models.size(); }
    // By key; null when nothing of that key is stored.
    cModel* FindModel(const std::string& key) const;
    // The key of the file at `path` (relative to the current directory).
    static std::string Key(const std::string& path);
    void SetDevice(LPDIRECT3DDEVICE9 device) { m_D3DDevice = device; }

    // "C:\m\a.x" is ("C:/m", "a.x"); a path without a separator has an
    // empty directory.
    static std::pair<std::string, std::string> SplitPath(const std::string& path);

private:
    // The file loaded into a new model, frameless when it does not load.
    std::unique_ptr<cModel> Read(const std::string& path, const std::string& name);

    LPDIRECT3DDEVICE9 m_D3DDevice = nullptr;
    std::map<std::string, std::unique_ptr<cModel>> m_models;
    std::unique_ptr<cModel> m_lastFailed;
};

}  // namespace Vorel
