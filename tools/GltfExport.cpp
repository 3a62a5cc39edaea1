#include "GltfExport.h"

#include <d3dx9.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <unordered_set>

#include "FileBytes.h"
#include "cMeshContainer.h"
#include "cModel.h"
#include "d3dx9/mesh/Mesh.h"
#include "d3dx9/texture/Texture.h"

namespace VorelTools {
namespace {

using json = nlohmann::ordered_json;  // the file in the order it is written, and small objects kept flat
using Vorel::cModel;
using Vorel::cQuaternion;
using Vorel::cVQS;

constexpr int kFloat = 5126, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;

// The mirror of z, which takes .x's left-handed space to glTF's
// right-handed one.
D3DXVECTOR3 Mirrored(const D3DXVECTOR3& v) {
    return {v.x, v.y, 0.0f - v.z};  // no negative zeros
}

// The same rotation seen in the mirror: unit, and finite.
cQuaternion Mirrored(const cQuaternion& q) {
    const double length =
        std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
    if (!(length > 0) || !std::isfinite(length)) return {};
    return {float(0.0 - q.x / length), float(0.0 - q.y / length), float(q.z / length), float(q.w / length)};
}

// M' = Z · M · Z. A row-vector matrix in memory order is the column-major
// array of the column-vector matrix glTF means, so the floats carry over.
// The last column is made (0, 0, 0, 1): skinning never reads it.
std::vector<float> MirroredAffine(const D3DXMATRIX& m) {
    std::vector<float> out(16);
    const float sign[4] = {1, 1, -1, 1};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[r * 4 + c] = c == 3 ? (r == 3 ? 1.0f : 0.0f) : m.m[r][c] * sign[r] * sign[c];
    return out;
}

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

bool Finite(const D3DXVECTOR3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

float Length(const D3DXVECTOR3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A name as UTF-8: as it is when it is UTF-8 already, else read as
// Latin-1, as the files of Windows exporters mostly are.
std::string Utf8(const std::string& name) {
    bool valid = true;
    for (size_t i = 0; i < name.size() && valid;) {
        const auto c = static_cast<unsigned char>(name[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        valid = length > 0 && i + length <= name.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(name[i + k]) >> 6) == 2;
        i += std::max<size_t>(length, 1);
    }
    if (valid) return name;
    std::string out;
    for (const unsigned char c : name) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

json Vector(const D3DXVECTOR3& v) {
    return json::array({v.x, v.y, v.z});
}

// Percent-encoding for a file name in a URI.
std::string UriOf(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

void AppendToString(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

class Writer {
public:
    Writer(cModel& model, const std::string& folder, const GltfOptions& options, GltfExport* out)
        : m_model(model), m_folder(folder), m_options(options), m_out(out) {}

    bool Write(std::string* error);

private:
    // A buffer view of `bytes`, four-byte aligned as every component type wants.
    int View(const void* data, size_t bytes, int target) {
        m_buffer.append((4 - m_buffer.size() % 4) % 4, '\0');
        json view = {{"buffer", 0}, {"byteOffset", m_buffer.size()}, {"byteLength", bytes}};
        if (target != 0) view["target"] = target;
        m_buffer.append(static_cast<const char*>(data), bytes);
        m_doc["bufferViews"].push_back(std::move(view));
        return static_cast<int>(m_doc["bufferViews"].size() - 1);
    }
    // An accessor of `values` without its place in the buffer.
    template <typename T>
    static json Described(const std::vector<T>& values, int componentType, const char* type,
                          size_t components, bool bounds) {
        json accessor = {
            {"componentType", componentType}, {"count", values.size() / components}, {"type", type}};
        if (bounds && !values.empty()) {
            json low = json::array(), high = json::array();
            for (size_t c = 0; c < components; ++c) {
                T lo = values[c], hi = values[c];
                for (size_t i = c; i < values.size(); i += components) {
                    lo = std::min(lo, values[i]);
                    hi = std::max(hi, values[i]);
                }
                low.push_back(lo);
                high.push_back(hi);
            }
            accessor["min"] = low;
            accessor["max"] = high;
        }
        return accessor;
    }
    template <typename T>
    int Accessor(const std::vector<T>& values, int componentType, const char* type, size_t components,
                 int target, bool bounds = false) {
        json accessor = Described(values, componentType, type, components, bounds);
        accessor["bufferView"] = View(values.data(), values.size() * sizeof(T), target);
        m_doc["accessors"].push_back(std::move(accessor));
        return static_cast<int>(m_doc["accessors"].size() - 1);
    }
    // Animation keys share one buffer view, and each run of key times is
    // written once however many channels it times.
    int KeyAccessor(const std::vector<float>& values, const char* type, size_t components, bool times) {
        std::string bytes(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
        if (times)
            if (const auto known = m_timesAccessor.find(bytes); known != m_timesAccessor.end())
                return known->second;
        if (m_keyView < 0) {
            m_doc["bufferViews"].push_back({{"buffer", 0}});
            m_keyView = static_cast<int>(m_doc["bufferViews"].size() - 1);
        }
        json accessor = Described(values, kFloat, type, components, times);
        accessor["bufferView"] = m_keyView;
        accessor["byteOffset"] = m_keys.size();
        m_keys += bytes;
        m_doc["accessors"].push_back(std::move(accessor));
        const int index = static_cast<int>(m_doc["accessors"].size() - 1);
        if (times) m_timesAccessor.emplace(std::move(bytes), index);
        return index;
    }
    int Node(json node) {
        m_doc["nodes"].push_back(std::move(node));
        return static_cast<int>(m_doc["nodes"].size() - 1);
    }
    void Child(int parent, int child) { m_doc["nodes"][parent]["children"].push_back(child); }
    static json Transform(const cVQS& t);

    void Nodes();
    void Meshes();
    json Primitives(const cModel::Container& c);
    int Material(const Vorel::cMeshContainer* c, DWORD i);
    // The texture of material i, once per name the file gives.
    int Texture(const Vorel::cMeshContainer* c, DWORD i);
    int ResolvedTexture(const Vorel::cMeshContainer* c, DWORD i);
    void Skin(const cModel::Container& c, json* primitives, int meshNode);
    void Animations();
    // A node of no transform under the root, for what follows no frame.
    int Unmoving(const std::string& name) {
        const int node = Node({{"name", Utf8(name)}});
        Child(RootNode(), node);
        return node;
    }
    int RootNode();
    void Warn(const std::string& text) { m_out->warnings.push_back(text); }

    cModel& m_model;
    std::string m_folder;
    GltfOptions m_options;
    GltfExport* m_out;
    json m_doc;
    std::string m_buffer;
    std::unordered_map<const Vorel::cFrame*, int> m_nodeOfFrame;  // frame i of the model is node i
    std::unordered_map<const cVQS*, int> m_nodeOfCombined;        // a frame's combined transform, to its node
    std::vector<int> m_sceneNodes;
    int m_root = -1;  // the node that holds every top-level frame, when there must be one
    std::map<std::string, int> m_textureOfName, m_textureOfFile;
    int m_keyView = -1;
    std::string m_keys;
    std::unordered_map<std::string, int> m_timesAccessor;
    int m_defaultMaterial = -1;
    size_t m_imageFiles = 0;
    // What is reported once per file.
    size_t m_manyInfluences = 0, m_unweighted = 0, m_unusableOffsets = 0, m_droppedKeys = 0;
    double m_largestDropped = 0;
};

json Writer::Transform(const cVQS& t) {
    json node = json::object();
    const D3DXVECTOR3 translation = Mirrored(t.m_translation);
    const cQuaternion rotation = Mirrored(t.m_rotation);
    if (Finite(translation) && (translation.x != 0 || translation.y != 0 || translation.z != 0))
        node["translation"] = Vector(translation);
    if (rotation.x != 0 || rotation.y != 0 || rotation.z != 0 || rotation.w != 1)
        node["rotation"] = json::array({rotation.x, rotation.y, rotation.z, rotation.w});
    if (Finite(t.m_scale) && (t.m_scale.x != 1 || t.m_scale.y != 1 || t.m_scale.z != 1))
        node["scale"] = Vector(t.m_scale);
    return node;
}

int Writer::RootNode() {
    if (m_root < 0) {
        // Every top-level frame moves under it, so that all joints share a root.
        m_root = Node({{"name", m_model.m_name.empty() ? std::string("root") : Utf8(m_model.m_name)}});
        std::vector<int> kept;
        for (int n : m_sceneNodes) {
            if (m_doc["nodes"][n].contains("skin"))
                kept.push_back(n);
            else
                Child(m_root, n);
        }
        kept.insert(kept.begin(), m_root);
        m_sceneNodes = kept;
    }
    return m_root;
}

void Writer::Nodes() {
    const size_t frames = m_model.m_frames.size();
    size_t topLevel = 0, sheared = 0;
    double largest = 0;
    std::string worst;
    for (size_t i = 0; i < frames; ++i) {
        const Vorel::cFrame* frame = m_model.m_frames[i];
        json node = Transform(frame->m_bind);
        if (frame->Name != nullptr && *frame->Name != '\0') node["name"] = Utf8(frame->Name);
        const int index = Node(std::move(node));  // the first nodes: frame i is node i
        m_nodeOfCombined[&frame->m_combined] = index;
        m_nodeOfFrame[frame] = index;
        const int parent = m_model.m_links[i].parent;
        if (parent >= 0) {
            Child(parent, index);
        } else {
            m_sceneNodes.push_back(index);
            ++topLevel;
        }
        // A matrix that no translation, rotation and scale rebuilds (shear).
        const D3DXMATRIX rebuilt = cVQS::ToMatrix(frame->m_bind);
        double error = 0, size = 1;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) {
                error =
                    std::max(error, std::fabs(double(rebuilt.m[r][c]) - frame->TransformationMatrix.m[r][c]));
                size = std::max(size, std::fabs(double(frame->TransformationMatrix.m[r][c])));
            }
        if (error / size > 1e-4) {
            ++sheared;
            if (error / size > largest) {
                largest = error / size;
                worst = frame->Name != nullptr ? frame->Name : "(unnamed)";
            }
        }
    }
    if (topLevel > 1) RootNode();
    if (sheared > 0)
        Warn(std::to_string(sheared) +
             " frame matrices hold a shear, which no translation, rotation and scale can: each is written "
             "decomposed (largest error " +
             std::to_string(largest) + ", relative, in frame " + worst + ")");
}

int Writer::Texture(const Vorel::cMeshContainer* c, DWORD i) {
    const std::string& name = c->m_textureFiles[i];
    if (name.empty()) return -1;
    if (const auto known = m_textureOfName.find(name); known != m_textureOfName.end()) return known->second;
    const int texture = ResolvedTexture(c, i);
    m_textureOfName[name] = texture;
    return texture;
}

int Writer::ResolvedTexture(const Vorel::cMeshContainer* c, DWORD i) {
    const std::string& name = c->m_textureFiles[i];
    std::error_code ec;
    std::string path = Platform::D3DX::FindFile(name, m_folder);
    if (!path.empty()) path = std::filesystem::absolute(path, ec).string();
    if (path.empty()) {
        Warn("texture " + name + " not found: the material is kept without it");
        return -1;
    }
    if (const auto known = m_textureOfFile.find(path); known != m_textureOfFile.end()) return known->second;

    GltfImage image;
    Platform::FileBytes file(path.c_str());
    const std::string_view bytes = file.Bytes();
    if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") {
        image.mimeType = "image/png";
        image.bytes = bytes;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") {
        image.mimeType = "image/jpeg";
        image.bytes = bytes;
    } else if (c->m_textures[i] != nullptr) {
        // Any other kind the viewer reads (BMP, TGA, DDS): its pixels as PNG.
        const auto* texture = static_cast<const Platform::D3DX::Texture*>(c->m_textures[i]);
        D3DSURFACE_DESC description{};
        c->m_textures[i]->GetLevelDesc(0, &description);
        image.mimeType = "image/png";
        stbi_write_png_to_func(AppendToString, &image.bytes, static_cast<int>(description.Width),
                               static_cast<int>(description.Height), 4, texture->Pixels().data(),
                               static_cast<int>(description.Width * 4));
    }
    if (image.bytes.empty()) {
        Warn("texture " + name + " cannot be read: the material is kept without it");
        m_textureOfFile[path] = -1;
        return -1;
    }
    json entry = {{"mimeType", image.mimeType}};
    const std::string stem = std::filesystem::path(path).stem().string();
    if (!stem.empty()) entry["name"] = Utf8(stem);
    if (m_options.embedImages) {
        entry["bufferView"] = View(image.bytes.data(), image.bytes.size(), 0);
    } else {
        image.uri = m_options.stem + "_" + std::to_string(m_imageFiles++) +
                    (image.mimeType == "image/png" ? ".png" : ".jpg");
        entry["uri"] = UriOf(image.uri);
        m_out->images.push_back(std::move(image));
    }
    m_doc["images"].push_back(std::move(entry));
    m_doc["textures"].push_back({{"source", m_doc["images"].size() - 1}});
    const int texture = static_cast<int>(m_doc["textures"].size() - 1);
    m_textureOfFile[path] = texture;
    return texture;
}

// How a .x material's specular colour and power become a roughness: a
// black specular colour or a power of 0 is fully rough, and a white
// highlight of power p has roughness sqrt(2 / (p + 2)).
float RoughnessOf(float specularStrength, float power) {
    const float s = std::isfinite(specularStrength) ? std::clamp(specularStrength, 0.0f, 1.0f) : 0.0f;
    const float p = std::isfinite(power) && power > 0 ? power : 0.0f;
    return 1.0f - s * (1.0f - std::sqrt(2.0f / (p + 2.0f)));
}

float Unit(float v) {
    return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
}

int Writer::Material(const Vorel::cMeshContainer* c, DWORD i) {
    const D3DMATERIAL9& m = c->m_materials[i];
    json pbr = {
        {"baseColorFactor", {Unit(m.Diffuse.r), Unit(m.Diffuse.g), Unit(m.Diffuse.b), Unit(m.Diffuse.a)}},
        {"metallicFactor", 0.0},
        {"roughnessFactor",
         RoughnessOf(std::max({Unit(m.Specular.r), Unit(m.Specular.g), Unit(m.Specular.b)}), m.Power)}};
    const int texture = Texture(c, i);
    if (texture >= 0) pbr["baseColorTexture"] = {{"index", texture}};
    json material = {{"pbrMetallicRoughness", pbr}, {"doubleSided", false}};
    if (Unit(m.Emissive.r) > 0 || Unit(m.Emissive.g) > 0 || Unit(m.Emissive.b) > 0)
        material["emissiveFactor"] = {Unit(m.Emissive.r), Unit(m.Emissive.g), Unit(m.Emissive.b)};
    if (Unit(m.Diffuse.a) < 1) material["alphaMode"] = "BLEND";
    m_doc["materials"].push_back(std::move(material));
    return static_cast<int>(m_doc["materials"].size() - 1);
}

// The container's vertices and faces as one set of attributes and one
// primitive per material used, in the file's order within each, every
// triangle's winding reversed.
json Writer::Primitives(const cModel::Container& c) {
    LPD3DXMESH mesh = c.container->MeshData.pMesh;
    if (mesh == nullptr || mesh->GetNumVertices() == 0 || mesh->GetNumFaces() == 0) return json::array();
    const size_t vertices = mesh->GetNumVertices(), faceCount = mesh->GetNumFaces();
    const Platform::D3DX::VertexLayout layout(mesh->GetFVF());
    void* vertexData = nullptr;
    void* indexData = nullptr;
    DWORD* attributes = nullptr;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertexData)) ||
        FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &indexData)) ||
        FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes)))
        return json::array();
    const auto* bytes = static_cast<const uint8_t*>(vertexData);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    std::vector<uint32_t> corners(faceCount * 3);
    for (size_t i = 0; i < corners.size(); ++i)
        corners[i] =
            wide ? static_cast<const uint32_t*>(indexData)[i] : static_cast<const uint16_t*>(indexData)[i];

