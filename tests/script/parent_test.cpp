// Layer.parent from scripts keeps the layer's picture (by the tests' evaluator) at every time.
#include <cmath>
#include <tuple>
#include <utility>

#include "common/world_eval.h"
#include "model/frame.h"
#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

namespace eval = outfold::testing::eval;
using model::Rational;

// "Main" holds Kid (top) following Dad.
std::string scene(const std::string& kid, const std::string& dad, bool threeD = false) {
    const std::string flags = threeD ? R"("flags": ["video", "3d"], )" : "";
    return R"({"activeItem": "Main", "items": [{"type": "comp", "name": "Main", "layers": [)"
           R"({"type": "shape", "name": "Kid", "parent": "Dad", )" +
           flags + R"("streams": )" + kid + R"(}, {"type": "shape", "name": "Dad", )" + flags +
           R"("streams": )" + dad + "}]}]}";
}

std::string keys(const std::vector<std::string>& values) {
    std::string out = R"({"keyframes": [)";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + std::string(R"({"time": )") + std::to_string(i) +
               R"(, "value": )" + values[i] + "}";
    return out + "]}";
}

// Bezier keys one second apart, each leaving and arriving at 120 per second.
std::string eased_keys(const std::vector<std::string>& values) {
    std::string out = R"({"keyframes": [)";
    for (std::size_t i = 0; i < values.size(); ++i)
        out +=
            (i ? ", " : "") + std::string(R"({"time": )") + std::to_string(i) +
            R"(, "in": "bezier", "out": "bezier", "inEase": [[120, 40]], "outEase": [[120, 40]], )"
            R"("value": )" +
            values[i] + "}";
    return out + "]}";
}

constexpr const char* kRelease = "app.project.item(1).layer(1).parent = null";

using Value = std::tuple<int, int, std::vector<double>>;  // stream, key (-1: value), expected

struct Case {
    const char* label;
    std::string project;
    std::vector<Value> values = {};  // of Kid's streams afterwards
    std::string script = kRelease;
    bool sheared = false;                                  // only place and x direction can be kept
    std::vector<int> times = {0, 1, 2, 3, 4, 5, 6, 7, 8};  // composition times in quarter seconds
};

class Parent : public ScriptBench {
protected:
    eval::Affine picture(int quarter) {
        return eval::world(project, layer("Main", "Kid"), Rational::of(quarter, 4));
    }
};

TEST_F(Parent, TheLayerKeepsItsPictureAndShowsTheFoldedValues) {
    const Case cases[] = {
        {"a mirrored layer stays mirrored the way it was",
         scene(R"({"Position": [25, 0, 0], "Scale": [-100, 100, 100], "Rotation": 20})",
               R"({"Position": [500, 500, 0], "Rotation": 135, "Scale": [75, 75, 100]})"),
         {{2, -1, {-75, 75, 100}}, {3, -1, {155}}}},
        {"a layer squashed flat keeps its turn and its other scale",
         scene(R"({"Position": [25, 0, 0], "Scale": [0, 100, 100], "Rotation": 20})",
               R"({"Position": [500, 500, 0], "Rotation": 135, "Scale": [75, 75, 100]})"),
         {{2, -1, {0, 75, 100}}, {3, -1, {155}}}},
        {"a non-uniform parent over an upright child",
         scene(R"({"Position": [10, 30, 0], "Scale": [50, 120, 100]})",
               R"({"Position": [200, 100, 0], "Scale": [200, 100, 100], "Rotation": 60})")},
        {.label = "a non-uniform parent over a rotated child",
         .project = scene(R"({"Position": [10, 30, 0], "Rotation": 30})",
                          R"({"Position": [200, 100, 0], "Scale": [300, 100, 100]})"),
         .sheared = true},
        {"folded values",
         scene(R"({"Position": [10, 0, 5], "Anchor Point": [0, 0, 0]})",
               R"({"Position": [100, 100, 30], "Anchor Point": [0, 0, 0], "Rotation": 90,
                   "Scale": [200, 200, 100]})"),
         {{1, -1, {100, 120, 35}}, {3, -1, {90}}, {2, -1, {200, 200, 100}}, {0, -1, {0, 0, 0}}}},
        {"keyframes move with the fold",
         scene("{\"Position\": " + keys({"[0, 0, 0]", "[10, 0, 0]"}) +
                   ", \"Rotation\": " + keys({"0", "45"}) +
                   ", \"Scale\": " + keys({"[100, 100, 100]", "[40, 60, 100]"}) + "}",
               R"({"Position": [100, 50, 0], "Rotation": 30, "Scale": [50, 50, 100]})"),
         {{3, 0, {30}}, {3, 1, {75}}, {2, 1, {20, 30, 100}}}},
        {.label = "animated ancestors are read where the layer starts",
         .project = R"({"items": [{"type": "comp", "name": "Main", "layers": [
            {"type": "shape", "name": "Kid", "parent": "Dad", "inPoint": 5, "offset": 0,
             "streams": {"Position": [0, 10, 0]}},
            {"type": "shape", "name": "Dad", "streams": {"Anchor Point": [0, 0, 0],
             "Position": {"keyframes": [{"time": 0, "value": [100, 0, 0]},
                                        {"time": 10, "value": [200, 0, 0]}]}}}]}]})",
         .values = {{1, -1, {150, 10, 0}}},
         .times = {20}},
        {.label = "stretched layers are read at their own layer times",
         .project = R"({"items": [{"type": "comp", "name": "Main", "layers": [
            {"type": "shape", "name": "Kid", "parent": "Dad", "inPoint": 10, "stretch": 50,
             "streams": {"Position": [0, 10, 0]}},
            {"type": "shape", "name": "Dad", "stretch": 200, "streams": {
             "Anchor Point": [0, 0, 0], "Position": {"keyframes": [
              {"time": 0, "value": [100, 0, 0]}, {"time": 10, "value": [200, 0, 0]}]}}}]}]})",
         .values = {{1, -1, {125, 10, 0}}},  // Kid starts at 5 s, Dad's layer time 2.5 s
         .times = {20}},
        {.label = "removing the parent folds it in",
         .project = scene("{\"Rotation\": " + keys({"0", "90"}) + "}",
                          R"({"Scale": [50, 50, 100], "Rotation": 30})"),
         .script = "app.project.item(1).layer(2).remove()"},
        {"an eased turn under a mirror keeps its pace, the other way round",
         scene("{\"Rotation\": " + eased_keys({"0", "45"}) + "}",
               R"({"Position": [100, 50, 0], "Rotation": 30, "Scale": [-50, 50, 100]})")},
        {"3D: the turn goes into the orientation, own rotations keep their values",
         scene(
             R"({"Position": [0, 0, 0], "Rotation": 25, "X Rotation": )" + keys({"0", "90"}) + "}",
             R"({"Position": [100, 0, 0], "X Rotation": 90})", true),
         {{10, -1, {90, 0, 0}}, {3, -1, {25}}, {8, 1, {90}}, {1, -1, {100, 0, 0}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load(c.project);
        const model::Layer dad = layer("Main", "Dad");
        std::vector<eval::Affine> before;
        for (int q : c.times) before.push_back(picture(q));
        value(c.script);
        EXPECT_EQ(std::exchange(changes, 0), 1);
        const model::Layer& kid = layer("Main", "Kid");
        EXPECT_EQ(kid.parent, model::kNoId);
        if (c.script == kRelease) {
            EXPECT_EQ(layer("Main", "Dad"), dad) << "the parent is untouched";
        }
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            SCOPED_TRACE("at " + std::to_string(c.times[i]) + "/4 s");
            const eval::Affine after = picture(c.times[i]);
            if (!c.sheared) {
                EXPECT_LE(eval::distance(after, before[i]), 1e-6);
                continue;
            }
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(after.t[k], before[i].t[k], 1e-6);
            EXPECT_NEAR(std::atan2(after.m[1][0], after.m[0][0]),
                        std::atan2(before[i].m[1][0], before[i].m[0][0]), 1e-9);
        }
        for (const auto& [stream, key, expected] : c.values) {
            SCOPED_TRACE("stream " + std::to_string(stream) + " key " + std::to_string(key));
            const model::Stream& s = kid.streams.at(stream);
            const std::vector<double>& got = key < 0 ? s.value : s.keyframes.at(key).value;
            ASSERT_EQ(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-9);
        }
    }
}

