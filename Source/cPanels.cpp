#include "cPanels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cMeshContainer.h"
#include "cModel.h"
#include "cModelFacts.h"
#include "cTimeline.h"

namespace Vorel {
namespace {

constexpr int kPad = 6, kIndent = 12, kMaxIndent = 24;
constexpr D3DCOLOR kPanel = 0xFF1C2028, kRowSelected = 0xFF3F6FA8, kWhite = 0xFFFFFFFF, kDim = 0xFFB8C0D0,
                   kHeading = 0xFFFFC830, kMesh = 0xFF9FD39F;

std::string Count(uint64_t n) {
    return std::to_string(n);
}

std::string Count(int32_t n) {
    return std::to_string(n);
}

std::string Count(uint32_t n) {
    return std::to_string(n);
}

std::string Real(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

const char* NameOf(const cModel& model, int32_t frame) {
    const char* name = cViewTools::FrameName(model, frame);
    return *name != '\0' ? name : "(unnamed)";
}

const cMeshContainer* ContainerOf(const cModel& model, const int32_t frame, int32_t number) {
    auto* c = static_cast<const cMeshContainer*>(model.m_frames[static_cast<size_t>(frame)]->pMeshContainer);
    for (; c != nullptr && number > 0; --number)
        c = static_cast<const cMeshContainer*>(c->pNextMeshContainer);
    return c;
}

// Rotation as angles about x, then y, then z, in degrees (row vectors:
// R = Rx · Ry · Rz).
D3DXVECTOR3 Euler(const cQuaternion& q) {
    const D3DXQUATERNION d(q.x, q.y, q.z, q.w);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &d);
    const float sinY = std::clamp(-m._13, -1.0f, 1.0f);
    float x = 0, y = std::asin(sinY), z = 0;
    if (std::fabs(sinY) < 0.99999f) {
        x = std::atan2(m._23, m._33);
        z = std::atan2(m._12, m._11);
    } else {
        x = std::atan2(-m._32, m._22);
    }
    const float degrees = 180.0f / D3DX_PI;
    return {x * degrees, y * degrees, z * degrees};
}

// "T (x, y, z)  R (x, y, z) deg", then the quaternion and the scale.
void Transform(const char* label, const cVQS& t, char* first, char* second, size_t size) {
    const D3DXVECTOR3 e = Euler(t.m_rotation);
    std::snprintf(first, size, "  %s  T (%.4g, %.4g, %.4g)  R (%.1f, %.1f, %.1f) deg", label,
                  t.m_translation.x, t.m_translation.y, t.m_translation.z, e.x, e.y, e.z);
    std::snprintf(second, size, "         q (%.4f, %.4f, %.4f, %.4f)  S (%.4g, %.4g, %.4g)", t.m_rotation.x,
                  t.m_rotation.y, t.m_rotation.z, t.m_rotation.w, t.m_scale.x, t.m_scale.y, t.m_scale.z);
}

}  // namespace

void cPanels::ModelChanged() {
    m_treeBuilt = m_rowsBuilt = m_fileBuilt = false;
    m_framesScroll = m_infoScroll = 0;
    m_shownSelection = -1;
    m_weightsFor = -2;
}

cViewTools::Rect cPanels::FramesRect() const {
    return m_framesBox;
}

cViewTools::Rect cPanels::InfoRect() const {
    return m_infoBox;
}

int cPanels::VisibleRows(const cViewTools::Rect& box) const {
    return std::max(0, (box.bottom - box.top - 2 * kPad - RowHeight()) / RowHeight());
}

void cPanels::Draw() {
    const cViewTools::Views& views = m_viewTools.m_views;
    m_framesBox = m_infoBox = {};
    if (!views.framesPanel && !views.infoPanel) return;
    const int width = m_viewTools.Width();
    const int bottom =
        (m_viewTools.TimelineShown() ? m_viewTools.TimelineBand().top : m_viewTools.Height() - 26) - 6;
    const int panelWidth = std::clamp(width * 2 / 5, 160, 460);
    if (views.framesPanel) {
        const int top = m_viewTools.FreeBelow(0, panelWidth + 8) + 6;
        m_framesBox = {4, top, 4 + panelWidth, bottom};
        if (m_framesBox.bottom - m_framesBox.top > 3 * RowHeight()) DrawFrames(m_framesBox);
    }
    if (views.infoPanel) {
        const int top = m_viewTools.FreeBelow(width - panelWidth - 8, width) + 6;
        m_infoBox = {width - 4 - panelWidth, top, width - 4, bottom};
        if (m_infoBox.bottom - m_infoBox.top > 3 * RowHeight()) DrawInfo(m_infoBox);
    }
}

void cPanels::BuildTree() {
    const cModel& model = *m_viewTools.Model();
    const size_t count = model.m_frames.size();
    m_depth.assign(count, 0);
    m_children.assign(count, 0);
    m_folded.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const int32_t parent = model.m_links[i].parent;
        if (parent < 0) continue;
        m_depth[i] = m_depth[static_cast<size_t>(parent)] + 1;
        ++m_children[static_cast<size_t>(parent)];
    }
    m_treeBuilt = true;
    m_rowsBuilt = false;
}

