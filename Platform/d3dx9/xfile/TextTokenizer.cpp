#include "d3dx9/xfile/TextTokenizer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "d3dx9/xfile/Document.h"

namespace Platform::XFile {
namespace {

// What each byte is to the tokenizer: a blank, a character that ends a
// word, a separator between values.
enum : uint8_t { kBlank = 1, kDelimiter = 2, kSeparator = 4 };

constexpr std::array<uint8_t, 256> kClasses = [] {
    std::array<uint8_t, 256> classes{};
    // A NUL is a blank too: files padded with them read as the binary
    // encoding reads its names, which end at the first.
    for (unsigned char c : std::string_view(" \t\r\n\f\v\0", 7))
        classes[c] = kBlank | kDelimiter;
    for (unsigned char c : std::string_view("{}[]();,\"<>"))
        classes[c] = kDelimiter;
    classes[';'] |= kSeparator;
    classes[','] |= kSeparator;
    return classes;
}();

bool IsBlank(char c) {
    return kClasses[static_cast<unsigned char>(c)] & kBlank;
}

}  // namespace

bool IsDelimiter(char c) {
    return kClasses[static_cast<unsigned char>(c)] & kDelimiter;
}

namespace {

// The decimal digits at p, appended to `value` (as long as they fit: the
// count says how many there were). Eight at a time where eight bytes are
// left, by the well-known SWAR conversion.
constexpr uint64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

[[gnu::always_inline]] inline void ReadDigits(const char*& p, const char* end, uint64_t& value, int& count) {
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        // A byte is a digit when its high nibble is 3 and its low one below 10.
        const uint64_t high = (w & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u;
        const uint64_t low = ((w + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u;
        const uint64_t other = high | low;
        const int n = other == 0 ? 8 : __builtin_ctzll(other) / 8;
        if (n == 0) return;
        uint64_t d = (w - 0x3030303030303030u) << (8 * (8 - n));
        d = d * 10 + (d >> 8);
        d = ((d & 0x000000FF000000FFu) * (100 + (uint64_t(1000000) << 32)) +
             ((d >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t(10000) << 32))) >>
            32;
        value = value * kPowers[n] + d;
        count += n;
        p += n;
        if (n < 8) return;
    }
    for (; p < end && unsigned(*p - '0') < 10; ++p, ++count)
        value = value * 10 + unsigned(*p - '0');
}

// The longest GUID literal accepted, spaces included.
constexpr size_t kMaxGuidText = 64;

// Powers of ten a double holds exactly.
constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A decimal number that ends at a delimiter, as the token path reads it:
// "-12", "0.800000", "1.5e-3". Numbers of up to 15 significant digits and a
// small exponent are one exact multiplication or division, which is what a
// correctly rounded conversion gives; the rest go through from_chars. False
// for anything else (a '+', "1.#QNAN0", a name), which the token path reads.
[[gnu::always_inline]] inline bool ParseDecimal(const char* p, const char* end, double* out,
                                                const char** next) {
    const char* start = p;
    const bool negative = p < end && *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    int digits = 0, scale = 0;
    ReadDigits(p, end, mantissa, digits);
    if (p < end && *p == '.') {
        ++p;
        const int whole = digits;
        ReadDigits(p, end, mantissa, digits);
        scale = whole - digits;
    }
    if (digits == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool down = p < end && *p == '-';
        p += (p < end && (*p == '-' || *p == '+'));
        int exponent = 0, exponentDigits = 0;
        for (; p < end && unsigned(*p - '0') < 10; ++p, ++exponentDigits)
            exponent = exponent < 100000 ? exponent * 10 + (*p - '0') : exponent;
        if (exponentDigits == 0) return false;
        scale += down ? -exponent : exponent;
    }
    if (p < end && !IsDelimiter(*p)) return false;
    *next = p;
    if (digits <= 15 && scale >= -22 && scale <= 22) {
        const double m = static_cast<double>(mantissa);
        const double value = scale < 0 ? m / kExact[-scale] : m * kExact[scale];
        *out = negative ? -value : value;
        return true;
    }
    const auto [stop, error] = std::from_chars(start, p, *out);
    return error == std::errc() && stop == p;
}

}  // namespace

void TextTokenizer::SkipBlanks() {
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == '\n') {
            ++m_line;
            ++m_pos;
        } else if (IsBlank(c)) {
            ++m_pos;
        } else if (c == '#' || (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/')) {
            while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                ++m_pos;
        } else {
            return;
        }
    }
}

Token TextTokenizer::Next() {
    SkipBlanks();
    Token token;
    token.position = m_line;
    if (m_pos >= m_text.size()) return token;
    const char c = m_text[m_pos];
    switch (c) {
        case '{':
            token.kind = TokenKind::LBrace;
            break;
        case '}':
            token.kind = TokenKind::RBrace;
            break;
        case '[':
            token.kind = TokenKind::LBracket;
            break;
        case ']':
            token.kind = TokenKind::RBracket;
            break;
        case '(':
            token.kind = TokenKind::LParen;
            break;
        case ')':
            token.kind = TokenKind::RParen;
            break;
        case ';':
            token.kind = TokenKind::Semicolon;
            break;
        case ',':
            token.kind = TokenKind::Comma;
            break;
        case '"': {
            // Everything up to the next quote, bytes as they are; a string
            // may not run over the end of the file.
            const size_t close = m_text.find('"', m_pos + 1);
            if (close == std::string_view::npos) {
                token.kind = TokenKind::Error;
                token.text = "a string that is never closed";
                return token;
            }
            token.kind = TokenKind::String;
            token.text = m_text.substr(m_pos + 1, close - m_pos - 1);
            for (char s : token.text)
                if (s == '\n') ++m_line;
            m_pos = close + 1;
            return token;
        }
        case '<': {
            const size_t close = m_text.find('>', m_pos + 1);
            if (close == std::string_view::npos || close - m_pos > kMaxGuidText ||
                !ParseGuid(m_text.substr(m_pos + 1, close - m_pos - 1), &token.guid)) {
                token.kind = TokenKind::Error;
                token.text = "a malformed GUID";
                return token;
            }
            token.kind = TokenKind::Guid;
            m_pos = close + 1;
            return token;
        }
        case '>':
            token.kind = TokenKind::Error;
            token.text = "a stray '>'";
            return token;
        default:
            return Word(token);
    }
    ++m_pos;
    return token;
}

Token TextTokenizer::Word(Token token) {
    const size_t start = m_pos;
    while (m_pos < m_text.size() && !IsDelimiter(m_text[m_pos]))
        ++m_pos;
    token.text = m_text.substr(start, m_pos - start);
    token.kind = TokenKind::Name;

    const char first = token.text[0];
    if (!(std::isdigit(static_cast<unsigned char>(first)) || first == '-' || first == '+' || first == '.'))
        return token;
    // A number: from_chars takes no leading '+'.
    std::string_view digits = token.text;
    if (digits[0] == '+') digits.remove_prefix(1);
    const char* begin = digits.data();
    const char* end = begin + digits.size();
    int64_t integer = 0;
    auto [intEnd, intError] = std::from_chars(begin, end, integer);
    if (intError == std::errc() && intEnd == end && !(integer == 0 && digits[0] == '-')) {  // "-0" is a float
        token.kind = TokenKind::Integer;
        token.integer = integer;
        token.number = static_cast<double>(integer);
        return token;
    }
    double number = 0;
    auto [floatEnd, floatError] = std::from_chars(begin, end, number);
    if (floatError == std::errc::result_out_of_range) {
        // Beyond a double: a negative exponent underflows to 0, anything
        // else saturates, keeping the sign.
        const size_t e = digits.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        token.kind = TokenKind::Float;
        token.number = tiny ? 0.0 : (digits[0] == '-' ? -HUGE_VAL : HUGE_VAL);
        return token;
    }
    if (floatError == std::errc() && floatEnd == end) {
        token.kind = TokenKind::Float;
        token.number = number;
        return token;
    }
    // Windows C runtimes print NaN and infinity as 1.#QNAN0, -1.#IND00,
    // 1.#INF00: read them as what they say.
    if (floatError == std::errc() && floatEnd < end && *floatEnd == '#') {
        token.kind = TokenKind::Float;
        const std::string_view rest(floatEnd, end - floatEnd);
        token.number = rest.starts_with("#INF") ? (digits[0] == '-' ? -HUGE_VAL : HUGE_VAL) : std::nan("");
        return token;
    }
    return token;  // a name that starts like a number
}

namespace {

// One value of an array at p, after the separators before it, stored at
// `out` as the token path would store it; p and the line count move on
// only when it is taken.
template <ValueKind kKind>
[[gnu::always_inline]] inline bool TakeNumber(const char*& p, const char* end, size_t& line, uint8_t* out) {
    const char* q = p;
    size_t lines = 0;
    for (; q < end && (kClasses[static_cast<unsigned char>(*q)] & (kBlank | kSeparator)); ++q)
        lines += *q == '\n';
    if (q == end) return false;
    const char* next = nullptr;
    if constexpr (kKind == ValueKind::Dword) {
        // Whole numbers only: a fraction is the token path's, with its warning.
        const char* r = q + (*q == '-');
        uint64_t whole = 0;
        int digits = 0;
        ReadDigits(r, end, whole, digits);
        if (digits == 0 || digits >= 19 || (r < end && !IsDelimiter(*r))) return false;
        const uint32_t value = static_cast<uint32_t>(*q == '-' ? 0 - whole : whole);
        std::memcpy(out, &value, 4);
        next = r;
    } else {
        double number = 0;
        if (!ParseDecimal(q, end, &number, &next)) return false;
        if constexpr (kKind == ValueKind::Float) {
            const float value = StoredFloat(number);
            std::memcpy(out, &value, 4);
        } else {
            std::memcpy(out, &number, 8);
        }
    }
    p = next;
    line += lines;
    return true;
}

template <ValueKind kKind>
size_t TakeNumbers(const char*& p, const char* end, size_t& line, size_t count, uint8_t* out) {
    constexpr size_t kWidth = PayloadSize(kKind);
    size_t n = 0;
    while (n < count && TakeNumber<kKind>(p, end, line, out + n * kWidth))
        ++n;
    return n;
}

}  // namespace

size_t TextTokenizer::ReadNumbers(ValueKind kind, size_t count, Bytes& payload) {
    if (kind != ValueKind::Float && kind != ValueKind::Double && kind != ValueKind::Dword) return 0;
    const size_t width = PayloadSize(kind);
    const size_t at = payload.size();
    payload.resize(at + count * width);
    uint8_t* out = payload.data() + at;
    const char* const begin = m_text.data();
    const char* const end = begin + m_text.size();
    const char* p = begin + m_pos;
    const size_t n = kind == ValueKind::Float   ? TakeNumbers<ValueKind::Float>(p, end, m_line, count, out)
                     : kind == ValueKind::Dword ? TakeNumbers<ValueKind::Dword>(p, end, m_line, count, out)
                                                : TakeNumbers<ValueKind::Double>(p, end, m_line, count, out);
    m_pos = static_cast<size_t>(p - begin);
    payload.resize(at + n * width);
    return n;
}

size_t TextTokenizer::ReadCountedRuns(ValueKind kind, size_t runs, Bytes& payload, int64_t& budget) {
    if (kind != ValueKind::Float && kind != ValueKind::Double && kind != ValueKind::Dword) return 0;
    const size_t width = PayloadSize(kind);
    const char* const begin = m_text.data();
    const char* const end = begin + m_text.size();
    const char* p = begin + m_pos;
    size_t r = 0;
    for (; r < runs; ++r) {
        // The run whole or not at all: the token path reads one that stops
        // short, and says what is wrong with it.
        const char* start = p;
        const size_t line = m_line, at = payload.size();
        payload.resize(at + 4);
        if (!TakeNumber<ValueKind::Dword>(p, end, m_line, payload.data() + at)) {
            payload.resize(at);
            break;
        }
        uint32_t n;
        std::memcpy(&n, payload.data() + at, 4);
        const size_t left = static_cast<size_t>(end - p);
        if (n > left + 1 || budget < int64_t(n) + 1) {
            p = start, m_line = line;
            payload.resize(at);
            break;
        }
        payload.resize(at + 4 + size_t(n) * width);
        uint8_t* out = payload.data() + at + 4;
        const size_t taken = kind == ValueKind::Float ? TakeNumbers<ValueKind::Float>(p, end, m_line, n, out)
                             : kind == ValueKind::Dword
                                 ? TakeNumbers<ValueKind::Dword>(p, end, m_line, n, out)
                                 : TakeNumbers<ValueKind::Double>(p, end, m_line, n, out);
        if (taken < n) {
            p = start, m_line = line;
            payload.resize(at);
            break;
        }
        budget -= int64_t(n) + 1;
    }
    m_pos = static_cast<size_t>(p - begin);
    return r;
}

std::string TextTokenizer::StringValue(const Token& token) const {
    // Writers of the text encoding double backslashes ("C:\\tex\\a.tga").
    std::string value;
    value.reserve(token.text.size());
    for (size_t i = 0; i < token.text.size(); ++i) {
        value += token.text[i];
        if (token.text[i] == '\\' && i + 1 < token.text.size() && token.text[i + 1] == '\\') ++i;
    }
    return value;
}

}  // namespace Platform::XFile
