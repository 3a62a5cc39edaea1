#include "cModel.h"

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "CheckedCall.h"
#include "cEffectsManager.h"
#include "cGraphicsManager.h"
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
    SIZE_T Left() const { return m_size - m_at; }
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
        case 0:
            return 4;  // rotation w, x, y, z
        case 1:
        case 2:
            return 3;  // scale, translation
        case 3:
        case 4:
            return 16;  // matrix: 4 in files, 3 in the format's documentation
        default:
            return 0;
    }
}

// A rotation key holds w, x, y, z of the conjugate of D3DX's quaternion for
// the same rotation: a file's first key matches its frame's bind rotation
// only when read so, and the importers of these files all read it so.
// Exporters write keys visibly short of unit length, which the rotation
// matrix would turn into a shrunken limb, so the key is normalised; a key of
// length zero (or not a number) is no rotation at all, and false.
bool RotationOfKey(float w, float x, float y, float z, cQuaternion* rotation) {
    const float length = std::sqrt(w * w + x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length)) {
        *rotation = cQuaternion();
        return false;
    }
    *rotation = cQuaternion(-x / length, -y / length, -z / length, w / length);
    return true;
}

// Tracks are kept in time order; a stable sort keeps the file's order of
// keys that share a time, the later of which wins.
template <class Key>
void SortByTime(std::vector<Key>& keys) {
    const auto earlier = [](const Key& a, const Key& b) { return a.m_time < b.m_time; };
    if (!std::is_sorted(keys.begin(), keys.end(), earlier))
        std::stable_sort(keys.begin(), keys.end(), earlier);
}

// Calls `act` with the track that keys of `keyType` (a known one) go to.
template <class Act>
void WithTrack(cBoneAnimation& animation, uint32_t keyType, Act act) {
    switch (keyType) {
        case 0:
            act(animation.m_rotationKeys);
            break;
        case 1:
            act(animation.m_scaleKeys);
            break;
        case 2:
            act(animation.m_translationKeys);
            break;
        default:
            act(animation.m_matrixKeys);
            break;
    }
}

// The track's value at T: its first key's before the first time, its last
// key's after the last, otherwise blended between the two keys around T
// (where keys share T, the later one). The track must not be empty.
template <class Value, class Blend>
Value Sample(const std::vector<cKey<Value>>& keys, float T, Blend blend) {
    const auto after = std::upper_bound(keys.begin(), keys.end(), T,
                                        [](float t, const cKey<Value>& key) { return t < key.m_time; });
    if (after == keys.begin()) return keys.front().m_value;
    if (after == keys.end()) return keys.back().m_value;
    const cKey<Value>& a = *(after - 1);
    return blend(a.m_value, after->m_value, (T - a.m_time) / (after->m_time - a.m_time));
}

D3DXVECTOR3 Lerp(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float t) {
    return a * (1.0f - t) + b * t;
}

// The time within a set of `length` ticks, in floating point so that a
// file of few ticks a second is interpolated between its keys. A set of
// length 0 is held at its start.
float LoopTime(float time, int32_t length) {
    if (length <= 0 || !std::isfinite(time)) return 0;
    const float T = std::fmod(time, static_cast<float>(length));
    return T < 0 ? T + static_cast<float>(length) : T;
}

bool ReadType(ID3DXFileData* _dataObject, GUID* type) {
    GUID _templateGUID{};
    const bool read = SUCCEEDED(CHECKED(_dataObject->GetType(&_templateGUID)));
    *type = _templateGUID;
    return read;
}

void Trace(const std::string& line) {
    OutputDebugStringA((line + "\n").c_str());
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
    m_ticksPerSecondRead = 0;
    m_setsWithoutRate = 0;
    SIZE_T count = 0;
    CHECKED(enumObject->GetChildren(&count));
    for (SIZE_T i = 0; i < count; ++i) {
        ID3DXFileData* child = nullptr;
        if (FAILED(CHECKED(enumObject->GetChild(i, &child)))) continue;  // skipped
        ReadDataObject(nullptr, child);
        child->Release();
    }
    enumObject->Release();
    file->Release();
    return true;
}

