#include "expressions/expression_tokens.h"

#include <array>
#include <optional>

#include "shell/text.h"

namespace outfold {

namespace {

bool is_identifier_start(unsigned char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_' || ch == '$' ||
           ch >= 0x80;  // letters beyond ASCII arrive as UTF-8 bytes
}

bool is_identifier_part(unsigned char ch) {
    return is_identifier_start(ch) || (ch >= '0' && ch <= '9');
}

bool is_digit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

bool is_space(unsigned char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

// U+2028, U+2029 and the no-break space count as white space too.
std::size_t wide_space_at(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
    if (rest.starts_with("\xC2\xA0")) return 2;
    if (rest.starts_with("\xEF\xBB\xBF")) return 3;
    return 0;
}

int hex_value(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

std::optional<unsigned> hex_digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = hex_value(text[at + i]);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

// Reads one escape after the backslash at `at`; returns where it ends.
std::size_t read_escape(std::string_view text, std::size_t at, std::string& value) {
    std::size_t i = at + 1;
    if (i >= text.size()) return i;
    const char ch = text[i];
    constexpr std::array<std::pair<char, char>, 7> kSimple{{{'n', '\n'},
                                                            {'r', '\r'},
                                                            {'t', '\t'},
                                                            {'b', '\b'},
                                                            {'f', '\f'},
                                                            {'v', '\v'},
                                                            {'0', '\0'}}};
    for (const auto& [letter, meaning] : kSimple) {
        if (ch == letter && !(ch == '0' && i + 1 < text.size() && is_digit(text[i + 1]))) {
            value += meaning;
            return i + 1;
        }
    }
    if (ch == 'x') {
        if (const auto code = hex_digits(text, i + 1, 2)) {
            append_utf8(value, *code);
            return i + 3;
        }
    }
    if (ch == 'u') {
        if (const auto code = hex_digits(text, i + 1, 4)) {
            char32_t point = *code;
            std::size_t end = i + 5;
            // A surrogate pair written as two escapes is one character.
            if (point >= 0xD800 && point <= 0xDBFF && text.substr(end).starts_with("\\u")) {
                const auto low = hex_digits(text, end + 2, 4);
                if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                    point = 0x10000 + ((point - 0xD800) << 10) + (*low - 0xDC00);
                    end += 6;
                }
            }
            append_utf8(value, point);
            return end;
        }
    }
    if (ch == '\r') return text.substr(i).starts_with("\r\n") ? i + 2 : i + 1;  // continuation
    if (ch == '\n') return i + 1;
    if (text.substr(i).starts_with("\xE2\x80\xA8") || text.substr(i).starts_with("\xE2\x80\xA9"))
        return i + 3;  // so does a line separator
    // Any other character stands for itself, all of its UTF-8 bytes.
    std::size_t end = i + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    value.append(text.substr(i, end - i));
    return end;
}

Token read_string(std::string_view text, std::size_t at) {
    Token token{TokenKind::String, at, at, {}, false};
    const char quote = text[at];
    std::size_t i = at + 1;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == quote) {
            token.closed = true;
            ++i;
            break;
        }
        if (ch == '\n' || ch == '\r') break;  // a string cannot span lines
        if (ch == '\\') {
            i = read_escape(text, i, token.value);
        } else {
            token.value += ch;
            ++i;
        }
    }
    token.end = i;
    return token;
}

Token read_template(std::string_view text, std::size_t at) {
    Token token{TokenKind::Template, at, at, {}, false};
    std::size_t i = at + 1;
    int depth = 0;  // inside ${ ... }
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == '\\') {
            i += 2;
            continue;
        }
        if (depth == 0 && ch == '`') {
            token.closed = true;
            ++i;
            break;
        }
        if (ch == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            ++depth;
            ++i;
        } else if (depth > 0 && ch == '}') {
            --depth;
        }
        ++i;
    }
    token.end = std::min(i, text.size());
    token.value.assign(text.substr(at, token.end - at));
    return token;
}

Token read_regex(std::string_view text, std::size_t at) {
    Token token{TokenKind::Regex, at, at, {}, false};
    std::size_t i = at + 1;
    bool inClass = false;
    while (i < text.size() && text[i] != '\n' && text[i] != '\r') {
        const char ch = text[i];
        if (ch == '\\') {
            i += 2;
            continue;
        }
        if (ch == '[') inClass = true;
        if (ch == ']') inClass = false;
        if (ch == '/' && !inClass) {
            token.closed = true;
            ++i;
            while (i < text.size() && is_identifier_part(static_cast<unsigned char>(text[i]))) ++i;
            break;
        }
        ++i;
    }
    token.end = std::min(i, text.size());
    token.value.assign(text.substr(at, token.end - at));
    return token;
}

Token read_number(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size()) {
        const auto ch = static_cast<unsigned char>(text[i]);
        const bool exponentSign =
            (ch == '+' || ch == '-') && i > at && (text[i - 1] == 'e' || text[i - 1] == 'E') &&
            !text.substr(at).starts_with("0x") && !text.substr(at).starts_with("0X");
        if (!is_identifier_part(ch) && ch != '.' && !exponentSign) break;
        ++i;
    }
    return {TokenKind::Number, at, i, std::string(text.substr(at, i - at))};
}

Token read_identifier(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && is_identifier_part(static_cast<unsigned char>(text[i]))) ++i;
    return {TokenKind::Identifier, at, i, std::string(text.substr(at, i - at))};
}

// After these words a value starts, so a '/' opens a regular expression.
bool keyword_before_value(std::string_view word) {
    constexpr std::array<std::string_view, 12> kWords{"return", "typeof", "instanceof", "in",
                                                      "of",     "new",    "delete",     "void",
                                                      "throw",  "case",   "do",         "else"};
    for (const std::string_view keyword : kWords)
        if (word == keyword) return true;
    return false;
}

bool value_ends_with(const std::vector<Token>& tokens) {
    if (tokens.empty()) return false;
    const Token& last = tokens.back();
    switch (last.kind) {
        case TokenKind::Identifier:
            return !keyword_before_value(last.value);
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Regex:
        case TokenKind::Template:
            return true;
        case TokenKind::Punctuator:
            return last.value == ")" || last.value == "]";
    }
    return false;
}

// Where the comment starting at `at` ends.
std::size_t comment_end(std::string_view text, std::size_t at) {
    if (text[at + 1] == '/') {
        const std::size_t end = text.find_first_of("\r\n", at);
        return end == std::string_view::npos ? text.size() : end;
    }
    const std::size_t end = text.find("*/", at + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
}

}  // namespace

std::vector<Token> tokenize_expression(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto ch = static_cast<unsigned char>(text[i]);
        if (is_space(ch)) {
            ++i;
        } else if (const std::size_t wide = wide_space_at(text, i)) {
            i += wide;
        } else if (ch == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
            i = comment_end(text, i);
        } else {
            Token token;
            if (ch == '"' || ch == '\'') {
                token = read_string(text, i);
            } else if (ch == '`') {
                token = read_template(text, i);
            } else if (ch == '/' && !value_ends_with(tokens)) {
                token = read_regex(text, i);
            } else if (is_digit(ch) ||
                       (ch == '.' && i + 1 < text.size() && is_digit(text[i + 1]))) {
                token = read_number(text, i);
            } else if (is_identifier_start(ch)) {
                token = read_identifier(text, i);
            } else {
                token = {TokenKind::Punctuator, i, i + 1, std::string(1, static_cast<char>(ch))};
            }
            i = token.end;
            tokens.push_back(std::move(token));
        }
    }
    return tokens;
}

}  // namespace outfold
