// Tables and text handling: UTF-8/UTF-16 conversion, the dialog answer's tokenizer,
// the string and script tables, and the property-list bytes.
#include "shell/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "pipeline/embedded_scripts.h"
#include "pipeline/json_tokenizer.h"
#include "plugin/allocation_counter.h"
#include "shell/string_table.h"
#include "windows/expected_module.h"

namespace outfold::testing {

// UTF-8 <-> UTF-16 conversion: well-formed text, every kind of ill-formed
// sequence, and independence from the C locale.
namespace text {
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
    // A view cut inside a sequence ends there, whatever bytes follow it.
    std::u16string out;
    EXPECT_FALSE(utf8_to_utf16(std::string_view("\xc3\xa9", 1), out));
    EXPECT_EQ(out, std::u16string{kFFFD});
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
}  // namespace text

// The dialog answer's tokenizer, over well-formed, odd and broken texts.
namespace tokenizer {
struct Tokenized {
    int result;
    std::vector<JsonToken> tokens;
    JsonParser parser;
};

Tokenized tokenize(const std::string& text, unsigned capacity = kMaxTokens) {
    Tokenized out{};
    std::vector<JsonToken> tokens(capacity + 1, JsonToken{99, 99, 99, 99});
    out.result = json_tokenize(&out.parser, text.data(), text.size(), tokens.data(), capacity);
    EXPECT_EQ(tokens[capacity].type, 99) << "wrote past the capacity";
    if (out.result > 0) tokens.resize(out.parser.nextToken);
    out.tokens = tokens;
    return out;
}

// A token's bytes as they stand in the text.
std::string token_text(const std::string& text, const JsonToken& token) {
    return text.substr(std::size_t(token.start), std::size_t(token.end - token.start));
}

// The tokens of a text, each as its kind (a)rray, (o)bject, (s)tring or
// (p)rimitive, its count of direct children and its bytes in the text.
std::string tokens_of(const std::string& text) {
    const Tokenized run = tokenize(text);
    if (run.result <= 0) return "result " + std::to_string(run.result);
    EXPECT_EQ(std::size_t(run.result), run.parser.nextToken);
    std::string out;
    for (const JsonToken& token : run.tokens) {
        const char kinds[] = {'?', 'o', 'a', 's', 'p'};
        out += (out.empty() ? "" : " ") + std::string(1, kinds[token.type & 7]) +
               std::to_string(token.size) + "'" + token_text(text, token) + "'";
    }
    return out;
}

// Whitespace between elements changes nothing; keys hold their value; a
// primitive at the very end is still a token; bare words are primitives in
// this non-strict tokenizer.
TEST(JsonTokenizer, WellFormedTexts) {
    const std::pair<std::string, std::string> cases[] = {
        {R"([true,false,"",1])", R"(a4'[true,false,"",1]' p0'true' p0'false' s0'' p0'1')"},
        {"[ true,\r\n\tfalse ,\n \"ab c\" ]\n",
         "a3'[ true,\r\n\tfalse ,\n \"ab c\" ]' p0'true' p0'false' s0'ab c'"},
        {R"({"a":[1,2],"b":{"c":"d"},"e":null})",
         R"(o3'{"a":[1,2],"b":{"c":"d"},"e":null}' s1'a' a2'[1,2]' p0'1' p0'2' s1'b' o1'{"c":"d"}' s1'c' s0'd' s1'e' p0'null')"},
        {"[[true],false]", "a2'[[true],false]' a1'[true]' p0'true' p0'false'"},
        // After a key's value the parent is the open object, not the closed array before it.
        {R"({"a":[1],"b":2,"c":3})",
         R"(o3'{"a":[1],"b":2,"c":3}' s1'a' a1'[1]' p0'1' s1'b' p0'2' s1'c' p0'3')"},
        {"[{},false]", "a2'[{},false]' o0'{}' p0'false'"},
        {"true", "p0'true'"},
        {"[1] 23", "a1'[1]' p0'1' p0'23'"},
        {"[tx,-1.5e3]", "a2'[tx,-1.5e3]' p0'tx' p0'-1.5e3'"},
        {"", "result 0"},
        {" \r\n\t", "result 0"},
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(tokens_of(text), tokens);
    // A string's start is the byte after its opening quote, its end the closing quote.
    const Tokenized run = tokenize(R"([true,false,false,"",false,true])");
    EXPECT_EQ(run.tokens[4].start, 19);
    EXPECT_EQ(run.tokens[4].end, 19);
}

// Where the tokenizer stops: a NUL byte ends the text; a failed string scan
// leaves the position at the string's opening quote.
TEST(JsonTokenizer, WhereTheScanStops) {
    const std::tuple<std::string, int, std::size_t> cases[] = {
        {std::string("[1]\0[", 5), 2, 3},
        {R"([1,"ab\q"])", kInvalidCharacter, 3},
    };
    for (const auto& [text, result, pos] : cases) {
        const Tokenized run = tokenize(text);
        EXPECT_EQ(run.result, result) << text;
        EXPECT_EQ(run.parser.pos, pos) << text;
    }
}

TEST(JsonTokenizer, BrokenTextsGiveTheirErrorCodes) {
    const std::pair<std::string, int> cases[] = {
        {R"([true,false,false,"",false,true)", kIncompleteInput},  // unclosed array
        {R"([{"a":1})", kIncompleteInput},
        {R"(["abc)", kIncompleteInput},  // unterminated string
        {"[\"ab\\", kIncompleteInput},   // a final backslash is an ordinary byte
        {"[\"\\u12", kIncompleteInput},  // \u cut short by the end of the text
        {"]", kInvalidCharacter},        // nothing to close
        {"[}", kInvalidCharacter},       // wrong closing bracket
        {"{]", kInvalidCharacter},
        {"[1,\x01]", kInvalidCharacter},       // control byte in a primitive
        {"[tru\x7f]", kInvalidCharacter},      // DEL in a primitive
        {"[\xc3\xa9]", kInvalidCharacter},     // non-ASCII in a primitive
        {R"(["\x"])", kInvalidCharacter},      // unknown escape
        {R"(["\u123"])", kInvalidCharacter},   // \u needs four hex digits
        {R"(["\u12G4"])", kInvalidCharacter},  // \u with a non-hex digit
        {R"(["\u-123"])", kInvalidCharacter},
        {R"(["\'"])", kInvalidCharacter},
    };
    for (const auto& [text, result] : cases) EXPECT_EQ(tokenize(text).result, result) << text;
}

TEST(JsonTokenizer, AcceptedEscapesAndBytesAboveAscii) {
    const std::vector<std::string> texts = {R"(["a\"b"])",
                                            R"(["a\\b"])",
                                            R"(["\/\b\f\n\r\t"])",
                                            R"(["\u00e9\uD83D\uDE00"])",
                                            "[\"\xc3\xa9\xf0\x9f\x98\x80\"]",
                                            "[\"tab\there\"]"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const Tokenized run = tokenize(text);
        ASSERT_EQ(run.result, 2);
        EXPECT_EQ(run.tokens[1].type, kJsonString);
        EXPECT_EQ(run.tokens[1].start, 2);
        EXPECT_EQ(run.tokens[1].end, std::int32_t(text.size()) - 2);
    }
}

std::string array_of(int elements) {
    std::string text = "[";
    for (int i = 0; i < elements; ++i) text += i == 0 ? "0" : ",0";
    return text + "]";
}

TEST(JsonTokenizer, TokenArrayExhaustion) {
    EXPECT_EQ(tokenize(array_of(127)).result, 128);  // exactly fills 128 tokens
    EXPECT_EQ(tokenize(array_of(128)).result, kTokensExhausted);
    EXPECT_EQ(tokenize(R"(["a","b"])", 2).result, kTokensExhausted);  // string cannot be taken
    EXPECT_EQ(tokenize("[[", 1).result, kTokensExhausted);
    EXPECT_EQ(tokenize("[]", 0).result, kTokensExhausted);
    EXPECT_EQ(tokenize("[]", 1).result, 1);
}

TEST(JsonTokenizer, AllocatesNothing) {
    const std::string text = R"({"a":[true,"x\u00e9",{"b":null}],"c":"d"})" + array_of(40);
    JsonToken tokens[kMaxTokens];
    JsonParser parser;
    int result = 0;
    int allocations = -1;
    {
        AllocationCounter counter;
        result = json_tokenize(&parser, text.data(), text.size(), tokens, kMaxTokens);
        allocations = counter.count();
    }
    EXPECT_GT(result, 0);
    EXPECT_EQ(allocations, 0);
    // The counter itself works: an allocation is seen.
    {
        AllocationCounter counter;
        void* volatile seen = ::operator new(16);
        ::operator delete(seen);
        EXPECT_EQ(counter.count(), 1);
    }
}

TEST(JsonUnescape, DecodesEscapesIntoUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {R"(a\"b)", "a\"b"},
        {R"(a\\b)", "a\\b"},
        {R"(\/)", "/"},
        {R"(\b\f\n\r\t)", "\b\f\n\r\t"},
        {R"(\u0041)", "A"},
        {R"(\u0039\u00Ff)", "9\xc3\xbf"},  // the last digit and letters of both cases
        {R"(\u00e9\u00E9)", "\xc3\xa9\xc3\xa9"},
        {R"(\u20ac)", "\xe2\x82\xac"},
        {R"(\ud83d\ude00)", "\xf0\x9f\x98\x80"},  // surrogate pair
        {R"(\ud800\udc00)", "\xf0\x90\x80\x80"},  // the first and the last pair
        {R"(\udbff\udfff)", "\xf4\x8f\xbf\xbf"},
        {R"(\uD83D\uDE00x)", "\xf0\x9f\x98\x80x"},
        {R"(\ud800)", "\xef\xbf\xbd"},  // lone high surrogate
        {R"(\ud800x)", "\xef\xbf\xbdx"},
        {R"(\ude00)", "\xef\xbf\xbd"},  // lone low surrogate
        {R"(\ud83d\u0041)",
         "\xef\xbf\xbd"
         "A"},  // high surrogate without its partner
        {R"(\ud83d\ud83d\ude00)", "\xef\xbf\xbd\xf0\x9f\x98\x80"},
        {R"(a\u0000b)",
         "a\xef\xbf\xbd"
         "b"},                     // an escaped NUL cannot cut the text
        {"\xc3\xa9", "\xc3\xa9"},  // raw UTF-8 passes through
        {"x\\", "x\\"},            // a final backslash stays
    };
    for (const auto& [raw, decoded] : cases) {
        EXPECT_EQ(json_unescape(raw), decoded) << raw;
        EXPECT_LE(decoded.size(), raw.size());
    }
}
}  // namespace tokenizer

