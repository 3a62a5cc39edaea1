#include "XmlFile.h"

#include <fstream>
#include <iterator>

namespace Vorel {
namespace {

// The offset of the first byte that does not belong to well-formed UTF-8
// (no overlong forms, surrogates or code points past U+10FFFF), or npos.
size_t FirstInvalidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c == 0xE0)
            length = 3, low = 0xA0;
        else if (c == 0xED)
            length = 3, high = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF)
            length = 3;
        else if (c == 0xF0)
            length = 4, low = 0x90;
        else if (c >= 0xF1 && c <= 0xF3)
            length = 4;
        else if (c == 0xF4)
            length = 4, high = 0x8F;
        else
            return i;
        if (length > text.size() - i) return i;
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return i;
        }
        i += length;
    }
    return std::string::npos;
}

}  // namespace

bool LoadXmlFile(const std::string& path, TiXmlDocument* document, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "Failed to open file";
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find('\0') != std::string::npos) {
        *error = "not text: it holds a NUL byte";
        return false;
    }
    const size_t bad = FirstInvalidUtf8(text);
    if (bad != std::string::npos) {
        *error = "not UTF-8 text (byte " + std::to_string(bad) + ")";
        return false;
    }
    document->Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (document->Error()) {
        *error = document->ErrorDesc();
        return false;
    }
    return true;
}

}  // namespace Vorel
