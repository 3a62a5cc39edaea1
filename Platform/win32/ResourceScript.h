#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

struct MenuItem {
    std::string text;  // as written, '&' marks included
    UINT id = 0;       // command identifier of a plain item
    UINT state = 0;    // MF_CHECKED, MF_GRAYED, MF_DISABLED, from its options
    bool separator = false;
    bool popup = false;
    std::vector<MenuItem> items;  // a popup's contents
};

// The application's resources, read from its resource script: the same text
// a Windows build compiles with its resource compiler. Menus are the only
// resources this platform offers; symbolic ids come from #define lines (the
// script's included header is put in front of it at build time).
class ResourceScript {
public:
    // Returns false and describes the first problem (with its line) when the
    // text is not a script this reader understands; nothing is kept then.
    bool Parse(std::string_view text, std::string* error);

    const std::vector<MenuItem>* FindMenu(UINT id) const;

private:
    std::map<UINT, std::vector<MenuItem>> m_menus;
};

// Installed once, before WinMain, by the executable's generated resource unit.
void RegisterResourceScript(std::string_view text);
const ResourceScript& Resources();

// The menu text as shown: "&File" is "File", "&&" is a literal '&'.
std::string MenuLabel(std::string_view text);

}  // namespace Platform
