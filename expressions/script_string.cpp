#include "expressions/script_string.h"

#include <cstdio>

namespace outfold {

namespace {

// U+2028 and U+2029 end a line inside a script literal; their UTF-8 forms
// share this lead.
constexpr std::string_view kLineSeparatorLead = "\xE2\x80";

// U+2028 or U+2029 when the text starts with one of them, else 0.
unsigned line_separator_at(std::string_view text) {
    if (text.size() < 3 || text.substr(0, 2) != kLineSeparatorLead) return 0;
    if (text[2] == '\xA8') return 0x2028;
    if (text[2] == '\xA9') return 0x2029;
    return 0;
}

std::string unicode_escape(unsigned codePoint) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", codePoint);
    return buffer;
}

// The escape for one byte, or empty when the byte stands for itself.
std::string escape_byte(unsigned char byte, char quote) {
    if (byte == static_cast<unsigned char>(quote)) return std::string("\\") + quote;
    switch (byte) {
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            break;
    }
    if (byte < 0x20 || byte == 0x7F) return unicode_escape(byte);
    return {};
}

}  // namespace

std::string script_string_literal(std::string_view utf8, char quote) {
    std::string literal(1, quote);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (const unsigned separator = line_separator_at(utf8.substr(i))) {
            literal += unicode_escape(separator);
            i += kLineSeparatorLead.size();
            continue;
        }
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const std::string escaped = escape_byte(byte, quote);
        literal += escaped.empty() ? std::string(1, static_cast<char>(byte)) : escaped;
    }
    literal += quote;
    return literal;
}

}  // namespace outfold
