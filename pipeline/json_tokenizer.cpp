#include "pipeline/json_tokenizer.h"

#include <climits>

#include "shell/text.h"

namespace outfold {
namespace {

JsonToken* take_token(JsonParser* parser, JsonToken* tokens, unsigned capacity) {
    if (parser->nextToken >= capacity) return nullptr;
    JsonToken* token = &tokens[parser->nextToken++];
    token->start = -1;
    token->end = -1;
    token->size = 0;
    return token;
}

bool is_open(const JsonToken& token) { return token.start != -1 && token.end == -1; }

bool is_container(const JsonToken& token) {
    return token.type == kJsonObject || token.type == kJsonArray;
}

bool is_hex_digit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool at_text(const JsonParser* parser, const char* text, std::size_t length) {
    return parser->pos < length && text[parser->pos] != '\0';
}

// Consumes the escape whose backslash sits at pos; leaves pos on its last
// byte. Returns 0 or kInvalidCharacter.
int scan_escape(JsonParser* parser, const char* text, std::size_t length) {
    parser->pos++;
    switch (text[parser->pos]) {
        case '"':
        case '/':
        case '\\':
        case 'b':
        case 'f':
        case 'r':
        case 'n':
        case 't':
            return 0;
        case 'u':
            parser->pos++;
            for (int digit = 0; digit < 4 && at_text(parser, text, length); ++digit) {
                if (!is_hex_digit(static_cast<unsigned char>(text[parser->pos]))) {
                    return kInvalidCharacter;
                }
                parser->pos++;
            }
            parser->pos--;
            return 0;
        default:
            return kInvalidCharacter;
    }
}

// pos is on the opening quote; on success it is left on the closing quote.
int scan_string(JsonParser* parser, const char* text, std::size_t length, JsonToken* tokens,
                unsigned capacity) {
    const std::uint32_t begin = parser->pos;
    for (parser->pos++; at_text(parser, text, length); parser->pos++) {
        const char c = text[parser->pos];
        if (c == '"') {
            JsonToken* token = take_token(parser, tokens, capacity);
            if (token == nullptr) {
                parser->pos = begin;
                return kTokensExhausted;
            }
            *token = {kJsonString, std::int32_t(begin + 1), std::int32_t(parser->pos), 0};
            return 0;
        }
        if (c == '\\' && parser->pos + 1 < length) {
            if (scan_escape(parser, text, length) != 0) {
                parser->pos = begin;
                return kInvalidCharacter;
            }
        }
    }
    parser->pos = begin;
    return kIncompleteInput;
}

bool ends_primitive(char c) {
    switch (c) {
        case '\t':
        case '\r':
        case '\n':
        case ' ':
        case ',':
        case ':':
        case ']':
        case '}':
            return true;
        default:
            return false;
    }
}

// pos is on the first byte; on success it is left on the primitive's last
// byte so that the main loop's advance lands on the byte that ended it.
int scan_primitive(JsonParser* parser, const char* text, std::size_t length, JsonToken* tokens,
                   unsigned capacity) {
    const std::uint32_t begin = parser->pos;
    for (; at_text(parser, text, length); parser->pos++) {
        const auto c = static_cast<unsigned char>(text[parser->pos]);
        if (ends_primitive(char(c))) break;
        if (c < 32 || c > 126) {
            parser->pos = begin;
            return kInvalidCharacter;
        }
    }
    JsonToken* token = take_token(parser, tokens, capacity);
    if (token == nullptr) {
        parser->pos = begin;
        return kTokensExhausted;
    }
    *token = {kJsonPrimitive, std::int32_t(begin), std::int32_t(parser->pos), 0};
    parser->pos--;
    return 0;
}

int open_container(JsonParser* parser, char c, JsonToken* tokens, unsigned capacity) {
    JsonToken* token = take_token(parser, tokens, capacity);
    if (token == nullptr) return kTokensExhausted;
    if (parser->superToken != -1) tokens[parser->superToken].size++;
    token->type = c == '{' ? kJsonObject : kJsonArray;
    token->start = std::int32_t(parser->pos);
    parser->superToken = std::int32_t(parser->nextToken) - 1;
    return 0;
}

int close_container(JsonParser* parser, char c, JsonToken* tokens) {
    const std::int32_t wanted = c == '}' ? kJsonObject : kJsonArray;
    std::int32_t i = std::int32_t(parser->nextToken) - 1;
    for (; i >= 0; --i) {
        if (!is_open(tokens[i])) continue;
        if (tokens[i].type != wanted) return kInvalidCharacter;
        tokens[i].end = std::int32_t(parser->pos) + 1;
        parser->superToken = -1;
        break;
    }
    if (i < 0) return kInvalidCharacter;
    for (; i >= 0; --i) {
        if (is_open(tokens[i])) {
            parser->superToken = i;
            break;
        }
    }
    return 0;
}

// After a comma inside a key's value, new tokens belong to the enclosing
// container again.
void return_to_container(JsonParser* parser, JsonToken* tokens) {
    if (parser->superToken == -1 || is_container(tokens[parser->superToken])) return;
    for (std::int32_t i = std::int32_t(parser->nextToken) - 1; i >= 0; --i) {
        if (is_container(tokens[i]) && is_open(tokens[i])) {
            parser->superToken = i;
            return;
        }
    }
}

void count_child(JsonParser* parser, JsonToken* tokens) {
    if (parser->superToken != -1) tokens[parser->superToken].size++;
}

}  // namespace

int json_tokenize(JsonParser* parser, const char* text, std::size_t length, JsonToken* tokens,
                  unsigned capacity) {
    if (length > std::size_t(INT_MAX)) return kInvalidCharacter;
    int count = 0;
    for (; at_text(parser, text, length); parser->pos++) {
        const char c = text[parser->pos];
        int result = 0;
        switch (c) {
            case '{':
            case '[':
                count++;
                result = open_container(parser, c, tokens, capacity);
                break;
            case '}':
            case ']':
                result = close_container(parser, c, tokens);
                break;
            case '"':
                result = scan_string(parser, text, length, tokens, capacity);
                if (result == 0) {
                    count++;
                    count_child(parser, tokens);
                }
                break;
            case '\t':
            case '\r':
            case '\n':
            case ' ':
                break;
            case ':':
                parser->superToken = std::int32_t(parser->nextToken) - 1;
                break;
            case ',':
                return_to_container(parser, tokens);
                break;
            default:
                result = scan_primitive(parser, text, length, tokens, capacity);
                if (result == 0) {
                    count++;
                    count_child(parser, tokens);
                }
                break;
        }
        if (result < 0) return result;
    }
    for (std::int32_t i = std::int32_t(parser->nextToken) - 1; i >= 0; --i) {
        if (is_open(tokens[i])) return kIncompleteInput;
    }
    return count;
}

namespace {

unsigned hex_value(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    return unsigned(c - 'A' + 10);
}

// Reads \uXXXX at raw[at]; false when the escape is not complete there.
bool read_unicode_escape(std::string_view raw, std::size_t at, char32_t& unit) {
    if (at + 6 > raw.size() || raw[at] != '\\' || raw[at + 1] != 'u') return false;
    unit = 0;
    for (std::size_t k = at + 2; k < at + 6; ++k) {
        if (!is_hex_digit(static_cast<unsigned char>(raw[k]))) return false;
        unit = (unit << 4) | hex_value(raw[k]);
    }
    return true;
}

char short_escape(char c) {
    switch (c) {
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return c;  // '"', '\\', '/'
    }
}

// Decodes the \u escape at raw[at] (and its low surrogate partner, if any);
// returns the number of bytes consumed.
std::size_t decode_unicode_escape(std::string_view raw, std::size_t at, std::string& out) {
    char32_t unit = 0;
    if (!read_unicode_escape(raw, at, unit)) {
        out.push_back(raw[at]);  // not an escape the tokenizer accepts: keep the byte
        return 1;
    }
    char32_t low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && read_unicode_escape(raw, at + 6, low) &&
        low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        return 12;
    }
    append_utf8(out, unit == 0 ? kReplacementCharacter : unit);  // lone surrogates too
    return 6;
}

}  // namespace

std::string json_unescape(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] != '\\' || i + 1 >= raw.size()) {
            out.push_back(raw[i++]);
        } else if (raw[i + 1] == 'u') {
            i += decode_unicode_escape(raw, i, out);
        } else {
            out.push_back(short_escape(raw[i + 1]));
            i += 2;
        }
    }
    return out;
}

}  // namespace outfold
