#include "d3dx9/xfile/Writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "d3dx9/xfile/TextTokenizer.h"

namespace Platform::XFile {
namespace {

// What an object is written as: its template's name, which is how the
// template is written too (a file may declare a known template under a name
// of its own, which then names nothing in what is written); an object of a
// template not declared keeps the word it had.
const std::string& Identifier(const Node& node) {
    return node.type != nullptr ? node.type->name : node.identifier;
}

// Reads a payload back as its template lays it out.
class Cursor {
public:
    explicit Cursor(const Node& node) : m_node(node) {}

    Value Next(ValueKind kind) {
        Value v{};
        v.kind = kind;
        const uint8_t* p = m_node.payload.data() + m_at;
        switch (kind) {
            case ValueKind::Word: {
                uint16_t x;
                std::memcpy(&x, p, 2);
                v.u = x;
                break;
            }
            case ValueKind::Sword: {
                int16_t x;
                std::memcpy(&x, p, 2);
                v.i = x;
                break;
            }
            case ValueKind::Dword:
                std::memcpy(&v.u, p, 4);
                break;
            case ValueKind::Sdword:
                std::memcpy(&v.i, p, 4);
                break;
            case ValueKind::Char: {
                int8_t x;
                std::memcpy(&x, p, 1);
                v.i = x;
                break;
            }
            case ValueKind::Uchar:
                v.u = *p;
                break;
            case ValueKind::Float:
                std::memcpy(&v.f, p, 4);
                break;
            case ValueKind::Double:
                std::memcpy(&v.d, p, 8);
                break;
            case ValueKind::String:
                v.text = m_node.strings[m_string++];
                break;
        }
        m_at += PayloadSize(kind);
        return v;
    }

private:
    const Node& m_node;
    size_t m_at = 0;
    size_t m_string = 0;
};

// The element count of a member, from the sizes read before it.
uint64_t CountOf(const Member& member, const std::vector<uint64_t>& values) {
    uint64_t count = 1;
    for (const auto& d : member.dimensions)
        count *= d.member >= 0 ? values[static_cast<size_t>(d.member)] : d.fixed;
    return count;
}

uint64_t IntegerOf(const Value& v) {
    switch (v.kind) {
        case ValueKind::Sword:
        case ValueKind::Sdword:
        case ValueKind::Char:
            return static_cast<uint64_t>(static_cast<int64_t>(v.i));
        default:
            return v.u;
    }
}

// ---------------------------------------------------------------- text ----

class TextWriter {
public:
    std::string Write(const Document& document, int floatSize) {
        m_out = floatSize == 64 ? "xof 0303txt 0064\n" : "xof 0303txt 0032\n";
        for (const Template* t : document.declared)
            Declaration(*t);
        for (const Node* node : document.top)
            Object(*node, 0);
        return std::move(m_out);
    }

private:
    void Indent(int depth) { m_out.append(static_cast<size_t>(depth) * 2, ' '); }

    // A name as text holds it. A binary file can name things with what ends
    // a word in text (blanks, delimiters, control bytes, or a comment's
    // start): each such byte is written as '_', the same wherever the name
    // is written, so that references still find what they name.
    std::string Name(std::string_view name) {
        std::string word(name);
        for (size_t i = 0; i < word.size(); ++i) {
            const auto c = static_cast<unsigned char>(word[i]);
            if (IsDelimiter(word[i]) || c < ' ' || c == 0x7F || (i == 0 && (c == '#' || c == '/')))
                word[i] = '_';
        }
        return word;
    }

    void Declaration(const Template& t) {
        m_out += "template " + Name(t.name) + " {\n  <" + FormatGuid(t.guid) + ">\n";
        for (const Member& m : t.members) {
            m_out += "  ";
            if (m.isArray) m_out += "array ";
            m_out += m.type != nullptr ? Name(m.type->name) : PrimitiveOf(m.kind).word;
            if (!m.name.empty()) m_out += " " + Name(m.name);
            for (const auto& d : m.dimensions)
                m_out += "[" +
                         (d.member >= 0 ? Name(t.members[static_cast<size_t>(d.member)].name)
                                        : std::to_string(d.fixed)) +
                         "]";
            m_out += ";\n";
        }
        if (t.restriction == Template::Restriction::Open) m_out += "  [...]\n";
        if (t.restriction == Template::Restriction::Restricted) {
            m_out += "  [";
            for (size_t i = 0; i < t.allowed.size(); ++i) {
                if (i > 0) m_out += ", ";
                m_out += Name(t.allowed[i].first);
                if (t.allowed[i].second != GUID{}) m_out += " <" + FormatGuid(t.allowed[i].second) + ">";
            }
            m_out += "]\n";
        }
        m_out += "}\n\n";
    }

