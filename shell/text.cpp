#include "shell/text.h"

#include <cstdint>

namespace outfold {
namespace {

struct Decoded {
    char32_t codePoint;
    std::size_t length;  // bytes consumed
    bool valid;
};

// The well-formed UTF-8 byte ranges: the lead byte fixes the number of
// continuation bytes and the range allowed for the first of them, which is
// what rules out overlong forms, surrogates and values above U+10FFFF.
struct LeadRule {
    int continuations;
    std::uint8_t firstLow;
    std::uint8_t firstHigh;
    char32_t leadBits;
};

bool lead_rule(std::uint8_t lead, LeadRule& rule) {
    if (lead >= 0xC2 && lead <= 0xDF)
        rule = {1, 0x80, 0xBF, char32_t(lead & 0x1F)};
    else if (lead == 0xE0)
        rule = {2, 0xA0, 0xBF, char32_t(lead & 0x0F)};
    else if (lead == 0xED)
        rule = {2, 0x80, 0x9F, char32_t(lead & 0x0F)};
    else if (lead >= 0xE1 && lead <= 0xEF)
        rule = {2, 0x80, 0xBF, char32_t(lead & 0x0F)};
    else if (lead == 0xF0)
        rule = {3, 0x90, 0xBF, char32_t(lead & 0x07)};
    else if (lead >= 0xF1 && lead <= 0xF3)
        rule = {3, 0x80, 0xBF, char32_t(lead & 0x07)};
    else if (lead == 0xF4)
        rule = {3, 0x80, 0x8F, char32_t(lead & 0x07)};
    else
        return false;
    return true;
}

// Decodes the sequence at the start of text. An ill-formed sequence consumes
// its maximal well-formed prefix (at least one byte), so decoding resumes at
// the first byte that broke it.
Decoded decode_utf8(std::string_view text) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    if (lead < 0x80) return {lead, 1, true};
    LeadRule rule{};
    if (!lead_rule(lead, rule)) return {kReplacementCharacter, 1, false};
    char32_t codePoint = rule.leadBits;
    std::size_t used = 1;
    for (int k = 0; k < rule.continuations; ++k, ++used) {
        if (used >= text.size()) return {kReplacementCharacter, used, false};
        const auto byte = static_cast<std::uint8_t>(text[used]);
        const std::uint8_t low = k == 0 ? rule.firstLow : 0x80;
        const std::uint8_t high = k == 0 ? rule.firstHigh : 0xBF;
        if (byte < low || byte > high) return {kReplacementCharacter, used, false};
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    return {codePoint, used, true};
}

void append_utf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    const char32_t offset = codePoint - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void append_utf8(std::string& out, char32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool utf8_to_utf16(std::string_view utf8, std::u16string& utf16) {
    utf16.clear();
    bool clean = true;
    while (!utf8.empty()) {
        const Decoded decoded = decode_utf8(utf8);
        clean = clean && decoded.valid;
        append_utf16(utf16, decoded.codePoint);
        utf8.remove_prefix(decoded.length);
    }
    return clean;
}

bool utf16_to_utf8(std::u16string_view utf16, std::string& utf8) {
    utf8.clear();
    bool clean = true;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        if (is_high_surrogate(unit) && i + 1 < utf16.size() && is_low_surrogate(utf16[i + 1])) {
            append_utf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            clean = false;
            append_utf8(utf8, kReplacementCharacter);
        } else {
            append_utf8(utf8, unit);
        }
    }
    return clean;
}

std::u16string to_utf16(std::string_view utf8) {
    std::u16string utf16;
    utf8_to_utf16(utf8, utf16);
    return utf16;
}

std::string to_utf8(std::u16string_view utf16) {
    std::string utf8;
    utf16_to_utf8(utf16, utf8);
    return utf8;
}

}  // namespace outfold