    const auto read3 = [&](size_t v, int offset) {
        D3DXVECTOR3 p;
        std::memcpy(&p, bytes + v * layout.stride + offset, sizeof p);
        return p;
    };
    std::vector<float> positions(vertices * 3), normals, uvs, colours;
    for (size_t v = 0; v < vertices; ++v) {
        const D3DXVECTOR3 p = Mirrored(read3(v, 0));
        std::memcpy(&positions[v * 3], &p, sizeof p);
    }
    if (layout.normal >= 0) {
        // Unit normals; where the file's is of no length (or no number), the
        // faces' around the vertex, weighted by their areas.
        std::vector<D3DXVECTOR3> n(vertices);
        std::vector<bool> recompute(vertices, false);
        bool any = false;
        for (size_t v = 0; v < vertices; ++v) {
            n[v] = read3(v, layout.normal);
            const float length = Length(n[v]);
            recompute[v] = !(length > 1e-12f) || !std::isfinite(length);
            any = any || recompute[v];
            if (!recompute[v]) n[v] = n[v] * (1.0f / length);
        }
        if (any) {
            for (size_t v = 0; v < vertices; ++v)
                if (recompute[v]) n[v] = {0, 0, 0};
            for (size_t f = 0; f < faceCount; ++f) {
                const uint32_t a = corners[f * 3], b = corners[f * 3 + 1], k = corners[f * 3 + 2];
                if (a >= vertices || b >= vertices || k >= vertices) continue;
                const D3DXVECTOR3 pa = read3(a, 0), e1 = read3(b, 0) - pa, e2 = read3(k, 0) - pa;
                const D3DXVECTOR3 face = Cross(e1, e2);
                if (!Finite(face)) continue;
                for (const uint32_t v : {a, b, k})
                    if (recompute[v]) n[v] += face;
            }
            for (size_t v = 0; v < vertices; ++v)
                if (recompute[v]) {
                    const float length = Length(n[v]);
                    n[v] = length > 1e-20f && std::isfinite(length) ? n[v] * (1.0f / length)
                                                                    : D3DXVECTOR3(0, 1, 0);
                }
        }
        normals.resize(vertices * 3);
        for (size_t v = 0; v < vertices; ++v) {
            const D3DXVECTOR3 m = Mirrored(n[v]);
            std::memcpy(&normals[v * 3], &m, sizeof m);
        }
    }
    if (layout.texcoord >= 0) {
        uvs.resize(vertices * 2);
        for (size_t v = 0; v < vertices; ++v)
            std::memcpy(&uvs[v * 2], bytes + v * layout.stride + layout.texcoord, 8);
    }
    if (layout.diffuse >= 0) {
        colours.resize(vertices * 4);
        for (size_t v = 0; v < vertices; ++v) {
            DWORD argb;
            std::memcpy(&argb, bytes + v * layout.stride + layout.diffuse, 4);
            colours[v * 4] = float((argb >> 16) & 255) / 255.0f;
            colours[v * 4 + 1] = float((argb >> 8) & 255) / 255.0f;
            colours[v * 4 + 2] = float(argb & 255) / 255.0f;
            colours[v * 4 + 3] = float(argb >> 24) / 255.0f;
        }
    }
    json attributesJson = {{"POSITION", Accessor(positions, kFloat, "VEC3", 3, kArrayBuffer, true)}};
    if (!normals.empty()) attributesJson["NORMAL"] = Accessor(normals, kFloat, "VEC3", 3, kArrayBuffer);
    if (!uvs.empty()) attributesJson["TEXCOORD_0"] = Accessor(uvs, kFloat, "VEC2", 2, kArrayBuffer);
    if (!colours.empty()) attributesJson["COLOR_0"] = Accessor(colours, kFloat, "VEC4", 4, kArrayBuffer);

