#include "GltfCheck.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "cAnimationSet.h"
#include "cBoneAnimation.h"
#include "cMeshContainer.h"
#include "cModel.h"

namespace VorelTools {

using nlohmann::json;

namespace {

constexpr size_t kMostTimes = 512;

int Width(const std::string& type) {
    static const std::map<std::string, int> widths = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                                      {"MAT2", 4},   {"MAT3", 9}, {"MAT4", 16}};
    const auto it = widths.find(type);
    return it != widths.end() ? it->second : 0;
}

D3DXVECTOR3 Apply(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

// A node's matrix from its translation, rotation (x, y, z, w) and scale.
D3DXMATRIX FromTrs(const std::array<double, 10>& v) {
    D3DXMATRIX s, r, t;
    const D3DXQUATERNION q{static_cast<float>(v[3]), static_cast<float>(v[4]), static_cast<float>(v[5]),
                           static_cast<float>(v[6])};
    D3DXMatrixScaling(&s, float(v[7]), float(v[8]), float(v[9]));
    D3DXMatrixRotationQuaternion(&r, &q);
    D3DXMatrixTranslation(&t, float(v[0]), float(v[1]), float(v[2]));
    return s * r * t;
}

// Where a node's translation, rotation and scale lie in its ten numbers.
const std::map<std::string, size_t> kPart = {{"translation", 0}, {"rotation", 3}, {"scale", 7}};

// A channel's value at `seconds`, into `out` (`width` numbers), by its
// sampler's interpolation; false when its data does not fit it.
bool Sample(const GltfDocument& gltf, const json& sampler, size_t width, bool rotation, double seconds,
            double* out) {
    const std::vector<double>& times = gltf.Read(sampler.value("input", -1));
    const std::vector<double>& values = gltf.Read(sampler.value("output", -1));
    const std::string interpolation = sampler.value("interpolation", "LINEAR");
    const bool cubic = interpolation == "CUBICSPLINE";
    const size_t stride = cubic ? 3 * width : width, at = cubic ? width : 0;  // a cubic key: in, value, out
    if (times.empty() || values.size() < times.size() * stride) return false;
    size_t k = 0;
    while (k + 1 < times.size() && times[k + 1] <= seconds)
        ++k;
    const double* p = &values[k * stride + at];
    if (k + 1 >= times.size() || seconds <= times[k] || interpolation == "STEP") {
        std::copy_n(p, width, out);
        return true;
    }
    const double* q = &values[(k + 1) * stride + at];
    const double span = times[k + 1] - times[k], u = (seconds - times[k]) / span;
    if (cubic) {
        const double* leaving = &values[k * stride + 2 * width];
        const double* arriving = &values[(k + 1) * stride];
        const double u2 = u * u, u3 = u2 * u;
        for (size_t i = 0; i < width; ++i)
            out[i] = (2 * u3 - 3 * u2 + 1) * p[i] + (u3 - 2 * u2 + u) * span * leaving[i] +
                     (-2 * u3 + 3 * u2) * q[i] + (u3 - u2) * span * arriving[i];
    } else if (rotation) {
        // Spherical, the shorter way round.
        double dot = 0;
        for (size_t i = 0; i < 4; ++i)
            dot += p[i] * q[i];
        const double sign = dot < 0 ? -1 : 1, angle = std::acos(std::clamp(dot * sign, -1.0, 1.0));
        const double a0 = angle > 1e-9 ? std::sin((1 - u) * angle) / std::sin(angle) : 1 - u,
                     a1 = (angle > 1e-9 ? std::sin(u * angle) / std::sin(angle) : u) * sign;
        for (size_t i = 0; i < 4; ++i)
            out[i] = a0 * p[i] + a1 * q[i];
    } else {
        for (size_t i = 0; i < width; ++i)
            out[i] = (1 - u) * p[i] + u * q[i];
    }
    if (rotation) {
        const double length =
            std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        for (size_t i = 0; length > 0 && i < 4; ++i)
            out[i] /= length;
    }
    return true;
}

}  // namespace

const std::vector<double>& GltfDocument::Read(int index) const {
    const auto cached = read.find(index);
    if (cached != read.end()) return cached->second;
    std::vector<double>& out = read[index];
    try {
        const json& accessors = doc.at("accessors");
        if (index < 0 || static_cast<size_t>(index) >= accessors.size()) return out;
        const json& a = accessors[index];
        const size_t width = Width(a.at("type").get<std::string>()), count = a.at("count").get<size_t>();
        const int type = a.at("componentType").get<int>();
        const size_t size = type == 5126 || type == 5125 ? 4 : type == 5123 || type == 5122 ? 2 : 1;
        if (width == 0 || count > buffer.size() || (type < 5120 || type > 5126 || type == 5124)) return out;
        if (!a.contains("bufferView")) {
            out.assign(count * width, 0.0);  // no data: zeros
            return out;
        }
        const json& view = doc.at("bufferViews").at(a.at("bufferView").get<size_t>());
        const size_t start = view.value("byteOffset", size_t(0)),
                     length = view.at("byteLength").get<size_t>();
        const size_t stride = view.value("byteStride", width * size),
                     offset = a.value("byteOffset", size_t(0));
        if (view.value("buffer", 0) != 0 || start > buffer.size() || length > buffer.size() - start)
            return out;
        if (count > 0 && (stride < width * size || offset > length ||
                          (count - 1) * stride + width * size > length - offset))
            return out;
        const bool normalized = a.value("normalized", false);
        out.resize(count * width);
        for (size_t e = 0; e < count; ++e)
            for (size_t c = 0; c < width; ++c) {
                const char* at = buffer.data() + start + offset + e * stride + c * size;
                double value = 0;
                switch (type) {
                    case 5120:
                        value = normalized ? std::max(int8_t(*at) / 127.0, -1.0) : int8_t(*at);
                        break;
                    case 5121:
                        value = normalized ? uint8_t(*at) / 255.0 : uint8_t(*at);
                        break;
                    case 5122: {
                        int16_t v;
                        std::memcpy(&v, at, 2);
                        value = normalized ? std::max(v / 32767.0, -1.0) : v;
                        break;
                    }
                    case 5123: {
                        uint16_t v;
                        std::memcpy(&v, at, 2);
                        value = normalized ? v / 65535.0 : v;
                        break;
                    }
                    case 5125: {
                        uint32_t v;
                        std::memcpy(&v, at, 4);
                        value = v;
                        break;
                    }
                    default: {
                        float v;
                        std::memcpy(&v, at, 4);
                        value = v;
                    }
                }
                out[e * width + c] = value;
            }
    } catch (const json::exception&) {
        out.clear();
    }
    return out;
}

bool ReadGlb(const std::string& bytes, GltfDocument* out, std::string* why) {
    uint32_t header[3] = {0, 0, 0}, chunk[2] = {0, 0};
    if (bytes.size() < 20) return *why = "not a GLB file: too short", false;
    std::memcpy(header, bytes.data(), 12);
    std::memcpy(chunk, bytes.data() + 12, 8);
    if (header[0] != 0x46546C67 || header[1] != 2 || chunk[1] != 0x4E4F534A || chunk[0] > bytes.size() - 20)
        return *why = "not a GLB file of glTF 2.0", false;
    out->read.clear();
    out->doc = json::parse(bytes.substr(20, chunk[0]), nullptr, false);
    if (out->doc.is_discarded() || !out->doc.is_object())
        return *why = "the GLB's JSON cannot be read", false;
    const size_t binary = 20 + size_t(chunk[0]);
    out->buffer.clear();
    if (binary + 8 <= bytes.size()) {
        std::memcpy(chunk, bytes.data() + binary, 8);
        if (chunk[1] != 0x004E4942 || chunk[0] > bytes.size() - binary - 8)
            return *why = "the GLB's binary chunk is cut short", false;
        out->buffer = bytes.substr(binary + 8, chunk[0]);
    }
    return DecodeMeshopt(out, why);
}

bool ReadGltfFile(const std::string& path, GltfDocument* out, std::string* why) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return *why = "cannot read " + path, false;
    if (bytes.compare(0, 4, "glTF") == 0) return ReadGlb(bytes, out, why);
    out->read.clear();
    out->doc = json::parse(bytes, nullptr, false);
    if (out->doc.is_discarded() || !out->doc.is_object()) return *why = path + " is not glTF JSON", false;
    out->buffer.clear();
    const json buffers = out->doc.value("buffers", json::array());
    if (!buffers.empty() && buffers[0].contains("uri")) {
        const std::string uri = buffers[0]["uri"].is_string() ? buffers[0]["uri"].get<std::string>() : "";
        const size_t slash = path.find_last_of('/');
        const std::string beside = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + uri;
        std::ifstream data(beside, std::ios::binary);
        if (uri.empty() || uri.find(':') != std::string::npos || !data)
            return *why = "cannot read the buffer " + uri + " beside " + path, false;
        out->buffer.assign(std::istreambuf_iterator<char>(data), std::istreambuf_iterator<char>());
    }
    return DecodeMeshopt(out, why);
}

