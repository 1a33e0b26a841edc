// Text conversions at the host's interface: names cross it as UTF-8 (8-bit
// buffers), UTF-16 (wide names) or the platform's 8-bit encoding (treated as
// Latin-1). Conversions never fail: a broken sequence becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace host::text {

// Appends one code point as UTF-8 (the caller passes a valid one).
void append_utf8(std::string& out, char32_t c);
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);
std::string latin1_to_utf8(std::string_view latin1);
// The longest prefix of at most maxBytes bytes that does not cut a character.
std::string_view utf8_prefix(std::string_view utf8, std::size_t maxBytes);
// Length of a NUL-terminated UTF-16 text, reading at most limit units;
// returns limit + 1 when no terminator was found within them.
std::size_t utf16_length(const char16_t* text, std::size_t limit);

}  // namespace host::text
