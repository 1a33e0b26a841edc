// The engine itself: values, errors, text encodings, independence of runs,
// and scripts that try to hurt the host.
#include "script_bench.h"

namespace script_test {
namespace {

class Engine : public ScriptBench {};

// The last expression comes back as UTF-8 text; every run starts fresh.
TEST_F(Engine, ValuesComeBackAsText) {
    expect_values({
        {"1 + 1", "2"},
        {"'a' + 'b'", "ab"},
        {"undefined", ""},
        {"var x = 5;", ""},
        {"null", "null"},
        {"true", "true"},
        {"[1, 'two', null]", "1,two,"},
        {"({})", "[object Object]"},
        {"0.1 + 0.2", "0.30000000000000004"},
        {"1 / 0", "Infinity"},
        {"var o = {toString: function () { return 'mine'; }}; o", "mine"},
        {"var result = ''; result", ""},
        {"if (true) { 'branch'; }", "branch"},
        {"'\xC3\xA9t\xC3\xA9'", "\xC3\xA9t\xC3\xA9"},                // two-byte characters
        {"'\xC3\xA9'.length", "1"},                                  // one character each
        {"'\xF0\x9F\x98\x80'", "\xF0\x9F\x98\x80"},                  // beyond 16 bits
        {"'\xF0\x9F\x98\x80'.length", "2"},                          // a surrogate pair inside
        {"'\\ud83d\\ude00'", "\xF0\x9F\x98\x80"},                    // pair written as escapes
        {"String.fromCharCode(0xD800)", "\xEF\xBF\xBD"},             // a lone surrogate
        {"'\xFF\xFE'", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // bytes that are not UTF-8
        {"'\xE2\x82\xAC'.charCodeAt(0)", "8364"},                    // the euro sign
        {"\xEF\xBB\xBFvar a = 1;\r\nvar b = 2;\r\na + b\r\n", "3"},  // BOM and CR LF
        {std::string("'a\0b'.length", 12), "3"},  // a NUL byte does not cut the source
        {"var leftOver = 1; leftOver", "1"},
        {"typeof leftOver", "undefined"},
        {"Object.prototype.polluted = 1; 'x'", "x"},
        {"typeof ({}).polluted", "undefined"},
        // The globals a script finds; the preludes keep the natives to themselves.
        {"[typeof app, typeof app.project, typeof app.settings, typeof alert, typeof Window,"
         " typeof PREFType, typeof JSON, typeof native].join()",
         "object,object,object,function,function,object,object,undefined"},
    });
    EXPECT_EQ(value("new Array(1 << 20).join('ab')").size(), std::size_t{2} * ((1 << 20) - 1));
}

TEST_F(Engine, ErrorsNameTheScriptLine) {
    expect_errors({
        {"throw new Error('boom')", "Error: boom (line 1)"},
        {"\n\nthrow new RangeError('far')", "RangeError: far (line 3)"},
        // Line numbers count CR LF as one line end.
        {"\xEF\xBB\xBF// one\r\n// two\r\nthrow new Error('here');\r\n", "Error: here (line 3)"},
        // The innermost frame of the script, not the caller.
        {"function f() {\n  throw new TypeError('inside');\n}\nf();", "TypeError: inside (line 2)"},
        // Errors from the host's objects point at the script line that called them.
        {"var p = app.project;\np.item(42);",
         "RangeError: item(42): there is no item 42 (the project has no items) (line 2)"},
        // Thrown values that are not errors have no line.
        {"throw 'plain words'", "plain words"},
        {"throw 42", "42"},
        {"({toString: function () { throw new Error('no text'); }})", "Error: no text (line 1)"},
        {"Object.create(CompItem.prototype).numLayers", "Error: Object is invalid (line 1)"},
    });
    const std::string text = error("var ok = 1;\nvar broken = ;\n");
    EXPECT_TRUE(text.starts_with("SyntaxError")) << text;
    EXPECT_NE(text.find("(line 2"), std::string::npos) << text;
    EXPECT_EQ(text.find("(line", text.find("(line") + 1), std::string::npos) << "reported once";
}

TEST_F(Engine, NativeJsonCanBeRemoved) {
    removeNativeJson = true;
    EXPECT_EQ(value("typeof JSON"), "undefined");
    // A script's own JSON takes its place, and the dialogs still get recorded.
    EXPECT_EQ(value("JSON = {stringify: function () { return 'own'; }};\n"
                    "var w = new Window('dialog', 'T'); w.show(); JSON.stringify([])"),
              "own");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].window.text, "T");
    removeNativeJson = false;
    EXPECT_EQ(value("JSON.stringify([1, 'a'])"), "[1,\"a\"]");
}

TEST_F(Engine, AlertsAreRecordedAlsoFromFinalizersAtTheEnd) {
    value("alert('Hello', 'Greeting'); alert(42); alert();");
    EXPECT_TRUE(run("var keep = {}; Duktape.fin(keep, function () { alert('bye'); }); 1").ok);
    std::vector<std::string> got;
    for (const script::Alert& a : alerts) got.push_back(a.message + "|" + a.title);
    EXPECT_EQ(got, (std::vector<std::string>{"Hello|Greeting", "42|", "undefined|", "bye|"}));
}

// Scripts that try to hurt the host fail, and the next run works.
TEST_F(Engine, HostileScriptsFailCleanly) {
    const std::string nested =
        "var x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
    const std::string hostile[] = {
        "function down(n) { return 1 + down(n + 1); } down(0)",
        "var o = {}; o.toString = function () { return String(this); }; String(o)",
        "var s = 'x'; for (;;) s = s + s;",
        "var a = [{}]; for (;;) a = a.concat(a);",
        "var s = 'y'; for (;;) { s = s.repeat(2); }",
        "JSON.parse(new Array(200000).join('['))",
        "var a = []; for (var i = 0; i < 100000; i++) a = [a]; JSON.stringify(a)",
        nested,
        "throw {toString: function () { throw {toString: function () { throw 1; }}; }}",
        "CompItem.prototype.layer.call({_id: 'x'}, 1)",  // natives cannot be reached
    };
    for (const std::string& source : hostile) {
        SCOPED_TRACE(source.substr(0, 80));
        const script::ScriptRun result = run(source);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
    }
    EXPECT_TRUE(
        error("function down(n) { return 1 + down(n + 1); } down(0)").starts_with("RangeError"));
    EXPECT_LE(script::engine_stats().largestHeap, std::size_t{129} << 20);
    EXPECT_EQ(value("'still here'"), "still here");
}

}  // namespace
}  // namespace script_test
