#include <dxerr.h>

#include <cstdio>
#include <cstring>

#include "dxerr/ResultNames.h"

const char* WINAPI DXGetErrorStringA(HRESULT hr) {
    return Platform::ResultNameOf(static_cast<uint32_t>(hr));
}

HRESULT WINAPI DXTraceA(const char* file, DWORD line, HRESULT hr, const char* message,
                        BOOL /*popMessageBox*/) {
    // Each piece is formatted into a bounded buffer: snprintf truncates and
    // always terminates, and a truncated piece is still written.
    char piece[3000];
    if (file != nullptr) {
        char lineText[128];
        std::snprintf(lineText, sizeof lineText, "%ld", static_cast<long>(line));
        std::snprintf(piece, sizeof piece, "%s(%s): ", file, lineText);
        OutputDebugStringA(piece);
    }

    // Messages of 1024 characters or more are dropped, not cut: only the
    // first 1024 are ever measured.
    if (message != nullptr) {
        const size_t length = strnlen(message, 1024);
        if (length > 0 && length < 1024) {
            OutputDebugStringA(message);
            OutputDebugStringA(" ");
        }
    }

    char code[256];
    std::snprintf(code, sizeof code, "%s (0x%.8x)", DXGetErrorStringA(hr), static_cast<unsigned>(hr));
    std::snprintf(piece, sizeof piece, "hr=%s", code);
    OutputDebugStringA(piece);
    OutputDebugStringA("\n");
    return hr;
}