// The string table and the embedded script table.
namespace string_table {
TEST(StringTable, EachRecordCarriesItsIndexAndText) {
    const std::vector<std::string> texts = {
        "",
        "Outfold",
        "Outfold | Select a pre-comp layer",
        "Outfold Selection",
        "Outfold: Problems encountered during outfold.",
    };
    ASSERT_EQ(texts.size(), std::size_t(kStringCount));
    for (A_u_long id = 0; id < kStringCount; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(kStringTable[id].id, id);
        EXPECT_EQ(std::string(get_string(id)), texts[id]);
        EXPECT_EQ(get_string(id), kStringTable[id].text);
    }
}

TEST(StringTable, RecordLayoutIsAnIdAndA256ByteText) {
    EXPECT_EQ(sizeof(StringEntry), 4u + 256u);
    EXPECT_EQ(offsetof(StringEntry, text), 4u);
    EXPECT_EQ(sizeof(StringEntry::text), 256u);
}

std::vector<const EmbeddedScript*> table_records() {
    std::vector<const EmbeddedScript*> records;
    for (const EmbeddedScript* s = kEmbeddedScripts; s->name != nullptr; ++s) records.push_back(s);
    return records;
}

TEST(EmbeddedScripts, TableHoldsTheTwoScriptsInOrderWithTheirRealLengths) {
    const auto records = table_records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0]->name, "mainPanel.jsx");
    EXPECT_STREQ(records[1]->name, "prefixTooLong.jsx");
    for (const EmbeddedScript* s : records) {
        SCOPED_TRACE(s->name);
        EXPECT_EQ(s->length, std::strlen(s->text));
        EXPECT_GT(s->length, 0u);
    }
    EXPECT_EQ(records[1]->length, 100u);
    const EmbeddedScript& end = kEmbeddedScripts[records.size()];
    EXPECT_EQ(end.name, nullptr);
}

