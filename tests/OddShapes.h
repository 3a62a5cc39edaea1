// Text .x files of hostile shape, written on the fly for the tests and the
// benchmarks: the shapes whose reading once took stack, time or memory out
// of proportion to the file's size.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace VorelTest {

struct OddShape {
    const char* name;
    std::string text;
};

inline std::string OddShapeGuid(int i) {
    char text[48];
    std::snprintf(text, sizeof text, "<%08X-0000-4000-8000-000000000000>", static_cast<unsigned>(i));
    return text;
}

// `count` frames side by side under one root, each driven by an animation
// of one key in one set.
inline std::string ManySiblings(int count) {
    std::string text = "xof 0303txt 0032\nFrame Root {\n";
    for (int i = 0; i < count; ++i)
        text += "Frame F" + std::to_string(i) + " { }\n";
    text += "}\nAnimationSet Wave {\n";
    for (int i = 0; i < count; ++i)
        text += "Animation { {F" + std::to_string(i) + "} AnimationKey { 2; 1; " + std::to_string(i) +
                "; 3; 1, 0, 0;;; } }\n";
    return text + "}\n";
}

// Frames each inside the one before, `depth` of them.
inline std::string DeepNesting(int depth) {
    std::string text = "xof 0303txt 0032\n";
    for (int i = 0; i < depth; ++i)
        text += "Frame N" + std::to_string(i) + " {\n";
    text += std::string(static_cast<size_t>(depth), '}') + "\n";
    return text;
}

// Object i refers twice to object i + 1: 2^levels paths through a file of a
// few hundred bytes.
inline std::string DoubledReferences(int levels) {
    std::string text = "xof 0303txt 0032\nFrame Body { }\nAnimationSet Doubled {\n";
    for (int i = 0; i < levels; ++i) {
        const std::string next = "D" + std::to_string(i + 1);
        text += "Animation D" + std::to_string(i) + " { {" + next + "} {" + next + "} }\n";
    }
    return text + "Animation D" + std::to_string(levels) + " { }\n}\n";
}

// `count` objects of one name and `count` references to that name.
inline std::string ManyReferencesToOneName(int count) {
    std::string text = "xof 0303txt 0032\n";
    for (int i = 0; i < count; ++i)
        text += "Frame Same { }\n";
    text += "Frame Holder {\n";
    for (int i = 0; i < count; ++i)
        text += "{Same}\n";
    return text + "}\n";
}

// `count` objects with a GUID each, and a reference to each by GUID alone.
inline std::string ManyGuidReferences(int count) {
    std::string text = "xof 0303txt 0032\n";
    for (int i = 0; i < count; ++i)
        text += "Frame G" + std::to_string(i) + " { " + OddShapeGuid(i) + " }\n";
    text += "Frame Holder {\n";
    for (int i = 0; i < count; ++i)
        text += "{ " + OddShapeGuid(i) + " }\n";
    return text + "}\n";
}

// One object that refers to itself `count` times.
inline std::string ManySelfReferences(int count) {
    std::string text = "xof 0303txt 0032\nFrame Loop {\n";
    for (int i = 0; i < count; ++i)
        text += "{Loop}\n";
    return text + "}\n";
}

// The shapes at the sizes the viewer must read in well under a second.
inline std::vector<OddShape> OddShapes() {
    return {{"100000 siblings", ManySiblings(100000)},
            {"100000 nested frames", DeepNesting(100000)},
            {"40 levels of doubled references", DoubledReferences(40)},
            {"50000 references to one name", ManyReferencesToOneName(50000)},
            {"50000 GUID references", ManyGuidReferences(50000)},
            {"100000 self-references", ManySelfReferences(100000)}};
}

}  // namespace VorelTest
