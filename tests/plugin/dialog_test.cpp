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
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace model = host::model;
using Names = std::vector<std::string>;

// The options dialog script run by the host's real script engine with its
// dialog toolkit stand-in and a scripted user: controls, stored settings,
// the mutual rules and the answer.
namespace dialog_script {
using host::script::Control;

const std::string kSection = "fernhollow.outfold";

class DialogScript : public PluginHostTest {
protected:
    // Runs the dialog with the given user actions; returns its answer.
    std::string show(std::vector<std::string> user) {
        host_.set_user(std::move(user));
        const host::script::ScriptRun run = host_.run_script(find_script("mainPanel.jsx"));
        EXPECT_TRUE(run.ok) << run.error;
        return run.value;
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

    std::string stored(const std::string& key) {
        const auto run = host_.run_script(
            "var t = PREFType.PREF_Type_MACHINE_SPECIFIC; app.settings.haveSetting(\"" + kSection +
            "\", \"" + key + "\", t) ? \"=\" + app.settings.getSetting(\"" + kSection + "\", \"" +
            key + "\", t) : \"(none)\"");
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

TEST_F(DialogScript, OkSavesTheSixSettingsAndAnswersSixElements) {
    const std::string answer =
        show({"set prefixInput Hero", "click optionDeleteSource", "click prependPrecompName",
              "click fixRandomExpresions", "ok"});
    EXPECT_EQ(answer, R"([true,true,false,"Hero",true,true])");
    EXPECT_EQ(stored("settingCopyPrecompAttr"), "=true");
    EXPECT_EQ(stored("settingPrefixInput"), "=Hero");
    EXPECT_EQ(stored("settingDeleteSource"), "=true");
    EXPECT_EQ(stored("settingKeepInComp"), "=false");
    EXPECT_EQ(stored("settingPrependPrecompName"), "=true");
    EXPECT_EQ(stored("settingFixRandomExpressions"), "=true");

    // The next run opens with what was saved.
    EXPECT_EQ(show({"ok"}), answer);
}

// The dialog script with the settings' save call observed (and made to fail
// at one key), and the log of saved keys as the run's value.
std::string observed_dialog(const std::string& failingKey) {
    const std::string dialog = std::string(find_script("mainPanel.jsx")).substr(3);  // no BOM
    return "var savedKeys = [];\n"
           "var realSave = app.settings.saveSetting;\n"
           "app.settings.saveSetting = function (section, key, value, type) {\n"
           "  if (key === \"" +
           failingKey +
           "\") throw new Error(\"disk full\");\n"
           "  savedKeys.push(section + \"/\" + key);\n"
           "  return realSave.call(app.settings, section, key, value, type);\n"
           "};\n" +
           dialog +
           "\ndelete app.settings.saveSetting;  // the engine's globals outlive the run\n"
           "savedKeys.join(\",\") + \"|\" + result;";
}

TEST_F(DialogScript, SettingsAreSavedInOrderAndAFailedSaveIsShownWithoutLosingTheAnswer) {
    host_.set_user({"set prefixInput X", "ok"});
    auto run = host_.run_script(observed_dialog("none"));
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(
        run.value,
        "fernhollow.outfold/settingCopyPrecompAttr,fernhollow.outfold/settingPrefixInput,"
        "fernhollow.outfold/settingDeleteSource,fernhollow.outfold/settingKeepInComp,"
        "fernhollow.outfold/settingPrependPrecompName,"
        "fernhollow.outfold/settingFixRandomExpressions|[true,false,false,\"X\",false,false]");
    EXPECT_TRUE(host_.alerts().empty());

    host_.set_user({"set prefixInput Y", "ok"});
    run = host_.run_script(observed_dialog("settingDeleteSource"));
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.value,
              "fernhollow.outfold/settingCopyPrecompAttr,fernhollow.outfold/settingPrefixInput|"
              "[true,false,false,\"Y\",false,false]");
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_NE(host_.alerts()[0].message.find("disk full"), std::string::npos);
}

TEST_F(DialogScript, CancelAndTheWindowButtonAnswerEmptyAndSaveNothing) {
    for (const std::string closing : {"cancel", "close"}) {
        SCOPED_TRACE(closing);
        EXPECT_EQ(show({"set prefixInput Lost", "click optionKeepInComp", closing}), "");
        EXPECT_EQ(stored("settingPrefixInput"), "(none)");
        EXPECT_EQ(stored("settingKeepInComp"), "(none)");
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
    const std::string fallback = std::string(find_script("mainPanel.jsx")).substr(3);
    const std::string probe =
        "\nvar v = {a: [1, -2.5e-3, true, false, null, undefined, function () {}], b: undefined,"
        " c: \"q\\\"\\\\\\n\\u00e9\\u2029\", d: {e: new Boolean(true), f: new String(\"s\")},"
        " g: 1 / 0, h: [[], {}]};\n"
        "var text = JSON.stringify(v);\n"
        "text + \"|\" + JSON.stringify(JSON.parse(text)) + \"|\" +"
        " JSON.stringify(JSON.parse(\" [ 1 , {\\\"k\\\" : \\\"\\\\u00e9\\\\/\\\"} ] \"));";
    host_.set_user({"cancel"});
    host_.set_remove_native_json(false);
    const auto native = host_.run_script(fallback + probe);
    host_.set_user({"cancel"});
    host_.set_remove_native_json(true);
    const auto own = host_.run_script(fallback + probe);
    host_.set_remove_native_json(false);
    ASSERT_TRUE(native.ok) << native.error;
    ASSERT_TRUE(own.ok) << own.error;
    EXPECT_EQ(own.value, native.value);

    // Malformed text is refused by the fallback parser.
    host_.set_user({"cancel"});
    host_.set_remove_native_json(true);
    const auto refused = host_.run_script(fallback + "\nJSON.parse(\"[1,]\");");
    host_.set_remove_native_json(false);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("SyntaxError"), std::string::npos) << refused.error;
}
}  // namespace dialog_script

// Checks on the dialog's answer text: outcomes, options and the prefix as the
// user typed it.
namespace dialog_answer {
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
}  // namespace dialog_answer

// The dialog run inside the host, in-process: what the plug-in does with each
// kind of answer, and what host failures around the script run leave.
namespace dialog_settle {
class DialogInHost : public PluginHostTest {
protected:
    void SetUp() override {
        ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
        host_.clear_trace();
    }