bool cModel::ReadDataObject(ID3DXFileData* parent, ID3DXFileData* _dataObject) {
    if (!ReadOneObject(parent, _dataObject)) return false;
    // Depth first in file order. Each open object is held until its last
    // child is done; the one given is the caller's.
    struct Open {
        ID3DXFileData* object;
        SIZE_T next;
        SIZE_T count;
    };
    std::vector<Open> path;
    const auto open = [&path](ID3DXFileData* object) {
        SIZE_T count = 0;
        if (object->IsReference() || FAILED(CHECKED(object->GetChildren(&count))) || count == 0) return false;
        path.push_back({object, 0, count});
        return true;
    };
    open(_dataObject);
    while (!path.empty()) {
        Open& top = path.back();
        if (top.next == top.count) {
            if (path.size() > 1) top.object->Release();
            path.pop_back();
            continue;
        }
        ID3DXFileData* holder = top.object;
        ID3DXFileData* child = nullptr;
        if (FAILED(CHECKED(holder->GetChild(top.next++, &child)))) continue;
        // `top` is not used past here: opening the child may move it.
        if (!ReadOneObject(holder, child) || !open(child)) child->Release();
    }
    return true;
}

bool cModel::ReadOneObject(ID3DXFileData* parent, ID3DXFileData* _dataObject) {
    GUID _templateGUID{};
    if (!ReadType(_dataObject, &_templateGUID)) return false;

    if (_templateGUID == TID_D3DRMAnimationSet) {
        auto set = std::make_unique<cAnimationSet>();
        set->m_name = ReadName(_dataObject);
        // The tick rate before the set applies to it; a set before any
        // takes the file's first.
        if (m_ticksPerSecondRead > 0)
            set->m_ticksPerSecond = m_ticksPerSecondRead, set->m_rateFromFile = true;
        else
            ++m_setsWithoutRate;
        m_animationSets.push_back(std::move(set));
    } else if (_templateGUID == DXFILEOBJ_AnimTicksPerSecond) {
        SIZE_T size = 0;
        const void* data = nullptr;
        if (FAILED(CHECKED(_dataObject->Lock(&size, &data)))) return false;
        PayloadReader payload(data, size);
        const uint32_t rate = payload.Has(4) ? payload.Dword() : 0;
        CHECKED(_dataObject->Unlock());
        if (rate == 0) {
            Trace(m_name + ": a tick rate of no ticks a second is ignored");
        } else {
            m_ticksPerSecondRead = static_cast<float>(rate);
            for (size_t i = m_animationSets.size() - m_setsWithoutRate; i < m_animationSets.size(); ++i)
                m_animationSets[i]->m_ticksPerSecond = m_ticksPerSecondRead,
                m_animationSets[i]->m_rateFromFile = true;
            m_setsWithoutRate = 0;
        }
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
    return true;
}

// The payload: key type, key count, then per key its time, its value count
// and the values. Each block adds to its component's track. A short payload
// gives the keys that fit and a trace line.
void cModel::ReadKeys(const void* data, SIZE_T size, cBoneAnimation& animation, cAnimationSet& set) {
    PayloadReader payload(data, size);
    const auto trace = [&](const std::string& what) {
        Trace("animation key of " + animation.m_name + ": " + what);
    };
    if (!payload.Has(8)) return trace("the key block is too short to hold its type and count");
    const uint32_t keyType = payload.Dword();
    const uint32_t keyCount = payload.Dword();
    const uint32_t expected = ValuesOf(keyType);
    if (expected == 0)
        return trace("key type " + std::to_string(keyType) +
                     " is none of rotation, scale, position or matrix; its keys are skipped");
    // No more keys than the payload can hold, whatever the count says.
    const size_t fit = std::min<size_t>(keyCount, payload.Left() / (8 + 4 * size_t(expected)));
    WithTrack(animation, keyType, [fit](auto& track) { track.reserve(track.size() + fit); });
    bool wrongCount = false, noRotation = false;
    uint32_t i = 0;
    for (; i < keyCount; ++i) {
        if (!payload.Has(8)) break;
        const uint32_t ticks = payload.Dword();
        const uint32_t values = payload.Dword();
        if (!payload.Has(SIZE_T(values) * 4)) break;
        if (values != expected) {
            // A count that does not fit the type: the key is dropped, and
            // the next one is found by the count.
            if (!wrongCount)
                trace("a key of type " + std::to_string(keyType) + " has " + std::to_string(values) +
                      " values instead of " + std::to_string(expected) + "; such keys are dropped");
            wrongCount = true;
            payload.Skip(SIZE_T(values) * 4);
            continue;
        }
        const float time = static_cast<float>(ticks);
        switch (keyType) {
            case 0: {
                const float w = payload.Float(), x = payload.Float(), y = payload.Float(),
                            z = payload.Float();
                cRotationKey& key = animation.m_rotationKeys.emplace_back(cRotationKey{time, {}});
                if (!RotationOfKey(w, x, y, z, &key.m_value) && !noRotation) {
                    trace("a rotation key of length zero is taken as no rotation");
                    noRotation = true;
                }
                break;
            }
            case 1:
            case 2: {
                const float x = payload.Float(), y = payload.Float(), z = payload.Float();
                (keyType == 1 ? animation.m_scaleKeys : animation.m_translationKeys)
                    .push_back(cVectorKey{time, D3DXVECTOR3(x, y, z)});
                break;
            }
            default: {
                D3DXMATRIX m;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c)
                        m.m[r][c] = payload.Float();
                animation.m_matrixKeys.push_back(cKeyFrame{time, cVQS::FromMatrix(m)});
                break;
            }
        }
        if (int64_t(ticks) > set.m_length)
            set.m_length = static_cast<int32_t>(std::min<uint32_t>(ticks, INT32_MAX));
    }
    if (i < keyCount)
        trace("the key block holds " + std::to_string(i) + " of its " + std::to_string(keyCount) + " keys");
    WithTrack(animation, keyType, [](auto& track) { SortByTime(track); });
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
            animation->m_frame = FindFrame(animation->m_name.c_str());
}

