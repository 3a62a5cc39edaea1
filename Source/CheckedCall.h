#pragma once

#include <dxerr.h>
#include <windows.h>

namespace Vorel {

inline HRESULT TraceIfFailed(HRESULT hr, const char* file, unsigned line, const char* call) {
    if (FAILED(hr)) DXTraceA(file, line, hr, call, FALSE);
    return hr;
}

}  // namespace Vorel

// A checked platform call: a failure writes one trace line naming this
// unit's file, the line, the result and the call as written, and the caller
// carries on. Evaluates to the result.
#define CHECKED(call) ::Vorel::TraceIfFailed((call), __FILE__, __LINE__, #call)
