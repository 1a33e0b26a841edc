// The options dialog: its script in the real engine, its answer as the plug-in
// reads it, and what the plug-in does with each answer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/dialog_outline.h"
#include "pipeline/embedded_scripts.h"
#include "pipeline/options_dialog.h"
#include "plugin_host.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {
using host::script::Control;

const std::string kSection = "fernhollow.outfold";
// The stored settings, in the order the dialog saves them.
const std::vector<std::string> kKeys = {"settingCopyPrecompAttr",    "settingPrefixInput",
                                        "settingDeleteSource",       "settingKeepInComp",
                                        "settingPrependPrecompName", "settingFixRandomExpressions"};

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// The dialog script without its byte order mark.
std::string dialog_source() { return std::string(find_script("mainPanel.jsx")).substr(3); }

// The dialog script with the settings' save call observed (and made to fail
// at one key), and the log of saved keys as the run's value.
std::string observed_dialog(const std::string& failingKey) {
    return "var savedKeys = [];\nvar realSave = app.settings.saveSetting;\n"
           "app.settings.saveSetting = function (section, key, value, type) {\n"
           "  if (key === \"" +
           failingKey +
           "\") throw new Error(\"disk full\");\n"
           "  savedKeys.push(section + \"/\" + key);\n"
           "  return realSave.call(app.settings, section, key, value, type);\n};\n" +
           dialog_source() +
           "\ndelete app.settings.saveSetting;  // the engine's globals outlive the run\n"
           "savedKeys.join(\",\") + \"|\" + result;";
}

// The first `count` keys as the observed dialog logs them.
std::string saved_log(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += (i ? "," : "") + kSection + "/" + kKeys[i];
    return out;
}

// The options dialog script run by the host's real script engine with its
// dialog toolkit stand-in and a scripted user: controls, stored settings,
// the mutual rules and the answer.
class DialogScript : public PluginHostTest {
protected:
    // Runs the dialog with the given user actions; returns its answer.
    std::string show(std::vector<std::string> user) {
        host_.set_user(std::move(user));
        const host::script::ScriptRun run = host_.run_script(find_script("mainPanel.jsx"));
        EXPECT_TRUE(run.ok) << run.error;
        return run.value;
    }

    // `probe` after the cancelled dialog script, with or without the engine's own JSON.
    host::script::ScriptRun run_json(const std::string& probe, bool removeNative) {
        host_.set_user({"cancel"});
        host_.set_remove_native_json(removeNative);
        host::script::ScriptRun run = host_.run_script(dialog_source() + probe);
        host_.set_remove_native_json(false);
        return run;
    }

    const Control& control(const std::string& name) {
        static const Control missing{};
        const Control* found =
            host_.dialogs().empty() ? nullptr : host_.dialogs().back().find(name);
        if (found == nullptr) ADD_FAILURE() << "no dialog, or no control " << name;
        return found != nullptr ? *found : missing;
    }

    void store(const std::string& key, const std::string& value) {
        const auto run =
            host_.run_script("app.settings.saveSetting(\"" + kSection + "\", \"" + key + "\", \"" +
                             value + "\", PREFType.PREF_Type_MACHINE_SPECIFIC);");
        ASSERT_TRUE(run.ok) << run.error;
    }

    // Each of kKeys as "=value" or "(none)", comma-separated.
    std::string stored() {
        std::string keys;
        for (const std::string& key : kKeys) keys += "\"" + key + "\",";
        const auto run = host_.run_script(
            "var t = PREFType.PREF_Type_MACHINE_SPECIFIC, s = \"" + kSection + "\", k = [" + keys +
            "];\nfor (var i = 0; i < k.length; i++) k[i] = app.settings.haveSetting(s, k[i], t)"
            " ? \"=\" + app.settings.getSetting(s, k[i], t) : \"(none)\";\nk.join(\",\");");
        EXPECT_TRUE(run.ok) << run.error;
        return run.value;
    }

