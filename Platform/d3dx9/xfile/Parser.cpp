#include "d3dx9/xfile/Parser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "d3dx9/LittleEndian.h"

namespace Platform::XFile {
namespace {

constexpr int kMaxWarnings = 8;

// A message quotes the file's names and words: a control byte among them
// (a NUL would end the line where it is written) is shown as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        const char hex[] = "0123456789abcdef";
        out += "\\x";
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

// Templates built from templates: the standard set nests three deep.
constexpr int kMaxTemplateDepth = 32;

// Truncation that stays defined for any double.
int64_t ToInteger(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(d);
}

template <typename T>
void Append(Bytes& payload, T value) {
    const size_t at = payload.size();
    payload.resize(at + sizeof value);
    std::memcpy(payload.data() + at, &value, sizeof value);
}

bool IsValue(TokenKind kind) {
    return kind == TokenKind::Integer || kind == TokenKind::Float || kind == TokenKind::String;
}

// Templates of numbers of one kind, every array of a fixed size, to be read
// as runs of numbers. Kept small: the count is checked against the data left
// for every element.
void Flatten(Template& t) {
    constexpr uint64_t kMaxFlat = 1 << 16;
    uint64_t total = 0;
    for (size_t i = 0; i < t.members.size(); ++i) {
        const Member& m = t.members[i];
        const ValueKind kind = m.type != nullptr ? m.type->flatKind : m.kind;
        uint64_t n = m.type != nullptr ? m.type->flatCount : 1;
        for (const Member::Dimension& d : m.dimensions)
            n = d.member >= 0 ? 0 : n * d.fixed;
        if (n == 0 || n > kMaxFlat || kind == ValueKind::String || (i > 0 && kind != t.flatKind)) return;
        t.flatKind = kind;
        total += n;
    }
    if (total <= kMaxFlat) t.flatCount = static_cast<uint32_t>(total);
}

bool IsCounted(const Template& t) {
    if (t.members.size() != 2) return false;
    const Member &n = t.members[0], &values = t.members[1];
    return n.type == nullptr && n.kind == ValueKind::Dword && !n.isArray && values.type == nullptr &&
           values.dimensions.size() == 1 && values.dimensions[0].member == 0 &&
           (values.kind == ValueKind::Dword || values.kind == ValueKind::Float ||
            values.kind == ValueKind::Double);
}

bool IsFloatWord(std::string_view text) {
    return EqualsIgnoringCase(text, "nan") || EqualsIgnoringCase(text, "inf") ||
           EqualsIgnoringCase(text, "infinity");
}

}  // namespace

Parser::Parser(Tokenizer& tokens, Document& document, std::string fileName)
    : m_tokens(tokens), m_document(document), m_fileName(std::move(fileName)) {
    // Every element of every array is counted against this: nested arrays of
    // empty templates cannot make the reader spin on a small file.
    m_elementBudget = static_cast<int64_t>(std::min<size_t>(tokens.Remaining(), size_t(1) << 40)) * 16 + 4096;
}

void Parser::SkipSeparators() {
    while (m_token.kind == TokenKind::Semicolon || m_token.kind == TokenKind::Comma)
        Advance();
}

std::string Parser::Describe(const Token& token) const {
    switch (token.kind) {
        case TokenKind::End:
            return "the end of the data";
        case TokenKind::Error:
            return std::string(token.text);
        case TokenKind::Name:
            return "'" + std::string(token.text.substr(0, 64)) + "'";
        case TokenKind::String:
            return "a string";
        case TokenKind::Integer:
        case TokenKind::Float:
            return "a number";
        case TokenKind::Guid:
            return "a GUID";
        case TokenKind::LBrace:
            return "'{'";
        case TokenKind::RBrace:
            return "'}'";
        case TokenKind::LBracket:
            return "'['";
        case TokenKind::RBracket:
            return "']'";
        case TokenKind::Semicolon:
            return "';'";
        case TokenKind::Comma:
            return "','";
        case TokenKind::Template:
            return "'template'";
        case TokenKind::Array:
            return "'array'";
        default:
            return "a keyword or punctuation";
    }
}

bool Parser::Fail(const std::string& expected) {
    if (m_consumed) Advance();  // what is found is what follows the last value
    if (m_error.empty()) {
        m_error = Printable(m_fileName + ": " + m_tokens.Where(m_token.position) + ": " +
                            (m_token.kind == TokenKind::Error
                                 ? Describe(m_token)
                                 : "expected " + expected + ", found " + Describe(m_token)));
    }
    return false;
}

void Parser::Warn(size_t position, const std::string& text) {
    if (m_warnings++ >= kMaxWarnings) return;
    std::string line = Printable(m_fileName + ": " + m_tokens.Where(position) + ": warning: " + text) + "\n";
    if (m_warnings == kMaxWarnings) line += m_fileName + ": further warnings are not shown\n";
    OutputDebugStringA(line.c_str());
}

bool Parser::IsWord(const char* lowerCaseWord) const {
    return m_token.kind == TokenKind::Name && EqualsIgnoringCase(m_token.text, lowerCaseWord);
}

bool Parser::TypeOf(const Token& token, ValueKind* kind) const {
    if (token.kind == TokenKind::Primitive) {
        *kind = token.primitive;
        return true;
    }
    const Primitive* primitive = token.kind == TokenKind::Name ? PrimitiveOfWord(token.text) : nullptr;
    if (primitive != nullptr) *kind = primitive->kind;
    return primitive != nullptr;
}

bool Parser::CountElements(uint64_t count) {
    if (count > static_cast<uint64_t>(m_elementBudget)) {
        Fail("no more array elements than the data can hold");
        return false;
    }
    m_elementBudget -= static_cast<int64_t>(count);
    return true;
}

bool Parser::Parse() {
    Advance();
    for (;;) {
        SkipSeparators();
        if (m_token.kind == TokenKind::End) break;
        if (m_token.kind == TokenKind::Template || IsWord("template")) {
            if (!ParseTemplate()) return false;
        } else if (m_token.kind == TokenKind::Name) {
            if (!ParseObject(nullptr, 1)) return false;
        } else {
            return Fail("a template or a data object");
        }
    }
    return Resolve() && CheckGraph();
}

bool Parser::ParseTemplate() {
    Advance();
    if (m_token.kind != TokenKind::Name) return Fail("the template's name");
    Template declared;
    declared.name = std::string(m_token.text);
    Advance();
    if (m_token.kind != TokenKind::LBrace) return Fail("'{' after the template's name");
    Advance();
    // The GUID is required by the format; a missing one reads as zero.
    if (m_token.kind == TokenKind::Guid) {
        declared.guid = m_token.guid;
        Advance();
    }
    for (;;) {
        SkipSeparators();
        if (m_token.kind == TokenKind::RBrace) break;
        if (m_token.kind == TokenKind::LBracket) {
            if (!ParseRestriction(declared)) return false;
            continue;
        }
        Member member;
        if (m_token.kind == TokenKind::Array || IsWord("array")) {
            member.isArray = true;
            Advance();
        }
        if (!TypeOf(m_token, &member.kind)) {
            if (m_token.kind != TokenKind::Name) return Fail("a member type");
            member.type = m_document.templates.FindByName(m_token.text);
            if (member.type == nullptr) return Fail("a primitive type or a template declared earlier");
            declared.depth = std::max(declared.depth, member.type->depth + 1);
        }
        Advance();
        if (m_token.kind == TokenKind::Name) {
            member.name = std::string(m_token.text);
            Advance();
        }
        while (m_token.kind == TokenKind::LBracket) {
            Advance();
            Member::Dimension dimension;
            if (m_token.kind == TokenKind::Integer && m_token.integer >= 0 && m_token.integer <= UINT32_MAX) {
                dimension.fixed = static_cast<uint32_t>(m_token.integer);
            } else if (m_token.kind == TokenKind::Name) {
                for (size_t i = 0; i < declared.members.size(); ++i) {
                    const Member& earlier = declared.members[i];
                    if (earlier.name == m_token.text && !earlier.isArray && earlier.type == nullptr &&
                        IsInteger(earlier.kind))
                        dimension.member = static_cast<int>(i);
                }
                if (dimension.member < 0) return Fail("an earlier integer member naming the array's size");
            } else {
                return Fail("an array size");
            }
            Advance();
            if (m_token.kind != TokenKind::RBracket) return Fail("']'");
            Advance();
            member.dimensions.push_back(dimension);
        }
        member.isArray = member.isArray || !member.dimensions.empty();
        if (member.isArray && member.dimensions.empty()) return Fail("the array's size in '[ ]'");
        declared.members.push_back(std::move(member));
    }
    Advance();
    if (declared.depth > kMaxTemplateDepth) return Fail("templates nested less deeply");
    Flatten(declared);
    declared.counted = IsCounted(declared);
    bool replaced = false;
    const size_t position = m_token.position;
    const Template* bound = m_document.templates.Declare(std::move(declared), &replaced);
    if (replaced)
        Warn(position,
             "template " + bound->name + " is declared with another layout; the standard one is used");
    if (std::find(m_document.declared.begin(), m_document.declared.end(), bound) == m_document.declared.end())
        m_document.declared.push_back(bound);
    return true;
}

bool Parser::ParseRestriction(Template& declared) {
    Advance();
    // "[...]" is open: in text the dots are one word, in binary three tokens.
    if ((m_token.kind == TokenKind::Name && m_token.text == "...") || m_token.kind == TokenKind::Dot) {
        while (m_token.kind == TokenKind::Dot || (m_token.kind == TokenKind::Name && m_token.text == "..."))
            Advance();
        declared.restriction = Template::Restriction::Open;
    } else {
        declared.restriction = Template::Restriction::Restricted;
        while (m_token.kind != TokenKind::RBracket) {
            if (m_token.kind == TokenKind::Comma) {
                Advance();
                continue;
            }
            if (m_token.kind != TokenKind::Name) return Fail("a template name in the restriction");
            std::pair<std::string, GUID> entry{std::string(m_token.text), GUID{}};
            Advance();
            if (m_token.kind == TokenKind::Guid) {
                entry.second = m_token.guid;
                Advance();
            }
            declared.allowed.push_back(std::move(entry));
        }
    }
    if (m_token.kind != TokenKind::RBracket) return Fail("']' to close the restriction");
    Advance();
    return true;
}

bool Parser::ParseObject(Node* parent, int depth) {
    const size_t opened = m_token.position;
    if (depth > kMaxDepth) return Fail("data objects nested less deeply");
    auto owned = std::make_unique<Node>();
    Node& node = *owned;
    node.identifier = std::string(m_token.text);
    node.type = m_document.templates.FindByName(m_token.text);
    node.order = m_document.nodes.size();
    m_document.nodes.push_back(std::move(owned));
    if (parent != nullptr) {
        parent->children.push_back({&node, false});
    } else {
        m_document.top.push_back(&node);
    }
    Advance();
    // Names are words; a name that looks like a number is still a name.
    if (m_token.kind == TokenKind::Name || m_token.kind == TokenKind::Integer ||
        m_token.kind == TokenKind::Float) {
        node.name = std::string(m_token.text);
        Advance();
    }
    if (m_token.kind != TokenKind::LBrace) return Fail("'{' to open the data object " + node.identifier);
    Advance();
    if (m_token.kind == TokenKind::Guid) {
        node.id = m_token.guid;
        node.hasId = true;
        Advance();
    }
    if (node.type != nullptr ? !ReadMembers(*node.type, node) : !ReadUntyped(node)) return false;
    if (m_consumed) Advance();

    bool warnedStray = false;
    for (;;) {
        SkipSeparators();
        switch (m_token.kind) {
            case TokenKind::RBrace:
                Advance();
                node.FixStrings();
                return true;
            case TokenKind::LBrace:
                if (!ParseReference(node)) return false;
                break;
            case TokenKind::Name:
                if (!ParseObject(&node, depth + 1)) return false;
                break;
            case TokenKind::Integer:
            case TokenKind::Float:
            case TokenKind::String:
            case TokenKind::Guid:
                if (!warnedStray)
                    Warn(m_token.position,
                         "values past the end of " + node.identifier + " " + node.name + " are ignored");
                warnedStray = true;
                Advance();
                break;
            case TokenKind::End:
                return Fail("'}' to close " + node.identifier + " (opened at " + m_tokens.Where(opened) +
                            ")");
            default:
                return Fail("a child object, a reference or '}'");
        }
    }
}

bool Parser::ParseReference(Node& holder) {
    const size_t position = m_token.position;
    Advance();
    PendingReference reference{&holder, holder.children.size(), {}, {}, false, position};
    if (m_token.kind == TokenKind::Name || m_token.kind == TokenKind::Integer) {
        reference.name = std::string(m_token.text);
        Advance();
    }
    if (m_token.kind == TokenKind::Guid) {
        reference.guid = m_token.guid;
        reference.hasGuid = true;
        Advance();
    }
    if (reference.name.empty() && !reference.hasGuid) return Fail("a name or GUID in the reference");
    if (m_token.kind != TokenKind::RBrace) return Fail("'}' to close the reference");
    Advance();
    holder.children.push_back({nullptr, true});
    m_references.push_back(std::move(reference));
    return true;
}

bool Parser::ReadMembers(const Template& type, Node& node) {
    // Values of the scalar integer members read so far: they size the arrays
    // that follow them.
    uint64_t inPlace[16];
    std::vector<uint64_t> spilled;
    uint64_t* values = inPlace;
    if (type.members.size() > std::size(inPlace)) {
        spilled.resize(type.members.size());
        values = spilled.data();
    }
    std::fill_n(values, type.members.size(), 0);
    for (size_t k = 0; k < type.members.size(); ++k) {
        const Member& member = type.members[k];
        uint64_t count = 1;
        for (const auto& dimension : member.dimensions) {
            const uint64_t n =
                dimension.member >= 0 ? values[static_cast<size_t>(dimension.member)] : dimension.fixed;
            // Every element takes at least one byte of input: a count beyond
            // what is left is wrong, and is caught before anything grows.
            if (n > m_tokens.Remaining() + 1 || (n != 0 && count > (m_tokens.Remaining() + 1) / n))
                return Fail("an array no larger than the data left (" + type.name + "." + member.name +
                            " has " + std::to_string(n) + " elements)");
            count *= n;
        }
        if (!CountElements(count)) return false;
        if (member.type != nullptr && member.type->counted) {
            // Faces: the same steps as below, without the general walk.
            const Member& values = member.type->members[1];
            // Room for triangles, as far as the data left could fill it.
            const size_t needed =
                node.payload.size() +
                std::min<size_t>(count * (4 + 3 * PayloadSize(values.kind)), m_tokens.Remaining() * 4);
            if (needed > node.payload.capacity()) node.payload.reserve(needed);
            for (uint64_t i = 0; i < count; ++i) {
                if (m_consumed) {
                    i += m_tokens.ReadCountedRuns(values.kind, count - i, node.payload, m_elementBudget);
                    if (i == count) break;
                }
                uint64_t n = 0;
                if (!CountElements(1) || !ReadValues(ValueKind::Dword, 1, node, &n)) return false;
                if (n > m_tokens.Remaining() + 1)
                    return Fail("an array no larger than the data left (" + member.type->name + "." +
                                values.name + " has " + std::to_string(n) + " elements)");
                if (!CountElements(n) || !ReadValues(values.kind, n, node, nullptr)) return false;
            }
            continue;
        }
        if (member.type != nullptr && member.type->flatCount == 0) {
            for (uint64_t i = 0; i < count; ++i)
                if (!ReadMembers(*member.type, node)) return false;
            continue;
        }
        if (member.type != nullptr) {
            // Elements of Vector or Matrix4x4: one run of numbers.
            if (count > (m_tokens.Remaining() + 1) / member.type->flatCount)
                return Fail("an array no larger than the data left (" + type.name + "." + member.name +
                            " has " + std::to_string(count) + " elements)");
            count *= member.type->flatCount;
            if (!ReadValues(member.type->flatKind, count, node, nullptr)) return false;
            continue;
        }
        if (!ReadValues(member.kind, count, node, member.isArray ? nullptr : &values[k])) return false;
    }
    return true;
}

bool Parser::ReadValues(ValueKind kind, uint64_t count, Node& node, uint64_t* last) {
    // Grow geometrically: arrays nested in arrays come here once per element.
    const size_t needed = node.payload.size() + count * PayloadSize(kind);
    if (needed > node.payload.capacity()) node.payload.reserve(std::max(needed, node.payload.capacity() * 2));
    for (uint64_t i = 0; i < count;) {
        if (m_consumed) {
            // Straight after a value the tokenizer takes what follows in one
            // go, as far as it can.
            const size_t n = m_tokens.ReadNumbers(kind, count - i, node.payload);
            i += n;
            if (n > 0 && last != nullptr) *last = Read32(node.payload.data() + node.payload.size() - 4);
            if (i == count) break;
            Advance();
        }
        SkipSeparators();
        if (!StoreValue(kind, node, last)) return false;
        m_consumed = true;
        ++i;
    }
    return true;
}

std::string Parser::StringOf(const Token& token) const {
    // A payload's string ends at its first NUL, as every reader of it sees.
    std::string value = m_tokens.StringValue(token);
    value.resize(std::min(value.size(), value.find('\0')));
    return value;
}

bool Parser::StoreValue(ValueKind kind, Node& node, uint64_t* integer) {
    if (kind == ValueKind::String) {
        if (m_token.kind != TokenKind::String) return Fail("a string");
        node.stringSlots.push_back(node.payload.size());
        node.strings.push_back(StringOf(m_token));
        Append<const char*>(node.payload, nullptr);  // fixed once the object is complete
        return true;
    }
    double number = 0;
    int64_t whole = 0;
    if (m_token.kind == TokenKind::Integer) {
        whole = m_token.integer;
        number = m_token.number;
    } else if (m_token.kind == TokenKind::Float ||
               (m_token.kind == TokenKind::Name && IsFloatWord(m_token.text))) {
        number = m_token.kind == TokenKind::Float          ? m_token.number
                 : EqualsIgnoringCase(m_token.text, "nan") ? std::nan("")
                                                           : HUGE_VAL;
        whole = ToInteger(number);
        if (IsInteger(kind) && number != std::trunc(number) && !m_warnedFraction) {
            Warn(m_token.position, "a fraction where an integer belongs is cut to its whole part");
            m_warnedFraction = true;
        }
    } else {
        return Fail("a number");
    }
    switch (kind) {
        case ValueKind::Word:
            Append(node.payload, static_cast<uint16_t>(whole));
            break;
        case ValueKind::Sword:
            Append(node.payload, static_cast<int16_t>(whole));
            break;
        case ValueKind::Dword:
            Append(node.payload, static_cast<uint32_t>(whole));
            break;
        case ValueKind::Sdword:
            Append(node.payload, static_cast<int32_t>(whole));
            break;
        case ValueKind::Char:
            Append(node.payload, static_cast<int8_t>(whole));
            break;
        case ValueKind::Uchar:
            Append(node.payload, static_cast<uint8_t>(whole));
            break;
        case ValueKind::Float:
            Append(node.payload, StoredFloat(number));
            break;
        case ValueKind::Double:
            Append(node.payload, number);
            break;
        case ValueKind::String:
            break;
    }
    if (integer != nullptr) *integer = static_cast<uint32_t>(whole);
    return true;
}

bool Parser::ReadUntyped(Node& node) {
    // Without a template the values are kept as they come: integers as
    // DWORDs, numbers with a fraction as FLOATs, strings as strings.
    for (;;) {
        SkipSeparators();
        if (!IsValue(m_token.kind)) return true;
        if (!CountElements(1)) return false;
        Value value{};
        if (m_token.kind == TokenKind::String) {
            value.kind = ValueKind::String;
            value.text = StringOf(m_token);
            node.stringSlots.push_back(node.payload.size());
            node.strings.push_back(value.text);
            Append<const char*>(node.payload, nullptr);
        } else if (m_token.kind == TokenKind::Integer) {
            value.kind = ValueKind::Dword;
            value.u = static_cast<uint32_t>(m_token.integer);
            Append(node.payload, value.u);
        } else {
            value.kind = ValueKind::Float;
            value.f = StoredFloat(m_token.number);
            Append(node.payload, value.f);
        }
        node.untyped.push_back(std::move(value));
        Advance();
    }
}

namespace {

// Data objects by name (exact or without regard to case, and with their
// GUID or not), each list in file order, for lookups in time about constant
// however many objects share a name or a reference names. Built on first
// use: most files need one kind of key, many none.
class NameIndex {
public:
    // Indexes the first `count` of `nodes`.
    NameIndex(const std::vector<std::unique_ptr<Node>>& nodes, size_t count, bool lower, bool withId)
        : m_all(nodes), m_count(count), m_lower(lower), m_withId(withId) {}
    // Among the objects of this name (and GUID): the latest defined before
    // `before`, else the first after it; null for none.
    Node* Pick(std::string_view name, const GUID& id, size_t before, size_t* examined) {
        if (!m_built) Build();
        ++*examined;
        const auto it = m_nodes.find(Key(name, id));
        if (it == m_nodes.end()) return nullptr;
        const std::vector<Node*>& nodes = it->second;
        const auto after = std::lower_bound(nodes.begin(), nodes.end(), before,
                                            [](const Node* n, size_t order) { return n->order < order; });
        return after != nodes.begin() ? *(after - 1) : *after;
    }

private:
    std::string Key(std::string_view name, const GUID& id) const {
        std::string key = m_lower ? Lower(name) : std::string(name);
        if (m_withId) key.append(reinterpret_cast<const char*>(&id), sizeof id);
        return key;
    }
    void Build() {
        m_built = true;
        for (size_t i = 0; i < m_count; ++i) {
            Node* n = m_all[i].get();
            if (!n->name.empty() && (n->hasId || !m_withId)) m_nodes[Key(n->name, n->id)].push_back(n);
        }
    }

