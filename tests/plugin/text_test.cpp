// UTF-8 <-> UTF-16 conversion: well-formed text, every kind of ill-formed
// sequence, and independence from the C locale.
#include "shell/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace outfold {
namespace {

constexpr char16_t kFFFD = u'\uFFFD';

struct Utf8Case {
    std::string utf8;
    std::u16string utf16;
    bool clean;
};

TEST(Utf8ToUtf16, ConvertsWellFormedAndReplacesIllFormedSequences) {
    const std::vector<Utf8Case> cases = {
        {"", u"", true},
        {"Layer 1", u"Layer 1", true},
        {"\xc3\xa9t\xc3\xa9", u"\u00e9t\u00e9", true},
        {"\xe2\x82\xac", u"\u20ac", true},
        {"\xef\xbf\xbd", u"\uFFFD", true},  // a real U+FFFD is well-formed
        {"\xf0\x9f\x98\x80", u"\U0001F600", true},
        {"\xf4\x8f\xbf\xbf", u"\U0010FFFF", true},
        {"\x80", {kFFFD}, false},  // stray continuation byte
        {"a\xbf"
         "b",
         {u'a', kFFFD, u'b'},
         false},
        {"\xc0\x80", {kFFFD, kFFFD}, false},  // overlong NUL
        {"\xc1\xbf", {kFFFD, kFFFD}, false},
        {"\xe0\x80\xaf", {kFFFD, kFFFD, kFFFD}, false},  // overlong three-byte form
        {"\xed\xa0\x80", {kFFFD, kFFFD, kFFFD}, false},  // encoded surrogate
        {"\xf0\x80\x80\xaf", {kFFFD, kFFFD, kFFFD, kFFFD}, false},
        {"\xf4\x90\x80\x80", {kFFFD, kFFFD, kFFFD, kFFFD}, false},  // above U+10FFFF
        {"\xf5\x80", {kFFFD, kFFFD}, false},
        {"\xff", {kFFFD}, false},
        {"\xe2\x82", {kFFFD}, false},  // truncated at the end
        {"\xe2\x82"
         "A",
         {kFFFD, u'A'},
         false},  // truncated before ASCII
        {"\xf0\x9f\x98", {kFFFD}, false},
        {"\xf0\x9f\x98\xf0\x9f\x98\x80", {kFFFD, 0xD83D, 0xDE00}, false},
    };
    for (const Utf8Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.utf8));
        std::u16string out = u"old";
        EXPECT_EQ(utf8_to_utf16(c.utf8, out), c.clean);
        EXPECT_EQ(out, c.utf16);
        EXPECT_EQ(to_utf16(c.utf8), c.utf16);
    }
}

struct Utf16Case {
    std::u16string utf16;
    std::string utf8;
    bool clean;
};

TEST(Utf16ToUtf8, ConvertsPairsAndReplacesLoneSurrogates) {
    const std::vector<Utf16Case> cases = {
        {u"", "", true},
        {u"abc", "abc", true},
        {u"\u00e9\u20ac", "\xc3\xa9\xe2\x82\xac", true},
        {u"\U0001F600", "\xf0\x9f\x98\x80", true},
        {{0xD83D}, "\xef\xbf\xbd", false},         // lone high at the end
        {{0xDE00, u'x'}, "\xef\xbf\xbdx", false},  // lone low
        {{0xD83D, u'x'}, "\xef\xbf\xbdx", false},  // high before a non-surrogate
        {{0xD83D, 0xD83D, 0xDE00}, "\xef\xbf\xbd\xf0\x9f\x98\x80", false},
    };
    for (const Utf16Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.utf8));
        std::string out = "old";
        EXPECT_EQ(utf16_to_utf8(c.utf16, out), c.clean);
        EXPECT_EQ(out, c.utf8);
        EXPECT_EQ(to_utf8(c.utf16), c.utf8);
    }
}

TEST(TextConversion, EveryScalarValueRoundTrips) {
    std::string utf8;
    for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x10000 ? 1 : 97)) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        append_utf8(utf8, c);
    }
    std::u16string utf16;
    ASSERT_TRUE(utf8_to_utf16(utf8, utf16));
    std::string back;
    ASSERT_TRUE(utf16_to_utf8(utf16, back));
    EXPECT_EQ(back, utf8);
}

TEST(TextConversion, AppendUtf8WritesReplacementForNonScalarValues) {
    std::string out;
    append_utf8(out, 0xD800);
    append_utf8(out, 0x110000);
    EXPECT_EQ(out, "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(TextConversion, IndependentOfTheCLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(to_utf16("\xc3\xa9\xf0\x9f\x98\x80"), u"\u00e9\U0001F600");
    EXPECT_EQ(to_utf8(u"\u00e9"), "\xc3\xa9");
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace outfold
