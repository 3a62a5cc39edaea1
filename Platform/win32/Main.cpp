// The process entry point: the command line is handed to WinMain as one
// string, with the module handle of the executable. The process first
// enters the folder that holds the viewer's Assets/, wherever it was started
// from, as a Windows shortcut's "Start in" folder would; a relative path on
// the command line is made whole before, so that it still names its file.
#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "win32/AssetFolder.h"

int main(int argc, char** argv) {
    static char module;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const std::string folder = Platform::FindOwnAssetFolder();
    if (!folder.empty()) {
        std::error_code ec;
        const std::filesystem::path here = std::filesystem::current_path(ec);
        // An option (a leading '-') is not a path.
        if (!ec && !commandLine.empty() && commandLine[0] != '/' && commandLine[0] != '-')
            commandLine = (here / commandLine).string();
        // On failure the viewer starts where it is and says what it lacks.
        std::filesystem::current_path(folder, ec);
    }
    return WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