    const std::vector<std::unique_ptr<Node>>& m_all;
    size_t m_count;
    bool m_lower, m_withId, m_built = false;
    std::unordered_map<std::string, std::vector<Node*>> m_nodes;
};

struct GuidHash {
    size_t operator()(const GUID& g) const {
        uint64_t a, b;
        std::memcpy(&a, &g, 8);
        std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
        return std::hash<uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b);
    }
};

}  // namespace

bool Parser::Resolve() {
    if (m_references.empty()) return true;
    // Placeholders for references that name nothing are added to the nodes
    // as they are met; the name indexes see only the file's own objects.
    const size_t fileNodes = m_document.nodes.size();
    const auto& nodes = m_document.nodes;
    NameIndex byName(nodes, fileNodes, false, false), byLowerName(nodes, fileNodes, true, false),
        byNameAndId(nodes, fileNodes, false, true), byLowerNameAndId(nodes, fileNodes, true, true);
    std::unordered_map<GUID, Node*, GuidHash> byId;  // the latest object of each GUID
    bool idsIndexed = false;
    size_t& examined = m_document.work.lookups;
    for (const PendingReference& r : m_references) {
        Node* target = nullptr;
        const size_t before = r.holder->order;
        if (!r.name.empty()) {
            if (r.hasGuid) {
                target = byNameAndId.Pick(r.name, r.guid, before, &examined);
                if (target == nullptr) target = byLowerNameAndId.Pick(r.name, r.guid, before, &examined);
                if (target == nullptr) target = byName.Pick(r.name, r.guid, before, &examined);
            } else {
                target = byName.Pick(r.name, r.guid, before, &examined);
                if (target == nullptr) target = byLowerName.Pick(r.name, r.guid, before, &examined);
            }
        } else {
            if (!idsIndexed) {
                for (size_t i = 0; i < fileNodes; ++i)
                    if (m_document.nodes[i]->hasId) byId[m_document.nodes[i]->id] = m_document.nodes[i].get();
                idsIndexed = true;
            }
            ++examined;
            const auto it = byId.find(r.guid);
            if (it != byId.end()) target = it->second;
        }
        if (target == nullptr) {
            // Kept as written, with no type and no data: nothing is lost, and
            // writing the document out again gives the same reference.
            const std::string what = r.name.empty() ? "<" + FormatGuid(r.guid) + ">" : r.name;
            Warn(r.position, "the reference to " + what + " names no data object");
            auto placeholder = std::make_unique<Node>();
            placeholder->name = r.name;
            placeholder->id = r.guid;
            placeholder->hasId = r.hasGuid;
            placeholder->order = m_document.nodes.size();
            target = placeholder.get();
            // A later reference by the same GUID alone finds it.
            if (r.name.empty()) byId[r.guid] = target;
            m_document.nodes.push_back(std::move(placeholder));
        }
        r.holder->children[r.child].node = target;
    }
    return true;
}