cFrame* cModel::FindFrame(const char* name) const {
    const auto it = m_frameByName.find(name);
    return it != m_frameByName.end() ? it->second : nullptr;
}

void cModel::InitLocalTransforms() {
    m_frames.clear();
    m_links.clear();
    m_frameByName.clear();
    // Each frame before its children, its children before its later
    // siblings; a pending sibling knows its parent and its chain.
    struct Pending {
        cFrame* frame;
        Link link;
    };
    std::vector<Pending> pending;
    if (m_frameRoot != nullptr) pending.push_back({m_frameRoot, {}});
    while (!pending.empty()) {
        const Pending p = pending.back();
        pending.pop_back();
        const auto index = static_cast<int32_t>(m_frames.size());
        Link link = p.link;
        if (link.first < 0) link.first = index;
        m_frames.push_back(p.frame);
        m_links.push_back(link);
        p.frame->m_bind = p.frame->m_local = cVQS::FromMatrix(p.frame->TransformationMatrix);
        if (p.frame->Name != nullptr) m_frameByName.try_emplace(p.frame->Name, p.frame);
        if (p.frame->pFrameSibling != nullptr)
            pending.push_back(
                {static_cast<cFrame*>(p.frame->pFrameSibling), {link.parent, link.first, index}});
        if (p.frame->pFrameFirstChild != nullptr)
            pending.push_back({static_cast<cFrame*>(p.frame->pFrameFirstChild), {index, -1, -1}});
    }
    m_childSpace.assign(m_frames.size(), cVQS());
    m_joints.assign(m_frames.size(), D3DXVECTOR3(0, 0, 0));
}

void cModel::SetupBones() {
    // The containers are drawn (and posed and exported) in this order: a
    // frame's, then those of its later siblings and all they hold, then its
    // children's. m_frames holds children before later siblings, so the
    // order is walked over it with each frame's next sibling; its first
    // child, if any, comes right after it.
    const auto count = static_cast<int32_t>(m_frames.size());
    std::vector<int32_t> nextSibling(m_frames.size(), -1);
    for (int32_t i = 0; i < count; ++i)
        if (m_links[i].previous >= 0) nextSibling[m_links[i].previous] = i;
    std::vector<int32_t> pending;
    if (count > 0) pending.push_back(0);
    while (!pending.empty()) {
        const int32_t at = pending.back();
        pending.pop_back();
        cFrame* frame = m_frames[at];
        for (auto* c = static_cast<cMeshContainer*>(frame->pMeshContainer); c != nullptr;
             c = static_cast<cMeshContainer*>(c->pNextMeshContainer)) {
            m_containers.push_back({c, frame});
            if (c->pSkinInfo == nullptr || c->MeshData.pMesh == nullptr) continue;
            c->MeshData.pMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, c->MeshData.pMesh->GetFVF(), m_device,
                                            &c->m_skinnedMesh);
            const DWORD bones = c->pSkinInfo->GetNumBones();
            if (static_cast<int32_t>(bones) > m_maxBones) m_maxBones = static_cast<int32_t>(bones);
            for (DWORD i = 0; i < bones; ++i) {
                cFrame* bone = FindFrame(c->pSkinInfo->GetBoneName(i));
                c->m_boneTransforms[i] = bone != nullptr ? &bone->m_combined : &m_identity;
                if (bone == nullptr)
                    Trace(m_name + ": bone " + c->pSkinInfo->GetBoneName(i) +
                          " names no frame; it stays in place");
            }
        }
        if (at + 1 < count && m_links[at + 1].parent == at) pending.push_back(at + 1);
        if (nextSibling[at] >= 0) pending.push_back(nextSibling[at]);
    }
}

