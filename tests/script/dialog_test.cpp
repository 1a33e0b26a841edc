#include "common/dialog_outline.h"
#include "script_bench.h"

namespace script_test {
namespace {

using script::ClosedBy;
using Actions = Names;

// Every kind of control; handlers log what happened, and the value is show()'s result and the log.
constexpr const char* kDialog = R"(var log = [];
var w = new Window("dialog", "Order form");
var nameInput = w.add("edittext", [0, 0, 250, 20], "", {name: "nameInput"});
nameInput.helpTip = "Who orders";
nameInput.onChanging = function () { log.push("changing:" + this.text); };
nameInput.onChange = function () { log.push("change:" + this.text); };
var small = w.add("radiobutton", undefined, "Small", {name: "optA"});
var large = w.add("radiobutton", undefined, "Large", {name: "optB"});
small.value = true;
small.onClick = function () { log.push("small"); };
large.onClick = function () { log.push("large"); };
var check = w.add("checkbox", undefined, "Gift wrap", {name: "check"});
check.onClick = function () { log.push("check:" + this.value); };
var off = w.add("checkbox", undefined, "Unavailable", {name: "disabledBox"});
off.enabled = false;
off.onClick = function () { log.push("disabled clicked"); };
var hiddenPanel = w.add("panel", undefined, "Hidden", {name: "hiddenPanel"});
hiddenPanel.visible = false;
var inHidden = hiddenPanel.add("button", undefined, "Secret", {name: "secret"});
inHidden.onClick = function () { log.push("secret"); };
var okButton = w.add("button", undefined, "OK", {name: "okButton"});
var cancelButton = w.add("button", undefined, "Cancel", {name: "cancelButton"});
okButton.onClick = function () { log.push("ok"); };
cancelButton.onClick = function () { log.push("cancel"); };
var result = w.show();
result + "|" + log.join(",")
)";

class Dialog : public ScriptBench {
protected:
    const script::Dialog& shows(const std::string& script, const Actions& actions,
                                const std::string& expected, ClosedBy closedBy) {
        dialogs.clear();
        user = actions;
        EXPECT_EQ(value(script), expected);
        EXPECT_EQ(dialogs.size(), 1u);
        static const script::Dialog none;
        const script::Dialog& d = dialogs.empty() ? none : dialogs.back();
        EXPECT_EQ(d.closedBy, closedBy);
        EXPECT_EQ(std::to_string(d.result), expected.substr(0, 1)) << "show()'s result";
        return d;
    }
};

TEST_F(Dialog, TheScriptedUserWorksTheControlsAsAPersonWould) {
    struct Case {
        Actions actions;
        const char* value;  // show()'s result and the handlers' log
        const char* closingControl = "okButton";
        ClosedBy closedBy = ClosedBy::Button;
    };
    const Case cases[] = {
        {{}, "2|", "", ClosedBy::WindowButton},  // the user walks away
        {{"close"}, "2|", "", ClosedBy::WindowButton},
        {{"ok"}, "1|ok"},
        {{"cancel"}, "2|cancel", "cancelButton"},
        {{"set nameInput Bob Smith ", "ok"}, "1|changing:Bob Smith ,change:Bob Smith ,ok"},
        {{"set nameInput", "ok"}, "1|ok"},
        {{"click optB", "expect optA value false", "expect optB value true", "click optB",
          "click optA", "expect optB value false", "ok"},
         "1|large,large,small,ok"},
        {{"click disabledBox", "expect disabledBox value false", "click secret", "ok"}, "1|ok"},
        {{"# nothing to do", "", "   ", "ok"}, "1|ok"},
        {{"expect nameInput bounds [0,0,250,20]", "expect okButton enabled true", "ok"}, "1|ok"},
        // Last: the tree below is this run's.
        {{"set nameInput Ann", "click optB", "click check", "ok"},
         "1|changing:Ann,change:Ann,large,check:true,ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(shows(kDialog, c.actions, c.value, c.closedBy).closingControl, c.closingControl);
        EXPECT_TRUE(user.empty()) << "every action was used";
    }
    std::string tree;
    outfold_test::outline(dialogs.back().window, "", &tree);
    EXPECT_EQ(tree,
              R"(dialog  "Order form"
  edittext nameInput "Ann" bounds=[0,0,250,20] helpTip="Who orders"
  radiobutton optA "Small" off
  radiobutton optB "Large" on
  checkbox check "Gift wrap" on
  checkbox disabledBox "Unavailable" off disabled
  panel hiddenPanel "Hidden" hidden
    button secret "Secret"
  button okButton "OK"
  button cancelButton "Cancel"
)");
}

TEST_F(Dialog, UserAndToolkitMistakesAreScriptErrors) {
    // The actions, the error, and how many actions were left.
    const std::tuple<Actions, const char*, std::size_t> cases[] = {
        {{"click nobody", "ok"}, "Error: no control named nobody", 1},
        {{"set optA words"}, "Error: set: optA is a radiobutton, not an edittext", 0},
        {{"dance", "ok"}, "Error: unknown user action \"dance\"", 1},
        {{"expect check value true"}, "Error: expect: check.value is \"false\", not \"true\"", 0},
    };
    for (const auto& [actions, expected, left] : cases) {
        user = actions;
        EXPECT_EQ(error(kDialog), std::string(expected) + " (line 25)");
        EXPECT_EQ(user.size(), left) << expected;
        EXPECT_TRUE(dialogs.empty()) << "a dialog that failed is not recorded";
    }
    user = {"ok"};
    errorSuffix = " (line 1)";
    expect_errors({
        // First, while the action is there to press the default button.
        {"var w = new Window('dialog'); w.add('button', undefined, 'Go'); w.show()",
         "Error: ok: the dialog has no default button"},
        {"new Window('sheet')", "Error: Window(): unknown window type sheet"},
        {"new Window('dialog').add('slider')", "Error: add(): unknown control type slider"},
        {"new Window('dialog').add(5)", "TypeError: add(): the control type must be a type name"},
        {"new Window('dialog').add('button').add('button')",
         "Error: add(): a button cannot hold controls"},
        {"var w = new Window('dialog'); w.onShow = function () { w.show(); }; w.show()",
         "Error: show(): the window is already shown"},
    });
}

TEST_F(Dialog, DefaultAndCancelButtonsFollowTheToolkitsRules) {
    // Each script adds to a dialog `w`; the value is show()'s result and the handlers' `log`.
    using enum ClosedBy;
    const std::tuple<const char*, Actions, const char*, ClosedBy> cases[] = {
        {"button('OK', '', function () { w.close(7) })", {"ok"}, "7", Button},
        {"button('Ok', 'buttonOK', function () { w.close() })", {"click buttonOK"}, "1", Button},
        {"button('Go', 'ok', function () { log += 'went' })", {"ok"}, "1went", Button},
        {"button('Apply', 'apply', function () { if ((log += 'a') == 'aa') w.close() })",
         {"click apply", "click apply", "click apply"},
         "2aa",
         Button},
        {"button('OK'); w.defaultElement = button('Go', 'go', function () { log = 'go' })",
         {"ok"},
         "1go",
         Button},
        {"button('OK')", {"cancel"}, "2", WindowButton},
        {"button('Cancel'); w.onClose = function () { log += 'asked'; return false; }",
         {"close", "cancel"},
         "2asked",
         Button},
        {"w.onShow = function () { w.close(3) }", {"ok"}, "3", Script},
        {"w = new Window('palette', 'Tools'); button('OK')", {"ok"}, "1", Button},
    };
    const std::string prelude =
        "var w = new Window('dialog'), log = '';\n"
        "function button(text, name, onClick) {\n"
        "  var b = name ? w.add('button', undefined, text, {name: name})\n"
        "               : w.add('button', undefined, text);\n"
        "  if (onClick) b.onClick = onClick;\n"
        "  return b;\n"
        "}\n";
    for (const auto& [script, actions, expected, closedBy] : cases) {
        SCOPED_TRACE(script);
        shows(prelude + script + ";\nw.show() + log", actions, expected, closedBy);
    }
}

TEST_F(Dialog, DialogsOpenedFromHandlersUseTheFollowingActions) {
    user = {"click more", "set detail deep", "ok", "expect more text More...", "cancel"};
    EXPECT_EQ(value("var outer = new Window('dialog', 'Outer'), detail = '';\n"
                    "var more = outer.add('button', undefined, 'More...', {name: 'more'});\n"
                    "outer.add('button', undefined, 'Cancel');\n"
                    "more.onClick = function () {\n"
                    "  var inner = new Window('dialog', 'Inner');\n"
                    "  var field = inner.add('edittext', undefined, '', {name: 'detail'});\n"
                    "  inner.add('button', undefined, 'OK');\n"
                    "  if (inner.show() == 1) detail = field.text;\n"
                    "};\n"
                    "outer.show() + ':' + detail"),
              "2:deep");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].window.text + std::to_string(dialogs[0].result), "Inner1");
    EXPECT_EQ(dialogs[1].window.text + std::to_string(dialogs[1].result), "Outer2");
}

