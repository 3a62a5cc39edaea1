// Where DrawText puts text: lines, their widths, the measured rectangle and
// the alignment, in whole pixels. No OpenGL here.
#pragma once

#include <windows.h>

#include <array>
#include <vector>

namespace Platform::D3DX {

struct FontMetrics {
    std::array<int, 256> advance{};  // by byte; a tab advances as a space
    int lineHeight = 0;
};

struct TextLine {
    size_t begin = 0, end = 0;  // bytes of the text, the line break excluded
    int width = 0;
};

// Splits `count` bytes of text into lines at "\n" (and "\r\n"); with
// DT_SINGLELINE it is one line and the breaks take no room.
void LayoutLines(const char* text, size_t count, DWORD format, const FontMetrics& metrics,
                 std::vector<TextLine>* lines);

// The widest line.
int BlockWidth(const std::vector<TextLine>& lines);

// The rectangle of a block of `width` x `height` placed in `rect` as
// `format` aligns it: DT_RIGHT keeps the right edge, DT_CENTER the middle,
// otherwise the left; DT_BOTTOM keeps the bottom, DT_VCENTER the middle,
// otherwise the top. This is DT_CALCRECT's answer.
RECT AlignedRect(const RECT& rect, DWORD format, int width, int height);

}  // namespace Platform::D3DX
