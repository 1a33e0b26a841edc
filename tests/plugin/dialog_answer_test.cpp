// Checks on the dialog's answer text: outcomes, options and the prefix as the
// user typed it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pipeline/options_dialog.h"

namespace outfold {
namespace {

struct Answer {
    DialogOutcome outcome;
    ExtractOptions options;
    std::string prefixBuffer;
};

Answer read(const std::string& text) {
    Answer answer{};
    char prefix[kMaxPrefixBytes + 1];
    std::memset(prefix, 'z', sizeof prefix);
    prefix[kMaxPrefixBytes] = '\0';
    std::memset(&answer.options, 0, sizeof answer.options);
    answer.outcome = read_dialog_answer(text, &answer.options, prefix);
    answer.prefixBuffer = prefix;
    return answer;
}

std::string answer_with_prefix(const std::string& rawPrefix) {
    return "[true,false,false,\"" + rawPrefix + "\",false,false]";
}

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

struct OptionsCase {
    std::string text;
    bool copyAttributes, deleteSource, keepInComp, prependPrecompName, fixRandomExpressions;
};

TEST(DialogAnswer, BooleansAreTrueExactlyWhenTheirTokenStartsWithT) {
    const std::vector<OptionsCase> cases = {
        {R"([true,false,false,"",false,true])", true, false, false, false, true},
        {R"([false,true,false,"",true,false])", false, true, false, true, false},
        {R"([false,false,true,"",false,false])", false, false, true, false, false},
        {R"([{},null,0,"",1,"f"])", false, false, false, false, false},
        {R"(["true","tx",tru,"",t,"t"])", true, true, true, true, true},
        {"[ true ,\r\n false,\n\tfalse , \"\" ,false , true ]", true, false, false, false, true},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(c.text);
        const Answer a = read(c.text);
        ASSERT_EQ(a.outcome, DialogOutcome::Accepted);
        EXPECT_EQ(a.options.copyAttributes, c.copyAttributes);
        EXPECT_EQ(a.options.deleteSource, c.deleteSource);
        EXPECT_EQ(a.options.keepInComp, c.keepInComp);
        EXPECT_EQ(a.options.prependPrecompName, c.prependPrecompName);
        EXPECT_EQ(a.options.fixRandomExpressions, c.fixRandomExpressions);
        EXPECT_EQ(a.prefixBuffer, "");
        EXPECT_STREQ(a.options.prefix, "");
    }
}

struct PrefixCase {
    std::string raw;      // between the quotes, as the answer carries it
    std::string decoded;  // what the run works with
};

TEST(DialogAnswer, PrefixArrivesAsTheUserTypedIt) {
    const std::vector<PrefixCase> cases = {
        {"hero", "hero"},
        {R"(say \"hi\")", "say \"hi\""},
        {R"(C:\\path\\)", "C:\\path\\"},
        {R"(a\/b)", "a/b"},
        {R"(tab\there)", "tab\there"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},   // raw UTF-8
        {R"(caf\u00e9)", "caf\xc3\xa9"},  // escaped
        {R"(\u20ac)", "\xe2\x82\xac"},
        {R"(\ud83d\ude00)", "\xf0\x9f\x98\x80"},  // surrogate pair
        {R"(x\ud83dy)", "x\xef\xbf\xbdy"},        // lone surrogate
        {R"(\u2028)", "\xe2\x80\xa8"},
    };
    for (const PrefixCase& c : cases) {
        SCOPED_TRACE(c.raw);
        const Answer a = read(answer_with_prefix(c.raw));
        ASSERT_EQ(a.outcome, DialogOutcome::Accepted);
        EXPECT_EQ(a.prefixBuffer, c.decoded);
        EXPECT_EQ(std::string(a.options.prefix), c.decoded);
        EXPECT_TRUE(a.options.copyAttributes);
    }
}

// The shape of the answer, and the prefix limit counted in raw bytes between
// the quotes.
TEST(DialogAnswer, OutcomeOfEachShapeOfAnswer) {
    struct Case {
        std::string text;
        DialogOutcome outcome;
    };
    const Case cases[] = {
        {"", DialogOutcome::Cancelled},
        {R"([true,false,false,"x",false])", DialogOutcome::Malformed},        // six tokens
        {R"([[true],false,false,"",false,true])", DialogOutcome::Malformed},  // eight tokens
        {R"([true,false,false,"",false,true)", DialogOutcome::Malformed},     // unclosed
        {R"([true,false,false,"\q",false,true])", DialogOutcome::Malformed},  // bad escape
        {"[" + repeat("0,", 128) + "0]", DialogOutcome::Malformed},           // > 128 tokens
        {"[]", DialogOutcome::Malformed},
        {"garbage", DialogOutcome::Malformed},
        {R"([{},false,false,"",false,true])", DialogOutcome::Accepted},  // seven tokens
        {answer_with_prefix(repeat("a", 50)), DialogOutcome::Accepted},
        {answer_with_prefix(repeat("a", 51)), DialogOutcome::PrefixTooLong},
        {answer_with_prefix(repeat("\xc3\xa9", 25)), DialogOutcome::Accepted},       // 50 bytes
        {answer_with_prefix(repeat("\xc3\xa9", 26)), DialogOutcome::PrefixTooLong},  // 52 bytes
        {answer_with_prefix(repeat("a", 48) + "\\\""), DialogOutcome::Accepted},     // 49 decoded
        {answer_with_prefix(repeat("a", 49) + "\\\""), DialogOutcome::PrefixTooLong},
        {answer_with_prefix(repeat("\\u00e9", 8) + "ab"), DialogOutcome::Accepted},  // 50 raw
        {answer_with_prefix(repeat("\\u00e9", 9)), DialogOutcome::PrefixTooLong},    // 18 decoded
    };
    for (const Case& c : cases) EXPECT_EQ(read(c.text).outcome, c.outcome) << c.text;
}

TEST(DialogAnswer, LongestPrefixIsKeptWholeAndTerminated) {
    const std::string fifty = repeat("0123456789", 5);
    const Answer a = read(answer_with_prefix(fifty));
    ASSERT_EQ(a.outcome, DialogOutcome::Accepted);
    EXPECT_EQ(a.prefixBuffer, fifty);
    EXPECT_EQ(std::string(a.options.prefix), fifty);
    EXPECT_EQ(a.options.prefix[kMaxPrefixBytes], '\0');

    // A shorter decoded text clears what the buffers held before.
    const Answer b = read(answer_with_prefix(R"(\u00e9)"));
    EXPECT_EQ(b.prefixBuffer, "\xc3\xa9");
}

TEST(DialogAnswer, RejectedAnswersLeaveOptionsUntouched) {
    for (const std::string& text : {answer_with_prefix(repeat("a", 51)),
                                    std::string(R"([true,true,true,"x",true])"), std::string()}) {
        SCOPED_TRACE(text);
        const Answer a = read(text);
        EXPECT_NE(a.outcome, DialogOutcome::Accepted);
        EXPECT_FALSE(a.options.copyAttributes || a.options.deleteSource || a.options.keepInComp ||
                     a.options.prependPrecompName || a.options.fixRandomExpressions);
        EXPECT_STREQ(a.options.prefix, "");
        EXPECT_EQ(a.prefixBuffer, repeat("z", 50));
    }
}

}  // namespace
}  // namespace outfold
