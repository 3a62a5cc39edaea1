// Shared by the .x reader tests: reading from memory, a canonical dump of a
// document to compare encodings by, and the fixtures.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Common.h"
#include "FileBytes.h"
#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Writer.h"

namespace VorelTest {

using namespace Platform::XFile;

inline std::string ReadFixture(const std::string& name) {
    return ReadFile(std::string(VOREL_SOURCE_DIR) + "/tests/fixtures/xfile/" + name);
}

// A binary file written token by token (the header is the caller's).
struct BinaryFile {
    std::string bytes;
    explicit BinaryFile(std::string header) : bytes(std::move(header)) {}
    BinaryFile& Word(uint16_t w) { return Raw(&w, 2); }
    BinaryFile& Dword(uint32_t d) { return Raw(&d, 4); }
    BinaryFile& Name(std::string_view name) {
        Word(1).Dword(static_cast<uint32_t>(name.size()));
        bytes += name;
        return *this;
    }
    BinaryFile& Integers(std::initializer_list<uint32_t> values) {
        Word(6).Dword(static_cast<uint32_t>(values.size()));
        for (uint32_t v : values)
            Dword(v);
        return *this;
    }
    BinaryFile& Floats(std::initializer_list<float> values) {
        Word(7).Dword(static_cast<uint32_t>(values.size()));
        for (float v : values)
            Raw(&v, 4);
        return *this;
    }
    BinaryFile& Raw(const void* data, size_t size) {
        bytes.append(static_cast<const char*>(data), size);
        return *this;
    }
};

// Reads from a heap copy of exactly the input's size, so that the sanitizer
// sees any read past its end.
inline HRESULT Read(std::string_view bytes, Document* document) {
    std::unique_ptr<char[]> copy(new char[bytes.size()]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    return ReadDocument(std::string_view(copy.get(), bytes.size()), "(memory)", StandardTemplates(),
                        document);
}

// Everything a reader of the document can see, as text: templates (the
// identifier of an object of none), names,
// GUIDs, payload bytes (string pointers replaced by the strings), untyped
// values and children, references by the position of their target.
inline std::string Dump(const Document& document) {
    std::string out;
    const auto node = [&](auto&& self, const Node& n, int depth) -> void {
        out += std::string(static_cast<size_t>(depth) * 2, ' ') +
               Lower(n.type ? n.type->name : n.identifier) + " '" + n.name +
               "' type=" + FormatGuid(n.TypeGuid());
        if (n.hasId) out += " id=" + FormatGuid(n.id);
        out += " payload=";
        size_t nextString = 0;
        for (size_t i = 0; i < n.payload.size(); ++i) {
            if (nextString < n.stringSlots.size() && n.stringSlots[nextString] == i) {
                out += "\"" + n.strings[nextString] + "\"";
                i += sizeof(char*) - 1;
                ++nextString;
                continue;
            }
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", n.payload[i]);
            out += hex;
        }
        out += "\n";
        for (const Child& c : n.children) {
            if (c.reference)
                out += std::string(static_cast<size_t>(depth + 1) * 2, ' ') + "-> '" + c.node->name + "'\n";
            else
                self(self, *c.node, depth + 1);
        }
    };
    for (const Template* t : document.declared)
        out += "template " + t->name + " " + FormatGuid(t->guid) + "\n";
    for (const Node* n : document.top)
        node(node, *n, 0);
    return out;
}

}  // namespace VorelTest
