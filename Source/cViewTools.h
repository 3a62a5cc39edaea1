#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "RenderPackets.h"

namespace Vorel {

class cModel;
class cPanels;
class cGuides;

// What the viewer draws over the model to inspect it: the timeline, the
// joints' names, the selected frame with its bone and weights, and the
// panels. Everything is drawn straight into the frame with ID3DXLine and
// ID3DXFont (nothing is queued, nothing allocated once sizes settle), laid
// out from the back buffer's size, and hit-tested from the mouse.
class cViewTools {
public:
    // The views the user turns on and off, all off until asked for (the
    // viewer shows the timeline from the start); the timeline shows only
    // for a model with sets.
    struct Views {
        bool timeline = false;
        bool names = false;
        bool weights = false;
        bool framesPanel = false;
        bool infoPanel = false;
        // In the scene: normals, the posed box with its size, the ground
        // grid with the axes; the back faces.
        bool normals = false;
        bool bounds = false;
        bool grid = false;
        Graphics::BackFaces backFaces = Graphics::BackFaces::kCull;
    };
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
        bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    };
    // A joint is picked by a click this close to it, in pixels.
    static constexpr float kPickRadius = 6.0f;

    cViewTools();
    ~cViewTools();
    cViewTools(const cViewTools&) = delete;
    cViewTools& operator=(const cViewTools&) = delete;

    bool Init(LPDIRECT3DDEVICE9 device, LPD3DXLINE line);
    // Around the device's reset: its font is told.
    void OnLostDevice();
    void OnResetDevice();
    // Before the models are drawn: the weights shown as the selection and
    // the views ask.
    void Prepare(cModel* model);
    // Draws the views over `model` (null: none) in a back buffer of
    // `width` x `height`, seen through `viewProjection`, keeping clear of
    // the texts queued for the frame. Runs inside the scene, after the
    // models were drawn.
    void Draw(cModel* model, const D3DXMATRIX& viewProjection, int width, int height,
              const std::deque<Graphics::TextPacket*>& texts);
    // A new model on screen (`reloaded`: the same file read again, whose
    // selection is kept by name).
    void ModelChanged(cModel* model, bool reloaded);

    // The left button pressed at (x, y): true when the press is the
    // tools' (the timeline, a panel), which then have the moves until
    // the release; otherwise the camera has them.
    bool Press(int x, int y);
    void Move(int x, int y);
    void Release();
    // The wheel over (x, y): true when a panel scrolled.
    bool Wheel(int x, int y, float notches);
    // A click on the picture: selects the joint under it, or clears the
    // selection on empty space.
    void Click(int x, int y);

    // The frame of the model (its index in m_frames) whose joint is drawn
    // nearest (x, y) within kPickRadius, or -1.
    int32_t Pick(int x, int y) const;
    void Select(int32_t frame);
    // The name of the model's frame, empty for a frame without one.
    static const char* FrameName(const cModel& model, int32_t frame);
    int32_t Selected() const { return m_selected; }

    // Where a joint lands on the picture; false when it is behind the eye
    // or not a number.
    static bool Project(const D3DXVECTOR3& point, const D3DXMATRIX& viewProjection, int width, int height,
                        float* x, float* y);
    // The weight ramp: blue (0) over cyan, green and yellow to red (1).
    static D3DCOLOR WeightColour(float weight);
    // The timeline's bar in a back buffer of that size, and the band it
    // is drawn on, with the set and the time over the bar.
    static Rect TimelineBar(int width, int height);
    Rect TimelineBand() const;
    bool TimelineShown() const;

    Views m_views;

    // Drawing in pixels, for the panels too.
    void Fill(const Rect& rect, D3DCOLOR colour);
    void Line(float x0, float y0, float x1, float y1, D3DCOLOR colour);
    void Text(int x, int y, const char* text, D3DCOLOR colour, DWORD flags = 0);
    void ShadowedText(int x, int y, const char* text, D3DCOLOR colour);
    int TextWidth(const char* text);
    int LineHeight() const { return m_lineHeight; }
    cModel* Model() const { return m_model; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The texts of this frame and the tools' own boxes, which names
    // keep clear of.
    bool Free(const Rect& rect) const;
    void Occupy(const Rect& rect);
    // The first row below the texts at the top between `left` and `right`.
    int FreeBelow(int left, int right) const;
    // A line's worth of scratch text, reused by every view.
    static constexpr size_t kBufferSize = 512;
    char* Buffer() { return m_buffer; }
    cPanels& Panels() { return *m_panels; }
    const D3DXMATRIX& ViewProjection() const { return m_viewProjection; }

private:
    void DrawTimeline();
    void DrawNames();
    void DrawSelection();
    void DrawWeights();
    void Strip(const D3DXVECTOR3* points, DWORD count, D3DCOLOR colour);
    void ScrubTo(int x);

    LPDIRECT3DDEVICE9 m_device = nullptr;
    LPD3DXLINE m_line = nullptr;
    LPD3DXFONT m_font = nullptr;
    int m_lineHeight = 16;

    cModel* m_model = nullptr;
    D3DXMATRIX m_viewProjection;
    D3DXMATRIX m_pixels;  // pixel coordinates to clip space
    int m_width = 1024, m_height = 768;
    bool m_scrubbing = false;
    int32_t m_selected = -1;
    std::string m_selectedName;  // kept across a reload
    // What the weights last shown were for.
    cModel* m_weightsModel = nullptr;
    int32_t m_weightsFrame = -1;
    int m_weighed = 0;
    // The key times of the set the marks were made for.
    const void* m_keysFor = nullptr;
    std::vector<float> m_keyTimes;
    // Scratch space kept from frame to frame.
    std::vector<D3DXVECTOR3> m_points;
    std::vector<uint16_t> m_nameWidths;  // per frame, measured once per model
    // Cells of kCell pixels taken by texts and boxes this frame.
    std::vector<uint8_t> m_taken;
    int m_cellsAcross = 0, m_cellsDown = 0;
    char m_buffer[kBufferSize];
    std::unique_ptr<cPanels> m_panels;
    std::unique_ptr<cGuides> m_guides;
};

}  // namespace Vorel
