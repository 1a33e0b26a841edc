// Text conversions between the host's 8-bit UTF-8 text and its wide UTF-16
// text. Both directions are strict and independent of the C locale: every
// ill-formed sequence becomes U+FFFD and is reported, nothing is dropped
// silently.
#pragma once

#include <string>
#include <string_view>

namespace outfold {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Appends the UTF-8 form of one code point. Surrogates and values above
// U+10FFFF are written as U+FFFD.
void append_utf8(std::string& out, char32_t codePoint);

// Converts UTF-8 to UTF-16. Overlong forms, encoded surrogates, values above
// U+10FFFF, stray continuation bytes and truncated sequences each become one
// U+FFFD per maximal ill-formed part. Returns false when any was found.
bool utf8_to_utf16(std::string_view utf8, std::u16string& utf16);

// Converts UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. Returns false
// when any was found.
bool utf16_to_utf8(std::u16string_view utf16, std::string& utf8);

// Convenience forms for callers that accept the replacements.
std::u16string to_utf16(std::string_view utf8);
std::string to_utf8(std::u16string_view utf16);

}  // namespace outfold