    // The option switches, as "name" when checked, with "-" before the name
    // of a disabled unchecked one and after that of a disabled checked one.
    std::string switches() {
        std::string out;
        for (const auto& [name, label] : {std::pair{"optionCopyAttributes", "copy"},
                                          {"optionDeleteSource", "delete"},
                                          {"optionKeepInComp", "keep"},
                                          {"prependPrecompName", "prepend"},
                                          {"fixRandomExpresions", "fix"}}) {
            const Control& c = control(name);
            const bool on = c.value.value_or(false);
            if (!on && c.enabled) continue;
            out += std::string(out.empty() ? "" : " ") + (on ? "" : "-") + label +
                   (on && !c.enabled ? "-" : "");
        }
        // The two attribute choices exclude each other.
        EXPECT_NE(control("optionDiscardAttributes").value, control("optionCopyAttributes").value);
        return out;
    }
};

TEST_F(DialogScript, OpensWithDefaultsAndTheControlTreeWhenNothingIsStored) {
    EXPECT_EQ(show({"cancel"}), "");
    ASSERT_EQ(host_.dialogs().size(), 1u);
    std::string tree;
    outfold_test::outline(host_.dialogs().back().window, "", &tree);
    std::ifstream golden(std::string(OUTFOLD_SOURCE_DIR) + "/tests/plugin/fixtures/dialog.txt");
    EXPECT_EQ(tree, std::string(std::istreambuf_iterator<char>(golden), {}));
    EXPECT_EQ(switches(), "copy");
}

// Stored settings are read back; the mutual rules apply to them.
TEST_F(DialogScript, StoredSettingsAreRestored) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> settings;
        std::string prefix, switches;
    };
    const Case cases[] = {
        {{{"settingCopyPrecompAttr", "false"}}, "", ""},
        {{{"settingCopyPrecompAttr", "true"}}, "", "copy"},
        {{{"settingCopyPrecompAttr", "yes"}}, "", ""},
        {{{"settingPrefixInput", "Hero 1"}}, "Hero 1", "copy"},
        {{{"settingDeleteSource", "true"}}, "", "copy delete -keep"},
        {{{"settingDeleteSource", "false"}}, "", "copy"},
        {{{"settingKeepInComp", "true"}}, "", "copy -delete keep"},
        // Keep is applied after Delete: Delete ends unchecked and disabled, and
        // Keep stays disabled from Delete's rule.
        {{{"settingDeleteSource", "true"}, {"settingKeepInComp", "true"}},
         "",
         "copy -delete keep-"},
        {{{"settingPrependPrecompName", "true"}}, "", "copy prepend"},
        {{{"settingPrependPrecompName", "TRUE"}}, "", "copy"},
        {{{"settingFixRandomExpressions", "true"}}, "", "copy fix"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings[0].first + "=" + c.settings[0].second);
        for (const auto& [key, value] : c.settings) store(key, value);
        EXPECT_EQ(show({"close"}), "");
        EXPECT_EQ(control("prefixInput").text, c.prefix);
        EXPECT_EQ(switches(), c.switches);
        // Back to the defaults, which read as if nothing were stored.
        for (const auto& [key, value] : c.settings) {
            store(key, key == "settingCopyPrecompAttr" ? "true"
                       : key == "settingPrefixInput"   ? ""
                                                       : "false");
        }
    }
}

// Delete and Keep disable each other while checked; Copy and Discard exclude
// each other.
TEST_F(DialogScript, TheMutualRulesWhileClicking) {
    show({"click optionDeleteSource", "expect optionKeepInComp enabled false",
          "click optionDeleteSource", "expect optionKeepInComp enabled true",
          "click optionKeepInComp", "expect optionDeleteSource enabled false",
          "expect optionDeleteSource value false", "click optionKeepInComp",
          "expect optionDeleteSource enabled true", "cancel"});
    EXPECT_EQ(host_.dialogs().size(), 1u);
    const std::string answer =
        show({"click optionDiscardAttributes", "expect optionCopyAttributes value false",
              "expect optionDiscardAttributes value true", "click optionCopyAttributes",
              "expect optionDiscardAttributes value false", "click optionDiscardAttributes", "ok"});
    EXPECT_EQ(answer, R"([false,false,false,"",false,false])");
}