bool DecodeMeshopt(GltfDocument* gltf, std::string* why) {
    try {
        json& doc = gltf->doc;
        if (!doc.contains("bufferViews") || !doc["bufferViews"].is_array()) return true;
        bool decoded = false;
        for (size_t i = 0; i < doc["bufferViews"].size(); ++i) {
            json& view = doc["bufferViews"][i];
            if (!view.is_object() || !view.contains("extensions") ||
                !view["extensions"].contains("EXT_meshopt_compression"))
                continue;
            const json e = view["extensions"]["EXT_meshopt_compression"];
            const size_t offset = e.value("byteOffset", size_t(0)), length = e.value("byteLength", size_t(0)),
                         count = e.value("count", size_t(0)), stride = e.value("byteStride", size_t(0));
            const std::string mode = e.value("mode", ""), filter = e.value("filter", "NONE");
            *why = "buffer view " + std::to_string(i) + " cannot be decoded";
            // What the decoders take, checked first: they assert it.
            const bool attributes = mode == "ATTRIBUTES" && stride > 0 && stride % 4 == 0 && stride <= 256;
            const bool indices = (mode == "TRIANGLES" && count % 3 == 0) || mode == "INDICES";
            if (e.value("buffer", 0) != 0 || offset > gltf->buffer.size() ||
                length > gltf->buffer.size() - offset ||
                !(attributes || (indices && (stride == 2 || stride == 4))) ||
                count > (size_t(1) << 30) / stride)
                return false;
            if (!(filter == "NONE" ||
                  (filter == "OCTAHEDRAL" && attributes && (stride == 4 || stride == 8)) ||
                  (filter == "QUATERNION" && attributes && stride == 8) ||
                  (filter == "EXPONENTIAL" && attributes)))
                return false;
            std::vector<unsigned char> out(count * stride);
            const auto* in = reinterpret_cast<const unsigned char*>(gltf->buffer.data() + offset);
            const int result = attributes ? meshopt_decodeVertexBuffer(out.data(), count, stride, in, length)
                               : mode == "TRIANGLES"
                                   ? meshopt_decodeIndexBuffer(out.data(), count, stride, in, length)
                                   : meshopt_decodeIndexSequence(out.data(), count, stride, in, length);
            if (result != 0) return false;
            if (filter == "OCTAHEDRAL") meshopt_decodeFilterOct(out.data(), count, stride);
            if (filter == "QUATERNION") meshopt_decodeFilterQuat(out.data(), count, stride);
            if (filter == "EXPONENTIAL") meshopt_decodeFilterExp(out.data(), count, stride);
            gltf->buffer.resize((gltf->buffer.size() + 3) & ~size_t(3));
            json plain = {{"buffer", 0}, {"byteOffset", gltf->buffer.size()}, {"byteLength", out.size()}};
            for (const char* keep : {"byteStride", "target", "name"})
                if (view.contains(keep)) plain[keep] = view[keep];
            gltf->buffer.append(reinterpret_cast<const char*>(out.data()), out.size());
            view = plain;
            decoded = true;
        }
        why->clear();
        if (!decoded) return true;
        json& buffers = doc["buffers"];
        while (buffers.is_array() && buffers.size() > 1 && buffers.back().contains("extensions") &&
               buffers.back()["extensions"].contains("EXT_meshopt_compression"))
            buffers.erase(buffers.size() - 1);  // the fallback, now filled
        if (buffers.is_array() && !buffers.empty()) buffers[0]["byteLength"] = gltf->buffer.size();
        for (const char* list : {"extensionsUsed", "extensionsRequired"})
            if (doc.contains(list) && doc[list].is_array()) {
                json& names = doc[list];
                names.erase(std::remove(names.begin(), names.end(), "EXT_meshopt_compression"), names.end());
                if (names.empty()) doc.erase(list);
            }
        gltf->read.clear();
        return true;
    } catch (const json::exception& e) {
        *why = std::string("the compressed views are not described as glTF describes them: ") + e.what();
        return false;
    }
}

