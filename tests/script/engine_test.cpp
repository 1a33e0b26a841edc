#include "script_bench.h"

namespace script_test {
namespace {

class Engine : public ScriptBench {};

TEST_F(Engine, ValuesComeBackAsTextAndAlertsAlsoFromFinalizersAtTheEnd) {
    expect_values({
        {"[1, 'two', null]", "1,two,"},
        {"0.1 + 0.2", "0.30000000000000004"},
        {"var o = {toString: function () { return 'mine'; }}; o", "mine"},
        {"if (true) { 'branch'; }", "branch"},
        {"'\xF0\x9F\x98\x80'", "\xF0\x9F\x98\x80"},       // beyond 16 bits
        {"'\\ud83d\\ude00'", "\xF0\x9F\x98\x80"},         // pair written as escapes
        {"String.fromCharCode(0xD800)", "\xEF\xBF\xBD"},  // a lone surrogate
        {"'\xFF\xFE'", "\xEF\xBF\xBD\xEF\xBF\xBD"},       // bytes that are not UTF-8
        {"['\xC3\xA9'.length, '\xE2\x82\xAC'.charCodeAt(0), '\xF0\x9F\x98\x80'.length].join()",
         "1,8364,2"},
        {"\xEF\xBB\xBFvar a = 1;\r\nvar b = 2;\r\na + b\r\n", "3"},  // BOM and CR LF
        {std::string("'a\0b'.length", 12), "3"},  // a NUL byte does not cut the source
        {"var leftOver = 1; leftOver", "1"},
        {"typeof leftOver", "undefined"},
        {"Object.prototype.polluted = 1; 'x'", "x"},
        {"typeof ({}).polluted", "undefined"},
        {"[typeof app, typeof app.project, typeof app.settings, typeof alert, typeof Window,"
         " typeof PREFType, typeof JSON, typeof native].join()",
         "object,object,object,function,function,object,undefined,undefined"},
    });
    EXPECT_EQ(value("new Array(1 << 20).join('ab')").size(), std::size_t{2} * ((1 << 20) - 1));
    value("alert('Hello', 'Greeting'); alert(42); alert();");
    EXPECT_TRUE(run("var keep = {}; Duktape.fin(keep, function () { alert('bye'); }); 1").ok);
    std::vector<std::string> got;
    for (const script::Alert& a : alerts) got.push_back(a.message + "|" + a.title);
    EXPECT_EQ(got, (std::vector<std::string>{"Hello|Greeting", "42|", "undefined|", "bye|"}));
}

// The application's engine offers the 3rd edition of the language; one engine gives the later
// editions' built-ins back only to runs that ask for them.
TEST_F(Engine, ScriptsSeeTheThirdEditionsBuiltinsOnly) {
    const Names newer = {"JSON",
                         "Array.prototype.indexOf",
                         "Array.prototype.forEach",
                         "Array.isArray",
                         "Array.prototype.reduce",
                         "String.prototype.trim",
                         "Object.keys",
                         "Object.create",
                         "Object.defineProperty",
                         "Date.now",
                         "Function.prototype.bind",
                         "Proxy",
                         "Reflect",
                         "String.prototype.startsWith"};
    const Names third = {"Array.prototype.splice", "String.prototype.indexOf",
                         "Object.prototype.hasOwnProperty", "Math.max", "encodeURIComponent"};
    script::Engine engine;
    script::ScriptHost& host_ = script_host();
    for (const bool withNewer : {false, true, false}) {
        host_.newerBuiltins = withNewer;
        for (const std::string& name : newer) {
            EXPECT_EQ(engine.run(host_, "typeof " + name).value == "undefined", !withNewer) << name;
        }
        for (const std::string& name : third)
            EXPECT_NE(engine.run(host_, "typeof " + name).value, "undefined") << name;
        EXPECT_EQ(engine.run(host_, "app.project.numItems").value, "0") << "the preludes work";
    }
}

TEST_F(Engine, ErrorsNameTheScriptLine) {
    expect_errors({
        {"\n\nthrow new RangeError('far')", "RangeError: far (line 3)"},
        {"\xEF\xBB\xBF// one\r\n// two\r\nthrow new Error('here');\r\n", "Error: here (line 3)"},
        {"function f() {\n  throw new TypeError('inside');\n}\nf();", "TypeError: inside (line 2)"},
        {"var p = app.project;\np.item(42);",
         "RangeError: item(42): there is no item 42 (the project has no items) (line 2)"},
        {"throw 'plain words'", "plain words"},
        {"({toString: function () { throw new Error('no text'); }})", "Error: no text (line 1)"},
        {"function F() {} F.prototype = CompItem.prototype; new F().numLayers",
         "Error: Object is invalid (line 1)"},
    });
    const std::string text = error("var ok = 1;\nvar broken = ;\n");
    EXPECT_TRUE(text.starts_with("SyntaxError")) << text;
    EXPECT_NE(text.find("(line 2"), std::string::npos) << text;
    EXPECT_EQ(text.find("(line", text.find("(line") + 1), std::string::npos) << "reported once";
}

// Scripts that try to hurt the host fail, and the next run works.
TEST_F(Engine, HostileScriptsFailCleanly) {
    const std::string hostile[] = {
        "var o = {}; o.toString = function () { return String(this); }; String(o)",
        "var s = 'x'; for (;;) s = s + s;",
        "JSON.parse(new Array(200000).join('['))",
        "var a = []; for (var i = 0; i < 100000; i++) a = [a]; JSON.stringify(a)",
        "var x = " + std::string(100000, '(') + "1" + std::string(100000, ')'),
        "throw {toString: function () { throw {toString: function () { throw 1; }}; }}",
        "CompItem.prototype.layer.call({_id: 'x'}, 1)",  // natives cannot be reached
    };
    for (const std::string& source : hostile) {
        SCOPED_TRACE(source.substr(0, 80));
        const script::ScriptRun result = run(source);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
    }
    EXPECT_LE(script::engine_stats().largestHeap, std::size_t{129} << 20);
    EXPECT_EQ(value("'still here'"), "still here");
}

}  // namespace
}  // namespace script_test
