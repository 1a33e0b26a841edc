// The dialog answer's tokenizer, over well-formed, odd and broken texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/json_tokenizer.h"
#include "plugin/allocation_counter.h"

namespace outfold {
namespace {

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

TEST(JsonTokenizer, NulByteEndsTheText) {
    const std::string text("[1]\0[", 5);
    const Tokenized run = tokenize(text);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.parser.pos, 3u);
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

TEST(JsonTokenizer, FailedStringScanLeavesPositionAtItsOpeningQuote) {
    const std::string text = R"([1,"ab\q"])";
    const Tokenized run = tokenize(text);
    EXPECT_EQ(run.result, kInvalidCharacter);
    EXPECT_EQ(run.parser.pos, 3u);
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
        {R"(\u00e9\u00E9)", "\xc3\xa9\xc3\xa9"},
        {R"(\u20ac)", "\xe2\x82\xac"},
        {R"(\ud83d\ude00)", "\xf0\x9f\x98\x80"},  // surrogate pair
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

}  // namespace
}  // namespace outfold