const cAnimationSet* cModel::CurrentSet() {
    if (m_animationSets.empty()) return nullptr;
    // The index follows the set count the platform reports, which can be
    // more than the sets that were read.
    if (m_currentSet >= m_animationSets.size()) m_currentSet = 0;
    return m_animationSets[m_currentSet].get();
}

void cModel::AdvanceClock(float elapsedMs) {
    const cAnimationSet* set = CurrentSet();
    const float ticksPerSecond =
        set != nullptr ? set->m_ticksPerSecond : cAnimationSet::kDefaultTicksPerSecond;
    m_time += elapsedMs * m_speed * (ticksPerSecond / 1000.0f);
    // The loop would bring the time back into the set anyway; doing it here
    // keeps the float's precision after hours of play.
    if (set != nullptr && set->m_length > 0 && m_time >= static_cast<float>(set->m_length))
        m_time = std::fmod(m_time, static_cast<float>(set->m_length));
}

void cModel::Update(float time) {
    EvaluateKeys(time);
    if (m_frameRoot == nullptr) return;
    UpdateTransforms();
    for (const Container& c : m_containers)
        SkinContainer(c.container);
}

// The container's vertices posed by its own bones, through the palette
// that every container shares.
void cModel::SkinContainer(cMeshContainer* c) {
    if (!c->IsSkinned()) return;
    const DWORD bones =
        std::min<DWORD>(c->pSkinInfo->GetNumBones(), static_cast<DWORD>(m_boneMatrices.size()));
    for (DWORD i = 0; i < bones; ++i)
        m_boneMatrices[i] = c->m_boneOffsets[i] * cVQS::ToMatrix(*c->m_boneTransforms[i]);
    void* source = nullptr;
    void* destination = nullptr;
    c->MeshData.pMesh->LockVertexBuffer(D3DLOCK_READONLY, &source);
    c->m_skinnedMesh->LockVertexBuffer(0, &destination);
    c->pSkinInfo->UpdateSkinnedMesh(m_boneMatrices.data(), nullptr, source, destination);
    c->MeshData.pMesh->UnlockVertexBuffer();
    if (c->m_showWeights) {
        // The weights' copy takes the pose: its positions and normals.
        void* coloured = nullptr;
        const DWORD from = c->m_skinnedMesh->GetNumBytesPerVertex(),
                    to = c->m_weightMesh->GetNumBytesPerVertex();
        const size_t bytes = (c->m_skinnedMesh->GetFVF() & D3DFVF_NORMAL) ? 24 : 12;
        if (SUCCEEDED(c->m_weightMesh->LockVertexBuffer(0, &coloured))) {
            const DWORD vertices = c->m_weightMesh->GetNumVertices();
            for (DWORD v = 0; v < vertices; ++v)
                std::memcpy(static_cast<char*>(coloured) + size_t(v) * to,
                            static_cast<const char*>(destination) + size_t(v) * from, bytes);
            c->m_weightMesh->UnlockVertexBuffer();
        }
    }
    c->m_skinnedMesh->UnlockVertexBuffer();
}

