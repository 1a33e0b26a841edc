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

struct Expected {
    std::int32_t type;
    std::string text;
    std::int32_t size;
};

void expect_tokens(const std::string& text, const std::vector<Expected>& expected) {
    SCOPED_TRACE(text);
    const Tokenized run = tokenize(text);
    ASSERT_EQ(run.result, int(expected.size()));
    ASSERT_EQ(run.parser.nextToken, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("token " + std::to_string(i));
        EXPECT_EQ(run.tokens[i].type, expected[i].type);
        EXPECT_EQ(token_text(text, run.tokens[i]), expected[i].text);
        EXPECT_EQ(run.tokens[i].size, expected[i].size);
    }
}

TEST(JsonTokenizer, DialogAnswerGivesTheArrayAndItsSixElements) {
    const std::string text = R"([true,false,false,"",false,true])";
    expect_tokens(text, {{kJsonArray, text, 6},
                         {kJsonPrimitive, "true", 0},
                         {kJsonPrimitive, "false", 0},
                         {kJsonPrimitive, "false", 0},
                         {kJsonString, "", 0},
                         {kJsonPrimitive, "false", 0},
                         {kJsonPrimitive, "true", 0}});
    const Tokenized run = tokenize(text);
    // A string's start is the byte after its opening quote, its end the closing quote.
    EXPECT_EQ(run.tokens[4].start, 19);
    EXPECT_EQ(run.tokens[4].end, 19);
    EXPECT_EQ(run.tokens[0].start, 0);
    EXPECT_EQ(run.tokens[0].end, std::int32_t(text.size()));
}

TEST(JsonTokenizer, WhitespaceAndLineBreaksBetweenElementsChangeNothing) {
    const std::string text = "[ true,\r\n\tfalse ,false,\n \"ab c\" , false,true ]\n";
    const Tokenized run = tokenize(text);
    ASSERT_EQ(run.result, 7);
    const std::vector<std::string> texts = {"true", "false", "false", "ab c", "false", "true"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(token_text(text, run.tokens[i + 1]), texts[i]);
    }
    EXPECT_EQ(run.tokens[0].size, 6);
}

TEST(JsonTokenizer, NestingCountsDirectChildrenAndKeysHoldTheirValue) {
    const std::string text = R"({"a":[1,2],"b":{"c":"d"},"e":null})";
    expect_tokens(text, {{kJsonObject, text, 3},
                         {kJsonString, "a", 1},
                         {kJsonArray, "[1,2]", 2},
                         {kJsonPrimitive, "1", 0},
                         {kJsonPrimitive, "2", 0},
                         {kJsonString, "b", 1},
                         {kJsonObject, R"({"c":"d"})", 1},
                         {kJsonString, "c", 1},
                         {kJsonString, "d", 0},
                         {kJsonString, "e", 1},
                         {kJsonPrimitive, "null", 0}});
}

TEST(JsonTokenizer, NestedArraysAndObjectsInsideTheAnswer) {
    expect_tokens("[[true],false]", {{kJsonArray, "[[true],false]", 2},
                                     {kJsonArray, "[true]", 1},
                                     {kJsonPrimitive, "true", 0},
                                     {kJsonPrimitive, "false", 0}});
    expect_tokens(
        "[{},false]",
        {{kJsonArray, "[{},false]", 2}, {kJsonObject, "{}", 0}, {kJsonPrimitive, "false", 0}});
}

TEST(JsonTokenizer, PrimitiveAtTheVeryEndIsStillAToken) {
    expect_tokens("true", {{kJsonPrimitive, "true", 0}});
    expect_tokens("[1] 23",
                  {{kJsonArray, "[1]", 1}, {kJsonPrimitive, "1", 0}, {kJsonPrimitive, "23", 0}});
    // Bare words are primitives too in this non-strict tokenizer.
    expect_tokens(
        "[tx,-1.5e3]",
        {{kJsonArray, "[tx,-1.5e3]", 2}, {kJsonPrimitive, "tx", 0}, {kJsonPrimitive, "-1.5e3", 0}});
}

TEST(JsonTokenizer, EmptyTextGivesNoTokens) {
    EXPECT_EQ(tokenize("").result, 0);
    EXPECT_EQ(tokenize(" \r\n\t").result, 0);
}

TEST(JsonTokenizer, NulByteEndsTheText) {
    const std::string text("[1]\0[", 5);
    const Tokenized run = tokenize(text);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.parser.pos, 3u);
}

struct FailureCase {
    std::string text;
    int expected;
};

TEST(JsonTokenizer, BrokenTextsGiveTheirErrorCodes) {
    const std::vector<FailureCase> cases = {
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
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tokenize(c.text).result, c.expected);
    }
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

struct UnescapeCase {
    std::string raw;
    std::string decoded;
};

TEST(JsonUnescape, DecodesEscapesIntoUtf8) {
    const std::vector<UnescapeCase> cases = {
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
    for (const UnescapeCase& c : cases) {
        SCOPED_TRACE(c.raw);
        const std::string decoded = json_unescape(c.raw);
        EXPECT_EQ(decoded, c.decoded);
        EXPECT_LE(decoded.size(), c.raw.size());
    }
}

}  // namespace
}  // namespace outfold
