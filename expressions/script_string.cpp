#include "expressions/script_string.h"

#include <cstdio>

namespace outfold {

namespace {

// U+2028 and U+2029 end a line inside a script literal; their UTF-8 forms
// share this lead.
constexpr std::string_view kLineSeparatorLead = "\xE2\x80";

std::string unicode_escape(unsigned codePoint) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", codePoint);
    return buffer;
}

// The escape for one byte, or empty when the byte stands for itself.
std::string escape_byte(unsigned char byte) {
    switch (byte) {
        case '"':
            return "\\\"";
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

std::string script_string_literal(std::string_view utf8) {
    std::string literal = "\"";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const std::string_view rest = utf8.substr(i);
        if (rest.size() >= 3 && rest.substr(0, 2) == kLineSeparatorLead &&
            (rest[2] == '\xA8' || rest[2] == '\xA9')) {
            literal += unicode_escape(rest[2] == '\xA8' ? 0x2028 : 0x2029);
            i += 2;
            continue;
        }
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const std::string escaped = escape_byte(byte);
        if (escaped.empty()) {
            literal += static_cast<char>(byte);
        } else {
            literal += escaped;
        }
    }
    literal += '"';
    return literal;
}

}  // namespace outfold
