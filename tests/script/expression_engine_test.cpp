// The expression sandbox: what an expression sees of the project, what it
// cannot reach, and its caps. One engine serves every case, so each case
// also checks that the ones before it left nothing behind.
#include "script/expression_engine.h"

#include <sstream>

#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

constexpr const char* kScene = R"json({"items": [
    {"type": "comp", "name": "Main", "duration": 10, "layers": [
      {"type": "shape", "name": "Hero", "streams": {"Position": [100, 200, 0], "Rotation": 30,
        "Opacity": {"keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 100}]}},
       "effects": [{"kind": "Slider Control", "params": {"Slider": 5}},
                   {"kind": "Color Control", "params": {"Color": [1, 0.25, 0.5, 0.75]}}]},
      {"type": "shape", "name": "Other", "flags": ["video", "3d"], "inPoint": 0, "duration": 3,
       "offset": 2, "streams": {"Opacity": 40, "Position": [1, 2, 3]}},
      {"type": "text", "name": "Title", "text": "Hello"}, {"type": "light", "name": "Lamp"}]},
    {"type": "comp", "name": "Side", "layers": [
      {"type": "shape", "name": "Far", "streams": {"Rotation": 10}}]}]})json";

constexpr int kPos = model::stream::kPosition;
constexpr int kRot = model::stream::kRotation;

struct Case {
    const char* expression;
    // The value in the stream's layout, as numbers with commas between; or
    // "!" and a part of the expected error ("!a|b": either).
    std::string expected;
    int stream = kRot;  // of Hero
    double time = 0;
};

class Expressions : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kScene);
    }

    // Evaluates on a stream of Main's layer at a composition time.
    script::ExpressionResult eval(const char* layerName, int stream, double time,
                                  const char* expression) {
        const model::Layer& on = layer("Main", layerName);
        const script::ExpressionSite site{&project, on.id, &on.streams.at(stream),
                                          model::Rational::of(std::llround(time * 1000), 1000)};
        return engine.evaluate(site, expression);
    }

    void check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.expression);
            const script::ExpressionResult r = eval("Hero", c.stream, c.time, c.expression);
            if (c.expected.starts_with('!')) {
                EXPECT_FALSE(r.ok);
                const std::string either = c.expected.substr(1);
                const std::size_t bar = std::min(either.find('|'), either.size());
                EXPECT_TRUE(r.error.find(either.substr(0, bar)) != std::string::npos ||
                            (bar < either.size() &&
                             r.error.find(either.substr(bar + 1)) != std::string::npos))
                    << r.error;
                continue;
            }
            std::vector<double> value;
            std::istringstream numbers(c.expected);
            for (std::string n; std::getline(numbers, n, ',');) value.push_back(std::stod(n));
            EXPECT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.value, value);
        }
    }

    script::ExpressionEngine engine;
};

