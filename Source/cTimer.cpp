#include "cTimer.h"

#include <windows.h>

namespace Vorel {

void cTimer::Start() {
    m_started = true;
    m_startTime = timeGetTime();
}

int32_t cTimer::GetElapsed() const {
    if (!m_started) return 0;
    return static_cast<int32_t>(timeGetTime() - m_startTime);
}

}  // namespace Vorel
