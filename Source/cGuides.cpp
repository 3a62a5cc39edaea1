#include "cGuides.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cModel.h"

namespace Vorel {
namespace {

constexpr D3DCOLOR kNormal = 0xFF40E0E0, kBox = 0xFFFFC040, kGrid = 0xFF5A6070, kGridCentre = 0xFF8890A0,
                   kAxisX = 0xFFE04848, kAxisY = 0xFF48C848, kAxisZ = 0xFF4870FF, kText = 0xFFFFE8A0;

// A box was measured, of some vertices.
bool HasBox(const cModel& model) {
    const D3DXVECTOR3 &a = model.m_boxMin, &b = model.m_boxMax;
    return model.m_measureBox && a.x <= b.x && a.y <= b.y && a.z <= b.z;
}

}  // namespace

void cGuides::Prepare(cModel* model) const {
    if (model == nullptr) return;
    const cViewTools::Views& views = m_viewTools.m_views;
    const float length = NormalLength(model->m_sphereRadius);
    model->m_normalLength = views.normals && std::isfinite(length) ? length : 0;
    model->m_measureBox = views.bounds;
}

bool cGuides::GridFor(float radius, float* spacing, int* halfCount) {
    if (!(radius > 0) || !std::isfinite(radius)) return false;
    // Between 2 and 15 lines each way.
    const float step = std::pow(10.0f, std::floor(std::log10(radius)));
    if (!(step > 0) || !std::isfinite(step)) return false;
    *spacing = step;
    *halfCount = std::clamp(static_cast<int>(std::ceil(1.5f * radius / step)), 2, 15);
    return true;
}

void cGuides::SizeText(const D3DXVECTOR3& min, const D3DXVECTOR3& max, char* text, size_t size) {
    std::snprintf(text, size, "%.4g x %.4g x %.4g", static_cast<double>(max.x - min.x),
                  static_cast<double>(max.y - min.y), static_cast<double>(max.z - min.z));
}

void cGuides::Add(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour) {
    m_vertices.push_back({from.x, from.y, from.z, colour});
    m_vertices.push_back({to.x, to.y, to.z, colour});
}

void cGuides::Flush(LPDIRECT3DDEVICE9 device, const D3DXMATRIX& world) {
    if (device != nullptr && !m_vertices.empty()) {
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_LINELIST, static_cast<UINT>(m_vertices.size() / 2), m_vertices.data(),
                                sizeof(Vertex));
    }
    m_vertices.clear();
}

void cGuides::Draw(LPDIRECT3DDEVICE9 device) {
    cModel* model = m_viewTools.Model();
    const cViewTools::Views& views = m_viewTools.m_views;
    if (model == nullptr || model->m_frameRoot == nullptr || !(views.grid || views.normals || views.bounds))
        return;
    D3DXMATRIX world, identity;
    D3DXMatrixIdentity(&identity);
    if (device != nullptr) device->GetTransform(D3DTS_WORLD, &world);
    if (views.grid) {
        DrawGrid(*model);
        Flush(device, identity);
    }
    if (views.normals && model->m_normalLength > 0) {
        for (size_t i = 0; i + 1 < model->m_normalLines.size(); i += 2)
            Add(model->m_normalLines[i], model->m_normalLines[i + 1], kNormal);
        Flush(device, identity);
    }
    if (views.bounds) {
        DrawBox(*model);
        Flush(device, model->m_world);
    }
    if (device != nullptr) device->SetTransform(D3DTS_WORLD, &world);
}

void cGuides::DrawLabels() {
    const cModel* model = m_viewTools.Model();
    if (model == nullptr || !m_viewTools.m_views.bounds || !HasBox(*model)) return;
    const D3DXVECTOR3 &a = model->m_boxMin, &b = model->m_boxMax;
    // The size beside the box's highest corner, or at the top left when
    // that corner is behind the eye.
    D3DXVECTOR3 top;
    D3DXVec3TransformCoord(&top, &b, &model->m_world);
    float x = 0, y = 0;
    if (!cViewTools::Project(top, m_viewTools.ViewProjection(), m_viewTools.Width(), m_viewTools.Height(), &x,
                             &y))
        x = 8, y = 40;
    char* text = m_viewTools.Buffer();
    SizeText(a, b, text, cViewTools::kBufferSize);
    const int width = m_viewTools.TextWidth(text), height = m_viewTools.LineHeight();
    const int left = std::clamp(static_cast<int>(x) + 6, 0, std::max(0, m_viewTools.Width() - width));
    const int row = std::clamp(static_cast<int>(y) - height, 0, std::max(0, m_viewTools.Height() - height));
    m_viewTools.ShadowedText(left, row, text, kText);
    m_viewTools.Occupy({left, row, left + width, row + height});
}

void cGuides::DrawGrid(const cModel& model) {
    float step = 0;
    int half = 0;
    if (!GridFor(model.m_sphereRadius, &step, &half)) return;
    // On the ground (y = 0) under the model's centre as drawn, on whole
    // steps, so that the lines stay put as the model moves.
    D3DXVECTOR3 centre;
    D3DXVec3TransformCoord(&centre, &model.m_sphereCenter, &model.m_world);
    const float cx = std::round(centre.x / step) * step, cz = std::round(centre.z / step) * step;
    if (!std::isfinite(cx) || !std::isfinite(cz)) return;
    const float reach = static_cast<float>(half) * step;
    for (int i = -half; i <= half; ++i) {
        const float offset = static_cast<float>(i) * step;
        const D3DCOLOR colour = i == 0 ? kGridCentre : kGrid;
        Add({cx + offset, 0, cz - reach}, {cx + offset, 0, cz + reach}, colour);
        Add({cx - reach, 0, cz + offset}, {cx + reach, 0, cz + offset}, colour);
    }
    // The world's axes from the origin, as long as the model is big.
    const float axis = 1.2f * model.m_sphereRadius;
    Add({0, 0, 0}, {axis, 0, 0}, kAxisX);
    Add({0, 0, 0}, {0, axis, 0}, kAxisY);
    Add({0, 0, 0}, {0, 0, axis}, kAxisZ);
}

void cGuides::DrawBox(const cModel& model) {
    if (!HasBox(model)) return;
    const D3DXVECTOR3 &a = model.m_boxMin, &b = model.m_boxMax;
    const auto corner = [&](int i) {
        return D3DXVECTOR3(i & 1 ? b.x : a.x, i & 2 ? b.y : a.y, i & 4 ? b.z : a.z);
    };
    // The twelve edges: each corner to those that differ from it in one axis.
    for (int i = 0; i < 8; ++i)
        for (int bit = 1; bit < 8; bit <<= 1)
            if ((i & bit) == 0) Add(corner(i), corner(i | bit), kBox);
}

}  // namespace Vorel
