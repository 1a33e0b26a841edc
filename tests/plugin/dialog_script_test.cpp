// The options dialog script run by the host's real script engine with its
// dialog toolkit stand-in and a scripted user: controls, stored settings,
// the mutual rules and the answer.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/dialog_outline.h"
#include "pipeline/embedded_scripts.h"
#include "plugin_host.h"
#include "script/scriptui.h"

namespace outfold::testing {
namespace {

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
        if (host_.dialogs().empty()) {
            ADD_FAILURE() << "no dialog was shown";
            return missing;
        }
        const Control* found = host_.dialogs().back().find(name);
        if (found == nullptr) {
            ADD_FAILURE() << "no control " << name;
            return missing;
        }
        return *found;
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

TEST_F(DialogScript, DeleteAndKeepDisableEachOtherWhileChecked) {
    show({"click optionDeleteSource", "expect optionKeepInComp enabled false",
          "click optionDeleteSource", "expect optionKeepInComp enabled true",
          "click optionKeepInComp", "expect optionDeleteSource enabled false",
          "expect optionDeleteSource value false", "click optionKeepInComp",
          "expect optionDeleteSource enabled true", "cancel"});
    EXPECT_EQ(host_.dialogs().size(), 1u);
}

TEST_F(DialogScript, CopyAndDiscardExcludeEachOther) {
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

}  // namespace
}  // namespace outfold::testing
