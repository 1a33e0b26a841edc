// The expression sandbox: what an expression sees of the project, what it
// cannot reach, and its caps. One engine serves every case, so each case
// also checks that the ones before it left nothing behind.
#include "script/expression_engine.h"

#include <sstream>

#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

constexpr const char* kScene = R"json({
  "items": [
    {"type": "comp", "name": "Main", "duration": 10, "layers": [
      {"type": "shape", "name": "Hero",
       "streams": {"Position": [100, 200, 0], "Rotation": 30,
                   "Opacity": {"keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 100}]}},
       "effects": [{"kind": "Slider Control", "params": {"Slider": 5}},
                   {"kind": "Color Control", "params": {"Color": [1, 0.25, 0.5, 0.75]}}]},
      {"type": "shape", "name": "Other", "flags": ["video", "3d"], "inPoint": 0, "duration": 3,
       "offset": 2, "streams": {"Opacity": 40, "Position": [1, 2, 3]}},
      {"type": "text", "name": "Title", "text": "Hello"},
      {"type": "light", "name": "Lamp"}
    ]},
    {"type": "comp", "name": "Side", "layers": [
      {"type": "shape", "name": "Far", "streams": {"Rotation": 10}}]}
  ]
})json";

class Expressions : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kScene);
    }

public:
    // Evaluates on a stream of Main's layer at a composition time.
    script::ExpressionResult eval(const char* layerName, int stream, double time,
                                  const char* expression) {
        const model::Layer& on = layer("Main", layerName);
        const script::ExpressionSite site{&project, on.id, &on.streams.at(stream),
                                          model::Rational::of(std::llround(time * 1000), 1000)};
        return engine.evaluate(site, expression);
    }

    script::ExpressionEngine engine;
};

using V = std::vector<double>;
constexpr int kPos = model::stream::kPosition;
constexpr int kRot = model::stream::kRotation;

struct Case {
    int stream;
    double time;
    const char* expression;
    // The value in the stream's layout, as numbers with commas between; or
    // "!" and a part of the expected error ("!a|b": either).
    std::string expected;
};

void check(Expressions& bench, const Case& c) {
    const script::ExpressionResult r = bench.eval("Hero", c.stream, c.time, c.expression);
    if (!c.expected.starts_with('!')) {
        V value;
        std::istringstream numbers(c.expected);
        for (std::string n; std::getline(numbers, n, ',');) value.push_back(std::stod(n));
        EXPECT_TRUE(r.ok) << c.expression << ": " << r.error;
        EXPECT_EQ(r.value, value) << c.expression;
        return;
    }
    EXPECT_FALSE(r.ok) << c.expression;
    const std::string either = c.expected.substr(1);
    const std::size_t bar = either.find('|');
    const bool found =
        r.error.find(either.substr(0, bar)) != std::string::npos ||
        (bar != std::string::npos && r.error.find(either.substr(bar + 1)) != std::string::npos);
    EXPECT_TRUE(found) << c.expression << ": " << r.error;
}

TEST_F(Expressions, ReadTheProject) {
    const Case cases[] = {
        {kRot, 0.5, "value", "30"},
        {kRot, 0.5, "time * 2", "1"},
        {kRot, 0, "thisLayer.name == 'Hero' ? index : -1", "1"},
        {kRot, 0, "name.length + thisComp.name.length", "8"},
        {kRot, 0, "thisComp.layer(2).index + thisComp.numLayers", "6"},
        {kRot, 0, "layer('Other').transform.opacity", "40"},
        {kRot, 0, "thisComp.layer('Other').inPoint + thisComp.layer('Other').outPoint", "7"},
        {kRot, 0, "comp('Side').layer('Far').transform.rotation + 1", "11"},
        {kRot, 0.5, "transform.opacity", "50"},
        {kRot, 0.5, "thisLayer.transform('Opacity').valueAtTime(1)", "100"},
        {kRot, 0, "transform.position[1] + opacity.valueAtTime(2)", "300"},
        {kRot, 0, "thisComp.layer('Other').position[2]", "3"},
        {kRot, 0, "effect('Slider Control')('Slider') * 2", "10"},
        {kRot, 0, "thisLayer.effect(1).param(1) + effect(1).name.length", "19"},
        {kRot, 0, "effect('Color Control')('Color')[0] + effect(2)(1)[3]", "1.25"},
        {kPos, 0, "value", "100,200,0"},
        {kPos, 0, "add(value, [1, 2])", "101,202,0"},
        {kPos, 0, "thisComp.layer('Other').transform.position", "1,2,3"},
        // The language's helpers.
        {kRot, 0, "linear(0.5, 0, 1, 0, 10) + ease(0.5, 0, 1, 0, 10)", "10"},
        {kRot, 0, "linear(2, 0, 1, [0, 0], [4, 8])[1] + clamp(15, 0, 10)", "18"},
        {kRot, 0, "length([3, 4]) + length([1, 1], [4, 5])", "10"},
        {kRot, 0, "mul([1, 2], 2)[1] + div(10, 4) + sub([5, 5], [1, 2])[1]", "9.5"},
        {kRot, 0, "Math.max(1, 2) + Math.floor(2.5)", "4"},
        {kRot, 1, "seedRandom(3, true); var a = random(); seedRandom(3, true); a === random()",
         "1"},
        {kRot, 1, "var r = random(10, 20); r >= 10 && r < 20", "1"},
        {kRot, 1, "wiggle(2, 0) + (Math.abs(wiggle(5, 10) - value) <= 40)", "31"},
        {kRot, 0, "var x = 4; x * x", "16"},
        {kRot, 0, "y = 3; y", "3"},
        {kRot, 0, "typeof x === 'undefined' && typeof y === 'undefined'", "1"},
    };
    for (const Case& c : cases) check(*this, c);
    // A text stream takes the result as text.
    const script::ExpressionResult text =
        eval("Title", model::stream::kSourceText, 0, "value + ' ' + thisComp.layer(1).name");
    EXPECT_EQ(text.text, "Hello Hero");
}

