// A deterministic generator of large skinned, animated models as exporters
// write them: a grid mesh of any vertex count with normals, texture
// coordinates and several textured materials, a chain of bones that
// weights every vertex with four influences, and one animation set of
// rotation and position keys for every bone.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace VorelBench {

struct ModelShape {
    size_t vertices = 50000;
    int bones = 32;
    int keys = 30;
    int materials = 4;
};

inline std::string GeneratedModel(const ModelShape& shape) {
    const size_t side = 2;
    const size_t columns = std::max<size_t>(side, static_cast<size_t>(std::sqrt(double(shape.vertices))));
    const size_t rows = std::max<size_t>(side, shape.vertices / columns);
    const size_t count = rows * columns;
    const size_t faces = (rows - 1) * (columns - 1);
    std::string x = "xof 0303txt 0032\n";
    char line[256];
    const auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        x += line;
    };
    x += "Frame Root {\n FrameTransformMatrix { "
         "1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,"
         "0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,1.000000;; }\n";
    for (int b = 0; b < shape.bones; ++b) {
        add(" Frame Bone%d {\n  FrameTransformMatrix { 1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,"
            "0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,%f,0.000000,1.000000;; }\n",
            b, b == 0 ? 0.0 : 1.0);
    }
    for (int b = 0; b < shape.bones; ++b)
        x += " }\n";
    add(" Mesh Grid {\n  %zu;\n", count);
    for (size_t i = 0; i < count; ++i)
        add("  %f;%f;%f;%s\n", double(i % columns) * 0.05, double(i / columns) * 0.05, 0.125 * double(i % 7),
            i + 1 < count ? "," : ";");
    add("  %zu;\n", faces * 2);
    for (size_t r = 0; r + 1 < rows; ++r)
        for (size_t c = 0; c + 1 < columns; ++c) {
            const size_t a = r * columns + c;
            const bool last = r + 2 == rows && c + 2 == columns;
            add("  3;%zu,%zu,%zu;,\n  3;%zu,%zu,%zu;%s\n", a, a + 1, a + columns + 1, a, a + columns + 1,
                a + columns, last ? ";" : ",");
        }
    add("  MeshNormals {\n   %zu;\n", count);
    for (size_t i = 0; i < count; ++i)
        add("   0.000000;0.000000;-1.000000;%s\n", i + 1 < count ? "," : ";");
    add("   %zu;\n", faces * 2);
    for (size_t f = 0; f < faces; ++f) {
        const size_t a = (f / (columns - 1)) * columns + f % (columns - 1);
        add("   3;%zu,%zu,%zu;,\n   3;%zu,%zu,%zu;%s\n", a, a + 1, a + columns + 1, a, a + columns + 1,
            a + columns, f + 1 < faces ? "," : ";");
    }
    x += "  }\n";
    add("  MeshTextureCoords {\n   %zu;\n", count);
    for (size_t i = 0; i < count; ++i)
        add("   %f;%f;%s\n", double(i % columns) / double(columns), double(i / columns) / double(rows),
            i + 1 < count ? "," : ";");
    x += "  }\n";
    add("  MeshMaterialList {\n   %d;\n   %zu;\n", shape.materials, faces * 2);
    for (size_t f = 0; f < faces * 2; ++f)
        add("   %zu%s\n", (f / 2) % static_cast<size_t>(shape.materials), f + 1 < faces * 2 ? "," : ";");
    for (int m = 0; m < shape.materials; ++m)
        add("   Material {\n    0.800000;0.700000;0.600000;1.000000;;\n    12.000000;\n    0.200000;0.200000;"
            "0.200000;;\n    0.000000;0.000000;0.000000;;\n    TextureFilename { \"skin%d.png\"; }\n   }\n",
            m);
    x += "  }\n";
    add("  XSkinMeshHeader {\n   4;\n   12;\n   %d;\n  }\n", shape.bones);
    for (int b = 0; b < shape.bones; ++b) {
        // Each vertex's four bones: its row's bone and the three after it.
        std::string indices, weights;
        size_t n = 0;
        for (size_t i = 0; i < count; ++i) {
            const int row = static_cast<int>((i / columns) * static_cast<size_t>(shape.bones) / rows);
            const int k = (b - row + shape.bones) % shape.bones;
            if (k >= 4) continue;
            indices += (n ? ",\n   " : "   ") + std::to_string(i);
            weights += (n ? ",\n   " : "   ") + std::string(k == 0 ? "0.400000" : "0.200000");
            ++n;
        }
        add("  SkinWeights {\n   \"Bone%d\";\n   %zu;\n", b, n);
        x += indices + ";\n" + weights + ";\n";
        add("   1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,"
            "1.000000,0.000000,0.000000,%f,0.000000,1.000000;;\n  }\n",
            -double(b));
    }
    x += " }\n}\nAnimationSet Bend {\n";
    for (int b = 0; b < shape.bones; ++b) {
        add(" Animation {\n  {Bone%d}\n  AnimationKey {\n   0;\n   %d;\n", b, shape.keys);
        for (int k = 0; k < shape.keys; ++k) {
            const double angle = 0.02 * std::sin(k * 0.3 + b);
            add("   %d;4;%f,%f,0.000000,0.000000;;%s\n", k * 160, std::cos(angle), std::sin(angle),
                k + 1 < shape.keys ? "," : ";");
        }
        add("  }\n  AnimationKey {\n   2;\n   %d;\n", shape.keys);
        for (int k = 0; k < shape.keys; ++k)
            add("   %d;3;0.000000,%f,0.000000;;%s\n", k * 160, b == 0 ? 0.0 : 1.0,
                k + 1 < shape.keys ? "," : ";");
        x += "  }\n }\n";
    }
    return x + "}\n";
}

}  // namespace VorelBench