    // Faces by material, in the file's order within each.
    const DWORD materials = c.container->NumMaterials;
    std::map<DWORD, std::vector<uint32_t>> byMaterial;
    for (size_t f = 0; f < faceCount; ++f) {
        const uint32_t a = corners[f * 3], b = corners[f * 3 + 1], k = corners[f * 3 + 2];
        if (a >= vertices || b >= vertices || k >= vertices) continue;
        std::vector<uint32_t>& group = byMaterial[attributes[f] < materials ? attributes[f] : materials];
        group.insert(group.end(), {a, b, k});
    }
    mesh->UnlockAttributeBuffer();
    mesh->UnlockIndexBuffer();
    mesh->UnlockVertexBuffer();
    json primitives = json::array();
    for (const auto& [material, indices] : byMaterial) {
        std::vector<uint32_t> written(indices.size());
        for (size_t i = 0; i < indices.size(); i += 3) {
            written[i] = indices[i];
            written[i + 1] = indices[i + 2];
            written[i + 2] = indices[i + 1];
        }
        json primitive = {{"attributes", attributesJson}, {"mode", 4}};
        // Sixteen bits while no index can be the restart value.
        if (vertices <= 65535) {
            const std::vector<uint16_t> narrow(written.begin(), written.end());
            primitive["indices"] = Accessor(narrow, kUnsignedShort, "SCALAR", 1, kElementArrayBuffer);
        } else {
            primitive["indices"] = Accessor(written, kUnsignedInt, "SCALAR", 1, kElementArrayBuffer);
        }
        if (material < materials) {
            primitive["material"] = Material(c.container, material);
        } else {
            if (m_defaultMaterial < 0) {
                m_doc["materials"].push_back({{"name", "default"}, {"doubleSided", false}});
                m_defaultMaterial = static_cast<int>(m_doc["materials"].size() - 1);
            }
            primitive["material"] = m_defaultMaterial;
        }
        primitives.push_back(std::move(primitive));
    }
    return primitives;
}

