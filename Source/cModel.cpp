#include "cModel.h"

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <cstring>
#include <vector>

#include "CheckedCall.h"
#include "cMeshContainer.h"
#include "cMeshHeirarchy.h"

namespace Vorel {
namespace {

std::string ReadName(ID3DXFileData* _dataObject) {
    SIZE_T _size = 0;
    CHECKED(_dataObject->GetName(NULL, &_size));
    if (_size == 0) return std::string();
    std::vector<char> _name(_size, '\0');
    CHECKED(_dataObject->GetName(_name.data(), &_size));
    return std::string(_name.data());
}

// Reads little-endian words from a locked payload, never past its end.
class PayloadReader {
public:
    PayloadReader(const void* data, SIZE_T size) : m_data(static_cast<const char*>(data)), m_size(size) {}
    bool Has(SIZE_T bytes) const { return m_size - m_at >= bytes; }
    uint32_t Dword() {
        uint32_t v;
        std::memcpy(&v, m_data + m_at, 4);
        m_at += 4;
        return v;
    }
    float Float() {
        float v;
        std::memcpy(&v, m_data + m_at, 4);
        m_at += 4;
        return v;
    }
    void Skip(SIZE_T bytes) { m_at += bytes; }

private:
    const char* m_data;
    SIZE_T m_size;
    SIZE_T m_at = 0;
};

// The number of floats each key type holds.
uint32_t ValuesOf(uint32_t keyType) {
    switch (keyType) {
        case 0: return 4;           // rotation w, x, y, z
        case 1: case 2: return 3;   // scale, translation
        case 3: case 4: return 16;  // matrix: 4 in files, 3 in the format's documentation
        default: return 0;
    }
}

bool ReadType(ID3DXFileData* _dataObject, GUID* type) {
    GUID _templateGUID{};
    const bool read = SUCCEEDED(CHECKED(_dataObject->GetType(&_templateGUID)));
    *type = _templateGUID;
    return read;
}

void Trace(const std::string& line) { OutputDebugStringA((line + "\n").c_str()); }

// Fetches each child of an enumeration or a data object in file order and
// hands it to `visit`; a child that cannot be fetched is skipped.
template <class Parent, class Visit>
void ForEachChild(Parent* parent, Visit visit) {
    SIZE_T count = 0;
    CHECKED(parent->GetChildren(&count));
    for (SIZE_T i = 0; i < count; ++i) {
        ID3DXFileData* child = nullptr;
        if (FAILED(CHECKED(parent->GetChild(i, &child)))) continue;
        visit(child);
        child->Release();
    }
}

}  // namespace

bool cModel::ReadAnimations(const std::string& fileName) {
    ID3DXFile* file = nullptr;
    if (FAILED(CHECKED(D3DXFileCreate(&file)))) return false;
    if (FAILED(CHECKED(file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES)))) {
        file->Release();
        return false;
    }
    ID3DXFileEnumObject* enumObject = nullptr;
    if (FAILED(CHECKED(file->CreateEnumObject(fileName.c_str(), D3DXF_FILELOAD_FROMFILE, &enumObject)))) {
        file->Release();
        return false;
    }
    ForEachChild(enumObject, [this](ID3DXFileData* child) { ReadDataObject(nullptr, child); });
    enumObject->Release();
    file->Release();
    return true;
}

