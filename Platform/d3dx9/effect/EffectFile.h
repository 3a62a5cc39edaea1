// The effect file: parameters, techniques of passes, and GLSL stages, in a
// line-oriented text format described in Assets/Shaders/README.md. Reading
// and preparing the GLSL need no OpenGL.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace Platform::D3DX {

enum class ParameterType { Int, Float, Float2, Float3, Float4, Float4x4, Texture };

struct EffectParameter {
    std::string name;
    ParameterType type = ParameterType::Float;
    std::array<float, 16> defaults{};  // the values before anything is set
};

struct EffectPass {
    std::string name;
    size_t vertexStage = 0;  // into EffectDescription::stages
    size_t fragmentStage = 0;
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectPass> passes;
};

struct EffectStage {
    std::string name;
    std::string source;
    int firstLine = 0;  // the file's line of the source's first line
};

struct EffectDescription {
    std::vector<EffectParameter> parameters;
    std::vector<EffectTechnique> techniques;
    std::vector<EffectStage> stages;
};

// The floats a parameter holds (1 for an int, 0 for a texture).
size_t ParameterFloats(ParameterType type);

// False, with `error` as "FILE(LINE): what is wrong", when `text` is not an
// effect with at least one technique whose passes name stages it has.
bool ParseEffect(std::string_view text, const std::string& fileName, EffectDescription* effect,
                 std::string* error);

// The GLSL that is compiled for `stage`: the version, a uniform for every
// parameter, then the stage's text with line numbers as in the file.
std::string StageSource(const EffectDescription& effect, const EffectStage& stage);

// A GLSL compiler's log with each message's source-string line ("0:12(5):",
// "0(12) :", "ERROR: 0:12:") rewritten as "FILE(12):", so that the messages
// name the effect file and its line; other lines get "FILE: ".
std::string LocateLog(std::string_view log, const std::string& fileName);

}  // namespace Platform::D3DX
