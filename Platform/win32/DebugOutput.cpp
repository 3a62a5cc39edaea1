#include "win32/DebugOutput.h"

#include <windows.h>

#include <cstdio>

#include "win32/Notes.h"

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
    // Each line kept as a note too, without its line break.
    for (std::string_view rest(text); !rest.empty();) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (!line.empty()) Platform::AddNote(VOREL_NOTE_TRACE, {}, line);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const auto& sink = Platform::CurrentSink();
    if (sink) {
        sink(text);
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}
