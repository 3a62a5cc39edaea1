#pragma once

#include <string>
#include <vector>

#include "d3dx9/xfile/Document.h"
#include "d3dx9/xfile/Tokens.h"

namespace Platform::XFile {

// Reads the body of a .x file, text or binary, into a document: template
// declarations, then data objects read member by member as their templates
// lay them out. Separators are skipped wherever a value may start, which
// reads the strict form and every variant real writers produce. References
// are resolved once the whole body is read.
class Parser {
public:
    Parser(Tokenizer& tokens, Document& document, std::string fileName);
    // False with Error() set at the first problem; warnings go to the
    // debugger output.
    bool Parse();
    const std::string& Error() const { return m_error; }

private:
    struct PendingReference {
        Node* holder;
        size_t child;
        std::string name;
        GUID guid;
        bool hasGuid;
        size_t position;
    };

    void Advance() {
        m_token = m_tokens.Next();
        m_consumed = false;
    }
    void SkipSeparators();
    bool Fail(const std::string& expected);
    void Warn(size_t position, const std::string& text);
    std::string Describe(const Token& token) const;
    bool IsWord(const char* lowerCaseWord) const;
    bool TypeOf(const Token& token, ValueKind* kind) const;
    bool CountElements(uint64_t count);

    bool ParseTemplate();
    bool ParseRestriction(Template& declared);
    bool ParseObject(Node* parent, int depth);
    bool ParseReference(Node& holder);
    bool ReadMembers(const Template& type, Node& node);
    // `count` values of `kind`; `last` gets the last one's integer value.
    bool ReadValues(ValueKind kind, uint64_t count, Node& node, uint64_t* last);
    // A string token's value, cut at its first NUL.
    std::string StringOf(const Token& token) const;
    // The current token as a value of `kind`, not yet advanced past.
    bool StoreValue(ValueKind kind, Node& node, uint64_t* integer);
    bool ReadUntyped(Node& node);
    bool Resolve();
    bool CheckGraph();

    Tokenizer& m_tokens;
    Document& m_document;
    std::string m_fileName;
    Token m_token;
    // m_token is a value already stored: the tokenizer stands after it and
    // the next token is not read yet.
    bool m_consumed = false;
    std::string m_error;
    std::vector<PendingReference> m_references;
    int64_t m_elementBudget;
    int m_warnings = 0;
    bool m_warnedFraction = false;
};

}  // namespace Platform::XFile
