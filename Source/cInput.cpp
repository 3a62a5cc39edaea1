#include "cInput.h"

#include <cstring>

namespace Vorel {

bool cInput::Init() {
    std::memset(m_keys, 0, sizeof m_keys);
    std::memset(m_previousKeys, 0, sizeof m_previousKeys);
    return true;
}

// Codes past 255 never come with key messages; they are ignored rather than
// written past the tables.
void cInput::KeyDown(uint32_t key) {
    if (key >= kKeyCount) return;
    m_previousKeys[key] = m_keys[key];
    m_keys[key] = 1;
}

void cInput::KeyUp(uint32_t key) {
    if (key >= kKeyCount) return;
    m_previousKeys[key] = m_keys[key];
    m_keys[key] = 0;
}

void cInput::EndFrame() {
    std::memcpy(m_previousKeys, m_keys, sizeof m_keys);
}

bool cInput::IsKeyDown(uint32_t key) const {
    return key < kKeyCount && m_keys[key] != 0;
}

bool cInput::IsKeyTriggered(uint32_t key) const {
    return key < kKeyCount && m_keys[key] != 0 && m_previousKeys[key] == 0;
}

}  // namespace Vorel
