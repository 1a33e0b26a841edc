// UTF-8/UTF-16 conversion, the dialog answer's tokenizer, the tables and the property list.
#include "shell/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include "common/expected_module.h"
#include "pipeline/embedded_scripts.h"
#include "pipeline/json_tokenizer.h"
#include "plugin/allocation_counter.h"
#include "shell/string_table.h"

namespace outfold::testing {
namespace {
const std::string kFFFD = "\xef\xbf\xbd";  // U+FFFD in UTF-8

enum Direction { kBoth, kFrom8, kFrom16 };

// Run under the C locale: the conversions must not depend on it.
TEST(TextConversion, ConvertsWellFormedTextAndReplacesEachIllFormedSequence) {
    const std::tuple<std::string, std::u16string, Direction> cases[] = {
        {"", u"", kBoth},
        {"Layer 1", u"Layer 1", kBoth},
        {"\xc3\xa9\xe2\x82\xac", u"\u00e9\u20ac", kBoth},
        {kFFFD, u"\uFFFD", kBoth},  // a real U+FFFD is well-formed
        {"\xf4\x8f\xbf\xbf", u"\U0010FFFF", kBoth},
        {"\x80", u"\uFFFD", kFrom8},                      // stray continuation byte
        {"\xc1\xbf", u"\uFFFD\uFFFD", kFrom8},            // overlong two-byte form
        {"\xe0\x80\xaf", u"\uFFFD\uFFFD\uFFFD", kFrom8},  // overlong three-byte form
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD", kFrom8},  // encoded surrogate
        {"\xf0\x80\x80\xaf", u"\uFFFD\uFFFD\uFFFD\uFFFD", kFrom8},
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", kFrom8},  // above U+10FFFF
        {"\xf5\x80", u"\uFFFD\uFFFD", kFrom8},
        {"\xe2\x82", u"\uFFFD", kFrom8},    // truncated at the end
        {"\xe2\x82Z", u"\uFFFDZ", kFrom8},  // truncated before ASCII
        {"\xf0\x9f\x98\xf0\x9f\x98\x80", u"\uFFFD\U0001F600", kFrom8},
        {kFFFD, {0xD83D}, kFrom16},              // lone high at the end
        {kFFFD + "x", {0xDE00, u'x'}, kFrom16},  // lone low
        {kFFFD + "x", {0xD83D, u'x'}, kFrom16},  // high before a non-surrogate
        {kFFFD + "\xf0\x9f\x98\x80", {0xD83D, 0xD83D, 0xDE00}, kFrom16},
    };
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    for (const auto& [utf8, utf16, direction] : cases) {
        SCOPED_TRACE(::testing::PrintToString(utf8));
        std::u16string out16 = u"old";
        std::string out8 = "old";
        if (direction != kFrom16) {
            EXPECT_EQ(utf8_to_utf16(utf8, out16), direction == kBoth);
            EXPECT_EQ(out16, utf16);
            EXPECT_EQ(to_utf16(utf8), utf16);
        }
        if (direction != kFrom8) {
            EXPECT_EQ(utf16_to_utf8(utf16, out8), direction == kBoth);
            EXPECT_EQ(out8, utf8);
            EXPECT_EQ(to_utf8(utf16), utf8);
        }
    }
    std::setlocale(LC_ALL, locale.c_str());
    // A view cut inside a sequence or a pair ends there, whatever follows it.
    std::u16string out;
    EXPECT_FALSE(utf8_to_utf16(std::string_view("\xc3\xa9", 1), out));
    EXPECT_EQ(out, u"\uFFFD");
    std::string out8;
    EXPECT_FALSE(utf16_to_utf8(std::u16string_view(u"\U0001F600", 1), out8));
    EXPECT_EQ(out8, kFFFD);
}

TEST(TextConversion, EveryScalarValueRoundTrips) {
    std::string utf8;
    for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x10000 ? 1 : 97)) {
        if (c < 0xD800 || c > 0xDFFF) append_utf8(utf8, c);
    }
    std::u16string utf16;
    ASSERT_TRUE(utf8_to_utf16(utf8, utf16));
    std::string back;
    ASSERT_TRUE(utf16_to_utf8(utf16, back));
    EXPECT_EQ(back, utf8);
    std::string replaced;
    for (const char32_t c : {0xD800, 0xDFFF, 0x110000}) append_utf8(replaced, c);
    EXPECT_EQ(replaced, kFFFD + kFFFD + kFFFD);
}

struct Tokenized {
    int result;
    std::vector<JsonToken> tokens;
    JsonParser parser;
};

Tokenized tokenize(const std::string& text, unsigned capacity = kMaxTokens) {
    Tokenized out{};
    // Unwritten slots look like open arrays.
    std::vector<JsonToken> tokens(capacity + 1, JsonToken{kJsonArray, 0, -1, 99});
    out.result = json_tokenize(&out.parser, text.data(), text.size(), tokens.data(), capacity);
    EXPECT_EQ(tokens[capacity].size, 99) << "wrote past the capacity";
    if (out.result > 0) tokens.resize(out.parser.nextToken);
    out.tokens = tokens;
    return out;
}