std::vector<D3DXMATRIX> GltfGlobals(const GltfDocument& gltf, int animation, double seconds) {
    const json nodes = gltf.doc.value("nodes", json::array());
    std::vector<std::array<double, 10>> trs(nodes.size(), {0, 0, 0, 0, 0, 0, 1, 1, 1, 1});
    std::vector<D3DXMATRIX> fixed(nodes.size());  // a node given as a matrix
    std::vector<bool> isMatrix(nodes.size(), false);
    for (size_t n = 0; n < nodes.size(); ++n) {
        const json& node = nodes[n];
        if (node.contains("matrix") && node["matrix"].is_array() && node["matrix"].size() == 16) {
            // Column-major: the row-vector matrix, row by row.
            for (int i = 0; i < 16; ++i)
                (&fixed[n]._11)[i] = node["matrix"][i].is_number() ? node["matrix"][i].get<float>() : 0.0f;
            isMatrix[n] = true;
        }
        for (const auto& [path, at] : kPart)
            if (node.contains(path) && node[path].is_array())
                for (size_t i = 0; i < node[path].size() && i < (path == "rotation" ? 4u : 3u); ++i)
                    if (node[path][i].is_number()) trs[n][at + i] = node[path][i].get<double>();
    }
    const json animations = gltf.doc.value("animations", json::array());
    if (animation >= 0 && static_cast<size_t>(animation) < animations.size()) {
        const json& a = animations[animation];
        const json samplers = a.value("samplers", json::array());
        for (const json& channel : a.value("channels", json::array())) {
            const json target = channel.value("target", json::object());
            const int node = target.value("node", -1), sampler = channel.value("sampler", -1);
            const std::string path = target.value("path", "");
            if (node < 0 || static_cast<size_t>(node) >= nodes.size() || sampler < 0 ||
                static_cast<size_t>(sampler) >= samplers.size() || kPart.count(path) == 0)
                continue;
            const size_t width = path == "rotation" ? 4 : 3;
            double value[4];
            if (Sample(gltf, samplers[sampler], width, path == "rotation", seconds, value)) {
                std::copy_n(value, width, &trs[node][kPart.at(path)]);
                isMatrix[node] = false;  // animated nodes are given as their parts
            }
        }
    }
    // From each root down, each node under its parent, each once.
    std::vector<bool> child(nodes.size(), false), done(nodes.size(), false);
    for (const json& node : nodes)
        for (const json& c : node.value("children", json::array()))
            if (c.is_number_unsigned() && c.get<size_t>() < nodes.size()) child[c.get<size_t>()] = true;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    std::vector<std::pair<size_t, D3DXMATRIX>> pending;
    for (size_t n = 0; n < nodes.size(); ++n)
        if (!child[n]) pending.emplace_back(n, identity);
    std::vector<D3DXMATRIX> global(nodes.size(), identity);
    while (!pending.empty()) {
        const auto [n, parent] = pending.back();
        pending.pop_back();
        if (done[n]) continue;
        done[n] = true;
        global[n] = (isMatrix[n] ? fixed[n] : FromTrs(trs[n])) * parent;
        for (const json& c : nodes[n].value("children", json::array()))
            if (c.is_number_unsigned() && c.get<size_t>() < nodes.size())
                pending.emplace_back(c.get<size_t>(), global[n]);
    }
    return global;
}

