// The picture of a composition against values worked out by hand.
#include "picture/picture.h"

#include <chrono>

#include "model/streams.h"
#include "script/expression_engine.h"
#include "script_bench.h"

namespace script_test {
namespace {

// Inner (200 x 100) holds a parent pair, a keyed layer, a matte pair and a
// layer with audio; Main shows it twice and reads across layers.
constexpr const char* kScene = R"json({"items": [
  {"type": "footage", "name": "Clip", "width": 64, "height": 32, "duration": 20, "hasAudio": true},
  {"type": "comp", "name": "Inner", "width": 200, "height": 100, "duration": 20, "layers": [
    {"type": "shape", "name": "Child", "parent": "Boss", "streams": {"Opacity": 100,
      "Position": [10, 0, 0]}},
    {"type": "shape", "name": "Boss", "streams": {"Opacity": 50, "Position": [100, 50, 0],
      "Rotation": 90}},
    {"type": "shape", "name": "Keyed", "streams": {"Opacity": {"keyframes": [
      {"time": 0, "value": 0}, {"time": 4, "value": 100}]}}},
    {"type": "shape", "name": "Stencil"},
    {"type": "shape", "name": "Filled", "trackMatte": "ALPHA", "streams": {"Opacity": 80},
      "masks": [{"name": "Cut"}]},
    {"source": "Clip", "flags": ["video", "audio"]},
    {"type": "text", "name": "Says", "text": "hi", "streams": {"Source Text": {"expression":
      "thisComp.layer('Boss').transform.opacity + ' %'"}}}]},
  {"type": "comp", "name": "Main", "duration": 20, "layers": [
    {"type": "shape", "name": "Follower", "streams": {
      "Position": {"value": [0, 0, 0], "expression": "thisComp.layer('Leader').transform.position"}}},
    {"type": "shape", "name": "Leader", "streams": {
      "Position": {"value": [300, 300, 0], "expression": "wiggle(3, 50)"}}},
    {"type": "shape", "name": "Ping", "streams": {
      "Rotation": {"value": 5, "expression": "thisComp.layer('Pong').transform.rotation + 1"}}},
    {"type": "shape", "name": "Pong", "streams": {
      "Rotation": {"value": 7, "expression": "thisComp.layer('Ping').transform.rotation + 1"}}},
    {"name": "Shown", "source": "Inner", "flags": ["video", "audio"], "offset": 1,
      "streams": {"Opacity": 50, "Position": [1000, 500, 0], "Anchor Point": [100, 50, 0]},
      "effects": [{"kind": "Fill"}]},
    {"name": "Hidden", "source": "Inner", "flags": ["audio"]}]}]})json";

class Picture : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kScene);
    }

    picture::Picture at(double seconds, const char* comp = "Main") {
        const model::Item* item = model::find_item_by_name(project, comp);
        return picture::picture_of(project, item->id,
                                   model::Rational::of(std::llround(seconds * 1000), 1000), engine);
    }

    static const picture::Leaf& leaf(const picture::Picture& pic, const Names& names) {
        for (const picture::Leaf& candidate : pic.leaves)
            if (candidate.names == names) return candidate;
        ADD_FAILURE() << "no leaf " << names.back();
        static picture::Leaf none;
        return none;
    }

    static std::array<double, 3> origin(const picture::Leaf& leaf) {
        return picture::map_point(leaf.world, {0, 0, 0});
    }

    script::ExpressionEngine engine;
};

TEST_F(Picture, OpacitySwitchesAndNestingFollowTheApplicationsRules) {
    const picture::Picture pic = at(3);
    struct Row {
        Names path;
        double opacity;
        bool visible, audible;
    };
    // Parents pass no opacity on; a pre-comp layer's multiplies; its video
    // and audio switches hide and mute all it shows; a matte is not drawn.
    for (const Row& row : std::vector<Row>{
             {{"Shown", "Child"}, 50, true, false},
             {{"Shown", "Boss"}, 25, true, false},
             {{"Shown", "Keyed"}, 25, true, false},  // layer time 2 of 0 -> 100 over 4 s
             {{"Shown", "Stencil"}, 50, false, false},
             {{"Shown", "Filled"}, 40, true, false},
             {{"Shown", "Clip"}, 50, true, true},
             {{"Hidden", "Clip"}, 100, false, true},
             {{"Hidden", "Child"}, 100, false, false},
         }) {
        SCOPED_TRACE(row.path.back());
        const picture::Leaf& found = leaf(pic, row.path);
        EXPECT_NEAR(found.opacity, row.opacity, 1e-9);
        EXPECT_EQ(found.visible, row.visible);
        EXPECT_EQ(found.audible, row.audible);
    }
    const picture::Leaf& filled = leaf(pic, {"Shown", "Filled"});
    EXPECT_EQ(filled.trackMatte, model::TrackMatte::Alpha);
    EXPECT_EQ(filled.matte, "Stencil");
    EXPECT_TRUE(leaf(pic, {"Shown", "Stencil"}).isMatte);
    EXPECT_EQ(filled.groupModes, std::vector<std::int32_t>{model::kNormalBlending});
    EXPECT_EQ(filled.masks, (std::vector<picture::Attribute>{{"Filled", "Cut", ""}}));
    EXPECT_EQ(filled.effects, (std::vector<picture::Attribute>{{"Shown", "Fill", "host.fill"}}));
    EXPECT_EQ(leaf(pic, {"Shown", "Clip"}).sourceTime, model::Rational::of(2));
    EXPECT_EQ(leaf(pic, {"Shown", "Says"}).text, "50 %");
}

