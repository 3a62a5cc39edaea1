#include "win32/ResourceScript.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace Platform {
namespace {

struct Token {
    enum Kind { End, Word, String, Punct, Error } kind = End;
    std::string text;
    int line = 0;
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    Token Next() {
        SkipBlanks();
        Token token;
        token.line = m_line;
        if (m_pos >= m_text.size()) return token;
        const char c = m_text[m_pos];
        if (c == '"') {
            token.kind = Token::String;
            ++m_pos;
            while (m_pos < m_text.size()) {
                const char d = m_text[m_pos++];
                if (d == '"') {
                    if (m_pos < m_text.size() && m_text[m_pos] == '"') {  // "" is a quote
                        token.text += '"';
                        ++m_pos;
                        continue;
                    }
                    return token;
                }
                if (d == '\n') break;
                // "\t" (and "\a", right-aligned) puts the shortcut after a tab; "\\" is a backslash.
                if (d == '\\' && m_pos < m_text.size() &&
                    std::string_view("ta\\").find(m_text[m_pos]) != std::string_view::npos) {
                    token.text += m_text[m_pos++] == '\\' ? '\\' : '\t';
                    continue;
                }
                token.text += d;
            }
            token.kind = Token::Error;
            token.text = "unterminated string";
            return token;
        }
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            token.kind = Token::Word;
            while (m_pos < m_text.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
                token.text += m_text[m_pos++];
            return token;
        }
        token.kind = Token::Punct;
        token.text = std::string(1, c);
        ++m_pos;
        return token;
    }

    const std::map<std::string, std::string, std::less<>>& Defines() const { return m_defines; }

private:
    void SkipBlanks() {
        bool lineStart = m_pos == 0 || m_text[m_pos - 1] == '\n';
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
                lineStart = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (m_text.compare(m_pos, 2, "//") == 0) {
                SkipLine();
            } else if (m_text.compare(m_pos, 2, "/*") == 0) {
                const size_t close = m_text.find("*/", m_pos + 2);
                const size_t stop = close == std::string_view::npos ? m_text.size() : close + 2;
                for (; m_pos < stop; ++m_pos)
                    if (m_text[m_pos] == '\n') ++m_line;
            } else if (c == '#' && lineStart) {
                Directive();
            } else {
                return;
            }
        }
    }

    void SkipLine() {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n')
            ++m_pos;
    }

    // Only #define NAME VALUE matters; #include, #pragma and the rest are
    // for the resource compiler of the original platform.
    void Directive() {
        const size_t end = std::min(m_text.find('\n', m_pos), m_text.size());
        const std::string_view line = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        char name[128], value[128];
        const std::string copy(line);
        if (std::sscanf(copy.c_str(), "#%*[ \t]define %127s %127s", name, value) == 2 ||
            std::sscanf(copy.c_str(), "#define %127s %127s", name, value) == 2)
            m_defines[name] = value;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    int m_line = 1;
    std::map<std::string, std::string, std::less<>> m_defines;
};

class Parser {
public:
    Parser(std::string_view text, std::string* error) : m_lexer(text), m_error(error) { Advance(); }

    bool Script(std::map<UINT, std::vector<MenuItem>>* menus) {
        while (m_token.kind != Token::End) {
            UINT id = 0;
            if (!Id(&id)) return false;
            if (!IsWord("MENU")) return Fail("only MENU resources are supported");
            Advance();
            while (m_token.kind == Token::Word && !IsBegin())
                Advance();  // memory options
            std::vector<MenuItem> items;
            if (!Block(&items)) return false;
            (*menus)[id] = std::move(items);
        }
        return true;
    }

private:
    void Advance() { m_token = m_lexer.Next(); }
    bool IsWord(const char* w) const { return m_token.kind == Token::Word && m_token.text == w; }
    bool IsPunct(char c) const { return m_token.kind == Token::Punct && m_token.text[0] == c; }
    bool IsBegin() const { return IsWord("BEGIN") || IsPunct('{'); }
    bool IsEnd() const { return IsWord("END") || IsPunct('}'); }