void cPanels::BuildRows() {
    // The frames come parents first, each followed by all it holds: a folded
    // frame's rows are those after it that lie deeper.
    const cModel& model = *m_viewTools.Model();
    m_rows.clear();
    int32_t hiddenBelow = INT32_MAX;
    for (size_t i = 0; i < model.m_frames.size(); ++i) {
        if (m_depth[i] > hiddenBelow) continue;
        hiddenBelow = INT32_MAX;
        const auto frame = static_cast<int32_t>(i);
        m_rows.push_back({frame});
        if (m_folded[i]) {
            hiddenBelow = m_depth[i];
            continue;
        }
        int32_t number = 0;
        for (auto* c = model.m_frames[i]->pMeshContainer; c != nullptr; c = c->pNextMeshContainer)
            m_rows.push_back({frame, number++});
    }
    m_rowsBuilt = true;
}

void cPanels::DrawFrames(const cViewTools::Rect& box) {
    const cModel& model = *m_viewTools.Model();
    if (!m_treeBuilt || m_depth.size() != model.m_frames.size()) BuildTree();
    if (!m_rowsBuilt) BuildRows();
    m_viewTools.Fill(box, kPanel);
    m_viewTools.Occupy(box);
    const int rows = VisibleRows(box);
    // A joint picked in the picture is brought into view.
    const int32_t selected = m_viewTools.Selected();
    if (selected != m_shownSelection && selected >= 0) {
        const auto at = std::find_if(m_rows.begin(), m_rows.end(), [selected](const Row& r) {
            return r.frame == selected && r.container < 0;
        });
        const int index = static_cast<int>(at - m_rows.begin());
        if (at != m_rows.end() && (index < m_framesScroll || index >= m_framesScroll + rows))
            m_framesScroll = index - rows / 2;
    }
    m_shownSelection = selected;
    m_framesScroll = std::clamp(m_framesScroll, 0, std::max(0, static_cast<int>(m_rows.size()) - rows));

    char* text = m_viewTools.Buffer();
    std::snprintf(text, cViewTools::kBufferSize, "Frames (%zu)", model.m_frames.size());
    m_viewTools.Text(box.left + kPad, box.top + kPad, text, kHeading);
    const int top = box.top + kPad + RowHeight();
    for (int r = 0; r < rows && m_framesScroll + r < static_cast<int>(m_rows.size()); ++r) {
        const Row& row = m_rows[static_cast<size_t>(m_framesScroll + r)];
        const int y = top + r * RowHeight();
        const auto frame = static_cast<size_t>(row.frame);
        const int depth = std::min(m_depth[frame] + (row.container >= 0 ? 1 : 0), kMaxIndent);
        const int x = box.left + kPad + depth * kIndent;
        if (row.container < 0) {
            if (row.frame == selected)
                m_viewTools.Fill({box.left + 1, y - 1, box.right - 1, y + RowHeight() - 1}, kRowSelected);
            const bool holds = m_children[frame] > 0 || model.m_frames[frame]->pMeshContainer != nullptr;
            if (holds) m_viewTools.Text(x, y, m_folded[frame] ? "+" : "-", kDim);
            std::snprintf(text, cViewTools::kBufferSize, "%.100s", NameOf(model, row.frame));
            m_viewTools.Text(x + kIndent, y, text, kWhite);
        } else {
            const cMeshContainer* c = ContainerOf(model, row.frame, row.container);
            LPD3DXMESH mesh = c != nullptr ? c->MeshData.pMesh : nullptr;
            std::snprintf(text, cViewTools::kBufferSize, "%.60s: %u vertices, %u triangles, %s",
                          c != nullptr && c->Name != nullptr && *c->Name != '\0' ? c->Name : "(unnamed mesh)",
                          mesh != nullptr ? mesh->GetNumVertices() : 0,
                          mesh != nullptr ? mesh->GetNumFaces() : 0,
                          c != nullptr && c->IsSkinned() ? "skinned" : "rigid");
            m_viewTools.Text(x + kIndent, y, text, kMesh);
        }
    }
}

