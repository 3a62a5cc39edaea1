// The tokens both encodings are read as. Text words are all Name tokens and
// keywords are recognised by spelling where the grammar expects one; binary
// keywords arrive as their own kinds. A binary number list arrives as one
// Integer or Float token per element.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

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
    TypeWord,
    TypeDword,
    TypeFloat,
    TypeDouble,
    TypeChar,
    TypeUchar,
    TypeSword,
    TypeSdword,
    TypeVoid,
    TypeString,  // LPSTR, UNICODE and CSTRING: all read as strings
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;  // names and strings (text strings are raw: see Unescape)
    int64_t integer = 0;
    double number = 0;
    GUID guid{};
    size_t position = 0;  // line (text) or byte offset (binary) for messages
};

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
};

}  // namespace Platform::XFile
