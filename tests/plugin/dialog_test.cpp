// The options dialog's script in the real engine, and what the plug-in does with its answer.
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include "common/dialog_outline.h"
#include "pipeline/command_hook.h"
#include "pipeline/embedded_scripts.h"
#include "pipeline/options_dialog.h"
#include "plugin_host.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {

const std::string kSection = "fernhollow.outfold";
const std::vector<std::string> kKeys = {"settingCopyPrecompAttr",    "settingPrefixInput",
                                        "settingDeleteSource",       "settingKeepInComp",
                                        "settingPrependPrecompName", "settingFixRandomExpressions"};

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

std::string dialog_source() { return std::string(find_script("mainPanel.jsx")).substr(3); }

// Logs each save as key=value (a save of `failingKey` or outside the section fails).
std::string observed_dialog(const std::string& failingKey) {
    return "var saved = [];\nvar realSave = app.settings.saveSetting;\n"
           "app.settings.saveSetting = function (section, key, value, type) {\n"
           "  if (key === \"" +
           failingKey + "\" || section !== \"" + kSection +
           "\") throw new Error(\"disk full\");\n"
           "  saved.push(key + \"=\" + value);\n"
           "  return realSave.call(app.settings, section, key, value, type);\n};\n" +
           dialog_source() +
           "\ndelete app.settings.saveSetting;  // the engine's globals outlive the run\n"
           "saved.join(\",\") + \"|\" + result;";
}

class DialogScript : public PluginHostTest {
protected:
    std::string show(std::vector<std::string> user,
                     const std::string& script = find_script("mainPanel.jsx")) {
        host_.set_user(std::move(user));
        const host::script::ScriptRun run = host_.run_script(script);
        EXPECT_TRUE(run.ok) << run.error;
        return run.value;
    }

    void store(const std::vector<std::string>& values) {
        std::string script;
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            script += "app.settings.saveSetting(\"" + kSection + "\", \"" + kKeys[i] + "\", \"" +
                      values[i] + "\", PREFType.PREF_Type_MACHINE_SPECIFIC);\n";
        }
        show({}, script);
    }

    // The last dialog's switches, each as 1 or 0, or as + or - when disabled; then the prefix.
    std::string state() {
        if (host_.dialogs().empty()) return "no dialog";
        const host::script::Dialog& dialog = host_.dialogs().back();
        std::string out;
        for (const char* name :
             {"optionCopyAttributes", "optionDiscardAttributes", "optionDeleteSource",
              "optionKeepInComp", "prependPrecompName", "fixRandomExpresions"}) {
            const auto* c = dialog.find(name);
            out += c == nullptr ? '?' : "-+01"[2 * c->enabled + c->value.value_or(false)];
        }
        const auto* prefix = dialog.find("prefixInput");
        return out + " " + (prefix == nullptr ? "?" : prefix->text);
    }
};

// Only "true" checks a stored switch; the mutual rules apply, Keep after Delete.
TEST_F(DialogScript, OpensWithTheStoredSettings) {
    EXPECT_EQ(show({"cancel"}), "");
    ASSERT_EQ(host_.dialogs().size(), 1u);
    std::string tree;
    outfold_test::outline(host_.dialogs().back().window, "", &tree);
    std::ifstream golden(std::string(OUTFOLD_SOURCE_DIR) + "/tests/plugin/fixtures/dialog.txt");
    EXPECT_EQ(tree, std::string(std::istreambuf_iterator<char>(golden), {}));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"yes", "Hero 1", "false", "false", "TRUE", "false"}, "010000 Hero 1"},
        {{"true", "", "true", "false", "true", "true"}, "101-11 "},
        {{"true", "", "false", "true", "false", "false"}, "10-100 "},
        {{"true", "", "true", "true", "false", "false"}, "10-+00 "},
    };
    for (const auto& [values, expected] : cases) {
        SCOPED_TRACE(expected);
        store(values);
        EXPECT_EQ(show({"close"}), "");
        EXPECT_EQ(state(), expected);
    }
}