void Writer::Skin(const cModel::Container& c, json* primitives, int meshNode) {
    LPD3DXSKININFO skin = c.container->pSkinInfo;
    const DWORD bones = skin->GetNumBones();
    const size_t vertices = c.container->MeshData.pMesh->GetNumVertices();
    // Joints: each bone's frame; a second bone of the same frame, or a bone
    // that follows no frame, gets a node of its own that moves as it does.
    std::vector<int> joints;
    std::vector<float> inverseBinds;
    std::unordered_set<int> used;
    for (DWORD b = 0; b < bones; ++b) {
        const std::string name = skin->GetBoneName(b) != nullptr ? skin->GetBoneName(b) : "";
        const auto found = m_nodeOfCombined.find(c.container->m_boneTransforms[b]);
        int node = -1;
        if (found == m_nodeOfCombined.end()) {
            node = Unmoving(name);
        } else if (used.count(found->second) > 0) {
            node = Node({{"name", Utf8(name)}});
            Child(found->second, node);
        } else {
            node = found->second;
        }
        used.insert(node);
        joints.push_back(node);
        std::vector<float> m = MirroredAffine(c.container->m_boneOffsets[b]);
        if (!std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); })) {
            ++m_unusableOffsets;
            m = kIdentity;
        }
        inverseBinds.insert(inverseBinds.end(), m.begin(), m.end());
    }
    // Each vertex's influences, one per joint, the four largest kept.
    std::vector<std::vector<std::pair<float, uint32_t>>> influences(vertices);
    for (DWORD b = 0; b < bones; ++b) {
        const DWORD count = skin->GetNumBoneInfluences(b);
        std::vector<DWORD> which(count);
        std::vector<float> weights(count);
        if (count == 0 || FAILED(skin->GetBoneInfluence(b, which.data(), weights.data()))) continue;
        for (DWORD i = 0; i < count; ++i) {
            if (which[i] >= vertices || !(weights[i] > 0) || !std::isfinite(weights[i])) continue;
            // Bones come in order, so a vertex named twice by this bone has it last.
            auto& list = influences[which[i]];
            if (!list.empty() && list.back().second == b)
                list.back().first += weights[i];
            else
                list.emplace_back(weights[i], b);
        }
    }
    int unweighted = -1;
    std::vector<float> weightData(vertices * 4, 0.0f);
    std::vector<uint16_t> jointData(vertices * 4, 0);
    for (size_t v = 0; v < vertices; ++v) {
        auto& list = influences[v];
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        double total = 0, kept = 0;
        for (size_t i = 0; i < list.size(); ++i) {
            total += list[i].first;
            if (i < 4) kept += list[i].first;
        }
        if (list.size() > 4) {
            ++m_manyInfluences;
            m_largestDropped = std::max(m_largestDropped, (total - kept) / total);
        }
        if (!(kept > 0)) {
            // Skinning leaves a vertex of no weight where it is: a joint
            // that never moves, bound where the model is.
            ++m_unweighted;
            if (unweighted < 0) {
                unweighted = static_cast<int>(joints.size());
                joints.push_back(Unmoving("(unweighted)"));
                inverseBinds.insert(inverseBinds.end(), kIdentity.begin(), kIdentity.end());
            }
            jointData[v * 4] = static_cast<uint16_t>(unweighted);
            weightData[v * 4] = 1;
            continue;
        }
        float sum = 0;
        const size_t n = std::min<size_t>(list.size(), 4);
        for (size_t i = 1; i < n; ++i) {
            weightData[v * 4 + i] = static_cast<float>(list[i].first / kept);
            sum += weightData[v * 4 + i];
        }
        weightData[v * 4] = 1.0f - sum;  // the sum exactly 1 in floats
        for (size_t i = 0; i < n; ++i)
            jointData[v * 4 + i] = static_cast<uint16_t>(list[i].second);
    }
    json skinJson = {{"joints", joints},
                     {"inverseBindMatrices", Accessor(inverseBinds, kFloat, "MAT4", 16, 0)}};
    if (c.container->Name != nullptr) skinJson["name"] = Utf8(c.container->Name);
    m_doc["skins"].push_back(std::move(skinJson));
    const int jointsAccessor = joints.size() <= 256
                                   ? Accessor(std::vector<uint8_t>(jointData.begin(), jointData.end()),
                                              kUnsignedByte, "VEC4", 4, kArrayBuffer)
                                   : Accessor(jointData, kUnsignedShort, "VEC4", 4, kArrayBuffer);
    const int weightsAccessor = Accessor(weightData, kFloat, "VEC4", 4, kArrayBuffer);
    for (json& primitive : *primitives) {
        primitive["attributes"]["JOINTS_0"] = jointsAccessor;
        primitive["attributes"]["WEIGHTS_0"] = weightsAccessor;
    }
    m_doc["nodes"][meshNode]["skin"] = m_doc["skins"].size() - 1;
}