bool cModel::ReadDataObject(ID3DXFileData* parent, ID3DXFileData* _dataObject) {
    GUID _templateGUID{};
    if (!ReadType(_dataObject, &_templateGUID)) return false;

    if (_templateGUID == TID_D3DRMAnimationSet) {
        auto set = std::make_unique<cAnimationSet>();
        set->m_name = ReadName(_dataObject);
        m_animationSets.push_back(std::move(set));
    } else if (_templateGUID == TID_D3DRMAnimation) {
        if (!m_animationSets.empty())
            m_animationSets.back()->m_animations.push_back(std::make_unique<cBoneAnimation>());
    } else if (_templateGUID == TID_D3DRMFrame) {
        // A frame inside an animation names its bone; frames elsewhere are
        // the model's own tree and are not animation data.
        if (!m_animationSets.empty() && !m_animationSets.back()->m_animations.empty() && parent != nullptr) {
            GUID parentGUID{};
            ReadType(parent, &parentGUID);
            if (parentGUID == TID_D3DRMAnimation)
                m_animationSets.back()->m_animations.back()->m_name = ReadName(_dataObject);
        }
    } else if (_templateGUID == TID_D3DRMAnimationKey) {
        if (!m_animationSets.empty() && !m_animationSets.back()->m_animations.empty()) {
            cAnimationSet& set = *m_animationSets.back();
            SIZE_T size = 0;
            const void* data = nullptr;
            if (FAILED(CHECKED(_dataObject->Lock(&size, &data)))) return false;
            ReadKeys(data, size, *set.m_animations.back(), set);
            CHECKED(_dataObject->Unlock());
        }
    }

    ForEachChild(_dataObject, [this, _dataObject](ID3DXFileData* child) { ReadDataObject(_dataObject, child); });
    return true;
}

// The payload: key type, key count, then per key its time, its value count
// and the values. A short payload gives the keys that fit and a trace line.
void cModel::ReadKeys(const void* data, SIZE_T size, cBoneAnimation& animation, cAnimationSet& set) {
    PayloadReader payload(data, size);
    if (!payload.Has(8)) {
        Trace("animation key of " + animation.m_name + ": the key block is too short to hold its type and count");
        return;
    }
    const uint32_t keyType = payload.Dword();
    const uint32_t keyCount = payload.Dword();
    const uint32_t expected = ValuesOf(keyType);
    bool warnedCount = false;
    for (uint32_t i = 0; i < keyCount; ++i) {
        // Keys are made as they are read, so a short block makes none past
        // its end.
        const auto cutShort = [&] {
            Trace("animation key of " + animation.m_name + ": the key block holds " + std::to_string(i) + " of its " +
                  std::to_string(keyCount) + " keys");
        };
        if (!payload.Has(8)) return cutShort();
        const uint32_t time = payload.Dword();
        const uint32_t values = payload.Dword();
        if (!payload.Has(SIZE_T(values) * 4)) return cutShort();
        if (i >= animation.m_keys.size()) animation.m_keys.resize(i + 1);
        cKeyFrame& key = animation.m_keys[i];
        key.m_time = static_cast<float>(time);
        if (static_cast<float>(set.m_length) < key.m_time)
            set.m_length = key.m_time >= static_cast<float>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(key.m_time);

        if (expected == 0 || values != expected) {
            // An unknown type, or a count that does not fit the type: the
            // key keeps what it had, and the next key is found by the count.
            if (expected != 0 && !warnedCount) {
                Trace("animation key of " + animation.m_name + ": a key of type " + std::to_string(keyType) + " has " +
                      std::to_string(values) + " values instead of " + std::to_string(expected));
                warnedCount = true;
            }
            payload.Skip(SIZE_T(values) * 4);
            continue;
        }
        switch (keyType) {
            case 0: {
                const float w = payload.Float(), x = payload.Float(), y = payload.Float(), z = payload.Float();
                key.m_transform.m_rotation = cQuaternion(x, y, z, w);
                break;
            }
            case 1:
            case 2: {
                const float x = payload.Float(), y = payload.Float(), z = payload.Float();
                (keyType == 1 ? key.m_transform.m_scale : key.m_transform.m_translation) = D3DXVECTOR3(x, y, z);
                break;
            }
            default: {
                D3DXMATRIX m;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) m.m[r][c] = payload.Float();
                key.m_transform = cVQS::FromMatrix(m);
                break;
            }
        }
    }
}

