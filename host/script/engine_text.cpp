#include "script/engine_text.h"

#include <cstdint>

#include "text/codec.h"

namespace host::script {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_surrogate(char32_t cp) { return cp >= 0xD800 && cp < 0xE000; }
bool is_high_surrogate(char32_t cp) { return cp >= 0xD800 && cp < 0xDC00; }
bool is_low_surrogate(char32_t cp) { return cp >= 0xDC00 && cp < 0xE000; }

// Decodes one character at text[i], advancing i. Surrogates are accepted
// only when `surrogates` is set (they are what the engine's form is made
// of); anything broken yields U+FFFD and skips one byte.
char32_t decode(std::string_view text, std::size_t& i, bool surrogates) {
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (is_surrogate(cp) && !surrogates)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

}  // namespace

std::string to_engine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = decode(utf8, i, false);
        if (cp < 0x10000) {
            text::append_utf8(out, cp);
        } else {
            text::append_utf8(out, 0xD800 + ((cp - 0x10000) >> 10));
            text::append_utf8(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string from_engine(std::string_view engine) {
    std::string out;
    out.reserve(engine.size());
    for (std::size_t i = 0; i < engine.size();) {
        const char32_t cp = decode(engine, i, true);
        if (!is_surrogate(cp)) {
            text::append_utf8(out, cp);
            continue;
        }
        std::size_t next = i;
        const char32_t low = next < engine.size() ? decode(engine, next, true) : 0;
        if (is_high_surrogate(cp) && is_low_surrogate(low)) {
            text::append_utf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
            i = next;
        } else {
            text::append_utf8(out, kReplacement);
        }
    }
    return out;
}

}  // namespace host::script
