// Vorel's own platform call, which neither Win32 nor Direct3D has: what the
// platform noticed while the application worked, for the application to
// show (the lines a model's load wrote, the places a texture was sought).
#pragma once

#include <windows.h>

// What a note says. A trace note's text is a line written to the debugger
// output (OutputDebugStringA), without its line break; a texture note's
// subject is the texture's name as the application passed it to
// D3DXCreateTextureFromFileA, and its text a path: one place looked at
// (TRIED), in the order they were tried, or where the file was found.
typedef enum VOREL_NOTE_KIND {
    VOREL_NOTE_TRACE = 1,
    VOREL_NOTE_TEXTURE_TRIED = 2,
    VOREL_NOTE_TEXTURE_FOUND = 3,
} VOREL_NOTE_KIND;

typedef void(CALLBACK* VOREL_NOTE_VISITOR)(void* context, VOREL_NOTE_KIND kind, LPCSTR subject, LPCSTR text);

// The notes of the calling thread are numbered from 0 as they are made.
// VorelReadNotes hands `visit` every note from number `*position` on, oldest
// first (the strings live until `visit` returns), and sets `*position` to the
// number the next note will have; with a null `visit` it only moves
// `*position` there. The thread keeps its last 4096 notes: older ones are
// skipped, and S_FALSE says some were. E_POINTER for a null `position`.
HRESULT WINAPI VorelReadNotes(UINT64* position, VOREL_NOTE_VISITOR visit, void* context);
