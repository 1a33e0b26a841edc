// A stand-in for the application's dialog toolkit, and the scripted user who
// works its dialogs.
//
// Scripts build windows with `new Window(...)` and `add(...)` as they would
// in the application; `show()` then plays the actions of ScriptHost::user,
// one line each, until the dialog closes:
//
//   set <name> <text>           types the text into an edittext (the rest of
//                               the line, spaces included), then fires
//                               onChanging and onChange if the text changed
//   click <name>                clicks a control: a checkbox toggles, a
//                               radiobutton is chosen (its radiobutton
//                               siblings are cleared), then onClick fires
//   ok                          presses Enter: clicks the default button
//   cancel                      presses Escape: clicks the cancel button, or
//                               closes the dialog with 2 when there is none
//   close                       the window's close button: onClose may veto
//                               it; otherwise closes with 2, no onClick fires
//   expect <name> <prop> <text> fails the script unless String(prop) (JSON
//                               text for objects) equals the text
//
// Blank lines and lines starting with '#' are skipped. A name that no control
// of the dialog has is a script error ("no control named X"). Clicks on and
// typing into disabled or hidden controls (or controls inside disabled or
// hidden groups) do nothing, as with a real mouse.
//
// Default and cancel buttons: the window's defaultElement / cancelElement when
// the script set them; otherwise the first button whose name or text is "ok"
// (resp. "cancel"), ignoring case. Clicking one runs its onClick; if the
// dialog is still open afterwards it closes, with 1 for the default button and
// 2 for the cancel button. close() without a value during a click of the
// default button gives 1, otherwise 2; close(n) gives n.
//
// When the actions run out with the dialog still open, it is closed as by its
// close button. Every kind of window ("dialog", "palette", "window") is modal
// here: show() returns only when the window has closed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::script {

// One control as it stood when its dialog closed.
struct Control {
    std::string kind;  // "dialog", "group", "panel", "statictext", "edittext", ...
    std::string name;  // the control's name property ("" when unnamed)
    std::string text;
    std::optional<bool> value;  // checkboxes and radiobuttons
    bool enabled = true;
    bool visible = true;
    // Layout and other properties the script set (orientation, alignChildren,
    // alignment, spacing, margins, preferredSize, helpTip, bounds, creation
    // properties), each as compact JSON text, e.g. `["fill","top"]`, `16`.
    std::map<std::string, std::string> properties;
    std::vector<Control> children;

    // This control or the first descendant (depth first) with the name.
    const Control* find(std::string_view controlName) const;
};

enum class ClosedBy {
    Button,        // a click on a button (or Enter / Escape) closed it
    WindowButton,  // the window's close button, or the actions ran out
    Script,        // close() outside any click
};

struct Dialog {
    Control window;  // kind is the window type; text is the title
    ClosedBy closedBy = ClosedBy::WindowButton;
    std::string closingControl;  // name (else text) of the button that closed it
    int result = 2;              // what show() returned

    const Control* find(std::string_view controlName) const { return window.find(controlName); }
};

}  // namespace host::script