TEST_F(Parent, ImpossibleParentsAreErrorsAndReleasingNoParentChangesNothing) {
    load(R"({"items": [
        {"type": "comp", "name": "Main", "layers": [
          {"type": "shape", "name": "Kid", "parent": "Dad"},
          {"type": "shape", "name": "Dad"},
          {"type": "shape", "name": "Flat", "streams": {"Scale": [0, 100, 100]}}]},
        {"type": "comp", "name": "Other", "layers": [{"type": "shape", "name": "Far"}]}]})");
    const model::Project before = project;
    casePrefix = "var c = app.project.item(1); ";
    errorSuffix = " (line 1)";
    expect_errors({
        {"c.layer(2).parent = c.layer(1)", "Error: parent: the parent link would make a cycle"},
        {"c.layer(1).parent = c.layer(1)", "Error: parent: a layer cannot be its own parent"},
        {"c.layer(1).parent = app.project.item(2).layer(1)",
         "Error: parent: the parent must be a layer of the same composition"},
        {"c.layer(1).parent = c.layer(3)", "Error: parent: the new parent is scaled to nothing"},
    });
    EXPECT_EQ(project, before);
    EXPECT_EQ(changes, 0);
    load(scene(R"({"Position": [10, 0, 0], "Rotation": 33.3, "Scale": [-70, 45, 100]})",
               R"({"Position": [1, 2, 0]})"));
    const model::Project original = project;
    value("app.project.item(1).layer(2).parent = null");  // Dad has no parent
    EXPECT_EQ(project, original);
    value(kRelease);
    // Under a parent that only moves it, rotation and scale stay exactly.
    EXPECT_EQ(layer("Main", "Kid").streams.at(3).value, (std::vector<double>{33.3}));
    EXPECT_EQ(layer("Main", "Kid").streams.at(2).value, (std::vector<double>{-70, 45, 100}));
}

// The host reads Orientation between keyframes as the evaluator does: the shortest turn.
TEST_F(Parent, OrientationTurnsTheShortestWayBetweenKeyframes) {
    load(scene("{\"Orientation\": " + keys({"[0, 0, 0]", "[350, 90, 10]", "[45, 45, 300]"}) + "}",
               "{}", true));
    const model::Layer& kid = layer("Main", "Kid");
    for (int eighth = 0; eighth <= 16; ++eighth) {
        const model::Time t = Rational::of(eighth, 8);
        const eval::Matrix want = eval::matrix(eval::orientation(kid, t));
        const model::Mat3 got =
            model::rotation_xyz(model::layer_value_at(kid, kid.streams.at(10), t));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(got[i][j], want[i][j], 1e-9) << eighth << "/8 s";
    }
}

}  // namespace
}  // namespace script_test