void cPanels::Wrap(const std::string& text, int indent, int width, std::vector<std::string>* rows) {
    // As many characters as fit, at a space where there is one.
    std::string rest = text;
    const std::string lead(static_cast<size_t>(indent), ' ');
    bool first = true;
    while (!rest.empty()) {
        const std::string prefix = first ? "" : lead + "  ";
        size_t fit = rest.size();
        while (fit > 1 && m_viewTools.TextWidth((prefix + rest.substr(0, fit)).c_str()) > width) {
            const size_t space = rest.rfind(' ', fit - 1);
            fit = space != std::string::npos && space > 0 ? space : fit * 3 / 4;
        }
        rows->push_back(prefix + rest.substr(0, fit));
        rest = rest.substr(std::min(rest.size(), fit + (fit < rest.size() && rest[fit] == ' ' ? 1 : 0)));
        first = false;
    }
}

const std::vector<std::string>& cPanels::FileRows() {
    if (m_fileBuilt) return m_fileRows;
    const cModelFacts facts = cModelFacts::Gather(*m_viewTools.Model());
    const int width = std::max(80, m_infoBox.right - m_infoBox.left - 2 * kPad);
    m_fileRowsWidth = m_infoBox.right - m_infoBox.left;
    m_fileRows.clear();
    const auto add = [&](const std::string& text, int indent = 0) {
        Wrap(std::string(static_cast<size_t>(indent), ' ') + text, indent, width, &m_fileRows);
    };
    char number[64];
    add("File");
    add(facts.path, 2);
    std::snprintf(number, sizeof number, "%.1f", facts.loadMilliseconds);
    add((facts.encoding.empty() ? std::string("unknown encoding") : facts.encoding) + ", " +
            Count(facts.floatBits) + "-bit floats, " + Count(facts.bytes) + " bytes, loaded in " + number +
            " ms",
        2);
    add("Frames: " + Count(facts.frames));
    add("Meshes (" + Count(facts.meshes.size()) + ")");
    for (const cModelFacts::Mesh& mesh : facts.meshes)
        add((mesh.name.empty() ? std::string("(unnamed)") : mesh.name) + ": " + Count(mesh.vertices) +
                " vertices, " + Count(mesh.triangles) + " triangles, " + Count(mesh.materials) +
                " materials, " + Count(mesh.bones) + " bones, " + (mesh.skinned ? "skinned" : "rigid"),
            2);
    add("Textures (" + Count(facts.textures.size()) + ")");
    for (const cModelFacts::Texture& texture : facts.textures) {
        if (!texture.found.empty()) {
            add(texture.name + ": found at " + texture.found, 2);
            continue;
        }
        add(texture.name + ": not found; sought in", 2);
        for (const std::string& place : texture.tried)
            add(place, 4);
    }
    add("Animation sets (" + Count(facts.sets.size()) + " read, " + Count(facts.setCount) + " reported)");
    for (size_t s = 0; s < facts.sets.size(); ++s) {
        const cModelFacts::Set& set = facts.sets[s];
        std::snprintf(number, sizeof number, "%.3f",
                      set.ticksPerSecond > 0 ? set.length / set.ticksPerSecond : 0.0);
        add(Count(s) + ": " + set.name + ", " + Count(set.length) + " ticks, " + number + " s at " +
                Real(set.ticksPerSecond) + " ticks a second (" +
                (set.rateFromFile ? "the file's" : "the default") + ")",
            2);
        add(Count(set.boneAnimations) + " bone animations, " + Count(set.bound) + " bound, " +
                Count(set.keys) + " keys",
            4);
        if (!set.unbound.empty()) {
            std::string names;
            for (size_t u = 0; u < set.unbound.size() && u < 20; ++u)
                names += (u > 0 ? ", " : "") +
                         (set.unbound[u].empty() ? std::string("(unnamed)") : set.unbound[u]);
            if (set.unbound.size() > 20) names += ", and " + Count(set.unbound.size() - 20) + " more";
            add("unbound: " + names, 4);
        }
    }
    std::snprintf(number, sizeof number, "(%.4g, %.4g, %.4g), radius %.4g", facts.centre.x, facts.centre.y,
                  facts.centre.z, facts.radius);
    add(std::string("Bounding sphere: centre ") + number);
    add("Warnings (" + Count(facts.warnings.size()) + ")");
    for (const std::string& warning : facts.warnings)
        add(warning, 2);
    m_fileBuilt = true;
    return m_fileRows;
}

