#include "win32/OpenFileDialog.h"

#include <fnmatch.h>

#include <strings.h>
#include <algorithm>
#include <cstring>

namespace fs = std::filesystem;

namespace Platform {
namespace {

// A filter list is pairs of null-terminated strings closed by an empty one;
// a list that never closes is read no further than this many pairs.
constexpr int kMaxFilters = 64;

std::string Slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::vector<std::string> SplitPatterns(const std::string& text) {
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(';', start), text.size());
        std::string p = text.substr(start, end - start);
        p.erase(0, p.find_first_not_of(' '));
        if (!p.empty()) patterns.push_back(p);
        start = end + 1;
    }
    return patterns;
}

}  // namespace

OpenFileDialog::OpenFileDialog(const OPENFILENAMEA& request) : m_flags(request.Flags) {
    if (const char* p = request.lpstrFilter) {
        for (int i = 0; i < kMaxFilters && *p != '\0'; ++i) {
            Filter filter;
            filter.label = p;
            p += std::strlen(p) + 1;
            filter.patterns = SplitPatterns(p);
            if (*p != '\0') p += std::strlen(p) + 1;
            m_filters.push_back(std::move(filter));
        }
    }
    if (m_filters.empty()) m_filters.push_back({"All files", {"*"}});
    // nFilterIndex counts from 1; 0 (a custom filter) and values past the
    // list mean the first.
    if (request.nFilterIndex >= 1 && request.nFilterIndex <= m_filters.size())
        m_filterIndex = request.nFilterIndex - 1;

    std::error_code ec;
    fs::path start = fs::current_path(ec);
    if (request.lpstrInitialDir != nullptr && *request.lpstrInitialDir != '\0') {
        const fs::path initial = start / Slashes(request.lpstrInitialDir);
        if (fs::is_directory(initial, ec)) start = initial;
    }
    SetFolder(start);
}

bool OpenFileDialog::Matches(const std::string& name, const std::vector<std::string>& patterns) {
    // Windows matches names without regard to letter case: "*.x" finds "mesh.X".
    for (const std::string& p : patterns) {
        if (p == "*.*" || fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    }
    return false;
}

void OpenFileDialog::SetFolder(const fs::path& folder) {
    std::error_code ec;
    fs::path absolute = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec || !fs::is_directory(absolute, ec)) {
        m_error = "The folder \"" + folder.string() + "\" cannot be opened.";
        return;
    }
    m_folder = absolute;
    m_error.clear();
    Refresh();
}

void OpenFileDialog::SetFilter(size_t index) {
    if (index >= m_filters.size()) return;
    m_filterIndex = index;
    Refresh();
}

void OpenFileDialog::Up() {
    if (m_folder.has_parent_path() && m_folder != m_folder.root_path()) SetFolder(m_folder.parent_path());
}

void OpenFileDialog::Refresh() {
    m_entries.clear();
    std::error_code ec;
    for (fs::directory_iterator it(m_folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;  // hidden, as the file managers do
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            m_entries.push_back({name, true});
        } else if (Matches(name, m_filters[m_filterIndex].patterns)) {
            m_entries.push_back({name, false});
        }
    }
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        if (a.folder != b.folder) return a.folder;
        return strcasecmp(a.name.c_str(), b.name.c_str()) < 0;
    });
}

void OpenFileDialog::Accept(const std::string& typed) {
    if (typed.empty()) return;
    const fs::path path = m_folder / Slashes(typed);  // an absolute name replaces the folder
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        SetFolder(path);
        return;
    }
    if ((m_flags & OFN_FILEMUSTEXIST) != 0 && !fs::is_regular_file(path, ec)) {
        m_error = "\"" + typed + "\": file not found. Check the file name and try again.";
        return;
    }
    m_chosen = path.lexically_normal().string();
    m_state = State::Accepted;
}

bool OpenFileDialog::WriteResult(OPENFILENAMEA* request) const {
    const size_t slash = m_chosen.rfind('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    if (request->lpstrFile == nullptr || m_chosen.size() + 1 > request->nMaxFile ||
        m_chosen.size() > 0xFFFF) {
        // As Win32 does: the first two bytes say how long the buffer must be.
        if (request->lpstrFile != nullptr && request->nMaxFile >= 2) {
            const WORD needed = static_cast<WORD>(std::min<size_t>(m_chosen.size() + 1, 0xFFFF));
            std::memcpy(request->lpstrFile, &needed, sizeof needed);
        }
        return false;
    }
    std::memcpy(request->lpstrFile, m_chosen.c_str(), m_chosen.size() + 1);
    request->nFileOffset = static_cast<WORD>(nameAt);
    const size_t dot = m_chosen.rfind('.');
    request->nFileExtension = dot != std::string::npos && dot > nameAt ? static_cast<WORD>(dot + 1) : 0;
    if (request->lpstrFileTitle != nullptr && request->nMaxFileTitle > 0) {
        const std::string name = m_chosen.substr(nameAt);
        const size_t n = std::min<size_t>(name.size(), request->nMaxFileTitle - 1);
        std::memcpy(request->lpstrFileTitle, name.data(), n);
        request->lpstrFileTitle[n] = '\0';
    }
    request->nFilterIndex = static_cast<DWORD>(m_filterIndex + 1);
    return true;
}

}  // namespace Platform