TEST(EmbeddedScripts, FindScriptMatchesNamesByteForByte) {
    const auto records = table_records();
    EXPECT_EQ(find_script("mainPanel.jsx"), records[0]->text);
    EXPECT_EQ(find_script("prefixTooLong.jsx"), records[1]->text);
    for (const char* absent : {"", "mainpanel.jsx", "mainPanel.jsx ", "mainPanel", "MAINPANEL.JSX",
                               "prefixTooLong.js", "other.jsx"}) {
        SCOPED_TRACE(absent);
        EXPECT_EQ(find_script(absent), nullptr);
    }
}

TEST(EmbeddedScripts, DialogScriptStartsWithByteOrderMarkAndEndsEveryLineWithCrLf) {
    const std::string text = find_script("mainPanel.jsx");
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xef\xbb\xbf");
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lines;
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "line " << lines << " lacks CR";
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n')
                << "stray CR after line " << lines;
        }
    }
    EXPECT_GT(lines, 100u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // The value the host hands back is the script's last expression.
    EXPECT_EQ(text.substr(text.size() - 9), "result;\r\n");
}
}  // namespace string_table

// The property-list bytes the module's resource carries, checked against the
// layout written out field by field.
namespace pipl {
TEST(PropertyList, BytesFollowTheLayout) {
    std::ifstream file(OUTFOLD_PIPL_BIN_PATH, std::ios::binary);
    ASSERT_TRUE(file) << OUTFOLD_PIPL_BIN_PATH;
    const std::vector<std::uint8_t> actual{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    const std::vector<std::uint8_t> expected = expected::pipl_bytes();
    ASSERT_EQ(expected.size(), 138u);
    EXPECT_EQ(actual, expected);
}
}  // namespace pipl

}  // namespace outfold::testing