void cPanels::SelectedRows() {
    // The selected frame at the current time, in fixed buffers.
    m_selectedCount = 0;
    const int32_t selected = m_viewTools.Selected();
    const cModel& model = *m_viewTools.Model();
    if (selected < 0) return;
    if (!m_treeBuilt || m_depth.size() != model.m_frames.size()) BuildTree();
    const auto index = static_cast<size_t>(selected);
    const cFrame* frame = model.m_frames[index];
    const auto row = [this]() { return m_selected[m_selectedCount++]; };
    std::snprintf(row(), sizeof m_selected[0], "Selected: %.100s", NameOf(model, selected));
    const int32_t parent = model.m_links[index].parent;
    std::snprintf(row(), sizeof m_selected[0], "  parent %.60s, %d %s",
                  parent >= 0 ? NameOf(model, parent) : "(none)", m_children[index],
                  m_children[index] == 1 ? "child" : "children");
    char* first = row();
    Transform("local", frame->m_local, first, row(), sizeof m_selected[0]);
    // The model's space: the frame's placement without the object's.
    D3DXMATRIX world, unplaced;
    D3DXMatrixIdentity(&world);
    if (model.m_device != nullptr) model.m_device->GetTransform(D3DTS_WORLD, &world);
    const D3DXMATRIX placed = cVQS::ToMatrix(frame->m_combined);
    const bool invertible = D3DXMatrixInverse(&unplaced, nullptr, &world) != nullptr;
    first = row();
    Transform("model", invertible ? cVQS::FromMatrix(placed * unplaced) : frame->m_combined, first, row(),
              sizeof m_selected[0]);
    // The current set's tracks that drive it.
    if (const cAnimationSet* set = cTimeline::Set(model)) {
        size_t rotation = 0, scale = 0, translation = 0, matrix = 0;
        bool driven = false;
        for (const auto& animation : set->m_animations)
            if (animation->m_frame == frame) {
                driven = true;
                rotation += animation->m_rotationKeys.size(), scale += animation->m_scaleKeys.size();
                translation += animation->m_translationKeys.size(), matrix += animation->m_matrixKeys.size();
            }
        if (driven)
            std::snprintf(row(), sizeof m_selected[0],
                          "  set %u %.40s: %zu rotation, %zu scale, %zu position, %zu matrix keys",
                          model.m_currentSet, set->m_name.c_str(), rotation, scale, translation, matrix);
        else
            std::snprintf(row(), sizeof m_selected[0], "  set %u %.40s: no track drives it",
                          model.m_currentSet, set->m_name.c_str());
    }
    if (m_weightsFor != selected) {
        // Counted once per selection.
        m_weighedVertices = 0;
        m_totalWeight = 0;
        std::vector<float> weights;
        for (const cModel::Container& entry : model.m_containers)
            if (cModel::BoneWeights(*entry.container, frame->Name, &weights))
                for (const float w : weights)
                    if (w > 0) ++m_weighedVertices, m_totalWeight += w;
        m_weightsFor = selected;
    }
    if (m_weighedVertices > 0)
        std::snprintf(row(), sizeof m_selected[0], "  weighs %zu vertices, %.2f in all", m_weighedVertices,
                      m_totalWeight);
    else
        std::snprintf(row(), sizeof m_selected[0], "  weighs no vertex: it is no bone of a skin");
    std::snprintf(row(), sizeof m_selected[0], " ");
}