    DialogRun settle(const std::string& answer) {
        const PluginInfo info{host_.basic_suite(), gPluginId, &options_};
        return settle_dialog_answer(&info, answer, &options_, prefix_);
    }

    DialogRun run_dialog() {
        const PluginInfo info{host_.basic_suite(), gPluginId, &options_};
        return run_options_dialog(&info, &options_, prefix_);
    }

    ExtractOptions options_{};
    char prefix_[kMaxPrefixBytes + 1] = {};
};

const std::string kTooLong = R"([true,false,false,")" + std::string(51, 'p') + R"(",false,false])";

// Each kind of answer: a malformed one writes the debug line, a too long
// prefix shows the alert (whose failure is the result); nothing else is shown.
TEST_F(DialogInHost, WhatEachAnswerLeads) {
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
        {kTooLong, 0, DialogOutcome::PrefixTooLong, A_Err_NONE, 1, 0},
        {kTooLong, 21, DialogOutcome::PrefixTooLong, 21, 0, 0},
        {"", 0, DialogOutcome::Cancelled, A_Err_NONE, 0, 0},
        {R"([false,true,false,"Hero",true,false])", 0, DialogOutcome::Accepted, A_Err_NONE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const std::size_t alerts = host_.alerts().size(), lines = host_.debug_lines().size();
        if (c.alertFails != 0) host_.fail_call("AEGP_ExecuteScript", 1, c.alertFails);
        const DialogRun run = settle(c.answer);
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
    EXPECT_TRUE(options_.deleteSource);
    EXPECT_TRUE(options_.prependPrecompName);
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
        const DialogRun run = run_dialog();
        host_.clear_faults();
        EXPECT_EQ(run.outcome, DialogOutcome::Cancelled);
        EXPECT_EQ(run.error, code);
        EXPECT_TRUE(host_.outstanding().none());
    }
    EXPECT_EQ(host_.dialogs().size(), 1u);  // the one whose answer could not be read
}
}  // namespace dialog_settle

}  // namespace outfold::testing
