// vorel-xconv: writes a .x file in another encoding.
//   vorel-xconv [--format txt|bin|tzip|bzip] [--float 32|64] IN OUT
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"

namespace {

using namespace Platform::XFile;

int Usage() {
    std::fprintf(stderr,
                 "usage: vorel-xconv [--format txt|bin|tzip|bzip] [--float 32|64] IN OUT\n"
                 "Writes the .x file IN to OUT in the chosen encoding (default: text, 32-bit floats).\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Format format = Format::Text;
    int floatSize = 32;
    std::string in, out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--format" && i + 1 < argc) {
            const std::string f = argv[++i];
            if (f == "txt")
                format = Format::Text;
            else if (f == "bin")
                format = Format::Binary;
            else if (f == "tzip")
                format = Format::TextCompressed;
            else if (f == "bzip")
                format = Format::BinaryCompressed;
            else
                return Usage();
        } else if (arg == "--float" && i + 1 < argc) {
            const std::string f = argv[++i];
            if (f != "32" && f != "64") return Usage();
            floatSize = std::stoi(f);
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return Usage();
        } else if (in.empty()) {
            in = arg;
        } else if (out.empty()) {
            out = arg;
        } else {
            return Usage();
        }
    }
    if (in.empty() || out.empty()) return Usage();

    std::string text;
    {
        FileBytes file(in.c_str());
        if (file.Error() != 0) {
            std::fprintf(stderr, "vorel-xconv: %s: %s\n", in.c_str(), std::strerror(file.Error()));
            return 1;
        }
        Document document;
        // The reader has written the reason on standard error.
        if (FAILED(ReadDocument(file.Bytes(), in, StandardTemplates(), &document))) {
            std::fprintf(stderr, "vorel-xconv: %s is not a readable .x file\n", in.c_str());
            return 1;
        }
        text = WriteDocument(document, format, floatSize);
    }
    FILE* f = std::fopen(out.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "vorel-xconv: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 3;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) {
        std::fprintf(stderr, "vorel-xconv: cannot write %s\n", out.c_str());
        return 3;
    }
    return 0;
}
