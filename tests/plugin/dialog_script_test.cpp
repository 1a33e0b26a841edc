// The options dialog script run by the host's real script engine with its
// dialog toolkit stand-in and a scripted user: controls, stored settings,
// the mutual rules and the answer.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

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

    void expect_checks(bool copy, bool deleteSource, bool deleteEnabled, bool keep,
                       bool keepEnabled, bool prepend, bool fixRandom) {
        EXPECT_EQ(control("optionCopyAttributes").value, copy);
        EXPECT_EQ(control("optionDiscardAttributes").value, !copy);
        EXPECT_EQ(control("optionDeleteSource").value, deleteSource);
        EXPECT_EQ(control("optionDeleteSource").enabled, deleteEnabled);
        EXPECT_EQ(control("optionKeepInComp").value, keep);
        EXPECT_EQ(control("optionKeepInComp").enabled, keepEnabled);
        EXPECT_EQ(control("prependPrecompName").value, prepend);
        EXPECT_EQ(control("prependPrecompName").enabled, true);
        EXPECT_EQ(control("fixRandomExpresions").value, fixRandom);
        EXPECT_EQ(control("fixRandomExpresions").enabled, true);
    }
};

std::vector<std::string> child_names(const Control& control) {
    std::vector<std::string> names;
    for (const Control& child : control.children) names.push_back(child.name);
    return names;
}

std::vector<std::string> child_texts(const Control& control) {
    std::vector<std::string> texts;
    for (const Control& child : control.children) texts.push_back(child.text);
    return texts;
}

std::string property(const Control& control, const std::string& name) {
    const auto found = control.properties.find(name);
    return found == control.properties.end() ? "(unset)" : found->second;
}

struct LayoutCase {
    std::string control;
    std::string orientation, alignChildren, spacing, margins;
};