    void Number(const Value& v) {
        char buffer[64];
        char* end = buffer;
        switch (v.kind) {
            case ValueKind::Float:
            case ValueKind::Double: {
                const double d = v.kind == ValueKind::Float ? v.f : v.d;
                if (std::isnan(d)) {
                    m_out += "nan";
                    return;
                }
                if (std::isinf(d)) {
                    m_out += d < 0 ? "-inf" : "inf";
                    return;
                }
                end = v.kind == ValueKind::Float ? std::to_chars(buffer, buffer + sizeof buffer, v.f).ptr
                                                 : std::to_chars(buffer, buffer + sizeof buffer, v.d).ptr;
                m_out.append(buffer, end);
                // Keep it a float for a reader that looks: "1" would read as an integer.
                if (std::string_view(buffer, end - buffer).find_first_of(".e") == std::string_view::npos)
                    m_out += ".0";
                return;
            }
            case ValueKind::Sword:
            case ValueKind::Sdword:
            case ValueKind::Char:
                end = std::to_chars(buffer, buffer + sizeof buffer, v.i).ptr;
                break;
            default:
                end = std::to_chars(buffer, buffer + sizeof buffer, v.u).ptr;
                break;
        }
        m_out.append(buffer, end);
    }

    void Scalar(const Value& v) {
        if (v.kind != ValueKind::String) {
            Number(v);
            return;
        }
        // Backslashes are doubled, as text writers do; a quote cannot stand
        // inside a text string and becomes an apostrophe.
        m_out += '"';
        for (char c : v.text) {
            if (c == '\\')
                m_out += "\\\\";
            else
                m_out += c == '"' ? '\'' : c;
        }
        m_out += '"';
    }

    // The members of one template value, each closed by ';'.
    void Members(const Template& t, Cursor& cursor, int depth, bool topLevel) {
        std::vector<uint64_t> values(t.members.size(), 0);
        for (size_t k = 0; k < t.members.size(); ++k) {
            const Member& m = t.members[k];
            const uint64_t count = CountOf(m, values);
            if (topLevel) Indent(depth);
            for (uint64_t i = 0; i < count; ++i) {
                if (i > 0) {
                    m_out += ",";
                    if (m.type != nullptr && topLevel) {
                        m_out += "\n";
                        Indent(depth);
                    }
                }
                if (m.type != nullptr) {
                    Members(*m.type, cursor, depth, false);
                } else {
                    const Value v = cursor.Next(m.kind);
                    if (!m.isArray) values[k] = IntegerOf(v);
                    Scalar(v);
                }
            }
            m_out += ";";
            if (topLevel) m_out += "\n";
        }
    }

    void Object(const Node& node, int depth) {
        Indent(depth);
        m_out += Name(Identifier(node));
        if (!node.name.empty()) m_out += " " + Name(node.name);
        m_out += " {\n";
        if (node.hasId) {
            Indent(depth + 1);
            m_out += "<" + FormatGuid(node.id) + ">\n";
        }
        if (node.type != nullptr) {
            Cursor cursor(node);
            Members(*node.type, cursor, depth + 1, true);
        } else if (!node.untyped.empty()) {
            Indent(depth + 1);
            for (const Value& v : node.untyped) {
                Scalar(v);
                m_out += ";";
            }
            m_out += "\n";
        }
        for (const Child& child : node.children) {
            if (!child.reference) {
                Object(*child.node, depth + 1);
                continue;
            }
            Indent(depth + 1);
            m_out += "{ ";
            m_out +=
                child.node->name.empty() ? "<" + FormatGuid(child.node->id) + ">" : Name(child.node->name);
            m_out += " }\n";
        }
        Indent(depth);
        m_out += "}\n";
    }

    std::string m_out;
};

// -------------------------------------------------------------- binary ----

class BinaryWriter {
public:
    explicit BinaryWriter(int floatSize) : m_floatSize(floatSize) {}

    std::string Write(const Document& document) {
        m_out = m_floatSize == 64 ? "xof 0303bin 0064" : "xof 0303bin 0032";
        for (const Template* t : document.declared)
            Declaration(*t);
        for (const Node* node : document.top)
            Object(*node);
        return std::move(m_out);
    }

private:
    enum Token : uint16_t {
        kName = 1,
        kString = 2,
        kInteger = 3,
        kGuid = 5,
        kIntegerList = 6,
        kFloatList = 7,
        kOBrace = 10,
        kCBrace = 11,
        kOBracket = 14,
        kCBracket = 15,
        kDot = 18,
        kSemicolon = 20,
        kTemplate = 31,
        kArray = 52,
    };

    void Word(uint16_t w) { m_out.append(reinterpret_cast<const char*>(&w), 2); }
    void Dword(uint32_t d) { m_out.append(reinterpret_cast<const char*>(&d), 4); }
    void Text(Token token, const std::string& text) {
        Word(token);
        Dword(static_cast<uint32_t>(text.size()));
        m_out += text;
    }
    void Guid(const GUID& g) {
        Word(kGuid);
        Dword(g.Data1);
        m_out.append(reinterpret_cast<const char*>(&g.Data2), 2);
        m_out.append(reinterpret_cast<const char*>(&g.Data3), 2);
        m_out.append(reinterpret_cast<const char*>(g.Data4), 8);
    }