std::vector<D3DXVECTOR3> GltfPosed(const GltfDocument& gltf, const std::vector<D3DXMATRIX>& global, int m) {
    const json nodes = gltf.doc.value("nodes", json::array());
    int node = -1;
    for (size_t n = 0; n < nodes.size() && node < 0; ++n)
        if (nodes[n].value("mesh", -1) == m) node = static_cast<int>(n);
    const json meshes = gltf.doc.value("meshes", json::array());
    if (node < 0 || static_cast<size_t>(node) >= global.size() || m < 0 ||
        static_cast<size_t>(m) >= meshes.size())
        return {};
    const json primitives = meshes[m].value("primitives", json::array());
    if (primitives.empty()) return {};
    const json attributes = primitives[0].value("attributes", json::object());
    const std::vector<double>& p = gltf.Read(attributes.value("POSITION", -1));
    std::vector<D3DXVECTOR3> out(p.size() / 3, D3DXVECTOR3(0, 0, 0));
    const auto position = [&](size_t v) {
        return D3DXVECTOR3(float(p[v * 3]), float(p[v * 3 + 1]), float(p[v * 3 + 2]));
    };
    const json skins = gltf.doc.value("skins", json::array());
    const int skinIndex = nodes[node].value("skin", -1);
    if (skinIndex < 0 || static_cast<size_t>(skinIndex) >= skins.size()) {
        for (size_t v = 0; v < out.size(); ++v)
            out[v] = Apply(position(v), global[node]);
        return out;
    }
    const json& skin = skins[skinIndex];
    const json jointNodes = skin.value("joints", json::array());
    const std::vector<double>& inverses = gltf.Read(skin.value("inverseBindMatrices", -1));
    std::vector<D3DXMATRIX> joints(jointNodes.size());
    for (size_t j = 0; j < joints.size(); ++j) {
        D3DXMATRIX inverse;
        D3DXMatrixIdentity(&inverse);
        for (int i = 0; i < 16 && inverses.size() >= (j + 1) * 16; ++i)
            (&inverse._11)[i] = float(inverses[j * 16 + i]);
        const size_t jointNode =
            jointNodes[j].is_number_unsigned() ? jointNodes[j].get<size_t>() : global.size();
        if (jointNode >= global.size()) return {};
        joints[j] = inverse * global[jointNode];
    }
    const std::vector<double>& which = gltf.Read(attributes.value("JOINTS_0", -1));
    const std::vector<double>& weights = gltf.Read(attributes.value("WEIGHTS_0", -1));
    if (which.size() < out.size() * 4 || weights.size() < out.size() * 4) return {};
    for (size_t v = 0; v < out.size(); ++v)
        for (size_t i = 0; i < 4; ++i) {
            const size_t j = size_t(which[v * 4 + i]);
            if (weights[v * 4 + i] != 0 && j < joints.size())
                out[v] += Apply(position(v), joints[j]) * float(weights[v * 4 + i]);
        }
    return out;
}

