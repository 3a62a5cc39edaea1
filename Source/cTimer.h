#pragma once

#include <cstdint>

namespace Vorel {

// A millisecond stopwatch on the platform clock (timeGetTime). Elapsed time
// is taken in unsigned 32-bit arithmetic, so it survives the clock's wrap.
class cTimer {
public:
    void Start();
    // 0 until started.
    int32_t GetElapsed() const;

private:
    uint32_t m_startTime = 0;
    bool m_started = false;
};

}  // namespace Vorel
