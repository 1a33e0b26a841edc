// Outfold options dialog.
//
// Shows the choices for one run, restores them from the application's
// settings, saves them again on Ok, and leaves the answer as the script's
// value: a JSON array of the six choices, or the empty text on Cancel.

// JSON for scripting engines that lack it. A native JSON object and its
// functions are left alone; only what is missing is defined.
if (typeof JSON !== "object" || JSON === null) {
    JSON = {};
}
(function () {
    var escapes = {
        "\"": "\\\"", "\\": "\\\\", "\b": "\\b", "\f": "\\f",
        "\n": "\\n", "\r": "\\r", "\t": "\\t"
    };
    var unescapes = {
        "\"": "\"", "\\": "\\", "/": "/", "b": "\b",
        "f": "\f", "n": "\n", "r": "\r", "t": "\t"
    };

    function isArray(value) {
        return Object.prototype.toString.call(value) === "[object Array]";
    }

    function unicodeEscape(code) {
        var digits = code.toString(16);
        while (digits.length < 4) {
            digits = "0" + digits;
        }
        return "\\u" + digits;
    }

    // Escapes what the native encoder escapes: quote, backslash, control
    // characters (short forms where JSON has them) and the two line
    // separators U+2028 and U+2029. Everything else is kept as it is.
    function quote(text) {
        var out = "\"";
        for (var i = 0; i < text.length; i++) {
            var c = text.charAt(i);
            var code = text.charCodeAt(i);
            if (escapes.hasOwnProperty(c)) {
                out += escapes[c];
            } else if (code < 0x20 || code === 0x2028 || code === 0x2029) {
                out += unicodeEscape(code);
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

    function serialize(value, key, stack) {
        if (value !== null && typeof value === "object" && typeof value.toJSON === "function") {
            value = value.toJSON(key);
        }
        if (value instanceof Boolean || value instanceof Number || value instanceof String) {
            value = value.valueOf();
        }
        if (value === null) {
            return "null";
        }
        switch (typeof value) {
        case "boolean":
            return String(value);
        case "number":
            return isFinite(value) ? String(value) : "null";
        case "string":
            return quote(value);
        case "object":
            return serializeObject(value, stack);
        default:
            return undefined;
        }
    }

    function serializeObject(value, stack) {
        for (var s = 0; s < stack.length; s++) {
            if (stack[s] === value) {
                throw new TypeError("JSON.stringify: cyclic structure");
            }
        }
        stack.push(value);
        var parts = [];
        var part;
        if (isArray(value)) {
            for (var i = 0; i < value.length; i++) {
                part = serialize(value[i], String(i), stack);
                parts.push(part === undefined ? "null" : part);
            }
            stack.pop();
            return "[" + parts.join(",") + "]";
        }
        for (var name in value) {
            if (Object.prototype.hasOwnProperty.call(value, name)) {
                part = serialize(value[name], name, stack);
                if (part !== undefined) {
                    parts.push(quote(name) + ":" + part);
                }
            }
        }
        stack.pop();
        return "{" + parts.join(",") + "}";
    }

    function parse(text) {
        var at = 0;

        function fail(what) {
            throw new SyntaxError("JSON.parse: " + what + " at " + at);
        }
        function skipSpace() {
            while (at < text.length && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
                at++;
            }
        }
        function word(expected, value) {
            if (text.substr(at, expected.length) !== expected) {
                fail("unexpected text");
            }
            at += expected.length;
            return value;
        }
        function string() {
            var out = "";
            at++;
            while (at < text.length) {
                var c = text.charAt(at++);
                if (c === "\"") {
                    return out;
                }
                if (c < " ") {
                    fail("control character in a string");
                }
                if (c !== "\\") {
                    out += c;
                } else if (text.charAt(at) === "u") {
                    var digits = text.substr(at + 1, 4);
                    if (!/^[0-9a-fA-F]{4}$/.test(digits)) {
                        fail("bad unicode escape");
                    }
                    out += String.fromCharCode(parseInt(digits, 16));
                    at += 5;
                } else if (unescapes.hasOwnProperty(text.charAt(at))) {
                    out += unescapes[text.charAt(at++)];
                } else {
                    fail("bad escape");
                }
            }
            fail("unterminated string");
        }
        function number() {
            var match = /^-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+\-]?[0-9]+)?/.exec(text.substr(at));
            if (!match) {
                fail("unexpected character");
            }
            at += match[0].length;
            return Number(match[0]);
        }
        function array() {
            var out = [];
            at++;
            skipSpace();
            if (text.charAt(at) === "]") {
                at++;
                return out;
            }
            for (;;) {
                out.push(value());
                skipSpace();
                var c = text.charAt(at++);
                if (c === "]") {
                    return out;
                }
                if (c !== ",") {
                    fail("expected , or ]");
                }
            }
        }
        function object() {
            var out = {};
            at++;
            skipSpace();
            if (text.charAt(at) === "}") {
                at++;
                return out;
            }
            for (;;) {
                skipSpace();
                if (text.charAt(at) !== "\"") {
                    fail("expected a key");
                }
                var key = string();
                skipSpace();
                if (text.charAt(at++) !== ":") {
                    fail("expected :");
                }
                out[key] = value();
                skipSpace();
                var c = text.charAt(at++);
                if (c === "}") {
                    return out;
                }
                if (c !== ",") {
                    fail("expected , or }");
                }
            }
        }
        function value() {
            skipSpace();
            switch (text.charAt(at)) {
            case "{":
                return object();
            case "[":
                return array();
            case "\"":
                return string();
            case "t":
                return word("true", true);
            case "f":
                return word("false", false);
            case "n":
                return word("null", null);
            default:
                return number();
            }
        }

        var result = value();
        skipSpace();
        if (at < text.length) {
            fail("unexpected text after the value");
        }
        return result;
    }

    if (typeof JSON.stringify !== "function") {
        JSON.stringify = function (value) {
            return serialize(value, "", []);
        };
    }
    if (typeof JSON.parse !== "function") {
        JSON.parse = function (text) {
            return parse(String(text));
        };
    }
}());

// The dialog.
var dialog = new Window("dialog");
dialog.text = "Outfold";
dialog.orientation = "column";
dialog.alignChildren = ["fill", "top"];
dialog.spacing = 10;
dialog.margins = 16;

var prefixGroup = dialog.add("group", undefined, { name: "prefixGroup" });
prefixGroup.orientation = "row";
prefixGroup.alignChildren = ["left", "center"];
prefixGroup.spacing = 10;
prefixGroup.margins = 0;

var prefixTitle = prefixGroup.add("statictext", undefined, undefined, { name: "prefixTitle" });
prefixTitle.text = "Outfolded Layer Prefix";

var prefixInput = prefixGroup.add("edittext", undefined, "", { name: "prefixInput" });
prefixInput.preferredSize.width = 250;

var optionsGroup = dialog.add("group", undefined, { name: "optionsGroup" });
optionsGroup.orientation = "column";
optionsGroup.alignChildren = ["left", "center"];
optionsGroup.spacing = 10;
optionsGroup.margins = [20, 0, 0, 0];

// Adds the indented two-line explanation under a choice.
function addExplanation(parent, name, bottomMargin, lines) {
    var outer = parent.add("group", undefined, { name: name });
    outer.orientation = "row";
    outer.alignChildren = ["left", "center"];
    outer.spacing = 10;
    outer.margins = [20, 0, 0, bottomMargin];

    var column = outer.add("group");
    column.orientation = "column";
    column.alignChildren = ["left", "center"];
    column.spacing = 0;
    column.preferredSize.width = 400;
    for (var i = 0; i < lines.length; i++) {
        column.add("statictext", undefined, lines[i]);
    }
    return outer;
}

var option1Group = optionsGroup.add("group", undefined, { name: "option1Group" });
option1Group.orientation = "column";
option1Group.alignChildren = ["left", "center"];
option1Group.spacing = 10;
option1Group.margins = 0;

var optionCopyAttributes = option1Group.add("radiobutton", undefined, undefined,
    { name: "optionCopyAttributes" });
optionCopyAttributes.text = "Copy pre-comp attributes to layers";
optionCopyAttributes.value = true;
optionCopyAttributes.alignment = ["left", "center"];

var staticText1Group = addExplanation(option1Group, "staticText1Group", 8, [
    "Use this option if you would like to copy the effects and other",
    "attributes of the pre-comp to the layers being extracted"
]);

var option2Group = optionsGroup.add("group", undefined, { name: "option2Group" });
option2Group.orientation = "column";
option2Group.alignChildren = ["left", "center"];
option2Group.spacing = 10;
option2Group.margins = 0;

var optionDiscardAttributes = option2Group.add("radiobutton", undefined, undefined,
    { name: "optionDiscardAttributes" });
optionDiscardAttributes.text = "Discard pre-comp attributes";
optionDiscardAttributes.value = false;
optionDiscardAttributes.alignment = ["left", "center"];

var staticText2Group = addExplanation(option2Group, "staticText2Group", 12, [
    "Use this option to extract all layers, but disregard the",
    "properties of the pre-comp layer"
]);

var optionDeleteSource = optionsGroup.add("checkbox", undefined, undefined,
    { name: "optionDeleteSource" });
optionDeleteSource.text = "Delete source after outfolding";

var optionKeepInComp = optionsGroup.add("checkbox", undefined, undefined,
    { name: "optionKeepInComp" });
optionKeepInComp.text = "Keep pre-comp in composition";

var optionPrependPrecompName = optionsGroup.add("checkbox", undefined, undefined,
    { name: "prependPrecompName" });
optionPrependPrecompName.text = "Prepend pre-comp name to extracted layers";

var optionFixRandomExpresions = optionsGroup.add("checkbox", undefined, undefined,
    { name: "fixRandomExpresions" });
optionFixRandomExpresions.text = "Attempt to correct layers with randomized expressions";

var buttons = optionsGroup.add("group", undefined, { name: "buttons" });
buttons.orientation = "row";
buttons.alignChildren = ["right", "center"];
buttons.spacing = 10;
buttons.margins = [0, 20, 0, 0];
buttons.alignment = ["fill", "center"];

var buttonOK = buttons.add("button", undefined, undefined, { name: "buttonOK" });
buttonOK.text = "Ok";
buttonOK.preferredSize.width = 100;

var buttonCancel = buttons.add("button", undefined, undefined, { name: "buttonCancel" });
buttonCancel.text = "Cancel";
buttonCancel.preferredSize.width = 100;

// The two radio buttons sit in different groups, so they exclude each
// other by hand; Delete source and Keep pre-comp cannot both be chosen.
optionCopyAttributes.onClick = function () {
    optionDiscardAttributes.value = false;
};
optionDiscardAttributes.onClick = function () {
    optionCopyAttributes.value = false;
};
optionDeleteSource.onClick = function () {
    optionKeepInComp.enabled = !optionDeleteSource.value;
};
optionKeepInComp.onClick = function () {
    optionDeleteSource.enabled = !optionKeepInComp.value;
};

// Stored settings. A key without a stored value leaves the default.
var settingsSection = "fernhollow.outfold";
var settingsType = PREFType.PREF_Type_MACHINE_SPECIFIC;

function storedSetting(key) {
    if (!app.settings.haveSetting(settingsSection, key, settingsType)) {
        return null;
    }
    return app.settings.getSetting(settingsSection, key, settingsType);
}

function restoreSettings() {
    var copy = storedSetting("settingCopyPrecompAttr");
    if (copy !== null) {
        optionCopyAttributes.value = copy === "true";
        optionDiscardAttributes.value = copy !== "true";
    }
    var prefix = storedSetting("settingPrefixInput");
    if (prefix !== null) {
        prefixInput.text = prefix;
    }
    if (storedSetting("settingDeleteSource") === "true") {
        optionDeleteSource.value = true;
        optionKeepInComp.value = false;
        optionKeepInComp.enabled = false;
    }
    if (storedSetting("settingKeepInComp") === "true") {
        optionKeepInComp.value = true;
        optionDeleteSource.value = false;
        optionDeleteSource.enabled = false;
    }
    var prepend = storedSetting("settingPrependPrecompName");
    if (prepend !== null) {
        optionPrependPrecompName.value = prepend === "true";
    }
    var fixRandom = storedSetting("settingFixRandomExpressions");
    if (fixRandom !== null) {
        optionFixRandomExpresions.value = fixRandom === "true";
    }
}

function saveSettings() {
    var save = function (key, value) {
        app.settings.saveSetting(settingsSection, key, value, settingsType);
    };
    save("settingCopyPrecompAttr", optionCopyAttributes.value ? "true" : "false");
    save("settingPrefixInput", prefixInput.text);
    save("settingDeleteSource", optionDeleteSource.value ? "true" : "false");
    save("settingKeepInComp", optionKeepInComp.value ? "true" : "false");
    save("settingPrependPrecompName", optionPrependPrecompName.value ? "true" : "false");
    save("settingFixRandomExpressions", optionFixRandomExpresions.value ? "true" : "false");
}

restoreSettings();

var result = "";

buttonOK.onClick = function () {
    try {
        saveSettings();
    } catch (err) {
        alert(err);
    }
    result = JSON.stringify([
        optionCopyAttributes.value,
        optionDeleteSource.value,
        optionKeepInComp.value,
        prefixInput.text,
        optionPrependPrecompName.value,
        optionFixRandomExpresions.value
    ]);
    dialog.close();
};
buttonCancel.onClick = function () {
    result = "";
    dialog.close();
};

dialog.show();

result;
