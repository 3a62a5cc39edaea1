#include "d3dx9/effect/EffectFile.h"

#include <cctype>
#include <charconv>

namespace Platform::D3DX {
namespace {

struct TypeName {
    const char* name;
    ParameterType type;
    const char* glsl;
};

constexpr TypeName kTypes[] = {
    {"int", ParameterType::Int, "int"},
    {"float", ParameterType::Float, "float"},
    {"float2", ParameterType::Float2, "vec2"},
    {"float3", ParameterType::Float3, "vec3"},
    {"float4", ParameterType::Float4, "vec4"},
    {"float4x4", ParameterType::Float4x4, "mat4"},
    {"texture", ParameterType::Texture, "sampler2D"},
};

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool IsIdentifier(std::string_view word) {
    if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0]))) return false;
    for (char c : word)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
        line.remove_prefix(1);
    return line;
}

// Reads the digits at `text[*at]`; false when there are none.
bool Digits(std::string_view text, size_t* at, int* value) {
    const auto [end, ec] = std::from_chars(text.data() + *at, text.data() + text.size(), *value);
    if (ec != std::errc() || end == text.data() + *at) return false;
    *at = static_cast<size_t>(end - text.data());
    return true;
}

}  // namespace

size_t ParameterFloats(ParameterType type) {
    switch (type) {
        case ParameterType::Int:
        case ParameterType::Float:
            return 1;
        case ParameterType::Float2:
            return 2;
        case ParameterType::Float3:
            return 3;
        case ParameterType::Float4:
            return 4;
        case ParameterType::Float4x4:
            return 16;
        case ParameterType::Texture:
            return 0;
    }
    return 0;
}

bool ParseEffect(std::string_view text, const std::string& fileName, EffectDescription* effect,
                 std::string* error) {
    *effect = {};
    int lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        *error = fileName + "(" + std::to_string(lineNumber) + "): " + what;
        return false;
    };
    const auto nameTaken = [&](std::string_view name) {
        for (const auto& p : effect->parameters)
            if (p.name == name) return true;
        for (const auto& t : effect->techniques)
            if (t.name == name) return true;
        for (const auto& s : effect->stages)
            if (s.name == name) return true;
        return false;
    };
    // Passes name stages that may come later: resolved at the end.
    struct PendingPass {
        size_t technique, pass;
        std::string vertex, fragment;
        int line;
    };
    std::vector<PendingPass> pending;
    EffectStage* stage = nullptr;

    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        std::string_view line =
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (stage != nullptr) {
            if (Trimmed(line) == "end") {
                stage = nullptr;
                continue;
            }
            stage->source.append(line).push_back('\n');
            continue;
        }
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed.substr(0, 2) == "//") continue;
        const auto words = Words(trimmed);
        const std::string_view keyword = words[0];
        if (keyword == "parameter") {
            if (words.size() < 3) return fail("a parameter needs a type and a name");
            const TypeName* type = nullptr;
            for (const auto& t : kTypes)
                if (words[1] == t.name) type = &t;
            if (type == nullptr) return fail("unknown parameter type \"" + std::string(words[1]) + "\"");
            if (!IsIdentifier(words[2])) return fail("\"" + std::string(words[2]) + "\" is not a name");
            if (nameTaken(words[2])) return fail("\"" + std::string(words[2]) + "\" is declared twice");
            EffectParameter parameter;
            parameter.name = words[2];
            parameter.type = type->type;
            const size_t floats = ParameterFloats(type->type);
            if (words.size() > 3) {
                if (words[3] != "=" || words.size() - 4 != floats)
                    return fail("\"" + parameter.name + "\" needs \"=\" and " + std::to_string(floats) +
                                " values, or none");
                for (size_t i = 0; i < floats; ++i) {
                    const std::string_view w = words[4 + i];
                    const auto [ptr, ec] =
                        std::from_chars(w.data(), w.data() + w.size(), parameter.defaults[i]);
                    if (ec != std::errc() || ptr != w.data() + w.size())
                        return fail("\"" + std::string(w) + "\" is not a number");
                }
            } else if (type->type == ParameterType::Float4x4) {
                for (int i = 0; i < 4; ++i)
                    parameter.defaults[i * 5] = 1;  // the identity
            }
            effect->parameters.push_back(std::move(parameter));
        } else if (keyword == "technique") {
            if (words.size() != 2 || !IsIdentifier(words[1])) return fail("a technique needs one name");
            if (nameTaken(words[1])) return fail("\"" + std::string(words[1]) + "\" is declared twice");
            effect->techniques.push_back({std::string(words[1]), {}});
        } else if (keyword == "pass") {
            if (effect->techniques.empty()) return fail("a pass outside a technique");
            if (words.size() != 4 || !IsIdentifier(words[1]))
                return fail("a pass needs a name, a vertex stage and a fragment stage");
            auto& passes = effect->techniques.back().passes;
            pending.push_back({effect->techniques.size() - 1, passes.size(), std::string(words[2]),
                               std::string(words[3]), lineNumber});
            passes.push_back({std::string(words[1]), 0, 0});
        } else if (keyword == "stage") {
            if (words.size() != 2 || !IsIdentifier(words[1])) return fail("a stage needs one name");
            if (nameTaken(words[1])) return fail("\"" + std::string(words[1]) + "\" is declared twice");
            effect->stages.push_back({std::string(words[1]), {}, lineNumber + 1});
            stage = &effect->stages.back();
        } else {
            return fail("\"" + std::string(keyword) + "\" is not parameter, technique, pass or stage");
        }
    }
    if (stage != nullptr) {
        lineNumber = stage->firstLine - 1;
        return fail("stage \"" + stage->name + "\" has no \"end\"");
    }
    if (effect->techniques.empty()) return fail("no technique");
    for (const auto& t : effect->techniques)
        if (t.passes.empty()) {
            lineNumber = 0;
            return fail("technique \"" + t.name + "\" has no pass");
        }
    for (const PendingPass& p : pending) {
        lineNumber = p.line;
        EffectPass& pass = effect->techniques[p.technique].passes[p.pass];
        bool vertex = false, fragment = false;
        for (size_t i = 0; i < effect->stages.size(); ++i) {
            if (effect->stages[i].name == p.vertex) pass.vertexStage = i, vertex = true;
            if (effect->stages[i].name == p.fragment) pass.fragmentStage = i, fragment = true;
        }
        if (!vertex) return fail("no stage \"" + p.vertex + "\"");
        if (!fragment) return fail("no stage \"" + p.fragment + "\"");
    }
    return true;
}

