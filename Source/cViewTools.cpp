#include "cViewTools.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "CheckedCall.h"
#include "cGraphicsManager.h"
#include "cGuides.h"
#include "cModel.h"
#include "cPanels.h"
#include "cTimeline.h"

namespace Vorel {
namespace {

constexpr int kMargin = 8;
constexpr int kBarHeight = 10, kRulerHeight = 6;
// The frame rate's line stays clear under the timeline.
constexpr int kBottomRoom = 26;
// Texts and boxes are kept apart on a grid of this many pixels.
constexpr int kCell = 4;

constexpr D3DCOLOR kBand = 0xFF1C2028, kTrack = 0xFF363C48, kPlayed = 0xFF3F6FA8, kMark = 0xFF9AA4B8,
                   kCursor = 0xFFFFC830, kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kSelected = 0xFFFFE040,
                   kDim = 0xFFB8C0D0;

}  // namespace

cViewTools::cViewTools()
    : m_panels(std::make_unique<cPanels>(*this)), m_guides(std::make_unique<cGuides>(*this)) {
    D3DXMatrixIdentity(&m_viewProjection);
    D3DXMatrixIdentity(&m_pixels);
    m_buffer[0] = '\0';
}

cViewTools::~cViewTools() {
    if (m_font != nullptr) m_font->Release();
}

bool cViewTools::Init(LPDIRECT3DDEVICE9 device, LPD3DXLINE line) {
    m_device = device;
    m_line = line;
    CHECKED(D3DXCreateFont(device, 15, 0, FW_NORMAL, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial", &m_font));
    if (m_font != nullptr) {
        RECT r{0, 0, 0, 0};
        m_font->DrawText(nullptr, "Ag", -1, &r, DT_CALCRECT, kWhite);
        m_lineHeight = std::max(1, static_cast<int>(r.bottom - r.top));
    }
    return m_font != nullptr;
}

void cViewTools::OnLostDevice() {
    if (m_font != nullptr) m_font->OnLostDevice();
}

void cViewTools::OnResetDevice() {
    if (m_font != nullptr) m_font->OnResetDevice();
}

void cViewTools::ModelChanged(cModel* model, bool reloaded) {
    // A model read again keeps its selection where the frame is still there.
    m_model = model;
    m_selected = -1;
    if (reloaded && !m_selectedName.empty() && model != nullptr)
        for (size_t i = 0; i < model->m_frames.size() && m_selected < 0; ++i)
            if (m_selectedName == FrameName(*model, static_cast<int32_t>(i)))
                m_selected = static_cast<int32_t>(i);
    if (m_selected < 0) m_selectedName.clear();
    m_scrubbing = false;
    m_keysFor = nullptr;
    m_nameWidths.clear();
    m_weightsModel = nullptr;
    m_weightsFrame = -1;
    m_panels->ModelChanged();
}

void cViewTools::Prepare(cModel* model) {
    m_model = model;
    m_guides->Prepare(model);
    if (model == nullptr || m_selected >= static_cast<int32_t>(model->m_frames.size())) m_selected = -1;
    // The weights follow the selection: made when it changes, never per frame.
    const int32_t frame = m_views.weights ? m_selected : -1;
    if (model == m_weightsModel && frame == m_weightsFrame) return;
    if (m_weightsModel != nullptr && m_weightsModel != model)
        m_weightsModel->ShowWeights(nullptr, WeightColour);
    m_weighed = model != nullptr
                    ? model->ShowWeights(frame >= 0 ? FrameName(*model, frame) : nullptr, WeightColour)
                    : 0;
    m_weightsModel = model;
    m_weightsFrame = frame;
}

void cViewTools::Draw(cModel* model, const D3DXMATRIX& viewProjection, int width, int height,
                      const std::deque<Graphics::TextPacket*>& texts) {
    m_model = model;
    m_viewProjection = viewProjection;
    m_width = std::max(1, width);
    m_height = std::max(1, height);
    // Without a device (a benchmark) everything is worked out and nothing drawn.
    m_pixels = D3DXMATRIX(2.0f / static_cast<float>(m_width), 0, 0, 0, 0,
                          -2.0f / static_cast<float>(m_height), 0, 0, 0, 0, 1, 0, -1, 1, 0, 1);
    m_cellsAcross = (m_width + kCell - 1) / kCell;
    m_cellsDown = (m_height + kCell - 1) / kCell;
    m_taken.assign(static_cast<size_t>(m_cellsAcross) * static_cast<size_t>(m_cellsDown), 0);
    for (const Graphics::TextPacket* text : texts)
        Occupy({text->m_rect.left, text->m_rect.top, text->m_rect.right, text->m_rect.bottom});
    if (model == nullptr || model->m_frameRoot == nullptr) return;

    m_guides->Draw(m_device);
    DWORD depth = TRUE;
    if (m_device != nullptr) m_device->GetRenderState(D3DRS_ZENABLE, &depth);
    if (m_device != nullptr) m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    m_guides->DrawLabels();
    if (m_views.timeline && cTimeline::Set(*model) != nullptr) DrawTimeline();
    if (m_views.weights) DrawWeights();
    m_panels->Draw();
    DrawSelection();
    if (m_views.names) DrawNames();
    if (m_device != nullptr) m_device->SetRenderState(D3DRS_ZENABLE, depth);
}

cViewTools::Rect cViewTools::TimelineBar(int width, int height) {
    const int bottom = height - kBottomRoom - kRulerHeight;
    return {kMargin, bottom - kBarHeight, std::max(kMargin + 1, width - kMargin), bottom};
}

cViewTools::Rect cViewTools::TimelineBand() const {
    const Rect bar = TimelineBar(m_width, m_height);
    return {0, bar.top - m_lineHeight - 6, m_width, bar.bottom + kRulerHeight + 3};
}

bool cViewTools::TimelineShown() const {
    return m_views.timeline && m_model != nullptr && m_model->m_frameRoot != nullptr &&
           cTimeline::Set(*m_model) != nullptr;
}

void cViewTools::DrawTimeline() {
    const cAnimationSet* set = cTimeline::Set(*m_model);
    const Rect bar = TimelineBar(m_width, m_height);
    const Rect band = TimelineBand();
    Fill(band, kBand);
    Occupy(band);

    const float length = static_cast<float>(std::max(set->m_length, 0));
    const float span = static_cast<float>(bar.right - bar.left - 1);
    const float fraction = length > 0 ? std::clamp(m_model->m_time / length, 0.0f, 1.0f) : 0.0f;
    Fill(bar, kTrack);
    Fill({bar.left, bar.top, bar.left + static_cast<int>(std::lround(fraction * span)) + 1, bar.bottom},
         kPlayed);

    // The key marks hang under the bar as one strip, up and down from one
    // mark to the next along the ruler's edges; marks less than a pixel
    // apart are one.
    if (m_keysFor != set) {
        cTimeline::KeyTimes(*m_model, &m_keyTimes);
        m_keysFor = set;
    }
    const float top = static_cast<float>(bar.bottom) + 0.5f, bottom = top + kRulerHeight - 1;
    m_points.clear();
    float last = -1;
    for (const float key : m_keyTimes) {
        const float x =
            std::floor(static_cast<float>(bar.left) + (length > 0 ? key / length : 0) * span) + 0.5f;
        if (x == last) continue;
        last = x;
        const bool down = m_points.size() % 4 == 0;
        m_points.emplace_back(x, down ? top : bottom, 0.0f);
        m_points.emplace_back(x, down ? bottom : top, 0.0f);
    }
    if (m_points.size() >= 2) Strip(m_points.data(), static_cast<DWORD>(m_points.size()), kMark);
    Line(static_cast<float>(bar.left), top, static_cast<float>(bar.right), top, kMark);
    Line(static_cast<float>(bar.left), bottom, static_cast<float>(bar.right), bottom, kMark);
    const int cursor = bar.left + static_cast<int>(std::lround(fraction * span));
    Fill({cursor - 1, bar.top - 3, cursor + 2, bar.bottom + kRulerHeight}, kCursor);

    // The set on the left; the time in ticks and seconds at the set's own
    // rate on the right.
    const int textTop = band.top + 3;
    std::snprintf(m_buffer, sizeof m_buffer, "%u: %s", m_model->m_currentSet, set->m_name.c_str());
    Text(kMargin, textTop, m_buffer, kWhite);
    const float rate = set->m_ticksPerSecond > 0 ? set->m_ticksPerSecond : 1.0f;
    std::snprintf(m_buffer, sizeof m_buffer, "%s%.6g / %d ticks    %.3f / %.3f s    %g ticks a second",
                  m_model->m_speed == 0 ? "paused    " : "", static_cast<double>(m_model->m_time),
                  set->m_length, static_cast<double>(m_model->m_time / rate),
                  static_cast<double>(length / rate), static_cast<double>(rate));
    Text(m_width - kMargin - TextWidth(m_buffer), textTop, m_buffer, kDim);
}

void cViewTools::DrawWeights() {
    // The legend sits over the timeline's left end.
    const int bottom = (TimelineShown() ? TimelineBand().top : m_height - kBottomRoom) - 6;
    const int rampTop = bottom - kBarHeight;
    const int textTop = rampTop - m_lineHeight - 2;
    const char* name = m_selected >= 0 ? FrameName(*m_model, m_selected) : "";
    if (m_selected < 0)
        std::snprintf(m_buffer, sizeof m_buffer, "Weights: click a joint to choose its bone");
    else if (m_weighed == 0)
        std::snprintf(m_buffer, sizeof m_buffer, "Weights: %s is no bone of a skin",
                      *name ? name : "(unnamed)");
    else
        std::snprintf(m_buffer, sizeof m_buffer, "Weights of %s: none to full", name);
    const int textWidth = TextWidth(m_buffer);
    constexpr int kSteps = 16, kStepWidth = 10;
    const int width = std::max(textWidth, kSteps * kStepWidth) + 8;
    const Rect box{kMargin - 4, textTop - 3, kMargin - 4 + width,
                   m_selected >= 0 && m_weighed > 0 ? bottom + 3 : rampTop};
    Fill(box, kBand);
    Occupy(box);
    Text(kMargin, textTop, m_buffer, kWhite);
    if (m_selected < 0 || m_weighed == 0) return;
    for (int i = 0; i < kSteps; ++i)
        Fill({kMargin + i * kStepWidth, rampTop, kMargin + (i + 1) * kStepWidth, bottom},
             WeightColour((static_cast<float>(i) + 0.5f) / kSteps));
}

void cViewTools::DrawSelection() {
    if (m_selected < 0) return;
    const std::vector<D3DXVECTOR3>& joints = m_model->Joints();
    const auto index = static_cast<size_t>(m_selected);
    if (index >= joints.size()) return;
    const int32_t parent = m_model->m_links[index].parent;
    if (parent >= 0) {
        const D3DXVECTOR3 bone[2] = {joints[static_cast<size_t>(parent)], joints[index]};
        if (m_line != nullptr) m_line->DrawTransform(bone, 2, &m_viewProjection, kSelected);
    }
    float x = 0, y = 0;
    if (!Project(joints[index], m_viewProjection, m_width, m_height, &x, &y)) return;
    x = std::floor(x) + 0.5f;
    y = std::floor(y) + 0.5f;
    for (const auto& [size, colour] :
         {std::pair{6.0f, kBlack}, std::pair{5.0f, kSelected}, std::pair{4.0f, kSelected}}) {
        const D3DXVECTOR3 box[5] = {{x - size, y - size, 0},
                                    {x + size, y - size, 0},
                                    {x + size, y + size, 0},
                                    {x - size, y + size, 0},
                                    {x - size, y - size, 0}};
        Strip(box, 5, colour);
    }
    // Its name always shows, before any other.
    const char* name = FrameName(*m_model, m_selected);
    if (*name == '\0') return;
    const Rect label{static_cast<int>(x) + 9, static_cast<int>(y) - m_lineHeight / 2, 0, 0};
    ShadowedText(label.left, label.top, name, kSelected);
    Occupy({label.left, label.top, label.left + TextWidth(name), label.top + m_lineHeight});
}

void cViewTools::DrawNames() {
    const std::vector<D3DXVECTOR3>& joints = m_model->Joints();
    const size_t count = std::min(joints.size(), m_model->m_frames.size());
    if (m_nameWidths.size() != count) {
        // Measured once per model: a name's width does not change.
        m_nameWidths.assign(count, 0);
        for (size_t i = 0; i < count; ++i)
            m_nameWidths[i] = static_cast<uint16_t>(
                std::min(TextWidth(FrameName(*m_model, static_cast<int32_t>(i))), 4000));
    }
    // In the tree's order, each where it does not cover a text or a name
    // drawn before it.
    for (size_t i = 0; i < count; ++i) {
        if (m_nameWidths[i] == 0 || static_cast<int32_t>(i) == m_selected) continue;
        float x = 0, y = 0;
        if (!Project(joints[i], m_viewProjection, m_width, m_height, &x, &y)) continue;
        const Rect label{static_cast<int>(x) + 5, static_cast<int>(y) - m_lineHeight / 2,
                         static_cast<int>(x) + 5 + m_nameWidths[i],
                         static_cast<int>(y) - m_lineHeight / 2 + m_lineHeight};
        if (label.right > m_width || label.top < 0 || label.bottom > m_height || label.left < 0 ||
            !Free(label))
            continue;
        Occupy(label);
        Fill({static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(x) + 2,
              static_cast<int>(y) + 2},
             kWhite);
        ShadowedText(label.left, label.top, FrameName(*m_model, static_cast<int32_t>(i)), kWhite);
    }
}

bool cViewTools::Press(int x, int y) {
    if (m_model != nullptr && m_panels->Press(x, y)) return true;
    if (TimelineShown() && TimelineBand().Contains(x, y)) {
        m_scrubbing = true;
        ScrubTo(x);
        return true;
    }
    return false;
}

void cViewTools::Move(int x, int /*y*/) {
    if (m_scrubbing) ScrubTo(x);
}

void cViewTools::Release() {
    m_scrubbing = false;
}

bool cViewTools::Wheel(int x, int y, float notches) {
    return m_model != nullptr && m_panels->Wheel(x, y, notches);
}

void cViewTools::ScrubTo(int x) {
    if (!TimelineShown()) return;
    const Rect bar = TimelineBar(m_width, m_height);
    const float fraction =
        static_cast<float>(x - bar.left) / static_cast<float>(std::max(1, bar.right - bar.left - 1));
    cGraphicsManager::Instance()->SeekAnimation(cTimeline::TimeAt(*m_model, fraction));
}

void cViewTools::Click(int x, int y) {
    Select(Pick(x, y));
}

const char* cViewTools::FrameName(const cModel& model, int32_t frame) {
    const char* name = model.m_frames[static_cast<size_t>(frame)]->Name;
    return name != nullptr ? name : "";
}

int32_t cViewTools::Pick(int x, int y) const {
    if (m_model == nullptr) return -1;
    const std::vector<D3DXVECTOR3>& joints = m_model->Joints();
    int32_t best = -1;
    float nearest = kPickRadius * kPickRadius;
    for (size_t i = 0; i < joints.size() && i < m_model->m_frames.size(); ++i) {
        float px = 0, py = 0;
        if (!Project(joints[i], m_viewProjection, m_width, m_height, &px, &py)) continue;
        const float dx = px - static_cast<float>(x), dy = py - static_cast<float>(y);
        // The later of joints in one place: a child over its parent.
        if (dx * dx + dy * dy <= nearest) {
            nearest = dx * dx + dy * dy;
            best = static_cast<int32_t>(i);
        }
    }
    return best;
}

void cViewTools::Select(int32_t frame) {
    const bool valid =
        m_model != nullptr && frame >= 0 && static_cast<size_t>(frame) < m_model->m_frames.size();
    m_selected = valid ? frame : -1;
    m_selectedName = valid ? FrameName(*m_model, frame) : "";
}

bool cViewTools::Project(const D3DXVECTOR3& p, const D3DXMATRIX& m, int width, int height, float* x,
                         float* y) {
    const float cx = p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41;
    const float cy = p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42;
    const float w = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    if (!(w > 1e-6f) || !std::isfinite(cx) || !std::isfinite(cy)) return false;
    *x = (cx / w * 0.5f + 0.5f) * static_cast<float>(width);
    *y = (0.5f - cy / w * 0.5f) * static_cast<float>(height);
    return std::isfinite(*x) && std::isfinite(*y);
}

D3DCOLOR cViewTools::WeightColour(float weight) {
    // Blue, cyan, green, yellow, red, evenly apart.
    static constexpr float kStops[5][3] = {{0.10f, 0.20f, 0.85f},
                                           {0.00f, 0.75f, 0.95f},
                                           {0.15f, 0.85f, 0.20f},
                                           {1.00f, 0.85f, 0.00f},
                                           {0.95f, 0.10f, 0.05f}};
    const float w = std::isfinite(weight) ? std::clamp(weight, 0.0f, 1.0f) * 4 : 0.0f;
    const int at = std::min(static_cast<int>(w), 3);
    const float f = w - static_cast<float>(at);
    D3DCOLOR colour = 0xFF000000;
    for (int c = 0; c < 3; ++c) {
        const float v = kStops[at][c] + (kStops[at + 1][c] - kStops[at][c]) * f;
        colour |= static_cast<D3DCOLOR>(std::lround(v * 255)) << (16 - 8 * c);
    }
    return colour;
}

void cViewTools::Strip(const D3DXVECTOR3* points, DWORD count, D3DCOLOR colour) {
    if (m_line != nullptr) m_line->DrawTransform(points, count, &m_pixels, colour);
}

void cViewTools::Line(float x0, float y0, float x1, float y1, D3DCOLOR colour) {
    const D3DXVECTOR3 points[2] = {{x0, y0, 0}, {x1, y1, 0}};
    Strip(points, 2, colour);
}

void cViewTools::Fill(const Rect& rect, D3DCOLOR colour) {
    // One strip, row after row, turning at the ends.
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    m_points.clear();
    const float left = static_cast<float>(rect.left) + 0.5f, right = static_cast<float>(rect.right) - 0.5f;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const float row = static_cast<float>(y) + 0.5f;
        const bool forward = (y - rect.top) % 2 == 0;
        m_points.emplace_back(forward ? left : right, row, 0.0f);
        m_points.emplace_back(forward ? right : left, row, 0.0f);
    }
    if (m_points.size() == 2 || rect.right - rect.left == 1)
        m_points.emplace_back(right + 0.5f, m_points.back().y, 0.0f);
    Strip(m_points.data(), static_cast<DWORD>(m_points.size()), colour);
}

void cViewTools::Text(int x, int y, const char* text, D3DCOLOR colour, DWORD flags) {
    if (m_font == nullptr) return;
    RECT rect{x, y, x, y};
    m_font->DrawText(nullptr, text, -1, &rect, flags | DT_NOCLIP, colour);
}

void cViewTools::ShadowedText(int x, int y, const char* text, D3DCOLOR colour) {
    Text(x + 1, y + 1, text, kBlack);
    Text(x, y, text, colour);
}

int cViewTools::TextWidth(const char* text) {
    if (*text == '\0') return 0;
    if (m_font == nullptr) return 7 * static_cast<int>(std::strlen(text));  // no font: about its width
    RECT rect{0, 0, 0, 0};
    m_font->DrawText(nullptr, text, -1, &rect, DT_CALCRECT, kWhite);
    return static_cast<int>(rect.right - rect.left);
}

bool cViewTools::Free(const Rect& rect) const {
    const int x0 = std::clamp(rect.left / kCell, 0, m_cellsAcross),
              x1 = std::min(m_cellsAcross, (rect.right + kCell - 1) / kCell);
    const int y0 = std::clamp(rect.top / kCell, 0, m_cellsDown),
              y1 = std::min(m_cellsDown, (rect.bottom + kCell - 1) / kCell);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (m_taken[static_cast<size_t>(y) * static_cast<size_t>(m_cellsAcross) + static_cast<size_t>(x)])
                return false;
    return true;
}

int cViewTools::FreeBelow(int left, int right) const {
    const int x0 = std::clamp(left / kCell, 0, m_cellsAcross),
              x1 = std::clamp((right + kCell - 1) / kCell, 0, m_cellsAcross);
    int below = 0;
    for (int y = 0; y < m_cellsDown / 2; ++y)
        for (int x = x0; x < x1; ++x)
            if (m_taken[static_cast<size_t>(y) * static_cast<size_t>(m_cellsAcross) +
                        static_cast<size_t>(x)]) {
                below = (y + 1) * kCell;
                break;
            }
    return below;
}

void cViewTools::Occupy(const Rect& rect) {
    const int x0 = std::clamp(rect.left / kCell, 0, m_cellsAcross),
              x1 = std::min(m_cellsAcross, (rect.right + kCell - 1) / kCell);
    const int y0 = std::clamp(rect.top / kCell, 0, m_cellsDown),
              y1 = std::min(m_cellsDown, (rect.bottom + kCell - 1) / kCell);
    for (int y = y0; y < y1; ++y)
        std::fill_n(m_taken.begin() + static_cast<std::ptrdiff_t>(y) * m_cellsAcross + x0,
                    std::max(0, x1 - x0), uint8_t{1});
}

}  // namespace Vorel