TEST_F(DialogScript, OpensWithDefaultsAndTheControlTreeWhenNothingIsStored) {
    EXPECT_EQ(show({"cancel"}), "");
    ASSERT_EQ(host_.dialogs().size(), 1u);
    const Control& window = host_.dialogs().back().window;
    EXPECT_EQ(window.kind, "dialog");
    EXPECT_EQ(window.text, "Outfold");

    EXPECT_EQ(child_names(window), (std::vector<std::string>{"prefixGroup", "optionsGroup"}));
    EXPECT_EQ(child_names(control("prefixGroup")),
              (std::vector<std::string>{"prefixTitle", "prefixInput"}));
    EXPECT_EQ(child_names(control("optionsGroup")),
              (std::vector<std::string>{"option1Group", "option2Group", "optionDeleteSource",
                                        "optionKeepInComp", "prependPrecompName",
                                        "fixRandomExpresions", "buttons"}));
    EXPECT_EQ(child_names(control("option1Group")),
              (std::vector<std::string>{"optionCopyAttributes", "staticText1Group"}));
    EXPECT_EQ(child_names(control("option2Group")),
              (std::vector<std::string>{"optionDiscardAttributes", "staticText2Group"}));
    EXPECT_EQ(child_names(control("buttons")),
              (std::vector<std::string>{"buttonOK", "buttonCancel"}));

    struct KindText {
        std::string name, kind, text;
    };
    for (const KindText& c : std::vector<KindText>{
             {"prefixTitle", "statictext", "Outfolded Layer Prefix"},
             {"prefixInput", "edittext", ""},
             {"optionCopyAttributes", "radiobutton", "Copy pre-comp attributes to layers"},
             {"optionDiscardAttributes", "radiobutton", "Discard pre-comp attributes"},
             {"optionDeleteSource", "checkbox", "Delete source after outfolding"},
             {"optionKeepInComp", "checkbox", "Keep pre-comp in composition"},
             {"prependPrecompName", "checkbox", "Prepend pre-comp name to extracted layers"},
             {"fixRandomExpresions", "checkbox",
              "Attempt to correct layers with randomized expressions"},
             {"buttonOK", "button", "Ok"},
             {"buttonCancel", "button", "Cancel"}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(control(c.name).kind, c.kind);
        EXPECT_EQ(control(c.name).text, c.text);
    }
    expect_checks(true, false, true, false, true, false, false);

    const Control& lines1 = control("staticText1Group");
    ASSERT_EQ(lines1.children.size(), 1u);
    EXPECT_EQ(
        child_texts(lines1.children[0]),
        (std::vector<std::string>{"Use this option if you would like to copy the effects and other",
                                  "attributes of the pre-comp to the layers being extracted"}));
    const Control& lines2 = control("staticText2Group");
    ASSERT_EQ(lines2.children.size(), 1u);
    EXPECT_EQ(child_texts(lines2.children[0]),
              (std::vector<std::string>{"Use this option to extract all layers, but disregard the",
                                        "properties of the pre-comp layer"}));
    for (const Control* column : {&lines1.children[0], &lines2.children[0]}) {
        EXPECT_EQ(property(*column, "orientation"), "\"column\"");
        EXPECT_EQ(property(*column, "spacing"), "0");
        EXPECT_NE(property(*column, "preferredSize").find("\"width\":400"), std::string::npos);
    }

    for (const LayoutCase& c : std::vector<LayoutCase>{
             {"prefixGroup", "\"row\"", R"(["left","center"])", "10", "0"},
             {"optionsGroup", "\"column\"", R"(["left","center"])", "10", "[20,0,0,0]"},
             {"option1Group", "\"column\"", R"(["left","center"])", "10", "0"},
             {"staticText1Group", "\"row\"", R"(["left","center"])", "10", "[20,0,0,8]"},
             {"option2Group", "\"column\"", R"(["left","center"])", "10", "0"},
             {"staticText2Group", "\"row\"", R"(["left","center"])", "10", "[20,0,0,12]"},
             {"buttons", "\"row\"", R"(["right","center"])", "10", "[0,20,0,0]"}}) {
        SCOPED_TRACE(c.control);
        EXPECT_EQ(property(control(c.control), "orientation"), c.orientation);
        EXPECT_EQ(property(control(c.control), "alignChildren"), c.alignChildren);
        EXPECT_EQ(property(control(c.control), "spacing"), c.spacing);
        EXPECT_EQ(property(control(c.control), "margins"), c.margins);
    }
    EXPECT_EQ(property(window, "orientation"), "\"column\"");
    EXPECT_EQ(property(window, "alignChildren"), R"(["fill","top"])");
    EXPECT_EQ(property(window, "spacing"), "10");
    EXPECT_EQ(property(window, "margins"), "16");
    EXPECT_EQ(property(control("buttons"), "alignment"), R"(["fill","center"])");
    EXPECT_EQ(property(control("optionCopyAttributes"), "alignment"), R"(["left","center"])");
    EXPECT_EQ(property(control("optionDiscardAttributes"), "alignment"), R"(["left","center"])");
    EXPECT_NE(property(control("prefixInput"), "preferredSize").find("\"width\":250"),
              std::string::npos);
    EXPECT_NE(property(control("buttonOK"), "preferredSize").find("\"width\":100"),
              std::string::npos);
    EXPECT_NE(property(control("buttonCancel"), "preferredSize").find("\"width\":100"),
              std::string::npos);
}

struct StoredCase {
    std::vector<std::pair<std::string, std::string>> settings;
    std::string prefix;
    bool copy, deleteSource, deleteEnabled, keep, keepEnabled, prepend, fixRandom;
};

// Named by the settings it stores, for readable test names.
void PrintTo(const StoredCase& c, std::ostream* os) {
    for (const auto& [key, value] : c.settings) *os << key << "=" << value << " ";
}

class DialogSettings : public DialogScript, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(DialogSettings, StoredSettingsAreRestored) {
    const StoredCase& c = GetParam();
    for (const auto& [key, value] : c.settings) store(key, value);
    EXPECT_EQ(show({"close"}), "");
    EXPECT_EQ(control("prefixInput").text, c.prefix);
    expect_checks(c.copy, c.deleteSource, c.deleteEnabled, c.keep, c.keepEnabled, c.prepend,
                  c.fixRandom);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DialogSettings,
    ::testing::Values(
        StoredCase{{{"settingCopyPrecompAttr", "false"}},
                   "",
                   false,
                   false,
                   true,
                   false,
                   true,
                   false,
                   false},
        StoredCase{
            {{"settingCopyPrecompAttr", "true"}}, "", true, false, true, false, true, false, false},
        StoredCase{
            {{"settingCopyPrecompAttr", "yes"}}, "", false, false, true, false, true, false, false},
        StoredCase{{{"settingPrefixInput", "Hero 1"}},
                   "Hero 1",
                   true,
                   false,
                   true,
                   false,
                   true,
                   false,
                   false},
        StoredCase{
            {{"settingDeleteSource", "true"}}, "", true, true, true, false, false, false, false},
        StoredCase{
            {{"settingDeleteSource", "false"}}, "", true, false, true, false, true, false, false},
        StoredCase{
            {{"settingKeepInComp", "true"}}, "", true, false, false, true, true, false, false},
        // Keep is applied after Delete: Delete ends unchecked and disabled, and
        // Keep stays disabled from Delete's rule.
        StoredCase{{{"settingDeleteSource", "true"}, {"settingKeepInComp", "true"}},
                   "",
                   true,
                   false,
                   false,
                   true,
                   false,
                   false,
                   false},
        StoredCase{{{"settingPrependPrecompName", "true"}},
                   "",
                   true,
                   false,
                   true,
                   false,
                   true,
                   true,
                   false},
        StoredCase{{{"settingPrependPrecompName", "TRUE"}},
                   "",
                   true,
                   false,
                   true,
                   false,
                   true,
                   false,
                   false},
        StoredCase{{{"settingFixRandomExpressions", "true"}},
                   "",
                   true,
                   false,
                   true,
                   false,
                   true,
                   false,
                   true}));

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