// Each token as its kind, its count of direct children and its bytes; or the result.
std::string tokens_of(const std::string& text) {
    const Tokenized run = tokenize(text);
    if (run.result <= 0) return "result " + std::to_string(run.result);
    EXPECT_EQ(std::size_t(run.result), run.parser.nextToken);
    std::string out;
    for (const JsonToken& token : run.tokens) {
        out += (out.empty() ? "" : " ") + std::string(1, "?oasp"[token.type & 7]) +
               std::to_string(token.size) + "'" +
               text.substr(std::size_t(token.start), std::size_t(token.end - token.start)) + "'";
    }
    return out;
}

std::string failed(int code) { return "result " + std::to_string(code); }

TEST(JsonTokenizer, TextsAndTheirTokensOrErrorCodes) {
    const std::pair<std::string, std::string> cases[] = {
        {R"([true,false,"",1])", R"(a4'[true,false,"",1]' p0'true' p0'false' s0'' p0'1')"},
        {"[ true,\r\n\tfalse ,\n \"ab c\" ]\n",
         "a3'[ true,\r\n\tfalse ,\n \"ab c\" ]' p0'true' p0'false' s0'ab c'"},
        {R"({"a":[1,2],"b":{"c":"d"},"e":null})",
         R"(o3'{"a":[1,2],"b":{"c":"d"},"e":null}' s1'a' a2'[1,2]' p0'1' p0'2' s1'b' o1'{"c":"d"}' s1'c' s0'd' s1'e' p0'null')"},
        // After a key's value the parent is the open object, not the closed array before it.
        {R"({"a":[1],"b":2,"c":3})",
         R"(o3'{"a":[1],"b":2,"c":3}' s1'a' a1'[1]' p0'1' s1'b' p0'2' s1'c' p0'3')"},
        {"[{},false]", "a2'[{},false]' o0'{}' p0'false'"},
        {"[1] 23", "a1'[1]' p0'1' p0'23'"},
        {"[tx,-1.5e3]", "a2'[tx,-1.5e3]' p0'tx' p0'-1.5e3'"},
        {"[ ~]", "a1'[ ~]' p0'~'"},  // the last printable byte
        {"", "result 0"},
        {R"(["a\"\\\/\b\f\n\r\t"])", R"(a1'["a\"\\\/\b\f\n\r\t"]' s0'a\"\\\/\b\f\n\r\t')"},
        {R"(["\u00e9\uD83D\uDE00"])", R"(a1'["\u00e9\uD83D\uDE00"]' s0'\u00e9\uD83D\uDE00')"},
        {"[\"\t\xc3\xa9\xf0\x9f\x98\x80\"]",
         "a1'[\"\t\xc3\xa9\xf0\x9f\x98\x80\"]' s0'\t\xc3\xa9\xf0\x9f\x98\x80'"},
        {R"([true,false,false,"",false,true)", failed(kIncompleteInput)},  // unclosed array
        {R"(["abc)", failed(kIncompleteInput)},                            // unterminated string
        {"[\"ab\\", failed(kIncompleteInput)},         // a final backslash is an ordinary byte
        {"[\"\\u12", failed(kIncompleteInput)},        // \u cut short by the end of the text
        {"]", failed(kInvalidCharacter)},              // nothing to close
        {"[}", failed(kInvalidCharacter)},             // wrong closing bracket
        {"[1,\x01]", failed(kInvalidCharacter)},       // control byte in a primitive
        {"[tru\x7f]", failed(kInvalidCharacter)},      // DEL in a primitive
        {"[\xc3\xa9]", failed(kInvalidCharacter)},     // non-ASCII in a primitive
        {R"(["\x"])", failed(kInvalidCharacter)},      // unknown escape
        {R"(["\u123"])", failed(kInvalidCharacter)},   // \u needs four hex digits
        {R"(["\u12G4"])", failed(kInvalidCharacter)},  // \u with a non-hex digit
        {R"(["\u-123"])", failed(kInvalidCharacter)},
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(tokens_of(text), tokens) << text;
}

std::string array_of(int elements) {
    std::string text = "[";
    for (int i = 0; i < elements; ++i) text += i == 0 ? "0" : ",0";
    return text + "]";
}

