#include "GltfCompress.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "GltfCheck.h"
#include "GltfExport.h"

namespace VorelTools {

using nlohmann::json;

const char* const kCompressedPrecision =
    "positions, translations and scales to 20-bit mantissas, texture coordinates to 16, normals octahedral "
    "to "
    "12 bits, rotations and weights to 16-bit integers, colours to 8";

namespace {

enum class Role {
    kPlain,
    kPosition,
    kVector,
    kTexcoord,
    kNormal,
    kColour,
    kWeights,
    kJoints,
    kIndices,
    kRotation
};

constexpr int kFloat = 5126, kShort = 5122, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125;

// One accessor's data as it is to be stored: its elements `stride` bytes
// apart, and how meshoptimizer codes them.
struct Stream {
    std::vector<unsigned char> bytes;
    size_t stride = 0;
    const char* mode = "ATTRIBUTES";
    const char* filter = "NONE";
    int componentType = kFloat;
    bool normalized = false;
};

template <typename T>
void Put(std::vector<unsigned char>* out, T value) {
    const size_t at = out->size();
    out->resize(at + sizeof value);
    std::memcpy(out->data() + at, &value, sizeof value);
}

// `width` floats an element, as floats with `bits`-bit mantissas sharing
// each element's exponent.
Stream Exponential(const std::vector<double>& values, size_t width, int bits) {
    const std::vector<float> floats(values.begin(), values.end());
    Stream s;
    s.stride = width * 4;
    s.bytes.resize(floats.size() * 4);
    s.filter = "EXPONENTIAL";
    meshopt_encodeFilterExp(s.bytes.data(), floats.size() / width, s.stride, bits, floats.data());
    return s;
}

// Four floats an element as four 16-bit normalised integers, through
// meshoptimizer's filter `encode` at `bits` of precision.
Stream Shorts(size_t count, const char* filter, const std::vector<float>& four, int bits,
              void (*encode)(void*, size_t, size_t, int, const float*)) {
    Stream s;
    s.stride = 8;
    s.bytes.resize(count * 8);
    s.filter = filter;
    s.componentType = kShort;
    s.normalized = true;
    encode(s.bytes.data(), count, 8, bits, four.data());
    return s;
}

Stream Encode(Role role, const std::vector<double>& v, size_t width, int componentType) {
    const size_t count = width > 0 ? v.size() / width : 0;
    Stream s;
    switch (role) {
        case Role::kPosition:
        case Role::kVector:
            return Exponential(v, width, 20);
        case Role::kTexcoord:
            return Exponential(v, width, 16);
        case Role::kNormal: {
            std::vector<float> four(count * 4, 0.0f);
            for (size_t i = 0; i < count; ++i)
                for (size_t c = 0; c < 3; ++c)
                    four[i * 4 + c] = float(v[i * 3 + c]);
            return Shorts(count, "OCTAHEDRAL", four, 12, meshopt_encodeFilterOct);
        }
        case Role::kRotation:
            return Shorts(count, "QUATERNION", std::vector<float>(v.begin(), v.end()), 16,
                          meshopt_encodeFilterQuat);
        case Role::kColour:
            s.stride = 4;
            s.componentType = kUnsignedByte;
            s.normalized = true;
            for (double x : v)
                Put(&s.bytes, uint8_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)));
            return s;
        case Role::kWeights:
            s.stride = 8;
            s.componentType = kUnsignedShort;
            s.normalized = true;
            for (size_t i = 0; i < count; ++i) {
                // Rounded, a weight never to nothing, then the largest takes
                // up what rounding lost, so that they still sum to one.
                uint16_t q[4];
                int sum = 0;
                size_t largest = 0;
                for (size_t c = 0; c < 4; ++c) {
                    const double w = std::clamp(v[i * 4 + c], 0.0, 1.0);
                    q[c] = uint16_t(std::max<long>(w > 0 ? 1 : 0, std::lround(w * 65535)));
                    sum += q[c];
                    if (q[c] > q[largest]) largest = c;
                }
                if (sum > 0) q[largest] = uint16_t(std::clamp(int(q[largest]) + 65535 - sum, 0, 65535));
                for (uint16_t x : q)
                    Put(&s.bytes, x);
            }
            return s;
        case Role::kJoints: {
            // Four a vertex, padded to four bytes an element.
            const bool narrow = componentType == kUnsignedByte;
            s.stride = narrow ? 4 : 8;
            s.componentType = narrow ? kUnsignedByte : kUnsignedShort;
            for (double x : v)
                narrow ? Put(&s.bytes, uint8_t(x)) : Put(&s.bytes, uint16_t(x));
            return s;
        }
        case Role::kIndices: {
            const std::vector<unsigned int> indices(v.begin(), v.end());
            const size_t size = componentType == kUnsignedInt ? 4 : 2;
            s.stride = size;
            s.componentType = componentType == kUnsignedInt ? kUnsignedInt : kUnsignedShort;
            const bool triangles = indices.size() % 3 == 0;
            s.mode = triangles ? "TRIANGLES" : "INDICES";
            const size_t vertices =
                indices.empty() ? 0 : *std::max_element(indices.begin(), indices.end()) + 1;
            s.bytes.resize(meshopt_encodeIndexBufferBound(indices.size(), vertices));
            const size_t written = triangles ? meshopt_encodeIndexBuffer(s.bytes.data(), s.bytes.size(),
                                                                         indices.data(), indices.size())
                                             : meshopt_encodeIndexSequence(s.bytes.data(), s.bytes.size(),
                                                                           indices.data(), indices.size());
            s.bytes.resize(written);
            return s;  // already coded
        }
        case Role::kPlain:
            s.stride = width * 4;
            for (double x : v)
                Put(&s.bytes, float(x));
            return s;
    }
    return s;
}