TEST_F(Expressions, ReadTheProject) {
    check({
        {"value", "30", kRot, 0.5},
        {"time * 2", "1", kRot, 0.5},
        {"thisLayer.name == 'Hero' ? index : -1", "1"},
        {"name.length + thisComp.name.length", "8"},
        {"thisComp.layer(2).index + thisComp.numLayers", "6"},
        {"layer('Other').transform.opacity", "40"},
        {"thisComp.layer('Other').inPoint + thisComp.layer('Other').outPoint", "7"},
        {"comp('Side').layer('Far').transform.rotation + 1", "11"},
        {"transform.opacity", "50", kRot, 0.5},
        {"thisLayer.transform('Opacity').valueAtTime(1)", "100", kRot, 0.5},
        {"transform.position[1] + opacity.valueAtTime(2)", "300"},
        {"thisComp.layer('Other').position[2]", "3"},
        {"effect('Slider Control')('Slider') * 2", "10"},
        {"thisLayer.effect(1).param(1) + effect(1).name.length", "19"},
        {"effect('Color Control')('Color')[0] + effect(2)(1)[3]", "1.25"},
        {"value", "100,200,0", kPos},
        {"add(value, [1, 2])", "101,202,0", kPos},
        {"thisComp.layer('Other').transform.position", "1,2,3", kPos},
        // The language's helpers.
        {"linear(0.5, 0, 1, 0, 10) + ease(0.5, 0, 1, 0, 10)", "10"},
        {"linear(2, 0, 1, [0, 0], [4, 8])[1] + clamp(15, 0, 10)", "18"},
        {"length([3, 4]) + length([1, 1], [4, 5])", "10"},
        {"mul([1, 2], 2)[1] + div(10, 4) + sub([5, 5], [1, 2])[1]", "9.5"},
        {"Math.max(1, 2) + Math.floor(2.5)", "4"},
        {"seedRandom(3, true); var a = random(); seedRandom(3, true); a === random()", "1", kRot,
         1},
        {"var r = random(10, 20); r >= 10 && r < 20", "1", kRot, 1},
        {"wiggle(2, 0) + (Math.abs(wiggle(5, 10) - value) <= 40)", "31", kRot, 1},
        {"var x = 4; x * x", "16"},
        {"y = 3; y", "3"},
        {"typeof x === 'undefined' && typeof y === 'undefined'", "1"},
    });
    // A text stream takes the result as text.
    const script::ExpressionResult text =
        eval("Title", model::stream::kSourceText, 0, "value + ' ' + thisComp.layer(1).name");
    EXPECT_EQ(text.text, "Hello Hero");
}

TEST_F(Expressions, MissingReferencesAndBadResultsThrow) {
    check({
        {"thisComp.layer('Nobody')", "!layer \"Nobody\" does not exist"},
        {"layer(9)", "!layer 9 does not exist"},
        {"thisComp.layer(0.5)", "!layer 0.5 does not exist"},
        {"comp('Nowhere').numLayers", "!composition \"Nowhere\" does not exist"},
        {"comp('Side').layer('Hero')", "!layer \"Hero\" does not exist"},
        {"effect('Blur')", "!effect \"Blur\" does not exist"},
        {"effect(3)", "!effect 3 does not exist"},
        {"effect('Slider Control')('Nope')", "!parameter \"Nope\" does not exist"},
        {"effect(1)(2)", "!parameter 2 does not exist"},
        {"transform('Skew')", "!property named \"Skew\" does not exist"},
        {"thisComp.layer('Lamp').transform.opacity", "!does not exist on layer"},
        {"thisLayer.mask('M')", "!TypeError"},
        {"1 +", "!SyntaxError"},
        {"var z = 1;", "!the result must be"},
        {"[1, 2]", "!must have 1 value, not 2"},
        {"5", "!must have 3 values, not 1", kPos},
        {"[1, 2, 3, 4]", "!must have 3 values, not 4", kPos},
        {"0 / 0", "!not a finite number"},
        // Builtins and the language's names cannot be changed.
        {"Math.sin = null; Array.prototype.map = null; 1", "1"},
        {"Math.sin(0) + [1].map(function (v) { return v; })[0]", "1"},
        {"thisLayer = 5; thisLayer.index", "1"},
    });
}

TEST_F(Expressions, TheSandboxReachesNothingElseAndIsCapped) {
    check({
        {"app.project", "!ReferenceError"},
        {"[typeof app, typeof File, typeof Duktape, typeof require, typeof $].join('')",
         "!the result must be a number or an array of numbers"},
        {"(typeof app + typeof File + typeof Duktape + typeof require + typeof $) === "
         "'undefined'.repeat(5)",
         "1"},
        {"while (true) {}", "!RangeError: execution timeout"},
        {"for (;;) { try { while (true) {} } catch (e) {} }", "!execution timeout"},
        {"'x'.repeat(1 << 26).length", "!alloc failed"},
        // Whichever cap comes first, time or memory, depends on the machine.
        {"var a = []; while (true) a.push([a.length]);", "!RangeError|alloc failed"},
        {"(function f() { return f(); })()", "!RangeError"},
        // Still working after each cap.
        {"1 + 1", "2"},
    });
    EXPECT_LT(engine.heap_bytes(), std::size_t{8} << 20) << "the caps' garbage was collected";
}

}  // namespace
}  // namespace script_test