// A failed save is shown and stops the saving, but the answer stands.
TEST_F(DialogScript, OnlyOkSavesAndAFailedSaveKeepsTheAnswer) {
    for (const std::string closing : {"cancel", "close", ""}) {
        SCOPED_TRACE(closing);
        EXPECT_EQ(show({"set prefixInput Lost", "click optionKeepInComp", closing},
                       observed_dialog("none")),
                  "|");
    }
    EXPECT_EQ(show({"set prefixInput Hero", "click optionKeepInComp",
                    "expect optionDeleteSource enabled false", "click optionKeepInComp",
                    "expect optionDeleteSource enabled true", "click optionDeleteSource",
                    "expect optionKeepInComp enabled false", "click optionDiscardAttributes",
                    "expect optionCopyAttributes value false", "click optionCopyAttributes",
                    "expect optionDiscardAttributes value false", "click prependPrecompName",
                    "click fixRandomExpresions", "ok"},
                   observed_dialog("none")),
              "settingCopyPrecompAttr=true,settingPrefixInput=Hero,settingDeleteSource=true,"
              "settingKeepInComp=false,settingPrependPrecompName=true,"
              R"(settingFixRandomExpressions=true|[true,true,false,"Hero",true,true])");
    EXPECT_TRUE(host_.alerts().empty());
    EXPECT_EQ(
        show({"set prefixInput Y", "click optionDeleteSource",
              "expect optionKeepInComp enabled true", "click optionDiscardAttributes", "ok"},
             observed_dialog("settingDeleteSource")),
        R"(settingCopyPrecompAttr=false,settingPrefixInput=Y|[false,false,false,"Y",true,true])");
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_NE(host_.alerts()[0].message.find("disk full"), std::string::npos);
}

TEST_F(DialogScript, TheFallbackJsonWorksLikeTheNativeOne) {
    const std::string probe =
        dialog_source() +
        "\nvar v = {a: [1, -2.5e-3, true, false, null, undefined, function () {}], b: undefined,"
        " c: \"q\\\"\\\\\\n\\t\\u0001\\u001f\\u007f\\u00e9\\u20ac\\u2028\\u2029\\ud83d\\ude00\","
        " d: {e: new Boolean(true), f: new String(\"s\")}, g: 1 / 0, h: [[], {}]};\n"
        "var text = JSON.stringify(v);\n"
        "text + \"|\" + JSON.stringify(JSON.parse(text)) + \"|\" +"
        " JSON.stringify(JSON.parse(\" [ 1 , {\\\"k\\\" : \\\"\\\\u00e9\\\\/\\\"} ] \"));";
    const std::string native = show({"cancel"}, probe);
    host_.set_remove_native_json(true);
    EXPECT_EQ(show({"cancel"}, probe), native);
    const auto refused = host_.run_script(dialog_source() + "\nJSON.parse(\"[1,]\");");
    EXPECT_NE(refused.error.find("SyntaxError"), std::string::npos) << refused.error;
}

std::string answer(const std::string& p) { return "[true,false,false,\"" + p + "\",false,false]"; }

// The plug-in loaded in-process, to call the dialog steps and the command hook directly.
class DialogInHost : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE); }

    DialogRun settle(const std::string& answer) {
        std::memset(&options_, 0, sizeof options_);
        std::memset(prefix_, 'z', kMaxPrefixBytes);
        const PluginInfo info{host_.basic_suite(), gPluginId, &options_};
        return settle_dialog_answer(&info, answer, &options_, prefix_);
    }

    ExtractOptions options_{};
    char prefix_[kMaxPrefixBytes + 1] = {};
};

