// The in-memory form of a .x file, whatever its encoding: the templates it
// uses and a tree of data objects with references among them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BulkMemory.h"

namespace Platform::XFile {

using Bytes = BulkVector<uint8_t>;

// Nesting of data objects (and of references followed from them), and of
// template members of template type. Real skeletons nest a few dozen deep.
constexpr int kMaxDepth = 256;

enum class ValueKind : uint8_t { Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, String };

// The format's primitive types, the one table every reader and writer of
// either encoding uses: a spelling in text templates (matched without
// regard to case), the token a binary template gives it, and the bytes one
// value takes in a payload (packed, little-endian, no padding; a string is
// a pointer to a NUL-terminated copy owned by the object). The first row
// of each kind, in the order of ValueKind, is how writers spell it.
struct Primitive {
    const char* word;
    uint16_t token;  // 0: none in binary
    ValueKind kind;
    uint8_t size;
    bool integer;
};
inline constexpr Primitive kPrimitives[] = {
    {"WORD", 40, ValueKind::Word, 2, true},
    {"DWORD", 41, ValueKind::Dword, 4, true},
    {"FLOAT", 42, ValueKind::Float, 4, false},
    {"DOUBLE", 43, ValueKind::Double, 8, false},
    {"CHAR", 44, ValueKind::Char, 1, true},
    {"UCHAR", 45, ValueKind::Uchar, 1, true},
    {"SWORD", 46, ValueKind::Sword, 2, true},
    {"SDWORD", 47, ValueKind::Sdword, 4, true},
    {"STRING", 49, ValueKind::String, sizeof(const char*), false},
    // Other spellings: binary has three string tokens, text a BYTE.
    {"LPSTR", 49, ValueKind::String, sizeof(const char*), false},
    {"UNICODE", 50, ValueKind::String, sizeof(const char*), false},
    {"CSTRING", 51, ValueKind::String, sizeof(const char*), false},
    {"BYTE", 0, ValueKind::Uchar, 1, true},
};

constexpr const Primitive& PrimitiveOf(ValueKind kind) {
    return kPrimitives[static_cast<size_t>(kind)];
}
constexpr size_t PayloadSize(ValueKind kind) {
    return PrimitiveOf(kind).size;
}
constexpr bool IsInteger(ValueKind kind) {
    return PrimitiveOf(kind).integer;
}
// The primitive a binary token or a text word names; null for none.
const Primitive* PrimitiveOfToken(uint16_t token);
const Primitive* PrimitiveOfWord(std::string_view word);

struct Template;

struct Member {
    std::string name;
    ValueKind kind = ValueKind::Dword;
    const Template* type = nullptr;  // set for a member of template type
    // Array dimensions, outermost first: a fixed size, or the index of an
    // earlier integer member of the same template that holds the size.
    struct Dimension {
        uint32_t fixed = 0;
        int member = -1;
    };
    std::vector<Dimension> dimensions;
    bool isArray = false;
};

struct Template {
    enum class Restriction { Closed, Open, Restricted };
    std::string name;
    GUID guid{};
    std::vector<Member> members;
    Restriction restriction = Restriction::Closed;
    std::vector<std::pair<std::string, GUID>> allowed;
    int depth = 1;  // 1 + the deepest template among the members
    // A template of numbers of one kind in fixed arrays (Vector, Coords2d,
    // Matrix4x4) is read as one run of `flatCount` numbers; 0 otherwise.
    uint32_t flatCount = 0;
    ValueKind flatKind = ValueKind::Float;
    // A DWORD count and then an array of that many numbers (MeshFace).
    bool counted = false;
};

// The templates known while reading: by GUID, and by name without regard to
// case (files write TextureFileName for TextureFilename). Shared templates
// are immutable, so copying a set is cheap.
class TemplateSet {
public:
    const Template* FindByName(std::string_view name) const;
    const Template* FindByGuid(const GUID& guid) const;
    // Adds a declaration and returns the template that is bound to its name
    // from now on: an earlier template with the same (non-zero) GUID is kept,
    // layout and all; `replacedLayout` says whether the new one differed.
    const Template* Declare(Template declared, bool* replacedLayout);
    bool Empty() const { return m_all.empty(); }
    bool operator==(const TemplateSet& other) const = default;

private:
    struct CaseInsensitiveLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::map<std::string, std::shared_ptr<const Template>, CaseInsensitiveLess> m_byName;
    std::vector<std::shared_ptr<const Template>> m_all;
};

struct Value {
    ValueKind kind;
    union {
        uint32_t u;
        int32_t i;
        float f;
        double d;
    };
    std::string text;  // for strings
};

struct Node;

struct Child {
    Node* node = nullptr;
    bool reference = false;
};

struct Node {
    std::string identifier;          // the template name as written
    const Template* type = nullptr;  // null for an undeclared template or an unresolved reference
    std::string name;
    GUID id{};
    bool hasId = false;
    Bytes payload;
    std::vector<std::string> strings;  // owned by the object; payload points in
    std::vector<size_t> stringSlots;   // offsets of those pointers in payload
    std::vector<Value> untyped;        // the values of an undeclared template
    std::vector<Child> children;
    size_t order = 0;  // position in the file, for references

    GUID TypeGuid() const { return type != nullptr ? type->guid : GUID{}; }
    // Writes the string pointers into the payload; run once it is complete.
    void FixStrings();
};

// What resolving references cost, for tests that bound the work: index
// lookups made, and object-to-child links the cycle check went through.
struct ReadWork {
    size_t lookups = 0;
    size_t edges = 0;
};

struct Document {
    int major = 3, minor = 3;
    std::vector<const Template*> declared;  // in the file's order, each once
    std::vector<Node*> top;
    std::vector<std::unique_ptr<Node>> nodes;
    TemplateSet templates;
    ReadWork work;
};

// Parses "<3D82AB43-62DA-11CF-AB39-0020AF71E433>"-style text (no brackets,
// spaces allowed); false when it is not a GUID.
bool ParseGuid(std::string_view text, GUID* out);
std::string FormatGuid(const GUID& guid);
std::string Lower(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace Platform::XFile
