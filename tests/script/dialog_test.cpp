// The dialog toolkit stand-in and the scripted user who works it.
#include "common/dialog_outline.h"
#include "script_bench.h"

namespace script_test {
namespace {

using script::ClosedBy;
using Actions = std::vector<std::string>;

// A dialog with every kind of control. Handlers write what happened into
// `log`; the script's value is show()'s result and the log.
constexpr const char* kDialog = R"(var log = [];
var w = new Window("dialog", "Order form");
w.orientation = "column";
w.alignChildren = ["fill", "top"];
w.spacing = 10;
w.margins = 16;
var top = w.add("group", undefined, {name: "top"});
top.orientation = "row";
top.add("statictext", undefined, "Name", {name: "nameLabel"});
var nameInput = top.add("edittext", [0, 0, 250, 20], "", {name: "nameInput"});
nameInput.preferredSize.width = 250;
nameInput.helpTip = "Who orders";
nameInput.onChanging = function () { log.push("changing:" + this.text); };
nameInput.onChange = function () { log.push("change:" + this.text); };
var sizes = w.add("panel", undefined, "Size", {name: "sizes"});
sizes.margins = [20, 0, 0, 0];
var small = sizes.add("radiobutton", undefined, "Small", {name: "optA"});
var large = sizes.add("radiobutton", undefined, "Large", {name: "optB"});
small.value = true;
small.onClick = function () { log.push("small"); };
large.onClick = function () { log.push("large"); };
var elsewhere = w.add("group", undefined, {name: "elsewhere"});
var lone = elsewhere.add("radiobutton", undefined, "Lone", {name: "lone"});
lone.value = true;
var check = w.add("checkbox", undefined, "Gift wrap", {name: "check"});
check.onClick = function () { log.push("check:" + this.value); };
var off = w.add("checkbox", undefined, "Unavailable", {name: "disabledBox"});
off.enabled = false;
off.onClick = function () { log.push("disabled clicked"); };
var hiddenPanel = w.add("panel", undefined, "Hidden", {name: "hiddenPanel"});
hiddenPanel.visible = false;
var inHidden = hiddenPanel.add("button", undefined, "Secret", {name: "secret"});
inHidden.onClick = function () { log.push("secret"); };
var buttons = w.add("group", undefined, {name: "buttons"});
buttons.alignment = ["fill", "center"];
var okButton = buttons.add("button", undefined, "OK", {name: "okButton"});
var cancelButton = buttons.add("button", undefined, "Cancel", {name: "cancelButton"});
okButton.onClick = function () { log.push("ok"); };
cancelButton.onClick = function () { log.push("cancel"); };
var result = w.show();
result + "|" + log.join(",")
)";

class Dialog : public ScriptBench {
protected:
    // Runs the form with the actions; returns the script's value.
    std::string form(const Actions& actions) {
        user = actions;
        return value(kDialog);
    }
    const script::Dialog& shown() {
        EXPECT_EQ(dialogs.size(), 1u);
        static const script::Dialog none;
        return dialogs.empty() ? none : dialogs.back();
    }
};

TEST_F(Dialog, TheControlTreeIsRecordedAsItStoodAtTheClose) {
    EXPECT_EQ(form({"set nameInput Ann", "click optB", "click check", "ok"}),
              "1|changing:Ann,change:Ann,large,check:true,ok");
    const script::Dialog& d = shown();
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.closedBy, ClosedBy::Button);
    EXPECT_EQ(d.closingControl, "okButton");
    std::string tree;
    outfold_test::outline(d.window, "", &tree);
    EXPECT_EQ(
        tree,
        R"(dialog  "Order form" alignChildren=["fill","top"] margins=16 orientation="column" spacing=10
  group top "" orientation="row"
    statictext nameLabel "Name"
    edittext nameInput "Ann" bounds=[0,0,250,20] helpTip="Who orders" preferredSize={"width":250,"height":-1}
  panel sizes "Size" margins=[20,0,0,0]
    radiobutton optA "Small" off
    radiobutton optB "Large" on
  group elsewhere ""
    radiobutton lone "Lone" on
  checkbox check "Gift wrap" on
  checkbox disabledBox "Unavailable" off disabled
  panel hiddenPanel "Hidden" hidden
    button secret "Secret"
  group buttons "" alignment=["fill","center"]
    button okButton "OK"
    button cancelButton "Cancel"
)");
    EXPECT_TRUE(user.empty()) << "every action was used";
}

