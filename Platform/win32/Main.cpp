// The process entry point: the command line is handed to WinMain as one
// string, with the module handle of the executable.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    static char module;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
