#include "d3dx9/xfile/Document.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace Platform::XFile {

static_assert([] {
    for (size_t k = 0; k <= static_cast<size_t>(ValueKind::String); ++k)
        if (static_cast<size_t>(kPrimitives[k].kind) != k) return false;
    return true;
}());

const Primitive* PrimitiveOfToken(uint16_t token) {
    for (const Primitive& p : kPrimitives)
        if (token != 0 && p.token == token) return &p;
    return nullptr;
}

const Primitive* PrimitiveOfWord(std::string_view word) {
    for (const Primitive& p : kPrimitives)
        if (EqualsIgnoringCase(word, p.word)) return &p;
    return nullptr;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool TemplateSet::CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

const Template* TemplateSet::FindByName(std::string_view name) const {
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second.get();
}

const Template* TemplateSet::FindByGuid(const GUID& guid) const {
    if (guid == GUID{}) return nullptr;
    // The latest declaration wins, as it does for names.
    for (auto it = m_all.rbegin(); it != m_all.rend(); ++it)
        if ((*it)->guid == guid) return it->get();
    return nullptr;
}

namespace {

bool SameLayout(const Template& a, const Template& b) {
    if (a.members.size() != b.members.size()) return false;
    for (size_t i = 0; i < a.members.size(); ++i) {
        const Member& x = a.members[i];
        const Member& y = b.members[i];
        if (x.kind != y.kind || x.type != y.type || x.isArray != y.isArray ||
            x.dimensions.size() != y.dimensions.size())
            return false;
        for (size_t d = 0; d < x.dimensions.size(); ++d)
            if (x.dimensions[d].fixed != y.dimensions[d].fixed ||
                x.dimensions[d].member != y.dimensions[d].member)
                return false;
    }
    return true;
}

}  // namespace

const Template* TemplateSet::Declare(Template declared, bool* replacedLayout) {
    *replacedLayout = false;
    const std::string name = declared.name;
    std::shared_ptr<const Template> bound;
    // Standard templates are identified by GUID, never by their member names:
    // a redeclaration keeps the known layout (files have been seen declaring
    // Mesh with corrupt member names and a non-array where an array belongs).
    for (const auto& t : m_all)
        if (declared.guid != GUID{} && t->guid == declared.guid) bound = t;
    if (bound) {
        *replacedLayout = !SameLayout(*bound, declared);
    } else {
        bound = std::make_shared<const Template>(std::move(declared));
        m_all.push_back(bound);
    }
    m_byName[bound->name] = bound;
    m_byName[name] = bound;
    return bound.get();
}

void Node::FixStrings() {
    for (size_t i = 0; i < stringSlots.size(); ++i) {
        const char* text = strings[i].c_str();
        std::memcpy(payload.data() + stringSlots[i], &text, sizeof text);
    }
}

bool ParseGuid(std::string_view text, GUID* out) {
    std::string hex;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        hex += c;
    }
    // 8-4-4-4-12 hexadecimal digits.
    if (hex.size() != 36 || hex[8] != '-' || hex[13] != '-' || hex[18] != '-' || hex[23] != '-') return false;
    const auto field = [&](size_t at, size_t length, uint64_t* value) {
        const char* first = hex.data() + at;
        const auto [end, ec] = std::from_chars(first, first + length, *value, 16);
        return ec == std::errc() && end == first + length;
    };
    uint64_t d1, d2, d3, d4a, d4b;
    if (!field(0, 8, &d1) || !field(9, 4, &d2) || !field(14, 4, &d3) || !field(19, 4, &d4a) ||
        !field(24, 12, &d4b))
        return false;
    out->Data1 = static_cast<uint32_t>(d1);
    out->Data2 = static_cast<uint16_t>(d2);
    out->Data3 = static_cast<uint16_t>(d3);
    out->Data4[0] = static_cast<uint8_t>(d4a >> 8);
    out->Data4[1] = static_cast<uint8_t>(d4a);
    for (int i = 0; i < 6; ++i)
        out->Data4[2 + i] = static_cast<uint8_t>(d4b >> (8 * (5 - i)));
    return true;
}

std::string FormatGuid(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

}  // namespace Platform::XFile
