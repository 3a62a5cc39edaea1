#include "win32/AssetFolder.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace Platform {

namespace {

bool HoldsAssets(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "Assets" / "XML", ec);
}

}  // namespace

std::string FindAssetFolder(const std::string& executable) {
    std::error_code ec;
    const fs::path whole = fs::weakly_canonical(executable, ec);
    if (ec || !whole.has_parent_path()) return {};
    for (fs::path dir = whole.parent_path();; dir = dir.parent_path()) {
        if (HoldsAssets(dir)) return dir.string();
        if (HoldsAssets(dir / "share" / "vorel")) return (dir / "share" / "vorel").string();
        if (dir == dir.root_path() || !dir.has_parent_path()) return {};
    }
}

std::string FindOwnAssetFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::string found = FindAssetFolder(self.string());
        if (!found.empty()) return found;
    }
    const fs::path here = fs::current_path(ec);
    return !ec && HoldsAssets(here) ? here.string() : std::string();
}

}  // namespace Platform
