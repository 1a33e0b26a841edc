// Whole runs through the loaded module for the cases where copies used to
// land elsewhere or at another time: a pre-comp layer with a parent of its
// own, an inner composition at another frame rate, a transform moved by an
// expression alone, and outer layers that follow the pre-comp layer.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "model/project_ops.h"
#include "model/streams.h"
#include "placement_check.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using model::Rational;
namespace stream = model::stream;

// One pre-comp layer P of Inner in Main, with two inner layers: [L0] and
// [L1] (the child of [L0]).
SceneBuilder base_scene(Rational innerRate) {
    SceneBuilder scene(innerRate);
    model::Layer& top = scene.add(scene.inner, "[L0]", false);
    set_value(top, stream::kPosition, {200, 150, 0});
    set_value(top, stream::kRotation, {15});
    const model::Id topId = top.id;
    model::Layer& child = scene.add(scene.inner, "[L1]", false);
    set_value(child, stream::kPosition, {40, 10, 0});
    model::set_parent(scene.project, child.id, topId);
    model::Layer& precomp = scene.add(scene.main, "P", false);
    precomp.source = scene.inner;
    set_value(precomp, stream::kPosition, {900, 500, 0});
    return scene;
}

void move_precomp(SceneBuilder& scene) {
    set_keys(scene.layer(scene.main, "P"), stream::kPosition, {Rational::of(0), Rational::of(2)},
             {{900, 500, 0}, {1100, 300, 0}});
}

void parent_precomp(SceneBuilder& scene) {
    model::Layer& link = scene.add(scene.main, "Link", false);
    set_value(link, stream::kRotation, {30});
    set_value(link, stream::kScale, {50, 50, 50});
    set_value(link, stream::kPosition, {300, 200, 0});
    set_keys(link, stream::kPosition, {Rational::of(0), Rational::of(3)},
             {{300, 200, 0}, {600, 100, 0}});
    model::set_parent(scene.project, scene.layer(scene.main, "P").id, link.id);
}

void add_follower(SceneBuilder& scene) {
    model::Layer& follower = scene.add(scene.main, "Follower", false);
    set_value(follower, stream::kPosition, {-50, 80, 0});
    model::set_parent(scene.project, follower.id, scene.layer(scene.main, "P").id);
}

struct Case {
    const char* label;
    Rational innerRate;
    std::function<void(SceneBuilder&)> setUp;
    RunOptions options;
    // Further checks on the project after the run.
    std::function<void(const model::Project&)> expect;
};

class PlacementFidelity : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    void run_case(const Case& c) {
        SCOPED_TRACE(c.label);
        SceneBuilder scene = base_scene(c.innerRate);
        c.setUp(scene);
        host_.set_project(scene.project);
        select_layers(host_.project(), "Main", {"P"});
        host_.open_menu(AEGP_Menu_LAYER);
        const model::Project before = host_.project();
        host_.set_user(answers_.actions_for(c.options));
        ASSERT_EQ(host_.click(command()), A_Err_NONE);
        CheckStats stats;
        expect_placement_kept(before, host_.project(), c.options, Exactness::Exact, c.label, stats);
        EXPECT_GT(stats.comparisons, 0);
        c.expect(host_.project());
    }

    DialogAnswers answers_;
};

// A layer of Main after the run; a missing one ends the test with its name.
const model::Layer& main_layer(const model::Project& project, const std::string& name) {
    const model::Layer* layer = layer_named(project, "Main", name);
    if (layer == nullptr) throw std::runtime_error("no layer " + name);
    return *layer;
}

std::string parent_name(const model::Project& project, const std::string& name) {
    const model::Layer* parent = model::find_layer(project, main_layer(project, name).parent);
    return parent == nullptr ? "" : model::shown_name(project, *parent);
}

const Rational kFilmRate = Rational::of(24000, 1001);
constexpr const char* kCarrier = "{{P_outfold}}";

