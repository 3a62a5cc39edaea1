#include "win32/DebugOutput.h"

#include <windows.h>

#include <cstdio>

namespace Platform {
namespace {

DebugSink& CurrentSink() {
    static DebugSink sink;
    return sink;
}

}  // namespace

void SetDebugSink(DebugSink sink) {
    CurrentSink() = std::move(sink);
}

}  // namespace Platform

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) return;
    const auto& sink = Platform::CurrentSink();
    if (sink) {
        sink(text);
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}
