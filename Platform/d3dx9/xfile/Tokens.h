// The tokens both encodings are read as. Text words are all Name tokens and
// keywords are recognised by spelling where the grammar expects one; binary
// keywords arrive as their own kinds. A binary number list arrives as one
// Integer or Float token per element.
#pragma once

#include <windows.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BulkMemory.h"

namespace Platform::XFile {

enum class TokenKind : uint8_t {
    End,
    Error,
    Name,
    String,
    Integer,
    Float,
    Guid,
    LBrace,
    RBrace,
    LBracket,
    RBracket,
    LParen,
    RParen,
    Semicolon,
    Comma,
    Dot,
    // Binary keywords.
    Template,
    Array,
    Primitive,  // a primitive type's token (see kPrimitives)
};

enum class ValueKind : uint8_t;

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;  // names and strings (text strings are raw: see Unescape)
    int64_t integer = 0;
    double number = 0;
    GUID guid{};
    ValueKind primitive{};  // of a Primitive token
    size_t position = 0;    // line (text) or byte offset (binary) for messages
};
using Bytes = BulkVector<uint8_t>;

// A number as a FLOAT member stores it: beyond the float range it becomes an
// infinity of its sign rather than whatever the conversion makes of it.
inline float StoredFloat(double d) {
    if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return d > 0 ? INFINITY : -INFINITY;
    return static_cast<float>(d);
}

class Tokenizer {
public:
    virtual ~Tokenizer() = default;
    virtual Token Next() = 0;
    // "line 12" or "byte 3410".
    virtual std::string Where(size_t position) const = 0;
    // Text strings double their backslashes; binary strings do not.
    virtual std::string StringValue(const Token& token) const { return std::string(token.text); }
    // Bytes of input not yet read, to bound counts before allocating.
    virtual size_t Remaining() const = 0;
    // The values of an array in one go: up to `count` numbers of `kind`
    // that follow the current token (each after the separators before it),
    // appended to `payload` exactly as the token path would store them.
    // Stops before anything that path would treat otherwise (a comment, a
    // fraction where an integer belongs, a word it reads as a name) and
    // returns how many it stored; the next token is the one after them.
    virtual size_t ReadNumbers(ValueKind, size_t, Bytes&) { return 0; }
    // Runs of numbers each led by its count (a DWORD), as the faces of a
    // mesh are: up to `runs` of them, each taken whole or not at all, and
    // only while the count is within the data left and the `budget` of
    // array elements, which each run's count and values are taken from.
    virtual size_t ReadCountedRuns(ValueKind, size_t, Bytes&, int64_t&) { return 0; }
};

}  // namespace Platform::XFile