TEST_F(Picture, WorldTransformsPassThroughParentsAndPreCompLayers) {
    const picture::Picture pic = at(3);
    // Child: Boss turns it 90 degrees about Boss's (100, 50); Shown moves
    // Inner's (100, 50) to (1000, 500).
    const auto child = origin(leaf(pic, {"Shown", "Child"}));
    EXPECT_NEAR(child[0], 1000, 1e-9);
    EXPECT_NEAR(child[1], 510, 1e-9);
    // Only the top layer sees the leaves in the order of the stack.
    EXPECT_EQ(pic.leaves.front().names, Names{"Follower"});
    // Reads go through the other layer's expression: the follower sits on
    // the wiggled leader, not on its stored place.
    const auto follower = origin(leaf(pic, {"Follower"}));
    const auto leader = origin(leaf(pic, {"Leader"}));
    EXPECT_EQ(follower, leader);
    EXPECT_GT(std::abs(leader[0] - 300) + std::abs(leader[1] - 300), 1e-3);
}

TEST_F(Picture, BezierKeysAreShownAlongTheirEasesAndPaths) {
    model::Layer& keyed = layer("Inner", "Keyed");
    const model::Ease still{0, 100.0 / 3};  // with a third each way the time cubic is t = u
    model::Stream& opacity = keyed.streams.at(model::stream::kOpacity);
    for (model::Keyframe& k : opacity.keyframes) {
        k.inInterp = k.outInterp = model::Interpolation::Bezier;
        k.inEase = k.outEase = {still};
    }
    model::Stream& position = keyed.streams.at(model::stream::kPosition);
    position.keyframes = opacity.keyframes;
    position.keyframes[0].value = {0, 0, 0};
    position.keyframes[1].value = {100, 0, 0};
    position.keyframes[0].outTangent = position.keyframes[1].inTangent = {0, 50, 0};
    // Layer time 1 of 4 s: 100 (3u^2 - 2u^3) at u = 1/4, under Shown's 50 %.
    EXPECT_NEAR(leaf(at(2), {"Shown", "Keyed"}).opacity, 15.625 / 2, 1e-6);
    // Layer time 2: half way along a symmetric path, (P0 + 3 C1 + 3 C2 + P3) / 8, moved by
    // Shown's position less its anchor point, (900, 450).
    const auto middle = origin(leaf(at(3), {"Shown", "Keyed"}));
    EXPECT_NEAR(middle[0], 950, 1e-6);
    EXPECT_NEAR(middle[1], 487.5, 1e-6);
}

TEST_F(Picture, AReferenceCycleIsAnErrorAndEnds) {
    const auto start = std::chrono::steady_clock::now();
    const picture::Picture pic = at(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(pic.errors.size(), 2u);
    EXPECT_NE(pic.errors[0].find("depends on itself"), std::string::npos) << pic.errors[0];
    // Both fall back to their stored turns.
    EXPECT_NEAR(leaf(pic, {"Ping"}).world[1], -std::sin(5 * std::acos(-1) / 180), 1e-12);
}

TEST_F(Picture, TimeMapsThroughStretchAndTimeRemapping) {
    model::Layer& keyed = layer("Inner", "Keyed");
    model::Layer& shown = layer("Main", "Shown");
    struct Row {
        model::Rational stretch, offset;
        double compTime, layerTime, opacity;  // Keyed's, under Shown at 50 %
    };
    for (const Row& row : std::vector<Row>{
             {model::Rational::of(2), model::Rational::of(1), 3, 1, 12.5},   // 200 %
             {model::Rational::of(-1), model::Rational::of(4), 1, 3, 37.5},  // reversed
         }) {
        keyed.stretch = row.stretch;
        keyed.offset = row.offset;
        keyed.inPoint = model::Rational::of(0);
        keyed.duration = model::Rational::of(4);
        const picture::Leaf& found = leaf(at(row.compTime + 1), {"Shown", "Keyed"});
        EXPECT_EQ(found.layerTime, model::Rational::of(std::llround(row.layerTime)));
        EXPECT_NEAR(found.opacity, row.opacity, 1e-9);
    }
    // Remapped to a still 2 s of Inner, whatever the outer time.
    keyed.stretch = model::Rational::of(1);
    keyed.offset = model::Rational::of(0);
    shown.flags |= model::flag::kTimeRemapping;
    shown.streams.at(model::stream::kTimeRemap).value = {2};
    EXPECT_NEAR(leaf(at(7), {"Shown", "Keyed"}).opacity, 25, 1e-9);
}

}  // namespace
}  // namespace script_test
