// The expression sandbox; one engine serves every case, so each also checks that none leaked.
#include "script/expression_engine.h"

#include <cstdint>
#include <regex>
#include <sstream>

#include "model/script_ops.h"
#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

constexpr const char* kScene = R"json({"items": [
    {"type": "comp", "name": "Main", "duration": 10, "layers": [
      {"type": "shape", "name": "Hero", "streams": {"Position": [100, 200, 0], "Rotation": 30,
        "Anchor Point": [7, 8, 0],
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
    std::string expected;  // the value as "1,2,3", or "!" and a pattern the error contains
    int stream = kRot;     // of Hero
    double time = 0;
};

class Expressions : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kScene);
    }

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
                EXPECT_TRUE(std::regex_search(r.error, std::regex(c.expected.substr(1))))
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
        {"value + time * 2", "31", kRot, 0.5},
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
        {"add(value, [1, 2])", "101,202,0", kPos},
        {"thisComp.layer('Other').transform.position", "1,2,3", kPos},
        {"transform.pointOfInterest", "7,8,0", kPos},
        {"linear(0.5, 0, 1, 0, 10) + ease(0.5, 0, 1, 0, 10)", "10"},
        {"linear(2, 0, 1, [0, 0], [4, 8])[1] + clamp(15, 0, 10)", "18"},
        {"linear(0, 1, 1, 10, 20) + linear(1, 1, 1, 0, 5) + [2][0]", "17"},
        {"[7]", "7"},
        {"length([3, 4]) + length([1, 1], [4, 5])", "10"},
        {"mul([1, 2], 2)[1] + div(10, 4) + sub([5, 5], [1, 2])[1]", "9.5"},
        {"wiggle(2, 0) + (Math.abs(wiggle(5, 10) - value) <= 40)", "31", kRot, 1},
        {"var x = 4; y = 3; x * y", "12"},
        {"typeof x === 'undefined' && typeof y === 'undefined'", "1"},
    });
    const script::ExpressionResult text =
        eval("Title", model::stream::kSourceText, 0, "value + ' ' + thisComp.layer(1).name");
    EXPECT_EQ(text.text, "Hello Hero");
}

// A separated position shows its followers, each after its own expression, to expressions and
// to the host's own reads alike; the leader's expression waits until it is joined again.
TEST_F(Expressions, ASeparatedPositionShowsItsFollowers) {
    model::Layer& other = layer("Main", "Other");
    other.streams.at(kPos).expression = "[0, 0, 0]";
    model::set_position_separated(other, true);
    other.positionFollowers.at(1).expression = "value * 10";
    check({{"thisComp.layer('Other').transform.position", "1,20,3", kPos}});
    EXPECT_EQ(script::value_after_expression(engine, project, other.id, other.streams.at(kPos),
                                             model::Rational::of(0))
                  .value,
              (std::vector<double>{1, 20, 3}));
}

// random() is mulberry32 seeded from the seed, the layer's index and (unless timeless) the time.
TEST_F(Expressions, RandomNumbersComeFromTheSeededGenerator) {
    const auto mix = [](std::uint32_t h, std::uint32_t v) {
        h = (h ^ v) * 0x9E3779B1u;
        return h ^ (h >> 15);
    };
    const auto next = [](std::uint32_t& state) {
        std::uint32_t z = state += 0x6D2B79F5u;
        z = (z ^ (z >> 15)) * (z | 1u);
        z ^= z + (z ^ (z >> 7)) * (z | 61u);
        return (z ^ (z >> 14)) / 4294967296.0;
    };
    // The seed names the property by its place on the layer: (layer stream, Position, 0).
    std::uint32_t place = 2166136261u;
    for (std::uint32_t field : {0u, 1u, 0u}) place = (place ^ field) * 16777619u;
    std::uint32_t timeless = mix(mix(mix(7, 1), place), 0), timed = mix(mix(mix(0, 1), place), 500);
    const double first = next(timeless), second = next(timed);
    const std::vector<double> want = {first, second, 10 + 10 * next(timed)};
    const script::ExpressionResult r =
        eval("Hero", kPos, 0.5,
             "seedRandom(7, true); var a = random(); seedRandom(0); [a, random(), random(10, 20)]");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value, want);
}

