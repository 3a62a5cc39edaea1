#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    // getcwd needs a buffer large enough for the whole path; grow until it is.
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE || path.size() > (1u << 24)) return 0;
        path.resize(path.size() * 2);
    }
    const size_t length = std::strlen(path.c_str());
    if (length + 1 > bufferLength || buffer == nullptr) return static_cast<DWORD>(length + 1);
    std::memcpy(buffer, path.c_str(), length + 1);
    return static_cast<DWORD>(length);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName) {
    if (pathName == nullptr || *pathName == '\0') return FALSE;
    if (chdir(pathName) == 0) return TRUE;
    // Paths written on Windows separate folders with backslashes.
    std::string converted(pathName);
    for (char& c : converted)
        if (c == '\\') c = '/';
    return chdir(converted.c_str()) == 0 ? TRUE : FALSE;
}