bool cModel::BoneWeights(const cMeshContainer& container, const char* bone, std::vector<float>* weights) {
    weights->clear();
    ID3DXSkinInfo* skin = container.pSkinInfo;
    LPD3DXMESH mesh = container.MeshData.pMesh;
    if (skin == nullptr || mesh == nullptr || bone == nullptr) return false;
    bool found = false;
    std::vector<DWORD> vertices;
    std::vector<float> amounts;
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
        if (std::strcmp(skin->GetBoneName(b), bone) != 0) continue;
        if (!found) weights->assign(mesh->GetNumVertices(), 0.0f);
        found = true;
        const DWORD influences = skin->GetNumBoneInfluences(b);
        vertices.resize(influences);
        amounts.resize(influences);
        if (influences == 0 || FAILED(skin->GetBoneInfluence(b, vertices.data(), amounts.data()))) continue;
        for (DWORD i = 0; i < influences; ++i)
            if (vertices[i] < weights->size()) (*weights)[vertices[i]] += amounts[i];
    }
    return found;
}

int cModel::ShowWeights(const char* bone, D3DCOLOR (*colour)(float)) {
    int weighed = 0;
    std::vector<float> weights;
    for (const Container& entry : m_containers) {
        cMeshContainer* c = entry.container;
        c->m_showWeights = false;
        if (!c->IsSkinned() || !BoneWeights(*c, bone, &weights)) continue;
        if (c->m_weightMesh == nullptr &&
            FAILED(c->m_skinnedMesh->CloneMeshFVF(
                D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE, m_device, &c->m_weightMesh)))
            continue;
        void* data = nullptr;
        if (FAILED(c->m_weightMesh->LockVertexBuffer(0, &data))) continue;
        const DWORD stride = c->m_weightMesh->GetNumBytesPerVertex();
        const size_t vertices = std::min<size_t>(weights.size(), c->m_weightMesh->GetNumVertices());
        for (size_t v = 0; v < vertices; ++v) {
            const D3DCOLOR value = colour(weights[v]);
            std::memcpy(static_cast<char*>(data) + v * stride + 24, &value, sizeof value);
        }
        c->m_weightMesh->UnlockVertexBuffer();
        c->m_showWeights = true;
        ++weighed;
    }
    return weighed;
}

