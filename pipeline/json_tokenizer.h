// A small non-strict JSON tokenizer for the options dialog's answer. It
// allocates nothing: it records byte offsets into the caller's text in a
// token array the caller provides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace outfold {

enum JsonType : std::int32_t {
    kJsonObject = 1,
    kJsonArray = 2,
    kJsonString = 3,
    kJsonPrimitive = 4,  // number, true, false, null or any other bare word
};

struct JsonToken {
    std::int32_t type;
    std::int32_t start;  // first byte; for a string, the byte after the opening quote
    std::int32_t end;    // one past the last byte; for a string, the closing quote
    std::int32_t size;   // direct children
};

struct JsonParser {
    std::uint32_t pos = 0;         // byte being examined
    std::uint32_t nextToken = 0;   // next free token
    std::int32_t superToken = -1;  // token new tokens belong to; -1 for none
};

inline constexpr int kTokensExhausted = -1;
inline constexpr int kInvalidCharacter = -2;
inline constexpr int kIncompleteInput = -3;

inline constexpr unsigned kMaxTokens = 128;

// Splits text[0, length) into tokens; stops early at a NUL byte. Returns the
// number of tokens or one of the negative codes above. The parser must be
// fresh. Texts longer than a token offset can express are rejected with
// kInvalidCharacter.
int json_tokenize(JsonParser* parser, const char* text, std::size_t length, JsonToken* tokens,
                  unsigned capacity);

// Decodes the raw bytes of a string token (between its quotes) into UTF-8:
// the short escapes, and \uXXXX with surrogate pairs joined. A lone surrogate
// and an escaped NUL become U+FFFD (a NUL would silently cut the text short
// wherever it is used as a C string). The result is never longer than raw.
std::string json_unescape(std::string_view raw);

}  // namespace outfold
