// The DirectX SDK error library: result-code names and the trace routine.
#pragma once

#include <windows.h>

// The symbolic name of a result code as the platform headers define it, or
// "Unknown". The string is static.
const char* WINAPI DXGetErrorStringA(HRESULT hr);

// Writes one line to the debugger output:
//   file(line): message hr=NAME (0x%08x)
// The file-and-line part is left out when file is null, the message when it
// is null, empty or 1024 characters or longer. Returns hr unchanged.
// A message box is never shown here: popMessageBox is accepted and the line
// goes to the debugger output either way.
HRESULT WINAPI DXTraceA(const char* file, DWORD line, HRESULT hr, const char* message, BOOL popMessageBox);
