#include "d3dx9/mesh/MeshBuilder.h"

#include <rmxfguid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "d3dx9/mesh/Mesh.h"
#include "d3dx9/mesh/SkinInfo.h"

namespace Platform::D3DX {
namespace {

using XFile::Node;

DEFINE_GUID(kSkinWeights, 0x6f0d123b, 0xbad2, 0x4167, 0xa0, 0xd0, 0x80, 0x22, 0x4f, 0x25, 0xfa, 0xbb);
DEFINE_GUID(kDeclData, 0xbf22e553, 0x292c, 0x4781, 0x9f, 0xea, 0x62, 0xbd, 0x55, 0x4b, 0xdd, 0x93);

// Reads a payload in order, never past its end: a short payload reads as
// zeros and marks itself short.
class Payload {
public:
    explicit Payload(const Node& node) : m_node(node) {}
    uint32_t Dword() { return Take<uint32_t>(); }
    uint16_t Word() { return Take<uint16_t>(); }
    float Float() { return Take<float>(); }
    const char* String() {
        const char* s = Take<const char*>();
        return s != nullptr ? s : "";
    }
    // n values at once, appended to `out`: zeros past the end.
    template <typename T>
    void Append(size_t n, BulkVector<T>& out) {
        if (n == 0) return;
        const size_t at = out.size();
        out.resize(at + n);
        const size_t whole = std::min(n, (m_node.payload.size() - m_at) / sizeof(T));
        if (whole > 0) std::memcpy(out.data() + at, m_node.payload.data() + m_at, whole * sizeof(T));
        m_at += whole * sizeof(T);
        if (whole < n) {
            std::memset(static_cast<void*>(out.data() + at + whole), 0, (n - whole) * sizeof(T));
            m_short = true;
        }
    }
    // Whether n more items of the given size are there: counts are checked
    // before anything is sized from them.
    bool Has(uint64_t n, size_t size) const { return n <= (m_node.payload.size() - m_at) / size; }
    bool Short() const { return m_short; }

private:
    template <typename T>
    T Take() {
        T value{};
        if (m_node.payload.size() - m_at < sizeof value) {
            m_short = true;
            return value;
        }
        std::memcpy(&value, m_node.payload.data() + m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    const Node& m_node;
    size_t m_at = 0;
    bool m_short = false;
};

// Faces as lists of indices, one after another.
struct FaceList {
    BulkVector<size_t> start{0};  // face f is [start[f], start[f + 1])
    BulkVector<uint32_t> indices;
    size_t Count() const { return start.size() - 1; }
    size_t Size(size_t f) const { return start[f + 1] - start[f]; }
    const uint32_t* Face(size_t f) const { return indices.data() + start[f]; }
    void Clear() {
        start.assign(1, 0);
        indices.clear();
    }
    // Reads `count` faces, each a count and its indices; false at the first
    // face the data does not hold, the faces after it left empty.
    bool Read(Payload& p, uint32_t count) {
        start.reserve(size_t(count) + 1);
        indices.reserve(std::min<size_t>(size_t(count) * 3, 1 << 24));
        for (uint32_t f = 0; f < count; ++f) {
            const uint32_t n = p.Dword();
            if (!p.Has(n, 4)) {
                start.resize(size_t(count) + 1, indices.size());
                return false;
            }
            p.Append(n, indices);
            start.push_back(indices.size());
        }
        return true;
    }
};

template <typename T>
void Release(T& container) {
    T empty;
    std::swap(empty, container);
}

struct Corner {
    uint32_t position;
    int32_t normal;  // -1: none
};

class Builder {
public:
    Builder(const Node& node, const std::string& fileName, TextureNames* textureNames)
        : m_node(node), m_file(fileName), m_textureNameOf(textureNames) {}

    bool Build(LPDIRECT3DDEVICE9 device, DWORD options, BuiltMesh* out);

private:
    void Trace(const std::string& what) {
        OutputDebugStringA(
            (m_file + ": mesh " + (m_node.name.empty() ? "(unnamed)" : m_node.name) + ": " + what + "\n")
                .c_str());
    }
    bool ReadGeometry();
    void ReadChild(const Node& child);
    void ReadNormals(const Node& child);
    void ReadTextureCoords(const Node& child);
    void ReadColors(const Node& child);
    void ReadMaterials(const Node& child);
    void ReadSkinWeights(const Node& child);
    void ReadDeclData(const Node& child);
    void DropNonFiniteValues();

    const Node& m_node;
    std::string m_file;
    TextureNames* m_textureNameOf;
    BulkVector<D3DXVECTOR3> m_positions;
    FaceList m_faces;
    BulkVector<D3DXVECTOR3> m_normals;
    FaceList m_faceNormals;
    BulkVector<float> m_uv;         // two per position
    BulkVector<uint32_t> m_colors;  // one per position
    BulkVector<DWORD> m_faceMaterials;
    std::vector<D3DXMATERIAL> m_materials;
    std::vector<std::string> m_textureNames;
    std::vector<SkinInfo::Bone> m_bones;
};

bool Builder::ReadGeometry() {
    Payload p(m_node);
    const uint32_t vertices = p.Dword();
    if (!p.Has(vertices, 12)) {
        Trace("its vertex count is larger than its data");
        return false;
    }
    static_assert(sizeof(D3DXVECTOR3) == 12);
    p.Append(vertices, m_positions);
    const uint32_t faces = p.Dword();
    if (!p.Has(faces, 4)) {
        Trace("its face count is larger than its data");
        return false;
    }
    if (!m_faces.Read(p, faces)) {
        Trace("a face has more indices than the data holds");
        return false;
    }
    return !p.Short();
}

void Builder::ReadNormals(const Node& child) {
    Payload p(child);
    const uint32_t count = p.Dword();
    if (!p.Has(count, 12)) return Trace("MeshNormals: more normals than data");
    m_normals.clear();
    p.Append(count, m_normals);
    const uint32_t faces = p.Dword();
    if (!p.Has(faces, 4)) return Trace("MeshNormals: more faces than data");
    m_faceNormals.Clear();
    if (!m_faceNormals.Read(p, faces))
        return Trace("MeshNormals: a face has more indices than the data holds");
    if (faces != m_faces.Count()) {
        Trace("MeshNormals: " + std::to_string(faces) + " faces for a mesh of " +
              std::to_string(m_faces.Count()) + "; the normals are computed instead");
        m_normals.clear();
        m_faceNormals.Clear();
    }
}

void Builder::ReadTextureCoords(const Node& child) {
    Payload p(child);
    const uint32_t count = p.Dword();
    if (!p.Has(count, 8)) return Trace("MeshTextureCoords: more coordinates than data");
    if (count != m_positions.size())
        Trace("MeshTextureCoords: " + std::to_string(count) + " coordinates for " +
              std::to_string(m_positions.size()) + " vertices; the rest are 0");
    m_uv.assign(m_positions.size() * 2, 0.0f);
    for (uint32_t i = 0; i < count; ++i) {
        const float u = p.Float(), v = p.Float();
        if (i < m_positions.size()) m_uv[2 * i] = u, m_uv[2 * i + 1] = v;
    }
}

uint32_t PackColor(float r, float g, float b, float a) {
    const auto channel = [](float c) {
        return static_cast<uint32_t>(std::lround(std::clamp(std::isnan(c) ? 0.0f : c, 0.0f, 1.0f) * 255.0f));
    };
    return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

void Builder::ReadColors(const Node& child) {
    Payload p(child);
    const uint32_t count = p.Dword();
    if (!p.Has(count, 20)) return Trace("MeshVertexColors: more colours than data");
    m_colors.assign(m_positions.size(), 0xFFFFFFFFu);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = p.Dword();
        const float r = p.Float(), g = p.Float(), b = p.Float(), a = p.Float();
        if (index < m_colors.size()) m_colors[index] = PackColor(r, g, b, a);
    }
}

void Builder::ReadMaterials(const Node& child) {
    Payload p(child);
    const uint32_t count = p.Dword();
    const uint32_t faces = p.Dword();
    if (!p.Has(faces, 4)) return Trace("MeshMaterialList: more face indices than data");
    m_faceMaterials.clear();
    p.Append(faces, m_faceMaterials);
    for (const XFile::Child& c : child.children) {
        const Node& material = *c.node;
        if (material.TypeGuid() != TID_D3DRMMaterial) continue;
        Payload mp(material);
        D3DXMATERIAL m{};
        m.MatD3D.Diffuse = {mp.Float(), mp.Float(), mp.Float(), mp.Float()};
        m.MatD3D.Power = mp.Float();
        m.MatD3D.Specular = {mp.Float(), mp.Float(), mp.Float(), 1.0f};
        m.MatD3D.Emissive = {mp.Float(), mp.Float(), mp.Float(), 1.0f};
        m.MatD3D.Ambient = {0, 0, 0, 1};
        // The last texture name among the material's children.
        const auto [texture, fresh] = m_textureNameOf->try_emplace(&material);
        if (fresh)
            for (const XFile::Child& t : material.children)
                if (t.node->TypeGuid() == TID_D3DRMTextureFilename && !t.node->strings.empty())
                    texture->second = t.node->strings[0];
        m_materials.push_back(m);
        m_textureNames.push_back(texture->second);
    }
    if (m_materials.size() != count)
        Trace("MeshMaterialList: " + std::to_string(count) + " materials declared, " +
              std::to_string(m_materials.size()) + " found");
}

void Builder::ReadSkinWeights(const Node& child) {
    Payload p(child);
    SkinInfo::Bone bone;
    bone.name = p.String();
    const uint32_t count = p.Dword();
    if (!p.Has(count, 8)) return Trace("SkinWeights of " + bone.name + ": more weights than data");
    BulkVector<uint32_t> indices;
    p.Append(count, indices);
    BulkVector<float> weights;
    p.Append(count, weights);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            bone.offset.m[r][c] = p.Float();
    size_t skipped = 0;
    bone.vertices.reserve(count);
    bone.weights.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (indices[i] >= m_positions.size()) {
            ++skipped;
            continue;
        }
        bone.vertices.push_back(indices[i]);
        bone.weights.push_back(weights[i]);
    }
    if (skipped > 0)
        Trace("SkinWeights of " + bone.name + ": " + std::to_string(skipped) +
              " weights name vertices past the " + std::to_string(m_positions.size()) +
              " of the mesh and are skipped");
    m_bones.push_back(std::move(bone));
}

// DeclData: per-vertex normals, texture coordinates and colours that newer
// exporters write instead of the separate objects.
void Builder::ReadDeclData(const Node& child) {
    enum { kFloat1, kFloat2, kFloat3, kFloat4, kColor };
    enum { kUsageNormal = 3, kUsageTexcoord = 5, kUsageColor = 10 };
    Payload p(child);
    const uint32_t elements = p.Dword();
    if (!p.Has(elements, 16)) return Trace("DeclData: more elements than data");
    struct Element {
        uint32_t type, usage, usageIndex, offset;
    };
    std::vector<Element> layout;
    uint32_t stride = 0;
    static const uint32_t kSizes[] = {1, 2, 3, 4, 1, 1, 1, 2, 1, 1, 2, 1, 1, 1, 1, 1, 2};
    for (uint32_t i = 0; i < elements; ++i) {
        Element e{};
        e.type = p.Dword();
        p.Dword();  // method
        e.usage = p.Dword();
        e.usageIndex = p.Dword();
        e.offset = stride;
        if (e.type >= std::size(kSizes))
            return Trace("DeclData: an element of unknown type " + std::to_string(e.type));
        stride += kSizes[e.type];
        layout.push_back(e);
    }
    const uint32_t dwords = p.Dword();
    if (!p.Has(dwords, 4)) return Trace("DeclData: more data words than data");
    BulkVector<uint32_t> data;
    p.Append(dwords, data);
    if (stride == 0 || static_cast<uint64_t>(stride) * m_positions.size() > dwords)
        return Trace("DeclData: " + std::to_string(dwords) + " data words do not cover " +
                     std::to_string(m_positions.size()) + " vertices");
    const auto asFloat = [&](size_t at) {
        float f;
        std::memcpy(&f, &data[at], 4);
        return f;
    };
    for (const Element& e : layout) {
        if (e.usage == kUsageNormal && e.type == kFloat3) {
            m_normals.resize(m_positions.size());
            for (size_t v = 0; v < m_positions.size(); ++v) {
                const size_t at = v * stride + e.offset;
                m_normals[v] = {asFloat(at), asFloat(at + 1), asFloat(at + 2)};
            }
            m_faceNormals = m_faces;  // normal i belongs to vertex i
        } else if (e.usage == kUsageTexcoord && e.usageIndex == 0 && e.type == kFloat2) {
            m_uv.resize(m_positions.size() * 2);
            for (size_t v = 0; v < m_positions.size(); ++v) {
                m_uv[2 * v] = asFloat(v * stride + e.offset);
                m_uv[2 * v + 1] = asFloat(v * stride + e.offset + 1);
            }
        } else if (e.usage == kUsageColor && e.usageIndex == 0 && e.type == kColor) {
            m_colors.resize(m_positions.size());
            for (size_t v = 0; v < m_positions.size(); ++v)
                m_colors[v] = data[v * stride + e.offset];
        }
    }
}

void Builder::ReadChild(const Node& child) {
    const GUID type = child.TypeGuid();
    if (type == TID_D3DRMMeshNormals)
        ReadNormals(child);
    else if (type == TID_D3DRMMeshTextureCoords)
        ReadTextureCoords(child);
    else if (type == TID_D3DRMMeshVertexColors)
        ReadColors(child);
    else if (type == TID_D3DRMMeshMaterialList)
        ReadMaterials(child);
    else if (type == kSkinWeights)
        ReadSkinWeights(child);
    else if (type == kDeclData)
        ReadDeclData(child);
}

// Damaged files hold infinities and NaNs where numbers belong; a mesh is
// built of finite numbers only, so that everything downstream (bounds,
// skinning, drawing) can rely on them. Each kind is reported once.
void Builder::DropNonFiniteValues() {
    const auto zero = [](float* values, size_t count) {
        // By the exponent bits, without a branch: the loop runs in vectors.
        size_t replaced = 0;
        for (size_t i = 0; i < count; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[i], 4);
            const uint32_t finite = (bits & 0x7F800000u) != 0x7F800000u;
            bits &= 0u - finite;
            std::memcpy(&values[i], &bits, 4);
            replaced += 1 - finite;
        }
        return replaced;
    };
    const auto report = [this](size_t replaced, const char* what) {
        if (replaced > 0)
            Trace(std::to_string(replaced) + " " + what + " not finite numbers; they are taken as 0");
    };
    static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(float));
    report(zero(reinterpret_cast<float*>(m_positions.data()), m_positions.size() * 3),
           "position coordinates are");
    report(zero(reinterpret_cast<float*>(m_normals.data()), m_normals.size() * 3), "normal coordinates are");
    report(zero(m_uv.data(), m_uv.size()), "texture coordinates are");
    size_t weights = 0, offsets = 0;
    for (SkinInfo::Bone& bone : m_bones) {
        weights += zero(bone.weights.data(), bone.weights.size());
        if (zero(&bone.offset.m[0][0], 16) > 0) {
            D3DXMatrixIdentity(&bone.offset);
            ++offsets;
        }
    }
    report(weights, "skin weights are");
    if (offsets > 0)
        Trace(std::to_string(offsets) +
              " bone offsets hold numbers that are not finite; they are taken as none");
}

bool Builder::Build(LPDIRECT3DDEVICE9 device, DWORD options, BuiltMesh* out) {
    if (!ReadGeometry()) return false;
    for (const XFile::Child& c : m_node.children)
        ReadChild(*c.node);
    DropNonFiniteValues();

    // Triangles as fans, each corner a position and the normal it uses there.
    BulkVector<std::array<Corner, 3>> triangles;
    BulkVector<DWORD> triangleMaterial;
    triangles.reserve(
        m_faces.indices.size() > 2 * m_faces.Count() ? m_faces.indices.size() - 2 * m_faces.Count() : 0);
    triangleMaterial.reserve(triangles.capacity());
    size_t badFaces = 0;
    const bool haveNormals = m_faceNormals.Count() > 0;
    for (size_t f = 0; f < m_faces.Count(); ++f) {
        const size_t size = m_faces.Size(f);
        const uint32_t* face = m_faces.Face(f);
        const uint32_t* normals = haveNormals ? m_faceNormals.Face(f) : nullptr;
        bool valid = size >= 3 && (normals == nullptr || m_faceNormals.Size(f) == size);
        for (size_t k = 0; valid && k < size; ++k)
            valid = face[k] < m_positions.size() && (normals == nullptr || normals[k] < m_normals.size());
        if (!valid) {
            ++badFaces;
            continue;
        }
        // nFaceIndexes = 1 gives the whole mesh one material; a short list
        // repeats its last entry.
        DWORD material =
            m_faceMaterials.empty() ? 0 : m_faceMaterials[std::min(f, m_faceMaterials.size() - 1)];
        for (size_t k = 1; k + 1 < size; ++k) {
            std::array<Corner, 3> t;
            const size_t at[3] = {0, k, k + 1};
            for (int c = 0; c < 3; ++c)
                t[c] = {face[at[c]], normals ? static_cast<int32_t>(normals[at[c]]) : -1};
            triangles.push_back(t);
            triangleMaterial.push_back(material);
        }
    }
    if (badFaces > 0) Trace(std::to_string(badFaces) + " faces with indices out of range are skipped");
    // What is read is let go of as soon as it is used: a large mesh holds
    // little more than itself and its document at once.
    Release(m_faces);
    Release(m_faceNormals);
    Release(m_faceMaterials);
    const size_t positions = m_positions.size(), triangleCount = triangles.size();
    if (m_materials.empty()) {
        // No material list: one plain grey material.
        D3DXMATERIAL plain{};
        plain.MatD3D.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
        plain.MatD3D.Ambient = {0, 0, 0, 1};
        plain.MatD3D.Specular = {0, 0, 0, 1};
        plain.MatD3D.Emissive = {0, 0, 0, 1};
        m_materials.push_back(plain);
        m_textureNames.emplace_back();
    }
    size_t badMaterials = 0;
    for (DWORD& m : triangleMaterial)
        if (m >= m_materials.size()) m = 0, ++badMaterials;
    if (badMaterials > 0)
        Trace(std::to_string(badMaterials) + " triangles name a material past the list; they use the first");

    // Vertices: position i stays vertex i with the first normal it is used
    // with; each further normal at that position makes a copy at the end.
    BulkVector<int32_t> normalOf(m_positions.size(), -2);
    BulkVector<uint32_t> origin(m_positions.size());
    for (uint32_t i = 0; i < origin.size(); ++i)
        origin[i] = i;
    // The corners that need a copy, by position and normal: sorted once,
    // the copies numbered in the order their first corner comes.
    struct Split {
        uint64_t key;
        uint32_t corner;
        bool operator<(const Split& o) const { return key != o.key ? key < o.key : corner < o.corner; }
    };
    std::vector<Split> splits;
    BulkVector<uint32_t> indices(triangles.size() * 3);
    for (size_t t = 0; t < triangles.size(); ++t)
        for (size_t k = 0; k < 3; ++k) {
            const Corner& c = triangles[t][k];
            indices[3 * t + k] = c.position;
            if (normalOf[c.position] == -2)
                normalOf[c.position] = c.normal;
            else if (normalOf[c.position] != c.normal)
                splits.push_back(
                    {uint64_t(c.position) << 32 | uint32_t(c.normal), static_cast<uint32_t>(3 * t + k)});
        }
    if (!splits.empty()) {
        std::sort(splits.begin(), splits.end());
        std::vector<std::pair<uint32_t, size_t>> copies;  // first corner, first split
        for (size_t i = 0; i < splits.size(); ++i)
            if (i == 0 || splits[i].key != splits[i - 1].key) copies.emplace_back(splits[i].corner, i);
        std::sort(copies.begin(), copies.end());
        origin.reserve(origin.size() + copies.size());
        normalOf.reserve(normalOf.size() + copies.size());
        for (const auto& [corner, first] : copies) {
            const auto copy = static_cast<uint32_t>(origin.size());
            origin.push_back(static_cast<uint32_t>(splits[first].key >> 32));
            normalOf.push_back(static_cast<int32_t>(splits[first].key & 0xFFFFFFFFu));
            for (size_t i = first; i < splits.size() && splits[i].key == splits[first].key; ++i)
                indices[splits[i].corner] = copy;
        }
    }

    // Without normals in the file: smooth normals, the area-weighted sum of
    // the faces around each position.
    BulkVector<D3DXVECTOR3> computed;
    if (!haveNormals) {
        computed.assign(m_positions.size(), D3DXVECTOR3(0, 0, 0));
        for (const auto& t : triangles) {
            const D3DXVECTOR3 &a = m_positions[t[0].position], &b = m_positions[t[1].position],
                              &c = m_positions[t[2].position];
            const D3DXVECTOR3 e1 = b - a, e2 = c - a;
            // Clockwise front faces, as Direct3D has them.
            const D3DXVECTOR3 n(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                                e1.x * e2.y - e1.y * e2.x);
            for (const Corner& k : t)
                computed[k.position] += n;
        }
        for (auto& n : computed) {
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            if (length > 0) n = n * (1.0f / length);
        }
    }

    DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    if (!m_colors.empty()) fvf |= D3DFVF_DIFFUSE;
    if (!m_uv.empty()) fvf |= D3DFVF_TEX1;
    Release(triangles);
    auto* mesh = new Mesh(options, fvf, device, origin.size(), triangleCount);
    const VertexLayout& layout = mesh->Layout();
    for (size_t v = 0; v < origin.size(); ++v) {
        uint8_t* vertex = mesh->Vertex(v);
        const uint32_t p = origin[v];
        std::memcpy(vertex, &m_positions[p], 12);
        const D3DXVECTOR3 normal = !haveNormals       ? computed[p]
                                   : normalOf[v] >= 0 ? m_normals[static_cast<size_t>(normalOf[v])]
                                                      : D3DXVECTOR3(0, 0, 0);
        std::memcpy(vertex + layout.normal, &normal, 12);
        if (layout.diffuse >= 0) std::memcpy(vertex + layout.diffuse, &m_colors[p], 4);
        if (layout.texcoord >= 0) std::memcpy(vertex + layout.texcoord, &m_uv[2 * p], 8);
    }

    // Triangles in material order, so that each material is one run.
    std::vector<size_t> firstOf(m_materials.size() + 1, 0);
    for (DWORD m : triangleMaterial)
        ++firstOf[m + 1];
    for (size_t m = 0; m < m_materials.size(); ++m)
        firstOf[m + 1] += firstOf[m];
    Release(m_positions);
    Release(m_normals);
    Release(m_uv);
    Release(m_colors);
    Release(computed);
    Release(normalOf);
    BulkVector<uint32_t> order(triangleCount);
    for (uint32_t i = 0; i < order.size(); ++i)
        order[firstOf[triangleMaterial[i]]++] = i;
    for (size_t i = 0; i < order.size(); ++i) {
        std::memcpy(&mesh->Indices()[3 * i], &indices[3 * size_t(order[i])], 12);
        mesh->Attributes()[i] = triangleMaterial[order[i]];
    }
    Release(indices);
    Release(triangleMaterial);

    // Adjacency over positions (a copy made for a normal is the same point):
    // the neighbour across an edge is the face that has it the other way round.
    const auto corner = [&](uint32_t f, int e) {
        return origin[mesh->Indices()[3 * f + static_cast<uint32_t>(e % 3)]];
    };
    // The edges from each position, each as its end and its face, sorted:
    // the first face with an edge is the one found for it.
    BulkVector<size_t> edgesFrom(positions + 1, 0);
    for (uint32_t f = 0; f < order.size(); ++f)
        for (int e = 0; e < 3; ++e)
            ++edgesFrom[corner(f, e) + 1];
    for (size_t p = 0; p < positions; ++p)
        edgesFrom[p + 1] += edgesFrom[p];
    BulkVector<uint64_t> edges(order.size() * 3);
    {
        BulkVector<size_t> next(edgesFrom.begin(), edgesFrom.end() - 1);
        for (uint32_t f = 0; f < order.size(); ++f)
            for (int e = 0; e < 3; ++e)
                edges[next[corner(f, e)]++] = uint64_t(corner(f, e + 1)) << 32 | f;
    }
    for (size_t p = 0; p < positions; ++p)
        if (edgesFrom[p + 1] - edgesFrom[p] > 1)
            std::sort(edges.begin() + static_cast<ptrdiff_t>(edgesFrom[p]),
                      edges.begin() + static_cast<ptrdiff_t>(edgesFrom[p + 1]));
    out->adjacency.assign(order.size() * 3, 0xFFFFFFFFu);
    for (uint32_t f = 0; f < order.size(); ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t from = corner(f, e + 1), to = corner(f, e);
            const auto begin = edges.begin() + static_cast<ptrdiff_t>(edgesFrom[from]);
            const auto end = edges.begin() + static_cast<ptrdiff_t>(edgesFrom[from + 1]);
            // Most positions have a handful of edges; a hub of thousands is searched.
            auto other = begin;
            if (end - begin <= 16)
                while (other != end && *other >> 32 < to)
                    ++other;
            else
                other = std::lower_bound(begin, end, uint64_t(to) << 32);
            if (other != end && *other >> 32 == to && static_cast<uint32_t>(*other) != f)
                out->adjacency[3 * f + static_cast<uint32_t>(e)] = static_cast<uint32_t>(*other);
        }
    Release(edges);
    Release(edgesFrom);

    if (!m_bones.empty()) {
        // Weights name positions: every copy of a position is weighted alike.
        if (origin.size() > positions) {
            std::vector<size_t> copiesFrom(positions + 1, 0);
            for (size_t v = positions; v < origin.size(); ++v)
                ++copiesFrom[origin[v] + 1];
            for (size_t p = 0; p < positions; ++p)
                copiesFrom[p + 1] += copiesFrom[p];
            std::vector<uint32_t> copies(origin.size() - positions);
            std::vector<size_t> next(copiesFrom.begin(), copiesFrom.end() - 1);
            for (size_t v = positions; v < origin.size(); ++v)
                copies[next[origin[v]]++] = static_cast<uint32_t>(v);
            for (auto& bone : m_bones) {
                const size_t count = bone.vertices.size();
                for (size_t i = 0; i < count; ++i)
                    for (size_t c = copiesFrom[bone.vertices[i]]; c < copiesFrom[bone.vertices[i] + 1]; ++c) {
                        bone.vertices.push_back(copies[c]);
                        bone.weights.push_back(bone.weights[i]);
                    }
            }
        }
        out->skin = new SkinInfo(fvf | D3DFVF_XYZ, origin.size(), std::move(m_bones));
    }
    out->mesh = mesh;
    out->materials = std::move(m_materials);
    out->textureNames = std::move(m_textureNames);
    for (size_t i = 0; i < out->materials.size(); ++i)
        out->materials[i].pTextureFilename =
            out->textureNames[i].empty() ? nullptr : out->textureNames[i].data();
    return true;
}

}  // namespace

bool BuildMesh(const Node& node, LPDIRECT3DDEVICE9 device, DWORD options, const std::string& fileName,
               BuiltMesh* out, TextureNames* textureNames) {
    TextureNames ownTextureNames;
    return Builder(node, fileName, textureNames != nullptr ? textureNames : &ownTextureNames)
        .Build(device, options, out);
}

}  // namespace Platform::D3DX
