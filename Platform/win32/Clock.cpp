#include "win32/Clock.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace Platform {
namespace {

TimeSource& CurrentSource() {
    static TimeSource source;
    return source;
}

uint32_t MonotonicMilliseconds() {
    // Truncation to 32 bits gives the documented wrap-around after 2^32 ms.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

void SetTimeSource(TimeSource source) {
    CurrentSource() = std::move(source);
}

}  // namespace Platform

DWORD WINAPI timeGetTime(void) {
    const auto& source = Platform::CurrentSource();
    return source ? source() : Platform::MonotonicMilliseconds();
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
