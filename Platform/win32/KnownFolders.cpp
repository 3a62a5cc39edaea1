#include <shlobj.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes the folder and those above it that are missing.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!IsFolder(part) && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return IsFolder(path);
    }
}

// The value of `name` in user-dirs.dirs: a line NAME="VALUE", where VALUE
// is an absolute path or one that starts with $HOME/. Empty when the file
// or the line is not there or says something else.
std::string UserDir(const std::string& file, const char* name, const std::string& home) {
    std::ifstream in(file);
    std::string line, found;
    const std::string key = std::string(name) + "=\"";
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        const size_t end = line.rfind('"');
        if (end <= start + key.size() - 1) continue;
        std::string value = line.substr(start + key.size(), end - start - key.size());
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
            value = home + value.substr(5);
        else if (value.empty() || value[0] != '/')
            continue;
        // Only the characters the format escapes: ", \, $ and `.
        std::string plain;
        for (size_t i = 0; i < value.size(); ++i)
            plain += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
        found = plain;  // the last such line counts
    }
    // $HOME itself is the home folder, which is no pictures folder.
    return found == home ? std::string() : found;
}

}  // namespace

HRESULT WINAPI SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
    if (path == nullptr) return E_INVALIDARG;
    path[0] = '\0';
    if ((folder & ~CSIDL_FLAG_CREATE) != CSIDL_MYPICTURES) return E_INVALIDARG;
    const char* homeVariable = std::getenv("HOME");
    if (homeVariable == nullptr || homeVariable[0] != '/') return E_FAIL;
    std::string home = homeVariable;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string configFolder = config != nullptr && config[0] == '/' ? config : home + "/.config";
    std::string pictures = UserDir(configFolder + "/user-dirs.dirs", "XDG_PICTURES_DIR", home);
    if (pictures.empty()) pictures = home + "/Pictures";
    if (pictures.size() >= MAX_PATH) return E_FAIL;
    std::memcpy(path, pictures.c_str(), pictures.size() + 1);
    if (IsFolder(pictures)) return S_OK;
    if ((folder & CSIDL_FLAG_CREATE) != 0 && MakeFolders(pictures)) return S_OK;
    return S_FALSE;
}
