// Whole runs judged by the host's picture of Main: after extracting P with its attributes, a
// viewer sees the same leaves, in the same order, placed, faded, switched and timed alike.
#include <cmath>
#include <random>

#include "model/streams.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
namespace picture = host::picture;
using model::Rational;
using model::Time;
namespace stream = model::stream;

// The mode a leaf is drawn with: its own, or else the innermost pre-comp layer's that is not
// Normal.
std::int32_t drawn_mode(const picture::Leaf& leaf) {
    if (leaf.blendingMode != model::kNormalBlending) return leaf.blendingMode;
    for (auto mode = leaf.groupModes.rbegin(); mode != leaf.groupModes.rend(); ++mode)
        if (*mode != model::kNormalBlending) return *mode;
    return model::kNormalBlending;
}

std::string at(Time t) { return "at " + std::to_string(t.num) + "/" + std::to_string(t.den) + "s"; }

// Main with the solid "Sound" (it has audio) and the composition "Inner" shown by the layer P.
struct Scene {
    model::Project project;
    model::Id main, inner, sound;

    Scene() {
        sound = model::add_footage(project, "Sound", {.hasAudio = true}).id;
        inner = model::add_composition(
                    project, "Inner", {.frameRate = Rational::of(30), .duration = Rational::of(20)})
                    .id;
        main = project.activeItem =
            model::add_composition(project, "Main",
                                   {.frameRate = Rational::of(30), .duration = Rational::of(30)})
                .id;
    }
    model::Layer& add(model::Id comp, const std::string& name) {
        model::Layer layer{.ownName = name,
                           .source = sound,
                           .duration = Rational::of(8),
                           .flags = model::flag::kVideoActive | model::flag::kAudioActive};
        return model::add_layer(project, comp, std::move(layer), -1);
    }
    model::Layer& precomp() {
        model::Layer& p = add(main, "P");
        p.source = inner;
        p.duration = Rational::of(20);
        return p;
    }
};

void keys(model::Layer& layer, int number, const std::vector<std::pair<Time, double>>& values) {
    model::Stream& s = layer.streams.at(number);
    for (const auto& [time, value] : values) {
        model::Keyframe key = model::new_keyframe(s, time);
        key.value.assign(s.value.size(), value);
        model::insert_keyframe(s, std::move(key));
    }
}

class PictureInvariance : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    // Runs with attributes copied ("keep" also keeps P) and compares Main's picture at `times`.
    void run_and_compare(const model::Project& project, const std::vector<Time>& times,
                         bool keep = false) {
        host_.set_project(project);
        std::vector<std::string> actions{"click optionCopyAttributes"};
        if (keep != keep_) actions.push_back("click optionKeepInComp");
        keep_ = keep;
        actions.push_back("ok");
        ASSERT_EQ(run({"P"}, actions), A_Err_NONE);
        const model::Id main = item_named(before_, "Main").id;
        for (const Time t : times) {
            SCOPED_TRACE(at(t));
            const picture::Picture was = host_.picture(before_, main, t);
            const picture::Picture is = host_.picture(main, t);
            EXPECT_EQ(is.errors, was.errors);
            ASSERT_EQ(is.leaves.size(), was.leaves.size());
            for (std::size_t i = 0; i < was.leaves.size(); ++i) {
                const picture::Leaf &a = was.leaves[i], &b = is.leaves[i];
                SCOPED_TRACE(a.names.back());
                ++comparisons_;
                EXPECT_EQ(b.source, a.source);
                for (std::size_t k = 0; k < a.world.size(); ++k)
                    EXPECT_NEAR(b.world[k], a.world[k], 1e-6) << "world " << k;
                EXPECT_NEAR(b.opacity, a.opacity, 1e-6);
                EXPECT_EQ(std::tuple(b.visible, b.audible, drawn_mode(b)),
                          std::tuple(a.visible, a.audible, drawn_mode(a)));
                EXPECT_NEAR(b.layerTime.seconds(), a.layerTime.seconds(), 1e-6);
                ASSERT_EQ(b.sourceTime.has_value(), a.sourceTime.has_value());
                if (a.sourceTime) {
                    EXPECT_NEAR(b.sourceTime->seconds(), a.sourceTime->seconds(), 1e-6);
                }
            }
        }
    }

    bool keep_ = false;
    int comparisons_ = 0;
};

// Every tenth of a second over Main's first 16 s, off the frame grid.
std::vector<Time> samples() {
    std::vector<Time> times;
    for (int k = 0; k < 160; ++k) times.push_back(Rational::of(3 * k + 1, 30));
    return times;
}

// Each row: what P does to how its layers look; [A] over its child [B] inside.
TEST_F(PictureInvariance, EachLookOfThePrecompLayerCarriesToItsCopies) {
    using Shape = std::function<void(Scene&, model::Layer & p, model::Layer & a, model::Layer & b)>;
    const std::tuple<const char*, Shape> cases[] = {
        {"reversed, 1 s to 7 s",
         [](Scene&, model::Layer& p, model::Layer&, model::Layer& b) {
             std::tie(p.offset, p.stretch, p.inPoint, p.duration) =
                 std::tuple(Rational::of(7), Rational::of(-1), Rational::of(0), Rational::of(6));
             b.offset = Rational::of(2);
         }},
        {"200 % over an inner 50 %, moved and trimmed",
         [](Scene&, model::Layer& p, model::Layer& a, model::Layer&) {
             std::tie(p.offset, p.stretch, p.inPoint, p.duration) = std::tuple(
                 Rational::of(1, 3), Rational::of(2), Rational::of(1, 2), Rational::of(5));
             std::tie(a.offset, a.stretch, a.inPoint) =
                 std::tuple(Rational::of(1, 10), Rational::of(1, 2), Rational::of(1));
             keys(a, stream::kRotation, {{Rational::of(1), 0}, {Rational::of(5), 90}});
         }},
    };
    for (const auto& [label, shape] : cases) {
        SCOPED_TRACE(label);
        Scene scene;
        model::Layer& a = scene.add(scene.inner, "[A]");
        model::Layer& b = scene.add(scene.inner, "[B]");
        model::Layer& p = scene.precomp();
        model::set_parent(scene.project, b.id, a.id);
        b.streams.at(stream::kPosition).value = {30, 40, 0};
        p.streams.at(stream::kPosition).value = {500, 300, 0};
        shape(scene, p, a, b);
        run_and_compare(scene.project, samples());
        if (HasFailure()) break;
    }
    EXPECT_GT(comparisons_, 200);
}

}  // namespace
}  // namespace outfold::testing