TEST_F(PlacementFidelity, CopiesLandWhereAndWhenThePrecompLayerShowedThem) {
    const Case cases[] = {
        {"a still pre-comp layer with a turned, scaled, moving parent",
         Rational::of(30),
         parent_precomp,
         {},
         [](const model::Project& after) { EXPECT_EQ(parent_name(after, "[L0]"), "Link"); }},
        {"a moving pre-comp layer with a turned, scaled, moving parent",
         Rational::of(30),
         [](SceneBuilder& s) {
             parent_precomp(s);
             move_precomp(s);
         },
         {},
         [](const model::Project& after) {
             EXPECT_EQ(parent_name(after, kCarrier), "Link");
             EXPECT_EQ(parent_name(after, "[L0]"), kCarrier);
         }},
        {"23.976 fps inside 30 fps at offset 0",
         kFilmRate,
         [](SceneBuilder& s) { s.layer(s.inner, "[L0]").offset = Rational::of(1001, 24000); },
         {},
         [](const model::Project& after) {
             EXPECT_EQ(main_layer(after, "[L0]").offset, Rational::of(1001, 24000));
         }},
        {"23.976 fps inside 30 fps, moved and trimmed",
         kFilmRate,
         [](SceneBuilder& s) {
             model::Layer& top = s.layer(s.inner, "[L0]");
             top.offset = Rational::of(1001, 24000);
             set_keys(top, stream::kRotation,
                      {Rational::of(1001, 24000), Rational::of(3003, 24000)}, {{0}, {90}});
             model::Layer& precomp = s.layer(s.main, "P");
             precomp.offset = Rational::of(-7, 30);
             precomp.inPoint = Rational::of(11, 30);
             precomp.duration = Rational::of(2);
         },
         {},
         [](const model::Project& after) {
             const model::Layer& top = main_layer(after, "[L0]");
             EXPECT_EQ(top.offset, Rational::of(1001, 24000) - Rational::of(7, 30));
             EXPECT_EQ(top.offset + top.inPoint, Rational::of(4, 30));
         }},
        {"25 fps inside 30 fps without attributes",
         Rational::of(25),
         [](SceneBuilder& s) {
             s.layer(s.inner, "[L1]").offset = Rational::of(3, 25);
             s.layer(s.main, "P").offset = Rational::of(1, 30);
         },
         {false},
         [](const model::Project& after) {
             EXPECT_EQ(main_layer(after, "[L1]").offset, Rational::of(3, 25));
         }},
        {"rotation moved by an expression alone",
         Rational::of(30),
         [](SceneBuilder& s) {
             model::Stream& rotation = s.layer(s.main, "P").streams.at(stream::kRotation);
             rotation.value = {20};
             rotation.expression = "time * 90";
         },
         {},
         [](const model::Project& after) {
             const model::Stream& carried =
                 main_layer(after, kCarrier).streams.at(stream::kRotation);
             EXPECT_EQ(carried.value, std::vector<double>{20});
             EXPECT_EQ(carried.expression, "");
             EXPECT_EQ(parent_name(after, "[L0]"), kCarrier);
         }},
        {"a follower of a moving pre-comp layer follows the carrier",
         Rational::of(30),
         [](SceneBuilder& s) {
             add_follower(s);
             move_precomp(s);
         },
         {},
         [](const model::Project& after) { EXPECT_EQ(parent_name(after, "Follower"), kCarrier); }},
        {"a follower of a still pre-comp layer keeps its place",
         Rational::of(30),
         [](SceneBuilder& s) {
             add_follower(s);
             set_value(s.layer(s.main, "P"), stream::kRotation, {45});
         },
         {},
         [](const model::Project& after) { EXPECT_EQ(parent_name(after, "Follower"), ""); }},
        {"a follower of a still pre-comp layer with a parent follows that parent",
         Rational::of(30),
         [](SceneBuilder& s) {
             add_follower(s);
             parent_precomp(s);
         },
         {},
         [](const model::Project& after) { EXPECT_EQ(parent_name(after, "Follower"), "Link"); }},
        {"a follower of a kept pre-comp layer stays with it",
         Rational::of(30),
         [](SceneBuilder& s) {
             add_follower(s);
             move_precomp(s);
         },
         {true, true},
         [](const model::Project& after) { EXPECT_EQ(parent_name(after, "Follower"), "P"); }},
    };
    for (const Case& c : cases) run_case(c);
}

}  // namespace
}  // namespace outfold::testing
