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

RECT AlignedRect(const RECT& rect, DWORD format, int width, int height) {
    RECT out = rect;
    if (format & DT_RIGHT) {
        out.left = rect.right - width;
    } else if (format & DT_CENTER) {
        out.left = rect.left + (rect.right - rect.left - width) / 2;
        out.right = out.left + width;
    } else {
        out.right = rect.left + width;
    }
    if (format & DT_BOTTOM) {
        out.top = rect.bottom - height;
    } else if (format & DT_VCENTER) {
        out.top = rect.top + (rect.bottom - rect.top - height) / 2;
        out.bottom = out.top + height;
    } else {
        out.bottom = rect.top + height;
    }
    return out;
}

}  // namespace Platform::D3DX