void Align(std::string* buffer) {
    buffer->resize((buffer->size() + 3) & ~size_t(3));
}

bool Compress(GltfExport* exported, std::string* why) {
    GltfDocument source;
    source.doc = json::parse(exported->json, nullptr, false);
    source.buffer = exported->buffer;
    if (source.doc.is_discarded()) return *why = "the export's document cannot be read back", false;
    json doc = source.doc;
    // What each accessor holds, from where it is used.
    std::map<int, Role> roles;
    const std::map<std::string, Role> attributes = {
        {"POSITION", Role::kPosition}, {"NORMAL", Role::kNormal},   {"TEXCOORD_0", Role::kTexcoord},
        {"COLOR_0", Role::kColour},    {"JOINTS_0", Role::kJoints}, {"WEIGHTS_0", Role::kWeights}};
    for (const json& mesh : doc.value("meshes", json::array()))
        for (const json& primitive : mesh.value("primitives", json::array())) {
            const json named = primitive.value("attributes", json::object());
            for (const auto& [name, accessor] : named.items()) {
                const auto role = attributes.find(name);
                roles[accessor.get<int>()] = role != attributes.end() ? role->second : Role::kPlain;
            }
            if (primitive.contains("indices")) roles[primitive["indices"].get<int>()] = Role::kIndices;
        }
    for (const json& animation : doc.value("animations", json::array())) {
        const json samplers = animation.value("samplers", json::array());
        for (const json& channel : animation.value("channels", json::array())) {
            const json& sampler = samplers.at(channel.at("sampler").get<size_t>());
            const std::string path = channel.at("target").value("path", "");
            roles[sampler.at("input").get<int>()] = Role::kPlain;
            roles[sampler.at("output").get<int>()] = path == "rotation" ? Role::kRotation : Role::kVector;
        }
    }
    // Every accessor gets a view of its own; images keep theirs, as they are.
    std::string buffer;
    json views = json::array();
    json& images = doc["images"];
    for (json& image : images.is_array() ? images : (images = json::array())) {
        if (!image.contains("bufferView")) continue;
        json view = doc.at("bufferViews").at(image["bufferView"].get<size_t>());
        const size_t start = view.value("byteOffset", size_t(0)),
                     length = view.at("byteLength").get<size_t>();
        Align(&buffer);
        view["byteOffset"] = buffer.size();
        buffer += source.buffer.substr(start, length);
        image["bufferView"] = views.size();
        views.push_back(view);
    }
    if (doc["images"].empty()) doc.erase("images");
    size_t fallback = 0;  // the size of the data decoded
    json& accessors = doc["accessors"];
    for (size_t a = 0; a < accessors.size(); ++a) {
        json& accessor = accessors[a];
        const std::vector<double>& values = source.Read(static_cast<int>(a));
        const size_t count = accessor.value("count", size_t(0));
        static const std::map<std::string, size_t> widths = {
            {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
        const auto width = widths.find(accessor.value("type", ""));
        if (width == widths.end() || values.size() != count * width->second)
            return *why = "accessor " + std::to_string(a) + " cannot be read back", false;
        const auto role = roles.find(static_cast<int>(a));
        const int type = accessor.value("componentType", kFloat);
        const Stream s =
            Encode(role != roles.end() ? role->second : Role::kPlain, values, width->second, type);
        std::vector<unsigned char> coded;
        if (std::strcmp(s.mode, "ATTRIBUTES") == 0) {
            coded.resize(meshopt_encodeVertexBufferBound(count, s.stride));
            coded.resize(
                meshopt_encodeVertexBuffer(coded.data(), coded.size(), s.bytes.data(), count, s.stride));
        } else {
            coded = s.bytes;
        }
        if (coded.empty() && count > 0)
            return *why = "accessor " + std::to_string(a) + " cannot be encoded", false;
        Align(&buffer);
        json extension = {{"buffer", 0},
                          {"byteOffset", buffer.size()},
                          {"byteLength", coded.size()},
                          {"byteStride", s.stride},
                          {"count", count},
                          {"mode", s.mode}};
        if (std::strcmp(s.filter, "NONE") != 0) extension["filter"] = s.filter;
        buffer.append(reinterpret_cast<const char*>(coded.data()), coded.size());
        json view = {{"buffer", 1},
                     {"byteOffset", fallback},
                     {"byteLength", count * s.stride},
                     {"extensions", {{"EXT_meshopt_compression", extension}}}};
        const json& old = doc.at("bufferViews").at(accessor.at("bufferView").get<size_t>());
        if (old.contains("target")) view["target"] = old["target"];
        if (old.value("target", 0) == 34962) view["byteStride"] = s.stride;  // vertex attributes
        fallback += (count * s.stride + 3) & ~size_t(3);
        accessor["bufferView"] = views.size();
        accessor.erase("byteOffset");
        accessor["componentType"] = s.componentType;
        if (s.normalized) accessor["normalized"] = true;
        views.push_back(view);
    }
    doc["bufferViews"] = views;
    json first = doc.value("buffers", json::array()).empty() ? json::object() : doc["buffers"][0];
    first["byteLength"] = buffer.size();
    doc["buffers"] = json::array(
        {first,
         {{"byteLength", fallback}, {"extensions", {{"EXT_meshopt_compression", {{"fallback", true}}}}}}});
    for (const char* list : {"extensionsUsed", "extensionsRequired"}) {
        json& names = doc[list];
        if (!names.is_array()) names = json::array();
        for (const char* name : {"EXT_meshopt_compression", "KHR_mesh_quantization"})
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    // Positions are bounded by what they decode to.
    GltfDocument written;
    written.doc = doc;
    written.buffer = buffer;
    if (!DecodeMeshopt(&written, why)) return false;
    for (const auto& [a, role] : roles) {
        if (role != Role::kPosition) continue;
        const std::vector<double>& p = written.Read(a);
        json low = json::array(), high = json::array();
        for (size_t c = 0; c < 3; ++c) {
            float lo = INFINITY, hi = -INFINITY;
            for (size_t i = c; i < p.size(); i += 3)
                lo = std::min(lo, float(p[i])), hi = std::max(hi, float(p[i]));
            low.push_back(lo);
            high.push_back(hi);
        }
        doc["accessors"][a]["min"] = low;
        doc["accessors"][a]["max"] = high;
    }
    exported->json = doc.dump();
    exported->buffer = std::move(buffer);
    return true;
}

}  // namespace

bool CompressGltf(GltfExport* exported, std::string* why) {
    try {
        return Compress(exported, why);
    } catch (const json::exception& e) {
        *why = std::string("the export's document is not as written: ") + e.what();
        return false;
    }
}

}  // namespace VorelTools