// A boolean is true when its token starts with t; the prefix's limit counts raw bytes.
TEST_F(DialogInHost, WhatEachAnswerGives) {
    using enum DialogOutcome;
    struct Case {
        std::string text;
        DialogOutcome outcome;
        std::string switches = "00000", prefix = repeat("z", 50);
        A_Err alertFails = A_Err_NONE;  // the result
    };
    const Case cases[] = {
        {"[ true ,\r\n {},\n\t\"tx\" , \"\" ,null , t ]", Accepted, "10101", ""},  // {}: one token
        {R"(["true",tru,false,"",true,0])", Accepted, "11010", ""},
        {R"([1,true,"t","","f",false])", Accepted, "01100", ""},
        {answer(R"(\"hi\" C:\\p\\ a\/b\tc\u00e9\u20ac\u2028)"), Accepted, "10000",
         "\"hi\" C:\\p\\ a/b\tc\xc3\xa9\xe2\x82\xac\xe2\x80\xa8"},  // decoded, shorter
        {answer(R"(\ud83d\ude00 x\ud83dy)"), Accepted, "10000",     // a lone surrogate
         "\xf0\x9f\x98\x80 x\xef\xbf\xbdy"},
        {answer(repeat("0123456789", 5)), Accepted, "10000", repeat("0123456789", 5)},
        {"", Cancelled},
        {R"([true,true,true,"x",true])", Malformed},           // six tokens
        {R"([[true],false,false,"",false,true])", Malformed},  // eight tokens
        {"[" + repeat("0,", 128) + "0]", Malformed},           // > 128 tokens
        {answer(repeat("a", 51)), PrefixTooLong},
        {answer(repeat("a", 51)), PrefixTooLong, "00000", repeat("z", 50), 21},
        {answer(repeat("\xc3\xa9", 26)), PrefixTooLong},    // 52 bytes
        {answer(repeat("a", 49) + "\\\""), PrefixTooLong},  // 50 decoded
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::size_t alerts = host_.alerts().size(), lines = host_.debug_lines().size();
        if (c.alertFails != A_Err_NONE) host_.fail_call("AEGP_ExecuteScript", 1, c.alertFails);
        const DialogRun run = settle(c.text);
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.error, c.alertFails);
        const ExtractOptions& o = options_;  // copy, delete, keep, prepend, fix
        EXPECT_EQ(std::string({"01"[o.copyAttributes], "01"[o.deleteSource], "01"[o.keepInComp],
                               "01"[o.prependPrecompName], "01"[o.fixRandomExpressions]}),
                  c.switches);
        EXPECT_EQ(prefix_, c.prefix);
        EXPECT_EQ(options_.prefix, c.outcome == Accepted ? c.prefix : "");
        EXPECT_EQ(options_.prefix[kMaxPrefixBytes], '\0');
        EXPECT_EQ(host_.alerts().size() - alerts, c.outcome == PrefixTooLong && !c.alertFails);
        EXPECT_EQ(host_.debug_lines().size() - lines, c.outcome == Malformed);
    }
    EXPECT_EQ(host_.debug_lines().back(), "Unexpected number of tokens in returned JSON");
    EXPECT_EQ(host_.alerts().back().message,
              "The prefix you set it too long. Please limit prefixes to 50 characters.");
    EXPECT_EQ(host_.alerts().back().title, "Prefix Too Long");
    EXPECT_EQ(host_.scripts_run().front(), find_script("prefixTooLong.jsx"));
}

// The own command is handled whether it is cancelled or fails.
TEST_F(DialogInHost, CommandHookTheHandledFlag) {
    host_.set_project(scene());
    select_layers(host_.project(), "Main", {"Intro"});
    const std::string before = describe(host_.project());
    // A fault with a space in its name is a missing suite.
    using Case = std::tuple<AEGP_Command, A_Boolean, std::string, A_Err, A_Boolean>;
    for (const auto& [command, alreadyHandled, fault, error, handledAfter] : {
             Case{gCommandId + 1, false, "", 0, 7},
             Case{gCommandId, true, "", 0, 7},
             Case{gCommandId, false, "", 0, true},
             Case{gCommandId, false, "AEGP_ExecuteScript", 31, true},
             Case{gCommandId, false, "AEGP_LockMemHandle", 32, true},
             Case{gCommandId, false, "AEGP Memory Suite", 516, true},
         }) {
        SCOPED_TRACE(std::to_string(command) + (alreadyHandled ? " handled " : " ") + fault);
        host_.set_user({fault.empty() ? "cancel" : "ok"});
        if (fault.find(' ') != std::string::npos) host_.remove_suite(fault, 1);
        host_.fail_call(fault, 1, error);
        A_Boolean handled = 7;
        EXPECT_EQ(
            command_hook(nullptr, nullptr, command, AEGP_HP_BeforeAE, alreadyHandled, &handled),
            error);
        host_.clear_faults();
        EXPECT_EQ(handled, handledAfter);
        EXPECT_TRUE(host_.outstanding().none());
    }
    EXPECT_EQ(host_.dialogs().size(), 2u);  // the cancelled one and the one whose answer was lost
    EXPECT_EQ(describe(host_.project()), before);
    EXPECT_TRUE(host_.undo_history().empty());
}
}  // namespace
}  // namespace outfold::testing
