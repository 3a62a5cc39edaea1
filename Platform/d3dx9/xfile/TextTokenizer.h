#pragma once

#include "d3dx9/xfile/Tokens.h"

namespace Platform::XFile {

// Whether a byte ends a word of the text encoding (a blank, a brace, a
// bracket, a separator, a quote, an angle bracket).
bool IsDelimiter(char c);

// Tokens of the text encoding: '//' and '#' comments where a token may
// start, any whitespace, numbers parsed without locale, GUIDs in angle
// brackets (spaces allowed inside).
class TextTokenizer final : public Tokenizer {
public:
    explicit TextTokenizer(std::string_view body, size_t firstLine = 1) : m_text(body), m_line(firstLine) {}
    Token Next() override;
    std::string Where(size_t position) const override { return "line " + std::to_string(position); }
    std::string StringValue(const Token& token) const override;
    size_t Remaining() const override { return m_text.size() - m_pos; }
    size_t ReadNumbers(ValueKind kind, size_t count, Bytes& payload) override;
    size_t ReadCountedRuns(ValueKind kind, size_t runs, Bytes& payload, int64_t& budget) override;

private:
    void SkipBlanks();
    Token Word(Token token);

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_line;
};

}  // namespace Platform::XFile
