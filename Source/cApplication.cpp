#include "cApplication.h"

#include <windows.h>

#include "Directories.h"
#include "ToString.h"
#include "cGraphicsManager.h"
#include "cInput.h"
#include "cModelViewer.h"
#include "cScriptManager.h"

namespace Vorel {

bool cApplication::Init() {
    m_running = true;
    m_framePeriod = kFramePeriod;
    m_fpsTimer.Start();
    m_fps = 0;
    m_lastFpsSample = 0;

    if (!cScriptManager::Instance()->Init()) return false;
    if (!cGraphicsManager::Instance()->Init()) return false;
    if (!cInput::Instance()->Init()) return false;
    if (!cModelViewer::Instance()->Init()) return false;
    // Fixed now, while the current directory is still the launch directory:
    // only the open-file dialog and the model loader change it later.
    GetStartDirectory();
    return true;
}

void cApplication::Update() {
    if (!m_running) return;

    m_frameTime = static_cast<uint32_t>(m_frameTimer.GetElapsed());
    m_frameTimer.Start();

    if (m_fpsTimer.GetElapsed() > kFpsRefresh) {
        // The figure comes from the one frame that ends past the mark,
        // averaged with the sample of the refresh before.
        if (m_frameTime != 0) {
            const auto sample = static_cast<int32_t>(1000.0 / static_cast<double>(m_frameTime));
            m_fps = static_cast<int32_t>(static_cast<double>(sample + m_lastFpsSample) * 0.5);
            m_lastFpsSample = sample;
        }
        m_fpsTimer.Start();
    }

    // At the back buffer's bottom-right corner, whatever its size.
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    graphics->QueueText(static_cast<int32_t>(graphics->Width()), static_cast<int32_t>(graphics->Height()),
                        "FPS: " + ToString(m_fps), "Arial", D3DXCOLOR(255.0f, 255.0f, 255.0f, 255.0f),
                        DT_RIGHT | DT_BOTTOM);
    // Keys, camera, the overlay and the frame's rendering.
    cModelViewer::Instance()->Update();

    // Spin rather than sleep: sleeping would overshoot by the scheduler's
    // granularity.
    while (m_frameTimer.GetElapsed() < m_framePeriod) {
    }
}

void cApplication::Quit() {
    m_running = false;
    PostMessageA(GetActiveWindow(), WM_QUIT, 0, 0);
}

}  // namespace Vorel
