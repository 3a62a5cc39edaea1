#include "d3dx9/xfile/BinaryTokenizer.h"

#include <algorithm>
#include <cstring>

#include "d3dx9/LittleEndian.h"
#include "d3dx9/xfile/Document.h"

namespace Platform::XFile {

std::string BinaryTokenizer::Where(size_t position) const {
    return "byte " + std::to_string(m_base + position) + (m_inflated ? " of the inflated data" : "");
}

bool BinaryTokenizer::Take(size_t n, const char** out) {
    if (m_data.size() - m_pos < n) return false;
    *out = m_data.data() + m_pos;
    m_pos += n;
    return true;
}

Token BinaryTokenizer::Fail(size_t at, std::string_view what) {
    Token token;
    token.kind = TokenKind::Error;
    token.text = what;
    token.position = at;
    m_pos = m_data.size();
    m_listLeft = 0;
    return token;
}

bool BinaryTokenizer::StartList() {
    if (m_data.size() - m_pos < 6) return false;
    const uint16_t word = Read16(m_data.data() + m_pos);
    if (word != 6 && word != 7) return false;
    const uint32_t n = Read32(m_data.data() + m_pos + 2);
    const uint64_t width = word == 6 ? 4 : static_cast<uint64_t>(m_floatSize);
    if (n == 0 || n * width > m_data.size() - m_pos - 6) return false;  // Next says what is wrong
    m_listStart = m_pos;
    m_pos += 6;
    m_listLeft = n;
    m_listFloats = word == 7;
    return true;
}

size_t BinaryTokenizer::ReadNumbers(ValueKind kind, size_t count, Bytes& payload) {
    if (kind != ValueKind::Float && kind != ValueKind::Double && kind != ValueKind::Dword) return 0;
    const size_t width = PayloadSize(kind);
    size_t n = 0;
    while (n < count && (m_listLeft > 0 || StartList())) {
        // Integers stay integers and numbers stay numbers: a list of the
        // other kind goes through the token path, with its conversions.
        const bool floats = kind != ValueKind::Dword;
        if (m_listFloats != floats) break;
        const size_t take = std::min<size_t>(count - n, m_listLeft);
        const size_t at = payload.size();
        payload.resize(at + take * width);
        uint8_t* out = payload.data() + at;
        const char* in = m_data.data() + m_pos;
        const size_t inWidth = floats ? static_cast<size_t>(m_floatSize) : 4;
        if (inWidth == width) {
            std::memcpy(out, in, take * width);
            if (kind == ValueKind::Float) {
                // As through a double: a signalling NaN comes out quiet.
                for (size_t i = 0; i < take; ++i) {
                    uint32_t bits;
                    std::memcpy(&bits, out + i * 4, 4);
                    if ((bits & 0x7fffffffu) > 0x7f800000u) bits |= 0x00400000u;
                    std::memcpy(out + i * 4, &bits, 4);
                }
            }
        } else if (kind == ValueKind::Float) {
            for (size_t i = 0; i < take; ++i) {
                double d;
                std::memcpy(&d, in + i * 8, 8);
                const float f = StoredFloat(d);
                std::memcpy(out + i * 4, &f, 4);
            }
        } else {
            for (size_t i = 0; i < take; ++i) {
                float f;
                std::memcpy(&f, in + i * 4, 4);
                const double d = f;
                std::memcpy(out + i * 8, &d, 8);
            }
        }
        m_pos += take * inWidth;
        m_listLeft -= static_cast<uint32_t>(take);
        n += take;
    }
    return n;
}

size_t BinaryTokenizer::ReadCountedRuns(ValueKind kind, size_t runs, Bytes& payload, int64_t& budget) {
    if (kind != ValueKind::Dword) return 0;  // faces: integers in integer lists
    size_t r = 0;
    for (; r < runs; ++r) {
        // A run inside one list, or the token path's.
        if (m_listLeft == 0 && !StartList()) break;
        if (m_listFloats) break;
        const uint32_t n = Read32(m_data.data() + m_pos);
        if (m_listLeft - 1 < n || n > Remaining() - 4 + 1 || budget < int64_t(n) + 1) break;
        const size_t at = payload.size(), bytes = (size_t(n) + 1) * 4;
        payload.resize(at + bytes);
        std::memcpy(payload.data() + at, m_data.data() + m_pos, bytes);
        m_pos += bytes;
        m_listLeft -= n + 1;
        budget -= int64_t(n) + 1;
    }
    return r;
}

Token BinaryTokenizer::Next() {
    Token token;
    const char* p = nullptr;
    if (m_listLeft > 0) {
        token.position = m_listStart;
        --m_listLeft;
        if (m_listFloats) {
            token.kind = TokenKind::Float;
            if (m_floatSize == 8) {
                double d;
                Take(8, &p);  // the whole list was checked when it began
                std::memcpy(&d, p, 8);
                token.number = d;
            } else {
                float f;
                Take(4, &p);
                std::memcpy(&f, p, 4);
                token.number = f;
            }
        } else {
            Take(4, &p);
            token.kind = TokenKind::Integer;
            token.integer = Read32(p);
            token.number = static_cast<double>(token.integer);
        }
        return token;
    }

    for (;;) {
        token.position = m_pos;
        if (m_pos == m_data.size()) return token;  // End
        if (!Take(2, &p)) return Fail(token.position, "a token cut off by the end of the data");
        const uint16_t word = Read16(p);
        switch (word) {
            case 1:
            case 2: {
                if (!Take(4, &p)) return Fail(token.position, "a name or string length cut off");
                const uint32_t n = Read32(p);
                if (!Take(n, &p)) return Fail(token.position, "a name or string longer than the data left");
                std::string_view text(p, n);
                while (!text.empty() && text.back() == '\0')
                    text.remove_suffix(1);
                token.kind = word == 1 ? TokenKind::Name : TokenKind::String;
                token.text = text;
                return token;
            }
            case 3:
                if (!Take(4, &p)) return Fail(token.position, "an integer cut off");
                token.kind = TokenKind::Integer;
                token.integer = Read32(p);
                token.number = static_cast<double>(token.integer);
                return token;
            case 5:
                if (!Take(16, &p)) return Fail(token.position, "a GUID cut off");
                token.kind = TokenKind::Guid;
                token.guid.Data1 = Read32(p);
                token.guid.Data2 = Read16(p + 4);
                token.guid.Data3 = Read16(p + 6);
                std::memcpy(token.guid.Data4, p + 8, 8);
                return token;
            case 6:
            case 7: {
                if (!Take(4, &p)) return Fail(token.position, "a list length cut off");
                const uint32_t n = Read32(p);
                const uint64_t width = word == 6 ? 4 : static_cast<uint64_t>(m_floatSize);
                if (n * width > m_data.size() - m_pos)
                    return Fail(token.position, "a number list longer than the data left");
                if (n == 0) continue;
                m_listLeft = n;
                m_listFloats = word == 7;
                m_listStart = token.position;
                return Next();
            }
            case 10:
                token.kind = TokenKind::LBrace;
                return token;
            case 11:
                token.kind = TokenKind::RBrace;
                return token;
            case 12:
                token.kind = TokenKind::LParen;
                return token;
            case 13:
                token.kind = TokenKind::RParen;
                return token;
            case 14:
                token.kind = TokenKind::LBracket;
                return token;
            case 15:
                token.kind = TokenKind::RBracket;
                return token;
            case 16:
            case 17:
                return Fail(token.position, "an angle bracket outside a GUID");
            case 18:
                token.kind = TokenKind::Dot;
                return token;
            case 19:
                token.kind = TokenKind::Comma;
                return token;
            case 20:
                token.kind = TokenKind::Semicolon;
                return token;
            case 31:
                token.kind = TokenKind::Template;
                return token;
            case 52:
                token.kind = TokenKind::Array;
                return token;
            default:
                if (const Primitive* primitive = PrimitiveOfToken(word)) {
                    token.kind = TokenKind::Primitive;
                    token.primitive = primitive->kind;
                    return token;
                }
                return Fail(token.position, "an unknown token");
        }
    }
}

}  // namespace Platform::XFile