    bool Fail(const std::string& what) {
        // A token the lexer could not read is the first problem, whatever
        // the parser was expecting.
        const std::string& problem = m_token.kind == Token::Error ? m_token.text : what;
        if (m_error) *m_error = "line " + std::to_string(m_token.line) + ": " + problem;
        return false;
    }

    bool Id(UINT* id) {
        if (m_token.kind != Token::Word) return Fail("expected a resource or command id");
        std::string text = m_token.text;
        for (int depth = 0; depth < 8; ++depth) {  // a define may name another define
            const auto it = m_lexer.Defines().find(text);
            if (it == m_lexer.Defines().end()) break;
            text = it->second;
        }
        int base = 10;
        std::string_view digits = text;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            digits.remove_prefix(2);
            base = 16;
        }
        UINT value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        if (ec != std::errc() || end != digits.data() + digits.size() || value > 0xFFFF)
            return Fail("'" + m_token.text + "' is not a number or a defined name");
        *id = value;
        Advance();
        return true;
    }

    bool Block(std::vector<MenuItem>* items) {
        if (!IsBegin()) return Fail("expected BEGIN");
        Advance();
        while (!IsEnd()) {
            if (m_token.kind == Token::End || m_token.kind == Token::Error) return Fail("missing END");
            MenuItem item;
            const bool popup = IsWord("POPUP");
            if (!popup && !IsWord("MENUITEM")) return Fail("expected POPUP, MENUITEM or END");
            Advance();
            if (!popup && IsWord("SEPARATOR")) {
                item.separator = true;
                Advance();
                items->push_back(std::move(item));
                continue;
            }
            if (m_token.kind != Token::String) return Fail("expected the item's text");
            item.text = m_token.text;
            Advance();
            if (popup) {
                item.popup = true;
                Options(&item);
                if (!Block(&item.items)) return false;
            } else {
                if (!IsPunct(',')) return Fail("expected ',' and the command id");
                Advance();
                if (!Id(&item.id)) return false;
                Options(&item);
            }
            items->push_back(std::move(item));
        }
        Advance();
        return true;
    }

    // CHECKED, GRAYED and INACTIVE give the item's state; the other options
    // (HELP, MENUBARBREAK and the like) change nothing here.
    void Options(MenuItem* item) {
        while (IsPunct(',') || (m_token.kind == Token::Word && !IsBegin() && !IsEnd() && !IsWord("POPUP") &&
                                !IsWord("MENUITEM"))) {
            if (IsWord("CHECKED")) item->state |= MF_CHECKED;
            if (IsWord("GRAYED")) item->state |= MF_GRAYED;
            if (IsWord("INACTIVE")) item->state |= MF_DISABLED;
            Advance();
        }
    }

    Lexer m_lexer;
    Token m_token;
    std::string* m_error;
};

ResourceScript& MutableResources() {
    static ResourceScript script;
    return script;
}

}  // namespace

bool ResourceScript::Parse(std::string_view text, std::string* error) {
    std::map<UINT, std::vector<MenuItem>> menus;
    Parser parser(text, error);
    if (!parser.Script(&menus)) return false;
    m_menus = std::move(menus);
    return true;
}

const std::vector<MenuItem>* ResourceScript::FindMenu(UINT id) const {
    const auto it = m_menus.find(id);
    return it == m_menus.end() ? nullptr : &it->second;
}

void RegisterResourceScript(std::string_view text) {
    std::string error;
    if (!MutableResources().Parse(text, &error)) std::fprintf(stderr, "resource script: %s\n", error.c_str());
}

const ResourceScript& Resources() {
    return MutableResources();
}

std::string MenuLabel(std::string_view text) {
    std::string label;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') label += '&', ++i;
            continue;
        }
        label += text[i];
    }
    return label;
}

}  // namespace Platform
