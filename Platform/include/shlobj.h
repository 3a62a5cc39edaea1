// The shell's known folders, as the application asks for them.
#pragma once

#include <windows.h>

#define CSIDL_MYPICTURES 0x0027
// Or'ed into the folder's id: the folder is made when it is not there.
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

// The user's folder `folder` (CSIDL_MYPICTURES here) into `path`, which
// holds MAX_PATH characters: the pictures folder of the freedesktop user
// directories ($XDG_CONFIG_HOME/user-dirs.dirs, or ~/.config/...), else
// ~/Pictures. S_FALSE, with the path, when the folder is not there (and
// could not be made with CSIDL_FLAG_CREATE); E_INVALIDARG for another
// folder; E_FAIL without a home or for a path too long.
HRESULT WINAPI SHGetFolderPathA(HWND window, int folder, HANDLE token, DWORD flags, LPSTR path);