TEST_F(Expressions, MissingReferencesAndBadResultsThrow) {
    const Case cases[] = {
        {kRot, 0, "thisComp.layer('Nobody')", "!layer \"Nobody\" does not exist"},
        {kRot, 0, "layer(9)", "!layer 9 does not exist"},
        {kRot, 0, "thisComp.layer(0.5)", "!layer 0.5 does not exist"},
        {kRot, 0, "comp('Nowhere').numLayers", "!composition \"Nowhere\" does not exist"},
        {kRot, 0, "comp('Side').layer('Hero')", "!layer \"Hero\" does not exist"},
        {kRot, 0, "effect('Blur')", "!effect \"Blur\" does not exist"},
        {kRot, 0, "effect(3)", "!effect 3 does not exist"},
        {kRot, 0, "effect('Slider Control')('Nope')", "!parameter \"Nope\" does not exist"},
        {kRot, 0, "effect(1)(2)", "!parameter 2 does not exist"},
        {kRot, 0, "transform('Skew')", "!property named \"Skew\" does not exist"},
        {kRot, 0, "thisComp.layer('Lamp').transform.opacity", "!does not exist on layer"},
        {kRot, 0, "thisLayer.mask('M')", "!TypeError"},
        {kRot, 0, "1 +", "!SyntaxError"},
        {kRot, 0, "var z = 1;", "!the result must be"},
        {kRot, 0, "[1, 2]", "!must have 1 value, not 2"},
        {kPos, 0, "5", "!must have 3 values, not 1"},
        {kPos, 0, "[1, 2, 3, 4]", "!must have 3 values, not 4"},
        {kRot, 0, "0 / 0", "!not a finite number"},
        // Builtins and the language's names cannot be changed.
        {kRot, 0, "Math.sin = null; Array.prototype.map = null; 1", "1"},
        {kRot, 0, "Math.sin(0) + [1].map(function (v) { return v; })[0]", "1"},
        {kRot, 0, "thisLayer = 5; thisLayer.index", "1"},
    };
    for (const Case& c : cases) check(*this, c);
}

TEST_F(Expressions, TheSandboxReachesNothingElseAndIsCapped) {
    const Case cases[] = {
        {kRot, 0, "app.project", "!ReferenceError"},
        {kRot, 0, "[typeof app, typeof File, typeof Duktape, typeof require, typeof $].join('')",
         "!the result must be a number or an array of numbers"},
        {kRot, 0,
         "(typeof app + typeof File + typeof Duktape + typeof require + typeof $) === "
         "'undefined'.repeat(5)",
         "1"},
        {kRot, 0, "while (true) {}", "!RangeError: execution timeout"},
        {kRot, 0, "for (;;) { try { while (true) {} } catch (e) {} }", "!execution timeout"},
        {kRot, 0, "'x'.repeat(1 << 26).length", "!alloc failed"},
        // Whichever cap comes first, time or memory, depends on the machine.
        {kRot, 0, "var a = []; while (true) a.push([a.length]);", "!RangeError|alloc failed"},
        {kRot, 0, "(function f() { return f(); })()", "!RangeError"},
        // Still working after each cap.
        {kRot, 0, "1 + 1", "2"},
    };
    for (const Case& c : cases) check(*this, c);
    EXPECT_LT(engine.heap_bytes(), std::size_t{8} << 20) << "the caps' garbage was collected";
}

}  // namespace
}  // namespace script_test