void cPanels::DrawInfo(const cViewTools::Rect& box) {
    if (m_fileBuilt && m_fileRowsWidth != box.right - box.left)
        m_fileBuilt = false;  // laid out for another width
    m_infoBox = box;
    const std::vector<std::string>& file = FileRows();
    SelectedRows();
    m_viewTools.Fill(box, kPanel);
    m_viewTools.Occupy(box);
    m_viewTools.Text(box.left + kPad, box.top + kPad, "Information", kHeading);
    const int rows = VisibleRows(box);
    const int total = m_selectedCount + static_cast<int>(file.size());
    m_infoRows = total;
    m_infoScroll = std::clamp(m_infoScroll, 0, std::max(0, total - rows));
    const int top = box.top + kPad + RowHeight();
    for (int r = 0; r < rows && m_infoScroll + r < total; ++r) {
        const int at = m_infoScroll + r;
        const bool own = at < m_selectedCount;
        const char* text = own ? m_selected[at] : file[static_cast<size_t>(at - m_selectedCount)].c_str();
        const bool heading = at == 0 ? own : text[0] != ' ';
        m_viewTools.Text(box.left + kPad, top + r * RowHeight(), text,
                         heading ? kHeading
                         : own   ? kWhite
                                 : kDim);
    }
}

bool cPanels::Press(int x, int y) {
    if (m_infoBox.Contains(x, y)) return true;
    if (!m_framesBox.Contains(x, y) || m_viewTools.Model() == nullptr) return false;
    const int r = (y - (m_framesBox.top + kPad + RowHeight())) / RowHeight();
    const int index = m_framesScroll + r;
    if (r < 0 || r >= VisibleRows(m_framesBox) || index >= static_cast<int>(m_rows.size())) return true;
    const Row& row = m_rows[static_cast<size_t>(index)];
    const auto frame = static_cast<size_t>(row.frame);
    const int arrow = m_framesBox.left + kPad + std::min(m_depth[frame], kMaxIndent) * kIndent;
    if (row.container < 0 && x >= arrow - 2 && x < arrow + kIndent) {
        m_folded[frame] = !m_folded[frame];
        m_rowsBuilt = false;
        return true;
    }
    m_viewTools.Select(row.frame);
    m_shownSelection = row.frame;  // it is in view already
    return true;
}

bool cPanels::Wheel(int x, int y, float notches) {
    // Held within the rows there are, as the next drawing would hold it.
    const int rows = -static_cast<int>(std::lround(notches * 3));
    if (m_framesBox.Contains(x, y))
        m_framesScroll = std::clamp(m_framesScroll + rows, 0,
                                    std::max(0, static_cast<int>(m_rows.size()) - VisibleRows(m_framesBox)));
    else if (m_infoBox.Contains(x, y))
        m_infoScroll = std::clamp(m_infoScroll + rows, 0, std::max(0, m_infoRows - VisibleRows(m_infoBox)));
    else
        return false;
    return true;
}

}  // namespace Vorel
