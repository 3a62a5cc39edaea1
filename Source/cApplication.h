#pragma once

#include <cstdint>

#include "Singleton.h"
#include "cTimer.h"

namespace Vorel {

// Runs one frame each time the message loop asks: measures the frame before,
// refreshes the frames-per-second figure after more than 100 ms, and then
// busy-waits until the frame has lasted at least its period of 16 ms.
class cApplication : public cSingleton<cApplication> {
public:
    // Sets the running state and the frame-rate figures, then initialises the
    // managers in order; false when one fails, with the later ones not run.
    bool Init();
    void Update();
    // Ends the run: no further frame does anything, and the quit message is
    // posted for the message loop.
    void Quit();

    bool IsRunning() const { return m_running; }
    int32_t GetFps() const { return m_fps; }
    uint32_t GetFrameTime() const { return m_frameTime; }

private:
    static constexpr int32_t kFramePeriod = 16;
    static constexpr int32_t kFpsRefresh = 100;

    bool m_running = false;
    uint32_t m_frameTime = 0;
    cTimer m_frameTimer;
    cTimer m_fpsTimer;
    int32_t m_framePeriod = kFramePeriod;
    int32_t m_lastFpsSample = 0;
    int32_t m_fps = 0;
};

}  // namespace Vorel
