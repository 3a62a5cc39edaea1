#pragma once

#include <d3dx9.h>

#include <vector>

#include "cViewTools.h"

namespace Vorel {

// What the viewer draws in the scene to show a model's shape and size: its
// normals, its posed box with the box's size written beside it, and a
// ground grid with the axes, each as one list of coloured lines.
class cGuides {
public:
    explicit cGuides(cViewTools& viewTools) : m_viewTools(viewTools) {}

    // Tells the model what to measure as the next Draw poses it.
    void Prepare(cModel* model) const;
    // Draws the guides the views ask for, depth tested against the model.
    void Draw(LPDIRECT3DDEVICE9 device);
    // The box's size beside it; after Draw, with the other texts.
    void DrawLabels();

    // The grid for a model of `radius` about `centre`: the spacing of its
    // lines (a power of ten) and how far they reach each way from the
    // nearest line to the centre; false for a radius that is 0 or not a
    // number.
    static bool GridFor(float radius, float* spacing, int* halfCount);
    // The normals' length for a model of that radius.
    static float NormalLength(float radius) { return 0.05f * radius; }
    // The box's size as written: "2.5 x 1.8 x 0.4".
    static void SizeText(const D3DXVECTOR3& min, const D3DXVECTOR3& max, char* text, size_t size);

private:
    struct Vertex {
        float x, y, z;
        D3DCOLOR colour;
    };
    void Add(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour);
    void Flush(LPDIRECT3DDEVICE9 device, const D3DXMATRIX& world);
    void DrawGrid(const cModel& model);
    void DrawBox(const cModel& model);

    cViewTools& m_viewTools;
    std::vector<Vertex> m_vertices;  // kept from frame to frame
};

}  // namespace Vorel
