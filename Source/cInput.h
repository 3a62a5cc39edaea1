#pragma once

#include <cstdint>

#include "Singleton.h"

namespace Vorel {

// The keyboard as the window's key messages leave it: for each virtual-key
// code, down now, and down at the last snapshot (or just before the key's
// last change, whichever came later). A key is triggered from its key-down
// message until the next EndFrame; auto-repeat never triggers it again.
class cInput : public cSingleton<cInput> {
public:
    bool Init();

    void KeyDown(uint32_t key);
    void KeyUp(uint32_t key);
    void EndFrame();

    bool IsKeyDown(uint32_t key) const;
    bool IsKeyTriggered(uint32_t key) const;

private:
    static constexpr uint32_t kKeyCount = 256;

    uint8_t m_keys[kKeyCount];
    uint8_t m_previousKeys[kKeyCount];
};

}  // namespace Vorel