// Following references must neither loop nor nest without bound: a
// reference that closes a cycle is dropped, and the depth reached through
// references is bounded like direct nesting. Depth first on a stack of its
// own, each object once.
bool Parser::CheckGraph() {
    enum : uint8_t { Unvisited, Active, Done };
    std::vector<uint8_t> state(m_document.nodes.size(), Unvisited);
    std::vector<int> height(m_document.nodes.size(), 0);
    struct Visit {
        Node* node;
        int depth;
        size_t next = 0;  // the child to look at next
        size_t kept = 0;  // the children kept so far, compacted in place
        int height = 0;   // the tallest child so far
    };
    std::vector<Visit> path;
    bool droppedCycle = false;
    const auto enter = [&](Node* node, int depth) {
        state[node->order] = Active;
        path.push_back({node, depth});
    };
    bool tooDeep = false;
    for (Node* top : m_document.top) {
        if (state[top->order] != Unvisited) continue;
        enter(top, 1);
        while (!path.empty() && !tooDeep) {
            Visit& v = path.back();
            std::vector<Child>& children = v.node->children;
            if (v.next < children.size()) {
                const Child child = children[v.next++];
                const uint8_t seen = state[child.node->order];
                ++m_document.work.edges;
                if (seen == Active) {
                    droppedCycle = true;
                    continue;
                }
                children[v.kept++] = child;
                if (seen == Done) {
                    v.height = std::max(v.height, height[child.node->order]);
                } else if (v.depth + 1 > kMaxDepth) {
                    tooDeep = true;
                } else {
                    enter(child.node, v.depth + 1);  // v is not used past here
                }
                continue;
            }
            children.resize(v.kept);
            const int h = v.height + 1;
            height[v.node->order] = h;
            state[v.node->order] = Done;
            if (h + v.depth - 1 > kMaxDepth) tooDeep = true;
            path.pop_back();
            if (!path.empty()) path.back().height = std::max(path.back().height, h);
        }
        if (tooDeep) break;
    }
    if (droppedCycle && m_warnings++ < kMaxWarnings)
        OutputDebugStringA(
            (m_fileName + ": warning: references that lead back to where they start are left out\n").c_str());
    if (tooDeep) {
        m_error = m_fileName + ": references nest data objects deeper than " + std::to_string(kMaxDepth) +
                  " levels";
        return false;
    }
    return true;
}

}  // namespace Platform::XFile