// Ok saves the six settings in order and answers six elements; the next run
// opens with what was saved; a failed save is shown and stops the saving, but
// the answer stands.
TEST_F(DialogScript, OkSavesTheSixSettingsInOrderAndAFailedSaveKeepsTheAnswer) {
    host_.set_user({"set prefixInput Hero", "click optionDeleteSource", "click prependPrecompName",
                    "click fixRandomExpresions", "ok"});
    auto run = host_.run_script(observed_dialog("none"));
    ASSERT_TRUE(run.ok) << run.error;
    const std::string answer = R"([true,true,false,"Hero",true,true])";
    EXPECT_EQ(run.value, saved_log(6) + "|" + answer);
    EXPECT_TRUE(host_.alerts().empty());
    EXPECT_EQ(stored(), "=true,=Hero,=true,=false,=true,=true");
    EXPECT_EQ(show({"ok"}), answer);

    host_.set_user({"set prefixInput Y", "ok"});
    run = host_.run_script(observed_dialog("settingDeleteSource"));
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.value, saved_log(2) + R"(|[true,true,false,"Y",true,true])");
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_NE(host_.alerts()[0].message.find("disk full"), std::string::npos);
}

TEST_F(DialogScript, CancelAndTheWindowButtonAnswerEmptyAndSaveNothing) {
    for (const std::string closing : {"cancel", "close"}) {
        SCOPED_TRACE(closing);
        EXPECT_EQ(show({"set prefixInput Lost", "click optionKeepInComp", closing}), "");
        EXPECT_EQ(stored(), "(none),(none),(none),(none),(none),(none)");
    }
    // Actions that run out leave the dialog as its window button does.
    EXPECT_EQ(show({"set prefixInput Lost"}), "");
}

TEST_F(DialogScript, AnswerEscapesThePrefixAndIsTheSameWithoutNativeJson) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", R"("plain")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"back\\slash\\", R"("back\\slash\\")"},
        {"tab\there", R"("tab\there")"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"sep\xe2\x80\xa8"
         "ara\x7fted",
         "\"sep\\u2028ara\x7fted\""},
        {"ctl\x01\x1f", R"("ctl\u0001\u001f")"},
    };
    for (const auto& [typed, encoded] : cases) {
        SCOPED_TRACE(typed);
        host_.set_remove_native_json(false);
        const std::string native = show({"set prefixInput " + typed, "ok"});
        EXPECT_EQ(native, "[true,false,false," + encoded + ",false,false]");
        host_.set_remove_native_json(true);
        EXPECT_EQ(show({"set prefixInput " + typed, "ok"}), native);
    }
    host_.set_remove_native_json(false);
}

TEST_F(DialogScript, JsonFallbackParsesAndStringifiesLikeTheNativeOne) {
    const std::string probe =
        "\nvar v = {a: [1, -2.5e-3, true, false, null, undefined, function () {}], b: undefined,"
        " c: \"q\\\"\\\\\\n\\u00e9\\u2029\", d: {e: new Boolean(true), f: new String(\"s\")},"
        " g: 1 / 0, h: [[], {}]};\n"
        "var text = JSON.stringify(v);\n"
        "text + \"|\" + JSON.stringify(JSON.parse(text)) + \"|\" +"
        " JSON.stringify(JSON.parse(\" [ 1 , {\\\"k\\\" : \\\"\\\\u00e9\\\\/\\\"} ] \"));";
    const auto native = run_json(probe, false);
    const auto own = run_json(probe, true);
    ASSERT_TRUE(native.ok) << native.error;
    ASSERT_TRUE(own.ok) << own.error;
    EXPECT_EQ(own.value, native.value);
    // Malformed text is refused by the fallback parser.
    const auto refused = run_json("\nJSON.parse(\"[1,]\");", true);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("SyntaxError"), std::string::npos) << refused.error;
}

