#pragma once

#include "d3dx9/xfile/Tokens.h"

namespace Platform::XFile {

// Tokens of the binary encoding: little-endian 16-bit token words with their
// records. Every count is checked against the bytes that remain before it is
// used; number lists are handed out one element at a time.
class BinaryTokenizer final : public Tokenizer {
public:
    // floatSize is 4 or 8; `base` is added to offsets in messages (the
    // header's 16 bytes), and `inflated` says they count decompressed bytes.
    BinaryTokenizer(std::string_view body, int floatSize, size_t base, bool inflated)
        : m_data(body), m_floatSize(floatSize), m_base(base), m_inflated(inflated) {}
    Token Next() override;
    std::string Where(size_t position) const override;
    size_t Remaining() const override { return m_data.size() - m_pos; }
    size_t ReadNumbers(ValueKind kind, size_t count, Bytes& payload) override;
    size_t ReadCountedRuns(ValueKind kind, size_t runs, Bytes& payload, int64_t& budget) override;

private:
    bool Take(size_t n, const char** out);
    Token Fail(size_t at, std::string_view what);
    // Starts the number list that comes next, if one does and it fits.
    bool StartList();

    std::string_view m_data;
    size_t m_pos = 0;
    int m_floatSize;
    size_t m_base;
    bool m_inflated;
    // The number list being handed out.
    uint32_t m_listLeft = 0;
    bool m_listFloats = false;
    size_t m_listStart = 0;
};

}  // namespace Platform::XFile
