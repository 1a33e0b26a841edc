// Layers keep their picture when a script changes what they follow: freed
// from a mirrored parent, freed from a parent turned out of the picture
// plane while their orientation turns, and when the layer they follow is
// removed. Pictures come from the tests' own evaluator.
#include <functional>
#include <vector>

#include "common/world_eval.h"
#include "model/frame.h"
#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

namespace eval = outfold::testing::eval;
using model::Rational;
using model::Time;

constexpr int kPosition = 1, kScale = 2, kRotation = 3, kRotateX = 8, kRotateY = 9,
              kOrientation = 10;

void keys(model::Layer& layer, int number, const std::vector<std::vector<double>>& values) {
    model::Stream& stream = layer.streams.at(number);
    for (std::size_t i = 0; i < values.size(); ++i) {
        model::Keyframe key = model::new_keyframe(stream, Rational::of(std::int64_t(i)));
        key.value = values[i];
        model::insert_keyframe(stream, key);
    }
}

// "Main" holds Kid (top) and Dad, Kid following Dad; each set up by the case.
struct Scene {
    std::function<void(model::Layer& kid, model::Layer& dad)> setUp;
    const char* script;
};

class LayerPlaceTest : public ScriptBench {
protected:
    void build(const Scene& scene) {
        project = model::Project{};
        const model::Id main = model::add_composition(project, "Main").id;
        project.activeItem = main;
        for (const char* name : {"Kid", "Dad"}) {
            model::Layer layer;
            layer.kind = model::LayerKind::Shape;
            layer.ownName = name;
            layer.duration = Rational::of(10);
            model::add_layer(project, main, layer, -1);
        }
        model::set_parent(project, layer("Main", "Kid").id, layer("Main", "Dad").id);
        scene.setUp(layer("Main", "Kid"), layer("Main", "Dad"));
    }
    // Kid's picture at whole and between keyframe times.
    std::vector<eval::Affine> kid_pictures() {
        std::vector<eval::Affine> pictures;
        for (int quarter = 0; quarter <= 8; ++quarter)
            pictures.push_back(
                eval::world(project, layer("Main", "Kid"), Rational::of(quarter, 4)));
        return pictures;
    }
};

TEST_F(LayerPlaceTest, AFreedOrOrphanedLayerKeepsItsPictureAtEveryTime) {
    const Scene scenes[] = {
        // A mirror reflects the child's turning: angles are negated, not added.
        {[](model::Layer& kid, model::Layer& dad) {
             dad.streams.at(kScale).value = {-80, 80, 100};
             dad.streams.at(kRotation).value = {30};
             dad.streams.at(kPosition).value = {700, 400, 0};
             keys(kid, kRotation, {{0}, {120}, {-40}});
             keys(kid, kPosition, {{100, 50, 0}, {300, -20, 0}, {0, 0, 0}});
         },
         "app.project.activeItem.layer(1).parent = null;"},
        // Orientation keyframes turned by a constant turn out of the picture
        // plane stay in place between keyframes along the shortest turn.
        {[](model::Layer& kid, model::Layer& dad) {
             dad.flags |= model::flag::k3D;
             kid.flags |= model::flag::k3D;
             dad.streams.at(kRotateX).value = {50};
             dad.streams.at(kRotateY).value = {-20};
             dad.streams.at(kScale).value = {70, 70, 70};
             keys(kid, kOrientation, {{10, 20, 30}, {80, 200, 140}, {300, 10, 60}});
         },
         "app.project.activeItem.layer(1).parent = null;"},
        // Removing the parent folds its transform into the follower.
        {[](model::Layer& kid, model::Layer& dad) {
             dad.streams.at(kScale).value = {50, 50, 100};
             dad.streams.at(kRotation).value = {30};
             keys(kid, kRotation, {{0}, {90}});
         },
         "app.project.activeItem.layer(2).remove();"},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.script);
        build(scene);
        const std::vector<eval::Affine> before = kid_pictures();
        value(scene.script);
        EXPECT_EQ(layer("Main", "Kid").parent, model::kNoId);
        const std::vector<eval::Affine> after = kid_pictures();
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_LE(eval::distance(after[i], before[i]), 1e-6) << "at " << i << "/4 s";
    }
}

// The host's own reading of Orientation between keyframes is the shortest
// turn, as the evaluator's.
TEST_F(LayerPlaceTest, OrientationTurnsTheShortestWayBetweenKeyframes) {
    build({[](model::Layer& kid, model::Layer&) {
               kid.flags |= model::flag::k3D;
               keys(kid, kOrientation, {{0, 0, 0}, {350, 90, 10}, {45, 45, 300}});
           },
           ""});
    const model::Layer& kid = layer("Main", "Kid");
    for (int eighth = 0; eighth <= 16; ++eighth) {
        const Time t = Rational::of(eighth, 8);
        const eval::Matrix want = eval::matrix(eval::orientation(kid, t));
        const model::Mat3 got =
            model::rotation_xyz(model::layer_value_at(kid, kid.streams.at(kOrientation), t));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(got[i][j], want[i][j], 1e-9) << eighth << "/8 s";
    }
}

}  // namespace
}  // namespace script_test