// The answer text as the plug-in reads it, into buffers filled beforehand
// (options with zeros, the prefix with 'z').
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

// The five switches as 0/1: copy, delete, keep, prepend, fix.
std::string option_bits(const ExtractOptions& o) {
    std::string out;
    for (bool on : {o.copyAttributes, o.deleteSource, o.keepInComp, o.prependPrecompName,
                    o.fixRandomExpressions}) {
        out += on ? '1' : '0';
    }
    return out;
}

// A boolean is true exactly when its token starts with t; the prefix arrives
// as the user typed it, escapes decoded, terminated within its buffers.
TEST(DialogAnswer, AcceptedAnswersGiveTheOptionsAndThePrefix) {
    struct Case {
        std::string text, switches, prefix;
    };
    const Case cases[] = {
        {R"([true,false,false,"",false,true])", "10001", ""},
        {R"([false,true,false,"",true,false])", "01010", ""},
        {R"([false,false,true,"",false,false])", "00100", ""},
        {R"([{},null,0,"",1,"f"])", "00000", ""},
        {R"(["true","tx",tru,"",t,"t"])", "11111", ""},
        {"[ true ,\r\n false,\n\tfalse , \"\" ,false , true ]", "10001", ""},
        {answer_with_prefix("hero"), "10000", "hero"},
        {answer_with_prefix(R"(say \"hi\")"), "10000", "say \"hi\""},
        {answer_with_prefix(R"(C:\\path\\)"), "10000", "C:\\path\\"},
        {answer_with_prefix(R"(a\/b)"), "10000", "a/b"},
        {answer_with_prefix(R"(tab\there)"), "10000", "tab\there"},
        {answer_with_prefix("caf\xc3\xa9"), "10000", "caf\xc3\xa9"},   // raw UTF-8
        {answer_with_prefix(R"(caf\u00e9)"), "10000", "caf\xc3\xa9"},  // escaped, shorter
        {answer_with_prefix(R"(\u20ac)"), "10000", "\xe2\x82\xac"},
        {answer_with_prefix(R"(\ud83d\ude00)"), "10000", "\xf0\x9f\x98\x80"},  // surrogate pair
        {answer_with_prefix(R"(x\ud83dy)"), "10000", "x\xef\xbf\xbdy"},        // lone surrogate
        {answer_with_prefix(R"(\u2028)"), "10000", "\xe2\x80\xa8"},
        {answer_with_prefix(repeat("0123456789", 5)), "10000", repeat("0123456789", 5)},  // longest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Answer a = read(c.text);
        ASSERT_EQ(a.outcome, DialogOutcome::Accepted);
        EXPECT_EQ(option_bits(a.options), c.switches);
        EXPECT_EQ(a.prefixBuffer, c.prefix);
        EXPECT_EQ(std::string(a.options.prefix), c.prefix);
        EXPECT_EQ(a.options.prefix[kMaxPrefixBytes], '\0');
    }
}

// The shape of the answer, and the prefix limit counted in raw bytes between
// the quotes. A rejected answer leaves the options and the prefix untouched.
TEST(DialogAnswer, OutcomeOfEachShapeOfAnswer) {
    struct Case {
        std::string text;
        DialogOutcome outcome;
    };
    const Case cases[] = {
        {"", DialogOutcome::Cancelled},
        {R"([true,true,true,"x",true])", DialogOutcome::Malformed},           // six tokens
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Answer a = read(c.text);
        EXPECT_EQ(a.outcome, c.outcome);
        if (c.outcome == DialogOutcome::Accepted) continue;
        EXPECT_EQ(option_bits(a.options), "00000");
        EXPECT_STREQ(a.options.prefix, "");
        EXPECT_EQ(a.prefixBuffer, repeat("z", 50));
    }
}

