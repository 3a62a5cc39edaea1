#pragma once

#include <string>

namespace Vorel {

// The process's current directory, however long.
std::string GetWorkingDirectory();

// The directory the process started in, fixed by the first call (made during
// start-up, before anything changes the current directory).
std::string GetStartDirectory();

}  // namespace Vorel
