#include "cFontManager.h"

#include "CheckedCall.h"

namespace Vorel::Graphics {

cFontManager::~cFontManager() {
    for (auto& [name, font] : m_fonts) {
        if (font != nullptr) font->Release();
        font = nullptr;
    }
    m_fonts.clear();
    ClearTextQueue();
}

bool cFontManager::Init(LPDIRECT3DDEVICE9 device) {
    m_D3DDevice = device;
    AddFont("Arial", 18, FW_BOLD);
    return true;
}

LPD3DXFONT cFontManager::AddFont(const std::string& _fontName, int32_t _size, int32_t _weight) {
    LPD3DXFONT _font = nullptr;
    CHECKED(D3DXCreateFont(m_D3DDevice, _size, 0, _weight, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, TEXT(_fontName.c_str()), &_font));
    // A face that has a font keeps it.
    if (!m_fonts.emplace(_fontName, _font).second && _font != nullptr) {
        _font->Release();
        return m_fonts[_fontName];
    }
    return _font;
}

LPD3DXFONT cFontManager::GetFont(const std::string& faceName) const {
    const auto it = m_fonts.find(faceName);
    return it == m_fonts.end() ? nullptr : it->second;
}

void cFontManager::QueueText(TextPacket* _textPacket) {
    if (_textPacket->m_font != nullptr) {
        CHECKED(_textPacket->m_font->DrawText(NULL, _textPacket->m_text.c_str(), -1, &_textPacket->m_rect,
                                              _textPacket->m_flags | DT_CALCRECT, _textPacket->m_color));
    } else if (!m_tracedNoFont) {
        // The renderer skips it; said once, not for every frame's text.
        OutputDebugStringA(
            ("no font for the text \"" + _textPacket->m_text + "\": it is not drawn\n").c_str());
        m_tracedNoFont = true;
    }
    m_textQueue.push_back(_textPacket);
}

void cFontManager::ClearTextQueue() {
    while (!m_textQueue.empty()) {
        delete m_textQueue.back();
        m_textQueue.pop_back();
    }
}

void cFontManager::OnLostDevice() {
    for (auto& [name, font] : m_fonts)
        if (font != nullptr) font->OnLostDevice();
}

void cFontManager::OnResetDevice() {
    for (auto& [name, font] : m_fonts)
        if (font != nullptr) font->OnResetDevice();
}

}  // namespace Vorel::Graphics