// A NUL ends the text; a failed string scan stops at its opening quote; no token past capacity.
TEST(JsonTokenizer, WhereTokensAndTheScanStopAndTheTokenArrayRunsOut) {
    const Tokenized empty = tokenize(R"([true,false,false,"",false,true])");
    EXPECT_EQ(std::pair(empty.tokens[4].start, empty.tokens[4].end), std::pair(19, 19));
    const Tokenized nul = tokenize(std::string("[1]\0[", 5));
    EXPECT_EQ(std::pair(nul.result, nul.parser.pos), std::pair(2, 3u));
    const Tokenized escape = tokenize(R"([1,"ab\q"])");
    EXPECT_EQ(std::pair(escape.result, escape.parser.pos), std::pair(kInvalidCharacter, 3u));
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
    AllocationCounter counter;
    const int result = json_tokenize(&parser, text.data(), text.size(), tokens, kMaxTokens);
    const int allocations = counter.count();
    void* volatile seen = ::operator new(16);  // the counter itself sees an allocation
    ::operator delete(seen);
    const int withOne = counter.count();
    EXPECT_GT(result, 0);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(withOne, 1);
}

TEST(JsonUnescape, DecodesEscapesIntoUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {R"(a\"\\\/\b\f\n\r\t)", "a\"\\/\b\f\n\r\t"},
        {R"(\u0039\u00Ff)", "9\xc3\xbf"},  // the last digit and letters of both cases
        {R"(\u20ac)", "\xe2\x82\xac"},
        {R"(\ud800\udc00)", "\xf0\x90\x80\x80"},  // the first and the last surrogate pair
        {R"(\udbff\udfff)", "\xf4\x8f\xbf\xbf"},
        {R"(\ud800)", kFFFD},  // lone high surrogate
        {R"(\ud800x)", kFFFD + "x"},
        {R"(\ude00)", kFFFD},              // lone low surrogate
        {R"(\ud83d\u0041)", kFFFD + "A"},  // high surrogate without its partner
        {R"(\ud83d\ud83d\ude00)", kFFFD + "\xf0\x9f\x98\x80"},
        {R"(a\u0000b)", "a" + kFFFD + "b"},  // an escaped NUL cannot cut the text
        {"\xc3\xa9", "\xc3\xa9"},            // raw UTF-8 passes through
        {"x\\", "x\\"},                      // a final backslash stays
    };
    for (const auto& [raw, decoded] : cases) {
        EXPECT_EQ(json_unescape(raw), decoded) << raw;
        EXPECT_LE(decoded.size(), raw.size());
    }
}

TEST(StringTable, EachRecordCarriesItsIndexAndText) {
    const std::vector<std::string> texts = {"", "Outfold", "Outfold | Select a pre-comp layer",
                                            "Outfold Selection",
                                            "Outfold: Problems encountered during outfold."};
    ASSERT_EQ(texts.size(), std::size_t(kStringCount));
    for (A_u_long id = 0; id < kStringCount; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(kStringTable[id].id, id);
        EXPECT_EQ(std::string(get_string(id)), texts[id]);
        EXPECT_EQ(get_string(id), kStringTable[id].text);
    }
    EXPECT_EQ(sizeof(StringEntry), 4u + 256u);
    EXPECT_EQ(offsetof(StringEntry, text), 4u);
    EXPECT_EQ(sizeof(StringEntry::text), 256u);
}

TEST(EmbeddedScripts, TheTableTheLookUpByNameAndTheDialogsLineEnds) {
    std::vector<const EmbeddedScript*> records;
    for (const EmbeddedScript* s = kEmbeddedScripts; s->name != nullptr; ++s) records.push_back(s);
    const std::vector<std::string> names = {"mainPanel.jsx", "prefixTooLong.jsx"};
    ASSERT_EQ(records.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(records[i]->name, names[i]);
        EXPECT_EQ(find_script(names[i].c_str()), records[i]->text);
        EXPECT_EQ(records[i]->length, std::strlen(records[i]->text));
    }
    EXPECT_EQ(records[1]->length, 100u);
    for (const char* absent : {"", "mainpanel.jsx", "mainPanel.jsx ", "prefixTooLong.js"}) {
        EXPECT_EQ(find_script(absent), nullptr) << absent;
    }
    // The dialog's script starts with a byte order mark and ends every line with CR LF.
    const std::string text = records[0]->text;
    EXPECT_EQ(text.substr(0, 3), "\xef\xbb\xbf");
    std::size_t lines = 0;  // each CR followed by LF
    for (std::size_t i = 1; i < text.size(); ++i) lines += text[i - 1] == '\r' && text[i] == '\n';
    EXPECT_EQ(std::size_t(std::ranges::count(text, '\n')), lines);
    EXPECT_EQ(std::size_t(std::ranges::count(text, '\r')), lines);
    EXPECT_GT(lines, 100u);
    EXPECT_EQ(text.substr(text.size() - 9), "result;\r\n");
}

TEST(PropertyList, BytesFollowTheLayout) {
    std::ifstream file(OUTFOLD_PIPL_BIN_PATH, std::ios::binary);
    ASSERT_TRUE(file) << OUTFOLD_PIPL_BIN_PATH;
    const std::vector<std::uint8_t> actual{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    const std::vector<std::uint8_t> expected = expected::pipl_bytes();
    ASSERT_EQ(expected.size(), 138u);
    EXPECT_EQ(actual, expected);
}
}  // namespace
}  // namespace outfold::testing