TEST_F(Dialog, TheScriptedUserWorksTheControlsAsAPersonWould) {
    struct Case {
        Actions actions;
        const char* value;  // show()'s result and the handlers' log
        const char* closingControl = "okButton";
        ClosedBy closedBy = ClosedBy::Button;
    };
    const Case cases[] = {
        // The user walks away: closed as by the window's close button.
        {{}, "2|", "", ClosedBy::WindowButton},
        {{"close"}, "2|", "", ClosedBy::WindowButton},
        // Enter and Escape press the default and cancel buttons.
        {{"ok"}, "1|ok"},
        {{"cancel"}, "2|cancel", "cancelButton"},
        {{"click okButton"}, "1|ok"},
        {{"click cancelButton"}, "2|cancel", "cancelButton"},
        // Typing fires the events once the text changes; an unchanged text fires nothing.
        {{"set nameInput Bob Smith ", "ok"}, "1|changing:Bob Smith ,change:Bob Smith ,ok"},
        {{"set nameInput", "ok"}, "1|ok"},
        // Radiobuttons: choosing one clears its neighbours; clicking the
        // chosen one again still fires.
        {{"click optB", "expect optA value false", "expect optB value true",
          "expect lone value true", "click optB", "click optA", "expect optB value false", "ok"},
         "1|large,large,small,ok"},
        // Checkboxes toggle before their handler runs.
        {{"click check", "click check", "click check", "expect check value true", "ok"},
         "1|check:true,check:false,check:true,ok"},
        // Disabled controls and controls in hidden containers cannot be reached.
        {{"click disabledBox", "expect disabledBox value false", "click secret", "ok"}, "1|ok"},
        // Comments and blank lines are skipped.
        {{"# nothing to do", "", "   ", "ok"}, "1|ok"},
        {{"expect nameInput preferredSize {\"width\":250,\"height\":-1}",
          "expect nameLabel text Name", "expect sizes enabled true", "ok"},
         "1|ok"},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        EXPECT_EQ(form(c.actions), c.value) << c.actions.size() << " actions";
        EXPECT_EQ(shown().closedBy, c.closedBy) << c.value;
        EXPECT_EQ(shown().closingControl, c.closingControl) << c.value;
        EXPECT_TRUE(user.empty());
    }
}

TEST_F(Dialog, UserScriptMistakesAreScriptErrors) {
    // The actions, the error, and how many actions were not consumed.
    const std::tuple<Actions, const char*, std::size_t> cases[] = {
        {{"click nobody", "ok"}, "Error: no control named nobody (line 40)", 1},
        {{"click"}, "Error: no control named  (line 40)", 0},
        {{"set optA words"}, "Error: set: optA is a radiobutton, not an edittext (line 40)", 0},
        {{"dance", "ok"}, "Error: unknown user action \"dance\" (line 40)", 1},
        {{"expect check value true"},
         "Error: expect: check.value is \"false\", not \"true\" (line 40)",
         0},
        {{"set nameInput x", "expect nameInput text y", "ok"},
         "Error: expect: nameInput.text is \"x\", not \"y\" (line 40)",
         1},
    };
    for (const auto& [actions, expected, left] : cases) {
        dialogs.clear();
        user = actions;
        EXPECT_EQ(error(kDialog), expected);
        EXPECT_EQ(user.size(), left) << expected;
        EXPECT_TRUE(dialogs.empty()) << "a dialog that failed is not recorded";
    }
}

TEST_F(Dialog, DefaultAndCancelButtonsFollowTheToolkitsRules) {
    // Every script starts with a dialog `w` and ends by showing it.
    struct Case {
        const char* script;
        Actions actions;
        const char* value;
        ClosedBy closedBy = ClosedBy::Button;
    };
    const Case cases[] = {
        // A handler that closes decides the result.
        {"var b = w.add('button', undefined, 'OK'); b.onClick = function () { w.close(7); };",
         {"ok"},
         "7"},
        // close() without a value from the default button gives 1.
        {"var b = w.add('button', undefined, 'Ok', {name: 'buttonOK'});\n"
         "b.onClick = function () { w.close(); };",
         {"click buttonOK"},
         "1"},
        // A handler that does not close: the default button still closes.
        {"var b = w.add('button', undefined, 'Go', {name: 'ok'});\n"
         "var n = 0; b.onClick = function () { n++; }; var after = function () { return ':' + n; "
         "};",
         {"ok"},
         "1:1"},
        // Other buttons close only when their handler does, with 2 by default.
        {"var b = w.add('button', undefined, 'Apply', {name: 'apply'}); var n = 0;\n"
         "b.onClick = function () { n++; if (n == 2) w.close(); };\n"
         "var after = function () { return ':' + n; };",
         {"click apply", "click apply", "click apply"},
         "2:2"},
        // The window's defaultElement wins over names.
        {"w.add('button', undefined, 'OK');\n"
         "var go = w.add('button', undefined, 'Go', {name: 'go'}); w.defaultElement = go;\n"
         "var hit = ''; go.onClick = function () { hit = 'go'; };\n"
         "var after = function () { return hit; };",
         {"ok"},
         "1go"},
        // Escape without a cancel button closes as the window button does.
        {"w.add('button', undefined, 'OK');", {"cancel"}, "2", ClosedBy::WindowButton},
        // onClose may refuse the window button.
        {"w.add('button', undefined, 'Cancel');\n"
         "var asked = 0; w.onClose = function () { asked++; return false; };\n"
         "var after = function () { return ':' + asked; };",
         {"close", "cancel"},
         "2:1"},
        // close() outside a click: closed by the script.
        {"w.onShow = function () { w.close(3); };", {"ok"}, "3", ClosedBy::Script},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        user = c.actions;
        const std::string script = std::string("var w = new Window('dialog'); var after;\n") +
                                   c.script + "\nw.show() + (after ? after() : '')";
        EXPECT_EQ(value(script), c.value) << script;
        ASSERT_EQ(dialogs.size(), 1u) << script;
        EXPECT_EQ(dialogs[0].closedBy, c.closedBy) << script;
        EXPECT_EQ(std::to_string(dialogs[0].result), std::string(c.value).substr(0, 1)) << script;
    }
    // Palettes are shown the same way here.
    dialogs.clear();
    user = {"ok"};
    EXPECT_EQ(value("var w = new Window('palette', 'Tools'); w.add('button', undefined, 'OK');\n"
                    "w.show()"),
              "1");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].closedBy, ClosedBy::Button);
    EXPECT_EQ(dialogs[0].result, 1);
    user = {"ok"};
    EXPECT_EQ(error("var w = new Window('dialog'); w.add('button', undefined, 'Go'); w.show()"),
              "Error: ok: the dialog has no default button (line 1)");
}