std::string StageSource(const EffectDescription& effect, const EffectStage& stage) {
    std::string source = "#version 330 core\n";
    for (const auto& p : effect.parameters)
        for (const auto& t : kTypes)
            if (t.type == p.type) source += std::string("uniform ") + t.glsl + " " + p.name + ";\n";
    source += "#line " + std::to_string(stage.firstLine) + "\n";
    return source + stage.source;
}

std::string LocateLog(std::string_view log, const std::string& fileName) {
    std::string out;
    size_t at = 0;
    while (at < log.size()) {
        const size_t end = log.find('\n', at);
        std::string_view line =
            log.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? log.size() : end + 1;
        if (Trimmed(line).empty()) continue;
        std::string_view rest = line;
        std::string_view severity;
        for (std::string_view prefix : {"ERROR: ", "WARNING: "})
            if (rest.substr(0, prefix.size()) == prefix) severity = prefix, rest.remove_prefix(prefix.size());
        // The source string's number (always 0 here), then the line.
        size_t i = 0;
        int source = 0, number = 0;
        bool located = false;
        if (Digits(rest, &i, &source) && i < rest.size()) {
            const char after = rest[i++];
            if (after == ':' && Digits(rest, &i, &number)) {
                if (i < rest.size() && rest[i] == '(') {  // 0:12(5):
                    const size_t close = rest.find(')', i);
                    if (close != std::string_view::npos) i = close + 1;
                }
                located = i < rest.size() && rest[i] == ':';
            } else if (after == '(' && Digits(rest, &i, &number) && i < rest.size() && rest[i] == ')') {
                ++i;  // 0(12) :
                while (i < rest.size() && rest[i] == ' ')
                    ++i;
                located = i < rest.size() && rest[i] == ':';
            }
        }
        if (located) {
            rest.remove_prefix(i + 1);
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            std::string lowered(severity);
            for (char& c : lowered)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            out += fileName + "(" + std::to_string(number) + "): " + lowered + std::string(rest) + "\n";
        } else {
            out += fileName + ": " + std::string(line) + "\n";
        }
    }
    return out;
}

}  // namespace Platform::D3DX