void Writer::Meshes() {
    for (const cModel::Container& c : m_model.m_containers) {
        json primitives = Primitives(c);
        if (primitives.empty()) continue;
        const bool skinned = c.container->IsSkinned();
        json mesh = json::object();
        if (c.container->Name != nullptr) mesh["name"] = Utf8(c.container->Name);
        int node = -1;
        if (skinned) {
            // At the top, untransformed: glTF moves a skinned mesh by its joints alone.
            node = Node(json::object());
            if (c.container->Name != nullptr) m_doc["nodes"][node]["name"] = Utf8(c.container->Name);
            Skin(c, &primitives, node);
            m_sceneNodes.push_back(node);
        } else {
            const auto frame = m_nodeOfFrame.find(c.frame);
            if (frame == m_nodeOfFrame.end()) continue;
            node = frame->second;
            if (m_doc["nodes"][node].contains("mesh")) {
                // A frame of several meshes: each after the first on a node of its own under it.
                const int child = Node(json::object());
                Child(node, child);
                node = child;
            }
        }
        mesh["primitives"] = std::move(primitives);
        m_doc["meshes"].push_back(std::move(mesh));
        m_doc["nodes"][node]["mesh"] = m_doc["meshes"].size() - 1;
    }
    if (m_manyInfluences > 0)
        Warn(std::to_string(m_manyInfluences) +
             " vertices have more than four bone influences: the four largest are kept, renormalised (the "
             "largest share of weight dropped is " +
             std::to_string(m_largestDropped) + ")");
    if (m_unusableOffsets > 0)
        Warn(std::to_string(m_unusableOffsets) +
             " bone offset matrices hold values that are not numbers: identity is written instead");
    if (m_unweighted > 0)
        Warn(std::to_string(m_unweighted) +
             " skinned vertices have no bone weight: they stay where they are");
}

