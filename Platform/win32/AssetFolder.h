#pragma once

#include <string>

namespace Platform {

// The folder a program should start in to find the viewer's Assets/, as a
// Windows shortcut's "Start in" folder gives it: for an executable at
// `executable`, the nearest of its folder and those above it that holds
// Assets/XML, or holds it under share/vorel (an installed prefix); empty
// when none does.
std::string FindAssetFolder(const std::string& executable);

// The same for the running process, then the current folder; empty when
// neither finds the assets.
std::string FindOwnAssetFolder();

}  // namespace Platform