// The dialog run inside the host, in-process: what the plug-in does with each
// kind of answer, and what host failures around the script run leave.
class DialogInHost : public PluginHostTest {
protected:
    void SetUp() override {
        ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
        host_.clear_trace();
    }
    const PluginInfo* info() {
        info_ = {host_.basic_suite(), gPluginId, &options_};
        return &info_;
    }

    PluginInfo info_{};
    ExtractOptions options_{};
    char prefix_[kMaxPrefixBytes + 1] = {};
};

// Each kind of answer: a malformed one writes the debug line, a too long
// prefix shows the alert (whose failure is the result); nothing else is shown.
TEST_F(DialogInHost, WhatEachAnswerLeads) {
    const std::string tooLong = answer_with_prefix(repeat("p", 51));
    struct Case {
        std::string answer;
        A_Err alertFails;
        DialogOutcome outcome;
        A_Err error;
        std::size_t alerts, debugLines;
    };
    const Case cases[] = {
        {R"([true,false,false,"x",false])", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {R"([true)", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {"[[1],2,3,4,5,6]", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {tooLong, 0, DialogOutcome::PrefixTooLong, A_Err_NONE, 1, 0},
        {tooLong, 21, DialogOutcome::PrefixTooLong, 21, 0, 0},
        {"", 0, DialogOutcome::Cancelled, A_Err_NONE, 0, 0},
        {R"([false,true,false,"Hero",true,false])", 0, DialogOutcome::Accepted, A_Err_NONE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const std::size_t alerts = host_.alerts().size(), lines = host_.debug_lines().size();
        if (c.alertFails != 0) host_.fail_call("AEGP_ExecuteScript", 1, c.alertFails);
        const DialogRun run = settle_dialog_answer(info(), c.answer, &options_, prefix_);
        host_.clear_faults();
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.error, c.error);
        EXPECT_EQ(host_.alerts().size() - alerts, c.alerts);
        EXPECT_EQ(host_.debug_lines().size() - lines, c.debugLines);
    }
    EXPECT_EQ(host_.debug_lines().back(), "Unexpected number of tokens in returned JSON");
    EXPECT_EQ(host_.alerts().back().message,
              "The prefix you set it too long. Please limit prefixes to 50 characters.");
    EXPECT_EQ(host_.alerts().back().title, "Prefix Too Long");
    EXPECT_EQ(host_.scripts_run().front(), find_script("prefixTooLong.jsx"));
    EXPECT_STREQ(prefix_, "Hero");
    EXPECT_STREQ(options_.prefix, "Hero");
    EXPECT_EQ(option_bits(options_), "01010");
}

// A failure around the dialog, or a missing suite before it, counts as a
// cancel with its error.
TEST_F(DialogInHost, HostFailureAroundTheDialogCountsAsCancelWithItsError) {
    for (const auto& [operation, code] :
         {std::pair{"AEGP_ExecuteScript", 31}, {"AEGP_LockMemHandle", 32}, {"", 516}}) {
        SCOPED_TRACE(operation);
        host_.set_user({"ok"});
        if (code == 516) {
            host_.remove_suite("AEGP Memory Suite", 1);
        } else {
            host_.fail_call(operation, 1, code);
        }
        const DialogRun run = run_options_dialog(info(), &options_, prefix_);
        host_.clear_faults();
        EXPECT_EQ(run.outcome, DialogOutcome::Cancelled);
        EXPECT_EQ(run.error, code);
        EXPECT_TRUE(host_.outstanding().none());
    }
    EXPECT_EQ(host_.dialogs().size(), 1u);  // the one whose answer could not be read
}

}  // namespace
}  // namespace outfold::testing