TEST_F(Expressions, MissingReferencesAndBadResultsThrow) {
    check({
        {"thisComp.layer('Nobody')", "!layer \"Nobody\" does not exist"},
        {"layer(9)", "!layer 9 does not exist"},
        {"thisComp.layer(0.5)", R"(!layer 0\.5 does not exist)"},
        {"comp('Nowhere').numLayers", "!composition \"Nowhere\" does not exist"},
        {"comp('Side').layer('Hero')", "!layer \"Hero\" does not exist"},
        {"effect('Blur')", "!effect \"Blur\" does not exist"},
        {"effect(3)", "!effect 3 does not exist"},
        {"effect('Slider Control')('Nope')", "!parameter \"Nope\" does not exist"},
        {"effect(1)(2)", "!parameter 2 does not exist"},
        {"transform('Skew')", "!property named \"Skew\" does not exist"},
        {"thisComp.layer('Lamp').transform.opacity", "!does not exist on layer"},
        {"thisLayer.mask('M')", "!mask \"M\" does not exist"},
        {"1 +", "!SyntaxError"},
        {"var z = 1;", "!the result must be"},
        {"'5'", "!the result must be a number or an array of numbers"},
        {"[1, 2]", "!must have 1 value, not 2"},
        {"5", "!must have 3 values, not 1", kPos},
        {"0 / 0", "!not a finite number"},
        {"Math.sin = null; Array.prototype.map = null; Math = null; thisLayer = 5; 1", "1"},
        {"Math.sin(0) + [1].map(function (v) { return v; })[0] + thisLayer.index", "2"},
    });
}

TEST_F(Expressions, TheSandboxReachesNothingElseAndIsCapped) {
    check({
        {"app.project", "!ReferenceError"},
        {"(typeof app + typeof File + typeof Duktape + typeof require + typeof $) === "
         "'undefined'.repeat(5)",
         "1"},
        {"while (true) {}", "!RangeError: execution timeout"},
        {"for (;;) { try { while (true) {} } catch (e) {} }", "!execution timeout"},
        {"'x'.repeat(1 << 26).length", "!alloc failed"},
        {"var a = []; while (true) a.push([a.length]);", "!RangeError|alloc failed"},
        {"(function f() { return f(); })()", "!RangeError"},
        {"1 + 1", "2"},
    });
    EXPECT_LT(engine.heap_bytes(), std::size_t{8} << 20) << "the caps' garbage was collected";
}

constexpr const char* kFixProject = R"json({"items": [
    {"type": "comp", "name": "Main", "layers": [
      {"type": "shape", "name": "Old",
       "streams": {"Opacity": {"expression": "thisComp.layer(\"Old\").opacity"}}},
      {"type": "shape", "name": "Watcher", "streams": {
         "Position": {"expression": "thisComp.layer('Old').position"},
         "Rotation": {"expression": "thisComp.layer(\"Old Man\").rotation"},
         "Scale": {"expression": "value", "expressionEnabled": false}},
       "effects": [{"kind": "host.slider-control", "params": {"Slider":
         {"expression": "thisComp.layer(\"Old\").effect(\"Slider Control\")(1)"}}}],
       "masks": [{"name": "Cut", "streams":
         {"Mask Opacity": {"expression": "comp(\"Main\").layer('Old').opacity"}}}]}]},
    {"type": "comp", "name": "Elsewhere", "layers": [{"type": "shape", "name": "Far", "streams":
      {"Opacity": {"expression": "comp(\"Main\").layer(\"Old\").opacity",
                   "expressionEnabled": false}}}]}]})json";

class AutoFix : public ScriptBench {};

TEST_F(AutoFix, BrokenExpressionsFollowTheRenameWhereTheyThenWork) {
    load(kFixProject);
    const model::Project before = project;
    value(R"(app.project.autoFixExpressions("Nobody", "Someone"))");
    value(R"(app.project.autoFixExpressions("Old", "Old"))");
    EXPECT_EQ(project, before) << "nothing to fix";
    EXPECT_EQ(changes, 0);
    layer("Main", "Old").ownName = "New";
    value(R"(app.project.autoFixExpressions("Old", "New"))");
    const model::Layer& renamed = layer("Main", "New");
    const model::Layer& watcher = layer("Main", "Watcher");
    EXPECT_EQ(renamed.streams.at(4).expression, R"(thisComp.layer("New").opacity)");
    EXPECT_EQ(watcher.streams.at(1).expression, "thisComp.layer('New').position");
    // "New Man" does not exist either.
    EXPECT_EQ(watcher.streams.at(3).expression, R"(thisComp.layer("Old Man").rotation)");
    EXPECT_EQ(watcher.streams.at(2).expression, "value");
    // "New" has no slider: the rewrite would not work either, so it is not kept.
    EXPECT_EQ(watcher.effects.at(0).params.at(1).expression,
              R"(thisComp.layer("Old").effect("Slider Control")(1))");
    EXPECT_EQ(watcher.masks.at(0).streams.at(2).expression, R"(comp("Main").layer('New').opacity)");
    // Switched-off expressions are fixed too, so they work when switched on.
    EXPECT_EQ(layer("Elsewhere", "Far").streams.at(4).expression,
              R"(comp("Main").layer("New").opacity)");
    EXPECT_EQ(changes, 1);
}