void cModel::ModelSpaceVertices(const Container& c, std::vector<D3DXVECTOR3>* vertices) {
    vertices->clear();
    const bool skinned = c.container->IsSkinned();
    LPD3DXMESH mesh = skinned ? c.container->m_skinnedMesh : c.container->MeshData.pMesh;
    void* data = nullptr;
    if (mesh == nullptr || FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return;
    const DWORD stride = mesh->GetNumBytesPerVertex();
    const D3DXMATRIX frame = cVQS::ToMatrix(c.frame->m_combined);
    vertices->resize(mesh->GetNumVertices());
    for (size_t v = 0; v < vertices->size(); ++v) {
        D3DXVECTOR3& p = (*vertices)[v];
        std::memcpy(&p, static_cast<const char*>(data) + v * stride, sizeof p);
        if (!skinned) D3DXVec3TransformCoord(&p, &p, &frame);
    }
    mesh->UnlockVertexBuffer();
}

void cModel::EvaluateKeys(float time) {
    // From the bind pose each time: what the set does not animate stands as
    // the file has it, never as another set left it.
    for (cFrame* frame : m_frames)
        frame->m_local = frame->m_bind;
    const cAnimationSet* set = CurrentSet();
    if (set == nullptr) return;
    const float T = LoopTime(time, set->m_length);
    for (const auto& animation : set->m_animations) {
        if (animation->m_frame == nullptr) continue;
        cVQS& local = animation->m_frame->m_local;
        if (!animation->m_matrixKeys.empty()) local = Sample(animation->m_matrixKeys, T, cVQS::Interpolate);
        if (!animation->m_rotationKeys.empty())
            local.m_rotation = Sample(animation->m_rotationKeys, T, cQuaternion::Slerp);
        if (!animation->m_scaleKeys.empty()) local.m_scale = Sample(animation->m_scaleKeys, T, Lerp);
        if (!animation->m_translationKeys.empty())
            local.m_translation = Sample(animation->m_translationKeys, T, Lerp);
    }
}

void cModel::UpdateTransforms() {
    // Parents come first in m_frames. A child is placed in its parent's
    // combined transform as a matrix would place it.
    for (size_t i = 0; i < m_frames.size(); ++i) {
        cFrame* frame = m_frames[i];
        const int32_t parent = m_links[i].parent;
        frame->m_combined =
            parent >= 0 ? cVQS::Concatenate(m_childSpace[parent], frame->m_local) : frame->m_local;
        if (frame->pFrameFirstChild != nullptr)
            m_childSpace[i] = cVQS::FromMatrix(cVQS::ToMatrix(frame->m_combined));
    }
}

void cModel::DrawSkeleton(const D3DXMATRIX& world, std::vector<Line>* lines) {
    // A joint exactly at the origin is never a start point.
    const auto usable = [](const D3DXVECTOR3* p) {
        return p != nullptr && !(p->x == 0 && p->y == 0 && p->z == 0);
    };
    const cVQS placed = cVQS::FromMatrix(world);
    // A first child is joined to its parent's joint, every later sibling to
    // the first joint of its chain, or where that is the origin to the
    // joint before it.
    for (size_t i = 0; i < m_frames.size(); ++i) {
        cFrame* frame = m_frames[i];
        const Link& link = m_links[i];
        frame->m_combined =
            cVQS::Concatenate(link.parent >= 0 ? m_frames[link.parent]->m_combined : placed, frame->m_local);
        const D3DXVECTOR3 joint = cVQS::TransformPoint(frame->m_combined, D3DXVECTOR3(0, 0, 0));
        m_joints[i] = joint;
        const D3DXVECTOR3* first = link.previous >= 0 ? &m_joints[link.first] : nullptr;
        const D3DXVECTOR3* before = link.previous >= 0 ? &m_joints[link.previous]
                                    : link.parent >= 0 ? &m_joints[link.parent]
                                                       : nullptr;
        if (lines == nullptr) continue;
        if (usable(first))
            lines->emplace_back(*first, joint);
        else if (usable(before))
            lines->emplace_back(*before, joint);
    }
}

void cModel::DrawMeshes(Graphics::cEffectsManager* effects, LPD3DXEFFECT effect) {
    if (m_frameRoot == nullptr || m_device == nullptr) return;
    m_device->GetTransform(D3DTS_WORLD, &m_world);
    for (const Container& c : m_containers)
        DrawMeshContainer(c, effects, effect, m_world);
}

bool cModel::Draw(Graphics::cEffectsManager* effects, LPD3DXEFFECT effect) {
    if (m_frameRoot == nullptr || m_device == nullptr) return true;
    DrawMeshes(effects, effect);
    const D3DXMATRIX world = m_world;
    // Before the skeleton, which leaves world-space transforms behind.
    if (m_normalLength > 0 || m_measureBox) Measure(world);
    // The joints are placed whether or not the skeleton is shown: names
    // and picking use them.
    m_skeletonLines.clear();
    DrawSkeleton(world, m_showSkeleton ? &m_skeletonLines : nullptr);
    if (m_showSkeleton) {
        m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
        cGraphicsManager* graphics = cGraphicsManager::Instance();
        for (const Line& line : m_skeletonLines)
            graphics->DrawLine(line.first, line.second, D3DXCOLOR(255.0f, 255.0f, 255.0f, 255.0f));
        m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    }
    return true;
}

void cModel::Measure(const D3DXMATRIX& world) {
    m_normalLines.clear();
    constexpr float kHuge = std::numeric_limits<float>::max();
    m_boxMin = D3DXVECTOR3(kHuge, kHuge, kHuge);
    m_boxMax = D3DXVECTOR3(-kHuge, -kHuge, -kHuge);
    for (const Container& c : m_containers) {
        const bool skinned = c.container->IsSkinned();
        LPD3DXMESH mesh = skinned ? c.container->m_skinnedMesh : c.container->MeshData.pMesh;
        void* data = nullptr;
        if (mesh == nullptr || FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) continue;
        // Skinned vertices are posed in model space already.
        D3DXMATRIX frame;
        if (skinned)
            D3DXMatrixIdentity(&frame);
        else
            frame = cVQS::ToMatrix(c.frame->m_combined);
        const D3DXMATRIX placed = frame * world;
        const DWORD stride = mesh->GetNumBytesPerVertex();
        const bool normals =
            m_normalLength > 0 && (mesh->GetFVF() & D3DFVF_NORMAL) != 0 && stride >= 2 * sizeof(D3DXVECTOR3);
        for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
            const char* vertex = static_cast<const char*>(data) + size_t(v) * stride;
            D3DXVECTOR3 p, n;
            std::memcpy(&p, vertex, sizeof p);
            if (m_measureBox) {
                D3DXVECTOR3 inModel;
                D3DXVec3TransformCoord(&inModel, &p, &frame);
                m_boxMin = D3DXVECTOR3(std::min(m_boxMin.x, inModel.x), std::min(m_boxMin.y, inModel.y),
                                       std::min(m_boxMin.z, inModel.z));
                m_boxMax = D3DXVECTOR3(std::max(m_boxMax.x, inModel.x), std::max(m_boxMax.y, inModel.y),
                                       std::max(m_boxMax.z, inModel.z));
            }
            if (!normals) continue;
            std::memcpy(&n, vertex + sizeof p, sizeof n);
            D3DXVECTOR3 from;
            D3DXVec3TransformCoord(&from, &p, &placed);
            // Turned as the vertex is, by the placement's rotation and scale.
            const D3DXVECTOR3 direction(n.x * placed._11 + n.y * placed._21 + n.z * placed._31,
                                        n.x * placed._12 + n.y * placed._22 + n.z * placed._32,
                                        n.x * placed._13 + n.y * placed._23 + n.z * placed._33);
            const float length =
                std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
            if (!(length > 0) || !std::isfinite(length)) continue;  // a vertex without a normal
            m_normalLines.push_back(from);
            m_normalLines.push_back(from + direction * (m_normalLength / length));
        }
        mesh->UnlockVertexBuffer();
    }
}