cModel::~cModel() {
    if (m_animController != nullptr) m_animController->Release();
    if (m_frameRoot != nullptr) {
        cMeshHeirarchy _memoryAllocator;
        CHECKED(D3DXFrameDestroy(m_frameRoot, &_memoryAllocator));
    }
}

void cModel::BindAnimations() {
    for (const auto& set : m_animationSets)
        for (const auto& animation : set->m_animations)
            animation->m_frame = static_cast<cFrame*>(D3DXFrameFind(m_frameRoot, animation->m_name.c_str()));
}

namespace {

// Every frame of the tree, each before its children and its later siblings.
template <typename Visit>
void ForEachFrame(cFrame* root, Visit visit) {
    std::vector<cFrame*> pending;
    if (root != nullptr) pending.push_back(root);
    while (!pending.empty()) {
        cFrame* frame = pending.back();
        pending.pop_back();
        visit(frame);
        if (frame->pFrameSibling != nullptr) pending.push_back(static_cast<cFrame*>(frame->pFrameSibling));
        if (frame->pFrameFirstChild != nullptr) pending.push_back(static_cast<cFrame*>(frame->pFrameFirstChild));
    }
}

}  // namespace

void cModel::InitLocalTransforms() {
    ForEachFrame(m_frameRoot, [](cFrame* frame) { frame->m_local = cVQS::FromMatrix(frame->TransformationMatrix); });
}

void cModel::SetupBones(cFrame* root) {
    // The frame, then everything from its sibling on, then its children.
    const auto visit = [this](auto&& self, cFrame* frame) -> void {
        if (frame == nullptr) return;
        for (auto* c = static_cast<cMeshContainer*>(frame->pMeshContainer); c != nullptr;
             c = static_cast<cMeshContainer*>(c->pNextMeshContainer)) {
            if (m_skinnedContainer == nullptr) m_skinnedContainer = c;
            if (c->pSkinInfo == nullptr || c->MeshData.pMesh == nullptr) continue;
            c->MeshData.pMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, c->MeshData.pMesh->GetFVF(), m_device, &c->m_skinnedMesh);
            const DWORD bones = c->pSkinInfo->GetNumBones();
            if (static_cast<int32_t>(bones) > m_maxBones) m_maxBones = static_cast<int32_t>(bones);
            for (DWORD i = 0; i < bones; ++i) {
                auto* bone = static_cast<cFrame*>(D3DXFrameFind(m_frameRoot, c->pSkinInfo->GetBoneName(i)));
                c->m_boneTransforms[i] = bone != nullptr ? &bone->m_combined : &m_identity;
                if (bone == nullptr)
                    OutputDebugStringA((m_name + ": bone " + c->pSkinInfo->GetBoneName(i) +
                                        " names no frame; it stays in place\n").c_str());
            }
        }
        self(self, static_cast<cFrame*>(frame->pFrameSibling));
        self(self, static_cast<cFrame*>(frame->pFrameFirstChild));
    };
    visit(visit, root);
}

void cModel::Update(float time) {
    EvaluateKeys(time);
    if (m_frameRoot == nullptr) return;
    UpdateTransforms(m_frameRoot, nullptr);
    cMeshContainer* c = m_skinnedContainer;
    if (c == nullptr || c->pSkinInfo == nullptr || c->m_skinnedMesh == nullptr) return;
    const DWORD bones = std::min<DWORD>(c->pSkinInfo->GetNumBones(), static_cast<DWORD>(m_boneMatrices.size()));
    for (DWORD i = 0; i < bones; ++i) m_boneMatrices[i] = c->m_boneOffsets[i] * cVQS::ToMatrix(*c->m_boneTransforms[i]);
    void* source = nullptr;
    void* destination = nullptr;
    c->MeshData.pMesh->LockVertexBuffer(D3DLOCK_READONLY, &source);
    c->m_skinnedMesh->LockVertexBuffer(0, &destination);
    c->pSkinInfo->UpdateSkinnedMesh(m_boneMatrices.data(), nullptr, source, destination);
    c->m_skinnedMesh->UnlockVertexBuffer();
    c->MeshData.pMesh->UnlockVertexBuffer();
}