TEST_F(Dialog, RadiobuttonValuesExcludeTheirNeighboursWhenSet) {
    EXPECT_EQ(value("var w = new Window('dialog'); var g = w.add('group');\n"
                    "var a = g.add('radiobutton'); var b = g.add('radiobutton');\n"
                    "var other = w.add('radiobutton'); other.value = true;\n"
                    "a.value = true; b.value = true;\n"
                    "[a.value, b.value, other.value].join()"),
              "false,true,true");
    EXPECT_EQ(value("var w = new Window('dialog'); var c = w.add('checkbox');\n"
                    "c.value = 'yes'; var first = c.value; c.value = 0; first + ',' + c.value"),
              "true,false");
}

TEST_F(Dialog, DialogsOpenedFromHandlersUseTheFollowingActions) {
    user = {"click more", "set detail deep", "ok", "expect more text More...", "cancel"};
    EXPECT_EQ(value("var outer = new Window('dialog', 'Outer');\n"
                    "var more = outer.add('button', undefined, 'More...', {name: 'more'});\n"
                    "outer.add('button', undefined, 'Cancel');\n"
                    "var detail = '';\n"
                    "more.onClick = function () {\n"
                    "  var inner = new Window('dialog', 'Inner');\n"
                    "  var field = inner.add('edittext', undefined, '', {name: 'detail'});\n"
                    "  inner.add('button', undefined, 'OK');\n"
                    "  if (inner.show() == 1) detail = field.text;\n"
                    "};\n"
                    "outer.show() + ':' + detail"),
              "2:deep");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].window.text, "Inner");
    EXPECT_EQ(dialogs[0].result, 1);
    EXPECT_EQ(dialogs[1].window.text, "Outer");
    EXPECT_EQ(dialogs[1].result, 2);
}

TEST_F(Dialog, ControlsCanBeMadeAndFoundInTheToolkitsOtherWays) {
    EXPECT_EQ(
        value("var w = new Window('dialog');\n"
              "var g = w.add('group', undefined, {name: 'g'});\n"
              "var e = g.add('edittext {text: \"typed\", properties: {name: \"res\", multiline: "
              "true}}');\n"
              "var p = g.add('Panel', [0, 0, 10, 10], 'Titled');\n"
              "[w.findElement('res') === e, g.findElement('res') === e, w.findElement('none'),\n"
              " w.children.length, g.children.length, e.parent === g, e.window === w,\n"
              " e.type, p.type, p.text, e.text].join()"),
        "true,true,,1,2,true,true,edittext,panel,Titled,typed");
    EXPECT_TRUE(dialogs.empty()) << "never shown, never recorded";
    user = {"ok"};
    value(
        "var w = new Window('dialog'); w.add('edittext {properties: {name: \"res\", multiline: "
        "true}}');\n"
        "w.add('button', undefined, 'OK'); w.layout.layout(true); w.center(); w.show()");
    ASSERT_EQ(dialogs.size(), 1u);
    ASSERT_NE(dialogs[0].find("res"), nullptr);
    EXPECT_EQ(dialogs[0].find("res")->properties.at("multiline"), "true");
}

TEST_F(Dialog, MisusedToolkitCallsAreScriptErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {"new Window('sheet')", "Error: Window(): unknown window type sheet (line 1)"},
        {"new Window('dialog').add('slider')",
         "Error: add(): unknown control type slider (line 1)"},
        {"new Window('dialog').add(5)",
         "TypeError: add(): the control type must be a type name (line 1)"},
        {"new Window('dialog').add('button').add('button')",
         "Error: add(): a button cannot hold controls (line 1)"},
        {"var w = new Window('dialog'); w.onShow = function () { w.show(); }; w.show()",
         "Error: show(): the window is already shown (line 1)"},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(error(source), expected) << source;
}

}  // namespace
}  // namespace script_test