void cModel::DrawMeshContainer(const Container& c, Graphics::cEffectsManager* effects, LPD3DXEFFECT effect,
                               const D3DXMATRIX& world) {
    cMeshContainer* container = c.container;
    const bool skinned = container->IsSkinned();
    const bool weights = skinned && container->m_showWeights;
    LPD3DXMESH mesh = weights   ? container->m_weightMesh
                      : skinned ? container->m_skinnedMesh
                                : container->MeshData.pMesh;
    if (mesh == nullptr) return;
    // Skinned vertices are in model space already; a rigid mesh is in its
    // frame's space.
    const D3DXMATRIX placed = skinned ? world : cVQS::ToMatrix(c.frame->m_combined) * world;
    D3DXMATRIX placedIT;
    if (D3DXMatrixInverse(&placedIT, nullptr, &placed) == nullptr)
        return;  // a frame of scale 0 shows nothing
    D3DXMatrixTranspose(&placedIT, &placedIT);
    D3DXMATRIX view, projection;
    m_device->GetTransform(D3DTS_VIEW, &view);
    m_device->GetTransform(D3DTS_PROJECTION, &projection);
    const D3DXMATRIX pipeline = placed * view * projection;
    effect->SetMatrix(effects->GetHandle("Phong", "PipelineMtx"), &pipeline);
    effect->SetMatrix(effects->GetHandle("Phong", "WorldMtx"), &placed);
    effect->SetMatrix(effects->GetHandle("Phong", "WorldITMtx"), &placedIT);

    UINT passes = 0;
    if (FAILED(effect->Begin(&passes, 0))) return;
    for (UINT pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        for (DWORD i = 0; i < container->NumMaterials && i < container->m_materials.size(); ++i) {
            const D3DMATERIAL9& material = container->m_materials[i];
            LPDIRECT3DTEXTURE9 texture =
                i < container->m_textures.size() ? container->m_textures[i] : nullptr;
            effect->SetInt(effects->GetHandle("Phong", "HasColour"), weights ? 1 : 0);
            if (texture != nullptr && !weights) {
                effect->SetInt(effects->GetHandle("Phong", "HasTexture"), 1);
                effect->SetTexture(effects->GetHandle("Phong", "Texture"), texture);
            } else {
                effect->SetInt(effects->GetHandle("Phong", "HasTexture"), 0);
                effect->SetValue(effects->GetHandle("Phong", "DiffuseMaterial"), &material.Diffuse, 16);
                effect->SetValue(effects->GetHandle("Phong", "AmbientMaterial"), &material.Ambient, 16);
            }
            effect->SetFloat(effects->GetHandle("Phong", "SpecPower"), material.Power);
            effect->SetValue(effects->GetHandle("Phong", "SpecMaterial"), &material.Specular, 16);
            effect->CommitChanges();
            mesh->DrawSubset(i);
        }
        effect->EndPass();
    }
    effect->End();
}

}  // namespace Vorel