    void Declaration(const Template& t) {
        Word(kTemplate);
        Text(kName, t.name);
        Word(kOBrace);
        Guid(t.guid);
        for (const Member& m : t.members) {
            if (m.isArray) Word(kArray);
            if (m.type != nullptr)
                Text(kName, m.type->name);
            else
                Word(PrimitiveOf(m.kind).token);
            if (!m.name.empty()) Text(kName, m.name);
            for (const auto& d : m.dimensions) {
                Word(kOBracket);
                if (d.member >= 0) {
                    Text(kName, t.members[static_cast<size_t>(d.member)].name);
                } else {
                    Word(kInteger);
                    Dword(d.fixed);
                }
                Word(kCBracket);
            }
            Word(kSemicolon);
        }
        if (t.restriction == Template::Restriction::Open) {
            Word(kOBracket);
            Word(kDot), Word(kDot), Word(kDot);
            Word(kCBracket);
        } else if (t.restriction == Template::Restriction::Restricted) {
            Word(kOBracket);
            for (const auto& [name, guid] : t.allowed) {
                Text(kName, name);
                if (guid != GUID{}) Guid(guid);
            }
            Word(kCBracket);
        }
        Word(kCBrace);
    }

    // Numbers gather into lists; a string, or a change between integers and
    // floats, closes the list.
    void Flush() {
        if (m_pending.empty()) return;
        Word(m_pendingFloats ? kFloatList : kIntegerList);
        Dword(static_cast<uint32_t>(m_pending.size()));
        for (const Value& v : m_pending) {
            if (!m_pendingFloats) {
                Dword(static_cast<uint32_t>(IntegerOf(v)));
            } else if (m_floatSize == 64) {
                const double d = v.kind == ValueKind::Float ? v.f : v.d;
                m_out.append(reinterpret_cast<const char*>(&d), 8);
            } else {
                const float f = v.kind == ValueKind::Float ? v.f : static_cast<float>(v.d);
                m_out.append(reinterpret_cast<const char*>(&f), 4);
            }
        }
        m_pending.clear();
    }

    void Emit(const Value& v) {
        if (v.kind == ValueKind::String) {
            Flush();
            Text(kString, v.text);
            Word(kSemicolon);
            return;
        }
        const bool isFloat = !IsInteger(v.kind);
        if (!m_pending.empty() && isFloat != m_pendingFloats) Flush();
        m_pendingFloats = isFloat;
        m_pending.push_back(v);
    }

    void Members(const Template& t, Cursor& cursor) {
        std::vector<uint64_t> values(t.members.size(), 0);
        for (size_t k = 0; k < t.members.size(); ++k) {
            const Member& m = t.members[k];
            const uint64_t count = CountOf(m, values);
            for (uint64_t i = 0; i < count; ++i) {
                if (m.type != nullptr) {
                    Members(*m.type, cursor);
                } else {
                    const Value v = cursor.Next(m.kind);
                    if (!m.isArray) values[k] = IntegerOf(v);
                    Emit(v);
                }
            }
        }
    }

    void Object(const Node& node) {
        Text(kName, Identifier(node));
        if (!node.name.empty()) Text(kName, node.name);
        Word(kOBrace);
        if (node.hasId) Guid(node.id);
        if (node.type != nullptr) {
            Cursor cursor(node);
            Members(*node.type, cursor);
        } else {
            for (const Value& v : node.untyped)
                Emit(v);
        }
        Flush();
        for (const Child& child : node.children) {
            if (!child.reference) {
                Object(*child.node);
                continue;
            }
            Word(kOBrace);
            if (!child.node->name.empty())
                Text(kName, child.node->name);
            else
                Guid(child.node->id);
            Word(kCBrace);
        }
        Word(kCBrace);
    }

    int m_floatSize;
    std::string m_out;
    std::vector<Value> m_pending;
    bool m_pendingFloats = false;
};

}  // namespace

std::string WriteDocument(const Document& document, Format format, int floatSize) {
    const bool binary = format == Format::Binary || format == Format::BinaryCompressed;
    std::string file =
        binary ? BinaryWriter(floatSize).Write(document) : TextWriter().Write(document, floatSize);
    if (format == Format::Text || format == Format::Binary) return file;
    const std::vector<char> packed = Deflate(std::string_view(file).substr(16));
    file.resize(16);
    std::memcpy(file.data() + 8, binary ? "bzip" : "tzip", 4);
    file.append(packed.data(), packed.size());
    return file;
}

}  // namespace Platform::XFile