// A track as glTF keys: times in seconds, strictly increasing (keys at the
// same tick become a step a float's width apart), values as floats.
struct Track {
    std::vector<float> times, values;
    size_t dropped = 0;  // keys of values that are not numbers, which glTF cannot hold
    void Add(float ticks, float perSecond, std::initializer_list<float> value) {
        float t = ticks / perSecond;
        if (!std::isfinite(t) ||
            !std::all_of(value.begin(), value.end(), [](float v) { return std::isfinite(v); })) {
            ++dropped;
            return;
        }
        if (!times.empty() && !(t > times.back())) t = std::nextafter(times.back(), INFINITY);
        times.push_back(t);
        values.insert(values.end(), value);
    }
};

void Writer::Animations() {
    size_t index = 0;
    for (const auto& set : m_model.m_animationSets) {
        ++index;
        const float perSecond = m_options.ticksPerSecond > 0 ? m_options.ticksPerSecond
                                : set->m_ticksPerSecond > 0  ? set->m_ticksPerSecond
                                                             : Vorel::cAnimationSet::kDefaultTicksPerSecond;
        // Per frame, what drives each component when the set plays: later
        // bone animations override earlier ones, a matrix track the whole
        // transform and a component track its part.
        struct Drivers {
            const Vorel::cBoneAnimation *matrix = nullptr, *translation = nullptr, *rotation = nullptr,
                                        *scale = nullptr;
        };
        std::vector<std::pair<const Vorel::cFrame*, Drivers>> frames;
        std::unordered_map<const Vorel::cFrame*, size_t> slot;
        for (const auto& animation : set->m_animations) {
            if (animation->m_frame == nullptr || animation->KeyCount() == 0) continue;
            const auto [at, added] = slot.emplace(animation->m_frame, frames.size());
            if (added) frames.push_back({animation->m_frame, {}});
            Drivers& d = frames[at->second].second;
            if (!animation->m_matrixKeys.empty()) d = {animation.get(), nullptr, nullptr, nullptr};
            if (!animation->m_translationKeys.empty()) d.translation = animation.get();
            if (!animation->m_rotationKeys.empty()) d.rotation = animation.get();
            if (!animation->m_scaleKeys.empty()) d.scale = animation.get();
        }
        json channels = json::array(), samplers = json::array();
        const auto channel = [&](int node, const char* path, const Track& track, const char* type) {
            samplers.push_back(
                {{"input", KeyAccessor(track.times, "SCALAR", 1, true)},
                 {"output", KeyAccessor(track.values, type, std::strcmp(type, "VEC4") ? 3 : 4, false)},
                 {"interpolation", "LINEAR"}});
            channels.push_back(
                {{"sampler", samplers.size() - 1}, {"target", {{"node", node}, {"path", path}}}});
        };
        for (const auto& [frame, d] : frames) {
            const int node = m_nodeOfFrame.at(frame);
            Track translation, rotation, scale;
            cQuaternion previous;
            const auto addRotation = [&](float time, const cQuaternion& q) {
                cQuaternion r = Mirrored(q);
                // The shorter way round, as the viewer turns.
                if (!rotation.times.empty() && cQuaternion::Dot(previous, r) < 0)
                    r = {-r.x, -r.y, -r.z, -r.w};
                previous = r;
                rotation.Add(time, perSecond, {r.x, r.y, r.z, r.w});
            };
            if (d.matrix != nullptr)
                for (const auto& key : d.matrix->m_matrixKeys) {
                    if (d.translation == nullptr) {
                        const D3DXVECTOR3 t = Mirrored(key.m_value.m_translation);
                        translation.Add(key.m_time, perSecond, {t.x, t.y, t.z});
                    }
                    if (d.rotation == nullptr) addRotation(key.m_time, key.m_value.m_rotation);
                    if (d.scale == nullptr) {
                        const D3DXVECTOR3& s = key.m_value.m_scale;
                        scale.Add(key.m_time, perSecond, {s.x, s.y, s.z});
                    }
                }
            if (d.translation != nullptr)
                for (const auto& key : d.translation->m_translationKeys) {
                    const D3DXVECTOR3 t = Mirrored(key.m_value);
                    translation.Add(key.m_time, perSecond, {t.x, t.y, t.z});
                }
            if (d.rotation != nullptr)
                for (const auto& key : d.rotation->m_rotationKeys)
                    addRotation(key.m_time, key.m_value);
            if (d.scale != nullptr)
                for (const auto& key : d.scale->m_scaleKeys)
                    scale.Add(key.m_time, perSecond, {key.m_value.x, key.m_value.y, key.m_value.z});
            m_droppedKeys += translation.dropped + rotation.dropped + scale.dropped;
            if (!translation.times.empty()) channel(node, "translation", translation, "VEC3");
            if (!rotation.times.empty()) channel(node, "rotation", rotation, "VEC4");
            if (!scale.times.empty()) channel(node, "scale", scale, "VEC3");
        }
        const std::string name = set->m_name.empty() ? "set " + std::to_string(index) : set->m_name;
        if (channels.empty()) {
            Warn("animation set " + name + " moves no frame of the model: it is left out");
            continue;
        }
        json animation = {{"name", Utf8(name)}};
        animation["channels"] = std::move(channels);
        animation["samplers"] = std::move(samplers);
        m_doc["animations"].push_back(std::move(animation));
    }
    if (m_droppedKeys > 0)
        Warn(std::to_string(m_droppedKeys) +
             " animation keys hold values that are not numbers: they are left out");
    if (m_keyView >= 0) {
        m_buffer.append((4 - m_buffer.size() % 4) % 4, '\0');
        m_doc["bufferViews"][m_keyView]["byteOffset"] = m_buffer.size();
        m_doc["bufferViews"][m_keyView]["byteLength"] = m_keys.size();
        m_buffer += m_keys;
    }
}

