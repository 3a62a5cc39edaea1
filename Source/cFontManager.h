#pragma once

#include <d3dx9.h>

#include <deque>
#include <map>
#include <string>

#include "RenderPackets.h"

namespace Vorel::Graphics {

// The fonts, made once, and the queue of measured text packets that the
// next frame draws.
class cFontManager {
public:
    cFontManager() = default;
    ~cFontManager();
    cFontManager(const cFontManager&) = delete;
    cFontManager& operator=(const cFontManager&) = delete;

    bool Init(LPDIRECT3DDEVICE9 device);
    LPD3DXFONT AddFont(const std::string& _fontName, int32_t _size, int32_t _weight);
    // Exact and case-sensitive; null for a face without a font.
    LPD3DXFONT GetFont(const std::string& faceName) const;
    // Measures the packet into its m_rect and queues it; the queue owns it.
    void QueueText(TextPacket* _textPacket);
    void ClearTextQueue();
    // Every font told of the device's reset, before and after it.
    void OnLostDevice();
    void OnResetDevice();
    std::deque<TextPacket*>& GetTextQueue() { return m_textQueue; }

private:
    LPDIRECT3DDEVICE9 m_D3DDevice = nullptr;
    std::map<std::string, LPD3DXFONT> m_fonts;
    std::deque<TextPacket*> m_textQueue;
    bool m_tracedNoFont = false;
};

}  // namespace Vorel::Graphics
