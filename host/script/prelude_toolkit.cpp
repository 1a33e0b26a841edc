// The dialog toolkit stand-in: Window and its controls, and the scripted
// user that show() plays (the action language is described in scriptui.h).
#include "script/preludes.h"

namespace host::script {

const Prelude kToolkitPrelude = {"[toolkit]", R"JS((function (native, global, stringify) {
"use strict";

// Captured before a run takes the newer built-ins away from scripts.
var Object_ = {create: Object.create, defineProperty: Object.defineProperty, keys: Object.keys,
               freeze: Object.freeze};
var forEach = Array.prototype.forEach, indexOf = Array.prototype.indexOf;

var WINDOW_TYPES = {dialog: true, palette: true, window: true};
var CONTROL_TYPES = {group: true, panel: true, statictext: true, edittext: true,
                     radiobutton: true, checkbox: true, button: true};
var CONTAINERS = {dialog: true, palette: true, window: true, group: true, panel: true};
var RECORDED = ["orientation", "alignChildren", "alignment", "spacing", "margins",
                "preferredSize", "minimumSize", "maximumSize", "size", "bounds", "location",
                "helpTip", "justify", "characters", "active"];
var SIZES = {preferredSize: true, minimumSize: true, maximumSize: true};
var TYPE_SPEC = /^\s*([A-Za-z]+)\s*(\{[\s\S]*\})?\s*$/;

function hide(target, key, value) {
    Object_.defineProperty(target, key, {value: value, writable: true, enumerable: false,
                                        configurable: true});
}

function method(proto, key, fn) {
    Object_.defineProperty(proto, key, {value: fn, writable: true, enumerable: false,
                                       configurable: true});
}

function unsetSize() { return {width: -1, height: -1}; }

function isUnsetSize(size) {
    return size !== null && typeof size === "object" && size.width === -1 && size.height === -1 &&
           Object_.keys(size).length === 2;
}

// Checkboxes and radiobuttons hold a boolean; choosing a radiobutton clears
// the radiobuttons beside it in the same container.
function defineValue(control) {
    var state = false;
    Object_.defineProperty(control, "value", {
        enumerable: true,
        get: function () { return state; },
        set: function (value) {
            state = !!value;
            if (!state || control.type !== "radiobutton" || !control.parent) return;
            var siblings = control.parent.children;
            for (var i = 0; i < siblings.length; ++i) {
                if (siblings[i] !== control && siblings[i].type === "radiobutton") {
                    siblings[i].value = false;
                }
            }
        }
    });
}

function setUp(control, type, parent, win) {
    Object_.defineProperty(control, "type", {value: type, enumerable: true});
    Object_.defineProperty(control, "parent", {value: parent, enumerable: false});
    Object_.defineProperty(control, "window", {value: win || control, enumerable: false});
    hide(control, "children", []);
    hide(control, "properties", {});
    control.name = "";
    control.text = "";
    control.enabled = true;
    control.visible = true;
    control.preferredSize = unsetSize();
    control.minimumSize = unsetSize();
    control.maximumSize = unsetSize();
    if (type === "checkbox" || type === "radiobutton") defineValue(control);
}

// The object a resource string describes, e.g. `edittext {text: "a"}`.
function readResource(body) {
    return (new Function("return (" + body + ");"))();
}

function applyCreationProperties(control, properties) {
    if (properties === null || typeof properties !== "object") return;
    for (var key in properties) {
        if (!Object.prototype.hasOwnProperty.call(properties, key)) continue;
        control.properties[key] = properties[key];
        if (key === "name") control.name = String(properties[key]);
    }
}

function applyResource(control, resource) {
    if (resource === null || typeof resource !== "object") return;
    for (var key in resource) {
        if (!Object.prototype.hasOwnProperty.call(resource, key)) continue;
        if (key === "properties") {
            applyCreationProperties(control, resource[key]);
        } else {
            control[key] = resource[key];
        }
    }
}

// ---- controls
function Control() { throw new TypeError("controls are made with add()"); }

method(Control.prototype, "add", function (type, bounds, text, properties) {
    if (!CONTAINERS[this.type]) throw new Error("add(): a " + this.type + " cannot hold controls");
    var spec = typeof type === "string" ? TYPE_SPEC.exec(type) : null;
    if (!spec) throw new TypeError("add(): the control type must be a type name");
    var kind = spec[1].toLowerCase();
    if (!CONTROL_TYPES[kind]) throw new Error("add(): unknown control type " + spec[1]);
    // A group has no text: its third argument is already the properties.
    if (kind === "group" && properties === undefined && text !== null && typeof text === "object") {
        properties = text;
        text = undefined;
    }
    var control = Object_.create(Control.prototype);
    setUp(control, kind, this, this.window);
    if (bounds !== undefined && bounds !== null) control.bounds = bounds;
    if (text !== undefined && text !== null) control.text = String(text);
    applyCreationProperties(control, properties);
    if (spec[2]) applyResource(control, readResource(spec[2]));
    this.children.push(control);
    return control;
});

method(Control.prototype, "remove", function (which) {
    var index = typeof which === "number" ? which : indexOf.call(this.children, which);
    if (index >= 0 && index < this.children.length) this.children.splice(index, 1);
});

function findIn(control, name) {
    var children = control.children;
    for (var i = 0; i < children.length; ++i) {
        if (children[i].name === name) return children[i];
        var found = findIn(children[i], name);
        if (found) return found;
    }
    return null;
}

method(Control.prototype, "findElement", function (name) { return findIn(this, String(name)); });

method(Control.prototype, "notify", function (event) {
    fire(this, event === undefined ? "onClick" : String(event));
});

function fire(control, event) {
    var handler = control[event];
    if (typeof handler === "function") handler.call(control);
}

// ---- windows
function Window(type, title, bounds, properties) {
    if (!(this instanceof Window)) return new Window(type, title, bounds, properties);
    var spec = typeof type === "string" ? TYPE_SPEC.exec(type) : null;
    var kind = spec ? spec[1].toLowerCase() : "";
    if (!WINDOW_TYPES[kind]) throw new Error("Window(): unknown window type " + type);
    setUp(this, kind, null, null);
    if (title !== undefined && title !== null) this.text = String(title);
    if (bounds !== undefined && bounds !== null) this.bounds = bounds;
    applyCreationProperties(this, properties);
    if (spec[2]) applyResource(this, readResource(spec[2]));
    this.defaultElement = null;
    this.cancelElement = null;
    this.layout = {layout: function () {}, resize: function () {}};
    hide(this, "_shown", false);
    hide(this, "_result", 2);
    hide(this, "_closedBy", "window");
    hide(this, "_closingControl", "");
    hide(this, "_clicking", null);
}
Window.prototype = Object_.create(Control.prototype);
hide(Window.prototype, "constructor", Window);
Object_.defineProperty(global, "Window", {value: Window, writable: true, enumerable: false,
                                         configurable: true});

function closeWindow(win, result, how, control) {
    win._shown = false;
    win._result = result;
    win._closedBy = how;
    win._closingControl = control ? String(control.name || control.text || "") : "";
}

function isWholeNumber(value) {
    return typeof value === "number" && value % 1 === 0 && Math.abs(value) < 2147483648;
}

method(Window.prototype, "close", function (result) {
    if (!this._shown) return;
    var clicked = this._clicking;
    var fallback = clicked && clicked === defaultButton(this) ? 1 : 2;
    closeWindow(this, isWholeNumber(result) ? result : fallback, clicked ? "button" : "script",
                clicked);
});
method(Window.prototype, "hide", function () { this.close(); });
method(Window.prototype, "center", function () {});

method(Window.prototype, "show", function () {
    if (this._shown) throw new Error("show(): the window is already shown");
    this._shown = true;
    this._clicking = null;
    fire(this, "onShow");
    while (this._shown) {
        var action = native.nextAction();
        if (action === undefined) {
            closeWindow(this, 2, "window", null);  // the user walked away
        } else {
            perform(this, action);
        }
    }
    native.recordDialog(stringify({window: snapshot(this), closedBy: this._closedBy,
                                   closingControl: this._closingControl, result: this._result}));
    return this._result;
});

// ---- the scripted user
function firstButton(control, word) {
    var children = control.children;
    for (var i = 0; i < children.length; ++i) {
        var child = children[i];
        if (child.type === "button" &&
            (String(child.name).toLowerCase() === word || String(child.text).toLowerCase() === word)) {
            return child;
        }
        var found = firstButton(child, word);
        if (found) return found;
    }
    return null;
}

function defaultButton(win) { return win.defaultElement || firstButton(win, "ok"); }
function cancelButton(win) { return win.cancelElement || firstButton(win, "cancel"); }

// Whether a mouse could reach the control: it and every container around it
// are enabled and visible.
function usable(control) {
    for (var c = control; c; c = c.parent) {
        if (c.enabled === false || c.visible === false) return false;
    }
    return true;
}

function click(win, control) {
    if (!usable(control)) return;
    if (control.type === "checkbox") control.value = !control.value;
    if (control.type === "radiobutton") control.value = true;
    var outer = win._clicking;
    win._clicking = control;
    try {
        fire(control, "onClick");
    } finally {
        win._clicking = outer;
    }
    if (!win._shown || control.type !== "button") return;
    if (control === defaultButton(win)) {
        closeWindow(win, 1, "button", control);
    } else if (control === cancelButton(win)) {
        closeWindow(win, 2, "button", control);
    }
}

function type(control, text) {
    if (control.type !== "edittext") {
        throw new Error("set: " + control.name + " is a " + control.type + ", not an edittext");
    }
    if (!usable(control) || control.text === text) return;
    control.text = text;
    fire(control, "onChanging");
    fire(control, "onChange");
}

function describe(value) {
    return value !== null && typeof value === "object" ? stringify(value) : String(value);
}

function splitWord(text) {
    var space = text.indexOf(" ");
    return space < 0 ? [text, ""] : [text.slice(0, space), text.slice(space + 1)];
}

function controlNamed(win, name) {
    var control = name === "" ? null : findIn(win, name);
    if (!control) throw new Error("no control named " + name);
    return control;
}

function perform(win, action) {
    var line = String(action).replace(/\r$/, "").replace(/^\s+/, "");
    if (line === "" || line.charAt(0) === "#") return;
    var verb = splitWord(line);
    var rest = verb[1];
    switch (verb[0]) {
    case "set":
        var assignment = splitWord(rest);
        type(controlNamed(win, assignment[0]), assignment[1]);
        return;
    case "click":
        click(win, controlNamed(win, rest.replace(/\s+$/, "")));
        return;
    case "ok":
        var ok = defaultButton(win);
        if (!ok) throw new Error("ok: the dialog has no default button");
        click(win, ok);
        return;
    case "cancel":
        var cancel = cancelButton(win);
        if (cancel) {
            click(win, cancel);
        } else {
            closeWindow(win, 2, "window", null);
        }
        return;
    case "close":
        if (typeof win.onClose === "function" && win.onClose.call(win) === false) return;
        closeWindow(win, 2, "window", null);
        return;
    case "expect":
        var target = splitWord(rest);
        var property = splitWord(target[1]);
        var actual = describe(controlNamed(win, target[0])[property[0]]);
        if (actual !== property[1]) {
            throw new Error("expect: " + target[0] + "." + property[0] + " is \"" + actual +
                            "\", not \"" + property[1] + "\"");
        }
        return;
    default:
        throw new Error("unknown user action \"" + line + "\"");
    }
}

// ---- the record of a closed dialog
function snapshot(control) {
    var shot = {
        kind: control.type,
        name: control.name === undefined || control.name === null ? "" : String(control.name),
        text: control.text === undefined || control.text === null ? "" : String(control.text),
        enabled: control.enabled !== false,
        visible: control.visible !== false,
        properties: {},
        children: []
    };
    if (control.type === "checkbox" || control.type === "radiobutton") shot.value = !!control.value;
    forEach.call(RECORDED, function (key) {
        var value = control[key];
        if (value === undefined || value === null || (SIZES[key] && isUnsetSize(value))) return;
        var text = stringify(value);
        if (text !== undefined) shot.properties[key] = text;
    });
    for (var key in control.properties) {
        if (key === "name" || !Object.prototype.hasOwnProperty.call(control.properties, key)) continue;
        var text = stringify(control.properties[key]);
        if (text !== undefined) shot.properties[key] = text;
    }
    forEach.call(control.children, function (child) { shot.children.push(snapshot(child)); });
    return shot;
}
}))JS"};

}  // namespace host::script
