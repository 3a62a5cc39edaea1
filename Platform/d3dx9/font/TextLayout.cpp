#include "d3dx9/font/TextLayout.h"

#include <algorithm>

namespace Platform::D3DX {

void LayoutLines(const char* text, size_t count, DWORD format, const FontMetrics& metrics,
                 std::vector<TextLine>* lines) {
    lines->clear();
    const bool single = (format & DT_SINGLELINE) != 0;
    TextLine line;
    for (size_t i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\r') {
            if (single) continue;
            // "\r\n" is one break; a lone "\r" is one too.
            line.end = i;
            lines->push_back(line);
            if (c == '\r' && i + 1 < count && text[i + 1] == '\n') ++i;
            line = {i + 1, i + 1, 0};
            continue;
        }
        line.width += metrics.advance[c];
        line.end = i + 1;
    }
    if (count != 0) lines->push_back(line);
}

int BlockWidth(const std::vector<TextLine>& lines) {
    int width = 0;
    for (const TextLine& l : lines)
        width = std::max(width, l.width);
    return width;
}

namespace {

// One axis of a rectangle: the block of `size` kept at the far edge, in the
// middle, or at the near edge.
void Align(LONG* nearEdge, LONG* farEdge, int size, bool far, bool middle) {
    if (far) {
        *nearEdge = *farEdge - size;
        return;
    }
    if (middle) *nearEdge += (*farEdge - *nearEdge - size) / 2;
    *farEdge = *nearEdge + size;
}

}  // namespace

RECT AlignedRect(const RECT& rect, DWORD format, int width, int height) {
    RECT out = rect;
    Align(&out.left, &out.right, width, (format & DT_RIGHT) != 0, (format & DT_CENTER) != 0);
    Align(&out.top, &out.bottom, height, (format & DT_BOTTOM) != 0, (format & DT_VCENTER) != 0);
    return out;
}

}  // namespace Platform::D3DX