void cModel::EvaluateKeys(float time) {
    if (m_animationSets.empty()) return;
    // The index follows the set count the platform reports, which can be
    // more than the sets that were read.
    if (m_currentSet >= m_animationSets.size()) m_currentSet = 0;
    const cAnimationSet& set = *m_animationSets[m_currentSet];
    // Looping: a set of length 0 is held at its start.
    const double ticks = std::trunc(static_cast<double>(time));
    const int64_t whole = std::isfinite(ticks) && std::fabs(ticks) < 9e18 ? static_cast<int64_t>(ticks) : 0;
    const auto truncated = static_cast<int32_t>(whole);
    const float T = set.m_length > 0 ? static_cast<float>(truncated % set.m_length) : 0.0f;
    for (const auto& animation : set.m_animations) {
        if (animation->m_frame == nullptr) continue;
        const auto& keys = animation->m_keys;
        for (size_t j = 0; j + 1 < keys.size(); ++j) {
            const cKeyFrame& a = keys[j];
            const cKeyFrame& b = keys[j + 1];
            if (a.m_time <= T && T <= b.m_time) {
                // Two keys at the same time: the later one.
                const float span = b.m_time - a.m_time;
                const float f = span > 0 ? (T - a.m_time) / span : 1.0f;
                animation->m_frame->m_local = cVQS::Interpolate(a.m_transform, b.m_transform, f);
                break;
            }
        }
    }
}

void cModel::UpdateTransforms(cFrame* frame, const D3DXMATRIX* parent) {
    // Siblings iteratively, children by recursion: the depth is the tree's,
    // which the reader bounds, not the length of a sibling chain.
    for (; frame != nullptr; frame = static_cast<cFrame*>(frame->pFrameSibling)) {
        frame->m_combined = parent != nullptr ? cVQS::Concatenate(cVQS::FromMatrix(*parent), frame->m_local) : frame->m_local;
        if (frame->pFrameFirstChild != nullptr) {
            const D3DXMATRIX combined = cVQS::ToMatrix(frame->m_combined);
            UpdateTransforms(static_cast<cFrame*>(frame->pFrameFirstChild), &combined);
        }
    }
}

void cModel::DrawSkeleton(const D3DXMATRIX& world, std::vector<Line>* lines) {
    if (m_frameRoot != nullptr) DrawSkeleton(m_frameRoot, std::nullopt, std::nullopt, cVQS::FromMatrix(world), lines);
}

void cModel::DrawSkeleton(cFrame* frame, std::optional<D3DXVECTOR3> anchor, std::optional<D3DXVECTOR3> override,
                          const cVQS& parent, std::vector<Line>* lines) {
    // A joint exactly at the origin is never a start point.
    const auto usable = [](const std::optional<D3DXVECTOR3>& p) { return p && !(p->x == 0 && p->y == 0 && p->z == 0); };
    // The sibling chain in a loop: a first child is joined to its parent's
    // joint, every later sibling to the first joint of the chain. (Children
    // are drawn before later siblings; the lines are the same either way.)
    for (; frame != nullptr; frame = static_cast<cFrame*>(frame->pFrameSibling)) {
        frame->m_combined = cVQS::Concatenate(parent, frame->m_local);
        const D3DXVECTOR3 joint = cVQS::TransformPoint(frame->m_combined, D3DXVECTOR3(0, 0, 0));
        if (usable(override)) lines->emplace_back(*override, joint);
        else if (usable(anchor)) lines->emplace_back(*anchor, joint);
        if (frame->pFrameFirstChild != nullptr)
            DrawSkeleton(static_cast<cFrame*>(frame->pFrameFirstChild), joint, std::nullopt, frame->m_combined, lines);
        anchor = joint;
        if (!override) override = joint;
    }
}

}  // namespace Vorel
