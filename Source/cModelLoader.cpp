#include "cModelLoader.h"

#include <vorelnotes.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "CheckedCall.h"
#include "Directories.h"
#include "cMeshHeirarchy.h"

namespace Vorel {

std::pair<std::string, std::string> cModelLoader::SplitPath(const std::string& path) {
    std::string copy = path;
    for (char& c : copy)
        if (c == '\\') c = '/';
    const size_t slash = copy.rfind('/');
    if (slash == std::string::npos) return {std::string(), copy};
    return {copy.substr(0, slash), copy.substr(slash + 1)};
}

cModel* cModelLoader::FindModel(const std::string& key) const {
    const auto it = m_models.find(key);
    return it == m_models.end() ? nullptr : it->second.get();
}

std::string cModelLoader::Key(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

cModel* cModelLoader::LoadModel(const std::string& path, const std::string& name) {
    const std::string key = Key(path);
    if (cModel* cached = FindModel(key)) {
        cached->m_currentSet = 0;
        cached->m_time = 0;
        return cached;
    }
    std::unique_ptr<cModel> model = Read(path, name);
    cModel* loaded = model.get();
    if (loaded->m_frameRoot == nullptr)
        m_lastFailed = std::move(model);
    else
        m_models.emplace(key, std::move(model));
    return loaded;
}

cModel* cModelLoader::ReloadModel(const std::string& path, const std::string& name) {
    std::unique_ptr<cModel> model = Read(path, name);
    if (model->m_frameRoot == nullptr) {
        m_lastFailed = std::move(model);
        return nullptr;
    }
    std::unique_ptr<cModel>& stored = m_models[Key(path)];
    if (stored != nullptr) {
        model->m_currentSet = stored->m_currentSet < model->m_setCount ? stored->m_currentSet : 0;
        model->m_time = stored->m_time;
        model->m_speed = stored->m_speed;
        model->m_showSkeleton = stored->m_showSkeleton;
    }
    stored = std::move(model);
    return stored.get();
}

void cModelLoader::ReleaseAllBut(const std::vector<const std::string*>& shown, const cModel* current) {
    for (auto it = m_models.begin(); it != m_models.end();) {
        const bool keep = it->second.get() == current ||
                          std::any_of(shown.begin(), shown.end(),
                                      [&](const std::string* key) { return *key == it->first; });
        it = keep ? std::next(it) : m_models.erase(it);
    }
}

std::unique_ptr<cModel> cModelLoader::Read(const std::string& path, const std::string& name) {
    // Texture names in the file are relative to the file's folder, so the
    // load runs there; a relative path is made whole first, or it would name
    // nothing once the folder has changed.
    const std::string before = GetWorkingDirectory();
    const std::string fullPath = !path.empty() && path[0] != '/' ? before + "/" + path : path;
    const std::string directory = SplitPath(fullPath).first;
    if (!directory.empty()) SetCurrentDirectoryA(directory.c_str());

    auto model = std::make_unique<cModel>();
    cModel* _model = model.get();
    _model->m_device = m_D3DDevice;
    _model->m_name = name;
    _model->m_path = fullPath;
    UINT64 notes = 0;
    VorelReadNotes(&notes, nullptr, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const char* _fileName = fullPath.c_str();
    {
        cMeshHeirarchy allocator;
        ID3DXAllocateHierarchy* _memoryAllocator = &allocator;
        LPD3DXFRAME root = nullptr;
        CHECKED(D3DXLoadMeshHierarchyFromX(_fileName, D3DXMESH_MANAGED, m_D3DDevice, _memoryAllocator, NULL,
                                           &root, &_model->m_animController));
        _model->m_frameRoot = static_cast<cFrame*>(root);
    }
    if (_model->m_frameRoot != nullptr) _model->InitLocalTransforms();
    _model->ReadAnimations(fullPath);
    _model->BindAnimations();
    if (_model->m_animController != nullptr)
        _model->m_setCount = _model->m_animController->GetMaxNumAnimationSets();
    if (_model->m_frameRoot != nullptr) {
        _model->SetupBones();
        _model->m_boneMatrices.assign(static_cast<size_t>(_model->m_maxBones), D3DXMATRIX{});
        CHECKED(D3DXFrameCalculateBoundingSphere(_model->m_frameRoot, &_model->m_sphereCenter,
                                                 &_model->m_sphereRadius));
    }
    _model->m_loadMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    VorelReadNotes(
        &notes,
        [](void* context, VOREL_NOTE_KIND kind, LPCSTR subject, LPCSTR text) {
            static_cast<cModel*>(context)->m_loadNotes.push_back({kind, subject, text});
        },
        _model);
    SetCurrentDirectoryA(before.c_str());
    return model;
}

}  // namespace Vorel