TEST_F(Dialog, ControlsCanBeMadeAndFoundInTheToolkitsOtherWays) {
    expect_values({
        {"var w = new Window('dialog'); var g = w.add('group');\n"
         "var a = g.add('radiobutton'); var b = g.add('radiobutton');\n"
         "var other = w.add('radiobutton'); other.value = true;\n"
         "a.value = true; b.value = true;\n"
         "[a.value, b.value, other.value].join()",
         "false,true,true"},
        {"var w = new Window('dialog'); var c = w.add('checkbox');\n"
         "c.value = 'yes'; var first = c.value; c.value = 0; first + ',' + c.value",
         "true,false"},
        // A window made without bounds has none; a resource that is not an object sets nothing.
        {"var w = new Window('dialog'), b = w.add('button {} + {}'); ['bounds' in w, typeof b[0]]",
         "false,undefined"},
        // Any window type holds controls; only a group takes properties in place of a text.
        {"new Window('window').add('statictext', undefined, ['a', 'b']).text", "a,b"},
    });
    EXPECT_TRUE(dialogs.empty()) << "never shown, never recorded";
    const script::Dialog& d = shows(
        "var w = new Window('dialog'), g = w.add('group', undefined, {name: 'g'});\n"
        "var e = g.add('edittext {text: \"typed\", properties: {name: \"r\", multiline: true}}');\n"
        "var p = g.add('Panel', [0, 0, 10, 10], 'Titled');\n"
        "w.add('button', undefined, 'OK'); w.layout.layout(true); w.center();\n"
        "[w.show(), w.findElement('r') === e, g.findElement('r') === e,\n"
        " w.findElement('none'), w.children.length, g.children.length, e.parent === g,\n"
        " e.window === w, e.type, p.type, p.text, e.text].join()",
        {"ok"}, "1,true,true,,2,2,true,true,edittext,panel,Titled,typed", ClosedBy::Button);
    ASSERT_NE(d.find("r"), nullptr);
    EXPECT_EQ(d.find("r")->properties.at("multiline"), "true");
}

}  // namespace
}  // namespace script_test
