#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cViewTools.h"

namespace Vorel {

// The two panels over the picture: the frames panel on the
// left (the frame tree with each frame's mesh containers, folding and
// scrolling) and the information panel on the right (the selected frame at
// the current time, then what the file holds and what its load said). Only
// the rows in view are drawn; nothing is done for a closed panel.
class cPanels {
public:
    explicit cPanels(cViewTools& viewTools) : m_viewTools(viewTools) {}

    void Draw();
    // A press on a panel: on a frames row's arrow it folds or unfolds the
    // frame, elsewhere on a row it selects the frame. True on a panel.
    bool Press(int x, int y);
    // Scrolls the panel under (x, y) three rows a notch; true when there is one.
    bool Wheel(int x, int y, float notches);
    void ModelChanged();

    cViewTools::Rect FramesRect() const;
    cViewTools::Rect InfoRect() const;
    // The rows of the information panel about the file, made once per model.
    const std::vector<std::string>& FileRows();

private:
    struct Row {
        int32_t frame;           // index into the model's frames
        int32_t container = -1;  // the container's number under its frame, or -1 for the frame
    };
    void BuildTree();
    void BuildRows();
    void SelectedRows();
    void DrawFrames(const cViewTools::Rect& box);
    void DrawInfo(const cViewTools::Rect& box);
    int RowHeight() const { return m_viewTools.LineHeight() + 2; }
    int VisibleRows(const cViewTools::Rect& box) const;
    // The rows of `text`, cut where they would pass `width` pixels.
    void Wrap(const std::string& text, int indent, int width, std::vector<std::string>* rows);

    cViewTools& m_viewTools;
    // Frames panel: per frame its depth, children and whether it is
    // folded; the rows shown, made again only when folding or the model changes.
    std::vector<int32_t> m_depth, m_children;
    std::vector<uint8_t> m_folded;
    std::vector<Row> m_rows;
    bool m_treeBuilt = false, m_rowsBuilt = false;
    int m_framesScroll = 0;
    int32_t m_shownSelection = -1;  // the selection the panel last scrolled to
    // Information panel: the file's rows, and the selected frame's, redone
    // each frame into fixed buffers.
    std::vector<std::string> m_fileRows;
    bool m_fileBuilt = false;
    int m_fileRowsWidth = 0;
    int m_infoScroll = 0;
    int m_infoRows = 0;  // in the last drawing
    static constexpr int kSelectedRows = 12;
    char m_selected[kSelectedRows][160] = {};
    int m_selectedCount = 0;
    // The selected frame's weights, counted when the selection changes.
    int32_t m_weightsFor = -2;
    size_t m_weighedVertices = 0;
    double m_totalWeight = 0;
    // The boxes of the last frame drawn, for the mouse.
    cViewTools::Rect m_framesBox, m_infoBox;
};

}  // namespace Vorel