bool Writer::Write(std::string* error) {
    if (m_model.m_frameRoot == nullptr || m_model.m_frames.empty()) {
        *error = "it holds no frame or mesh to export";
        return false;
    }
    m_doc["asset"] = {{"version", "2.0"}, {"generator", "Vorel vorel-xconv"}};
    Nodes();
    Meshes();
    Animations();
    m_doc["scene"] = 0;
    json scene = json::object();
    scene["nodes"] = m_sceneNodes;
    m_doc["scenes"] = json::array();
    m_doc["scenes"].push_back(scene);
    if (!m_buffer.empty()) {
        m_buffer.append((4 - m_buffer.size() % 4) % 4, '\0');
        json buffer = {{"byteLength", m_buffer.size()}};
        if (!m_options.embedImages) buffer["uri"] = UriOf(m_options.stem + ".bin");
        m_doc["buffers"] = json::array({buffer});
    }
    // Names are the file's bytes: what is not UTF-8 is replaced, not refused.
    m_out->json = m_doc.dump(-1, ' ', false, json::error_handler_t::replace);
    m_out->buffer = std::move(m_buffer);
    return true;
}

void Append32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<char>((v >> (8 * i)) & 255));
}

}  // namespace

bool ExportGltf(cModel& model, const std::string& folder, const GltfOptions& options, GltfExport* out,
                std::string* error) {
    *out = {};
    return Writer(model, folder, options, out).Write(error);
}

std::string GlbFile(const GltfExport& exported) {
    std::string json = exported.json;
    json.append((4 - json.size() % 4) % 4, ' ');
    const bool binary = !exported.buffer.empty();
    const size_t padding = (4 - exported.buffer.size() % 4) % 4;  // the chunk padded with zeros
    std::string out = "glTF";
    Append32(&out, 2);
    Append32(&out, static_cast<uint32_t>(12 + 8 + json.size() +
                                         (binary ? 8 + exported.buffer.size() + padding : 0)));
    Append32(&out, static_cast<uint32_t>(json.size()));
    out += "JSON";
    out += json;
    if (binary) {
        Append32(&out, static_cast<uint32_t>(exported.buffer.size() + padding));
        out.append("BIN\0", 4);
        out += exported.buffer;
        out.append(padding, '\0');
    }
    return out;
}

}  // namespace VorelTools