// Far is locked: whether the fix reaches it is one of the host's readings; Watcher is fixed either
// way.
TEST_F(AutoFix, LockedLayersAreFixedUnlessTheReadingSkipsThem) {
    for (const bool skips : {false, true}) {
        SCOPED_TRACE(skips);
        load(kFixProject);
        layer("Elsewhere", "Far").flags |= model::flag::kLocked;
        layer("Main", "Old").ownName = "New";
        script_host().readings.autoFixSkipsLocked = skips;
        value(R"(app.project.autoFixExpressions("Old", "New"))");
        EXPECT_EQ(layer("Elsewhere", "Far").streams.at(4).expression,
                  skips ? R"(comp("Main").layer("Old").opacity)"
                        : R"(comp("Main").layer("New").opacity)");
        EXPECT_EQ(layer("Main", "Watcher").streams.at(1).expression,
                  "thisComp.layer('New').position");
    }
}

// Layers already renamed; each case puts its expression on Watcher's rotation.
constexpr const char* kRenamedProject = R"json({"items": [
    {"type": "comp", "name": "Main", "layers": [
      {"type": "shape", "name": "New"}, {"type": "shape", "name": "P_Circle"},
      {"type": "shape", "name": "P_Circle 2"}, {"type": "shape", "name": "Circle 3"},
      {"type": "shape", "name": "X_C"},
      {"type": "shape", "name": "P_Control", "effects": [{"kind": "host.slider-control"}]},
      {"type": "shape", "name": "Watcher"}]}]})json";

TEST_F(AutoFix, ReplacesTheTextEverywhereInBrokenExpressionsKeptOnlyWhereTheyThenEvaluate) {
    struct Row {
        const char* oldText;
        const char* newText;
        const char* expression;
        const char* fixed;  // nullptr: left as it was
    };
    const Row rows[] = {
        // Every occurrence: names, code, comments.
        {"Old", "New", "var Old = thisComp.layer(\"Old\"); Old.rotation // Old",
         "var New = thisComp.layer(\"New\"); New.rotation // New"},
        // Inside another name: both layers took the prefix, one fix mends both.
        {"Circle", "P_Circle",
         R"(thisComp.layer("Circle").opacity + thisComp.layer("Circle 2").opacity)",
         R"(thisComp.layer("P_Circle").opacity + thisComp.layer("P_Circle 2").opacity)"},
        // ... or breaks the other name, so nothing is kept.
        {"Circle", "P_Circle",
         R"(thisComp.layer("Circle").opacity + thisComp.layer("Circle 3").opacity)", nullptr},
        {"C", "X_C", R"(thisComp.layer("C").opacity)", nullptr},  // thisX_Comp
        {"Control", "P_Control", R"(thisComp.layer("Control").effect("Slider Control")("Slider"))",
         nullptr},
        {"Old", "New", R"(thisComp.layer("\x4Fld").opacity)",
         nullptr},  // text, not what it decodes to
        {"", "New", R"(thisComp.layer("").opacity)", nullptr},
        // Working expressions stay, even where the new text would work too.
        {"Old", "New", R"(thisComp.layer("New").opacity // Old)", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expression);
        load(kRenamedProject);
        layer("Main", "Watcher").streams.at(kRot).expression = row.expression;
        value("app.project.autoFixExpressions(" + nlohmann::json(row.oldText).dump() + ", " +
              nlohmann::json(row.newText).dump() + ")");
        EXPECT_EQ(layer("Main", "Watcher").streams.at(kRot).expression,
                  row.fixed ? row.fixed : row.expression);
    }
}

}  // namespace
}  // namespace script_test