bool CheckGltf(Vorel::cModel& model, const GltfDocument& gltf, float ticksPerSecond,
               std::vector<SetCheck>* out, std::string* why) {
    try {
        out->clear();
        // The meshes as the export writes them: each container that has faces.
        std::vector<const Vorel::cModel::Container*> meshes;
        for (const Vorel::cModel::Container& c : model.m_containers) {
            LPD3DXMESH mesh = c.container->MeshData.pMesh;
            if (mesh != nullptr && mesh->GetNumFaces() > 0 && mesh->GetNumVertices() > 0)
                meshes.push_back(&c);
        }
        const size_t written = gltf.doc.value("meshes", json::array()).size();
        if (written != meshes.size()) {
            *why = "the glTF has " + std::to_string(written) + " meshes where the model has " +
                   std::to_string(meshes.size());
            return false;
        }
        // The sets exported, in order, each named as its set.
        const json animations = gltf.doc.value("animations", json::array());
        std::vector<size_t> setOf;
        for (size_t s = 0; s < model.m_animationSets.size() && setOf.size() < animations.size(); ++s) {
            const std::string& name = model.m_animationSets[s]->m_name;
            if (animations[setOf.size()].value("name", "") ==
                (name.empty() ? "set " + std::to_string(s + 1) : name))
                setOf.push_back(s);
        }
        if (setOf.size() != animations.size()) {
            *why = "the glTF's animations are not the model's sets, in order";
            return false;
        }
        const double radius =
            std::isfinite(model.m_sphereRadius) && model.m_sphereRadius > 0 ? model.m_sphereRadius : 1;
        const uint32_t current = model.m_currentSet;
        std::vector<D3DXVECTOR3> viewer;
        // The bind pose when no set is exported, else each set exported.
        for (int a = setOf.empty() ? -1 : 0; a < static_cast<int>(setOf.size()); ++a) {
            const Vorel::cAnimationSet* set = a >= 0 ? model.m_animationSets[setOf[a]].get() : nullptr;
            SetCheck check;
            check.name = set == nullptr        ? "bind pose"
                         : set->m_name.empty() ? "set " + std::to_string(setOf[a] + 1)
                                               : set->m_name;
            // Its key times within the loop, and halfway between them and to
            // the loop's end; spread over at most kMostTimes.
            std::vector<float> times = {0};
            const float length = set != nullptr ? static_cast<float>(std::max(0, set->m_length)) : 0.0f;
            if (set != nullptr && length > 0) {
                for (const auto& animation : set->m_animations) {
                    if (animation->m_frame == nullptr) continue;
                    for (const auto& k : animation->m_rotationKeys)
                        times.push_back(k.m_time);
                    for (const auto& k : animation->m_translationKeys)
                        times.push_back(k.m_time);
                    for (const auto& k : animation->m_scaleKeys)
                        times.push_back(k.m_time);
                    for (const auto& k : animation->m_matrixKeys)
                        times.push_back(k.m_time);
                }
                times.erase(std::remove_if(times.begin(), times.end(),
                                           [length](float t) { return !(t >= 0 && t < length); }),
                            times.end());
                std::sort(times.begin(), times.end());
                times.erase(std::unique(times.begin(), times.end()), times.end());
                times.push_back(length);
                std::vector<float> between;
                for (size_t i = 0; i + 1 < times.size(); ++i)
                    between.insert(between.end(), {times[i], (times[i] + times[i + 1]) / 2});
                times = between;
                if (times.size() > kMostTimes) {
                    std::vector<float> spread(kMostTimes);
                    for (size_t i = 0; i < kMostTimes; ++i)
                        spread[i] = times[i * times.size() / kMostTimes];
                    times = spread;
                }
            }
            const float perSecond = ticksPerSecond > 0 ? ticksPerSecond
                                    : set != nullptr && set->m_ticksPerSecond > 0
                                        ? set->m_ticksPerSecond
                                        : Vorel::cAnimationSet::kDefaultTicksPerSecond;
            if (set != nullptr) model.m_currentSet = static_cast<uint32_t>(setOf[a]);
            for (const float t : times) {
                model.Update(t);
                const std::vector<D3DXMATRIX> global = GltfGlobals(gltf, a, double(t) / perSecond);
                for (size_t m = 0; m < meshes.size(); ++m) {
                    Vorel::cModel::ModelSpaceVertices(*meshes[m], &viewer);
                    const std::vector<D3DXVECTOR3> posed = GltfPosed(gltf, global, static_cast<int>(m));
                    if (posed.size() != viewer.size()) {
                        model.m_currentSet = current;
                        *why = "mesh " + std::to_string(m) + " of the glTF has " +
                               std::to_string(posed.size()) + " positions where the model has " +
                               std::to_string(viewer.size());
                        return false;
                    }
                    // glTF's z is the .x file's mirrored.
                    for (size_t v = 0; v < viewer.size(); ++v) {
                        const D3DXVECTOR3 d(posed[v].x - viewer[v].x, posed[v].y - viewer[v].y,
                                            posed[v].z + viewer[v].z);
                        const double distance =
                            std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z) / radius;
                        if (!(distance <= check.worst)) check.worst = distance;  // a NaN stays, and fails
                    }
                }
            }
            check.times = times.size();
            out->push_back(check);
        }
        model.m_currentSet = current;
        return true;
    } catch (const json::exception& e) {
        *why = std::string("the glTF is not as glTF describes it: ") + e.what();
        return false;
    }
}

}  // namespace VorelTools
