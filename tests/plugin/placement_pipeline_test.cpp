// Whole runs of the command through the loaded module: the carrier null, the
// parent links, the 3D switch and the timing as the pipeline applies them,
// with and without the pre-comp layer's attributes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract_harness.h"
#include "model/project_ops.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using model::Rational;
using Names = std::vector<std::string>;

constexpr const char* kDiscardAttributes = "click optionDiscardAttributes";
constexpr int kPosition = 1;

// Fixture "placement_scene": Main (30 fps, active) holds Header (text);
// Still, a 3D pre-comp layer of Rig Comp moved 100 px right, starting at
// 1 s, in point 0.5 s of its own time, 4 s long, with a blur effect; Moving,
// a pre-comp layer of Flat Comp with two position keyframes; and Footer
// (text). Rig Comp: Root, Arm (child of Root), Hand (child of Arm), Loose.
// Flat Comp: Dot, Line.
class PlacementPipeline : public PluginHostTest {
protected:
    void SetUp() override { open_scene("placement_scene"); }

    const model::Project& project() { return host_.project(); }
    Names parents_in(const std::string& comp, const Names& layers) {
        Names parents;
        for (const std::string& name : layers) {
            const model::Layer* parent = model::find_layer(project(), layer(comp, name).parent);
            parents.push_back(parent == nullptr ? "" : model::shown_name(project(), *parent));
        }
        return parents;
    }
    std::vector<double> position(const std::string& comp, const std::string& name) {
        return layer(comp, name).streams.at(kPosition).value;
    }
    bool is_3d(const std::string& comp, const std::string& name) {
        return (layer(comp, name).flags & model::flag::k3D) != 0;
    }
    Names solids() {
        Names names;
        for (const model::Item& item : project().items) {
            if (item.footage) names.push_back(item.name);
        }
        return names;
    }
    std::size_t release_statements() const {
        std::size_t count = 0;
        for (const std::string& script : host_.scripts_run()) {
            if (script.find(".parent = null; ") != std::string::npos) ++count;
        }
        return count;
    }
};

TEST_F(PlacementPipeline, WithoutAttributesTheCarrierComesAndGoes) {
    ASSERT_EQ(run({"Still"}, {kDiscardAttributes, "ok"}), A_Err_NONE);

    EXPECT_EQ(layers_of(project(), "Main"),
              (Names{"Header", "Root", "Arm", "Hand", "Loose", "Moving", "Footer"}));
    EXPECT_EQ(solids(), Names{"Solid Red"});
    // Freed from the carrier, although it never was their parent.
    EXPECT_EQ(release_statements(), 2u);
    EXPECT_EQ(parents_in("Main", {"Root", "Arm", "Hand", "Loose"}), (Names{"", "Root", "Arm", ""}));
    EXPECT_EQ(parents_in("Rig Comp", {"Root", "Arm", "Hand", "Loose"}),
              (Names{"", "Root", "Arm", ""}));
    // No 3D switch, timing, transform or effects.
    EXPECT_FALSE(is_3d("Main", "Root"));
    EXPECT_EQ(layer("Main", "Root").offset, Rational::of(0));
    EXPECT_EQ(layer("Main", "Root").duration, Rational::of(10));
    EXPECT_EQ(position("Main", "Root"), (std::vector<double>{300, 200, 0}));
    EXPECT_TRUE(layer("Main", "Root").effects.empty());
    EXPECT_EQ(selected_in(project(), "Main"), (Names{"Root", "Arm", "Hand", "Loose"}));

    expect_undo_restores();
}

TEST_F(PlacementPipeline, AStillTransformIsFoldedIntoTheCopiesAndTheCarrierGoes) {
    ASSERT_EQ(run({"Still"}, {"ok"}), A_Err_NONE);

    EXPECT_EQ(layers_of(project(), "Main"),
              (Names{"Header", "Root", "Arm", "Hand", "Loose", "Moving", "Footer"}));
    EXPECT_EQ(solids(), Names{"Solid Red"});
    EXPECT_EQ(parents_in("Main", {"Root", "Arm", "Hand", "Loose"}), (Names{"", "Root", "Arm", ""}));
    EXPECT_EQ(parents_in("Rig Comp", {"Root", "Arm", "Hand", "Loose"}),
              (Names{"", "Root", "Arm", ""}));
    // The pre-comp layer's 100 px move now sits in the top-level copies.
    const std::vector<double> root = position("Main", "Root");
    ASSERT_EQ(root.size(), 3u);
    EXPECT_NEAR(root[0], 400, 1e-6);
    EXPECT_NEAR(root[1], 200, 1e-6);
    EXPECT_EQ(position("Main", "Arm"), (std::vector<double>{40, 0, 0}));
    for (const std::string name : {"Root", "Arm", "Hand", "Loose"}) {
        SCOPED_TRACE(name);
        const model::Layer& copy = layer("Main", name);
        EXPECT_TRUE(is_3d("Main", name));
        // Shown from 1.5 s to 5.5 s, as the pre-comp layer showed it.
        EXPECT_EQ(copy.offset, Rational::of(1));
        EXPECT_EQ(copy.inPoint + copy.offset, Rational::of(3, 2));
        EXPECT_EQ(copy.duration, Rational::of(4));
        EXPECT_EQ(copy.effects.size(), 1u);
    }
    EXPECT_EQ(selected_in(project(), "Main"), (Names{"Root", "Arm", "Hand", "Loose"}));

    expect_undo_restores();
}

TEST_F(PlacementPipeline, AnAnimatedTransformKeepsTheCarrierWithTheCopies) {
    ASSERT_EQ(run({"Moving"}, {"ok"}), A_Err_NONE);

    EXPECT_EQ(layers_of(project(), "Main"),
              (Names{"Header", "Still", "Dot", "Line", "{{Moving_outfold}}", "Footer"}));
    EXPECT_EQ(parents_in("Main", {"Dot", "Line", "{{Moving_outfold}}"}),
              (Names{"{{Moving_outfold}}", "{{Moving_outfold}}", ""}));
    EXPECT_EQ(position("Main", "Dot"), (std::vector<double>{100, 100, 0}));
    const model::Layer& carrier = layer("Main", "{{Moving_outfold}}");
    EXPECT_TRUE(carrier.isNull);
    EXPECT_EQ(carrier.streams.at(kPosition).keyframes.size(), 2u);
    EXPECT_EQ(solids().size(), 2u);
    EXPECT_EQ(release_statements(), 0u);
    EXPECT_EQ(selected_in(project(), "Main"), (Names{"Dot", "Line", "{{Moving_outfold}}"}));

    expect_undo_restores();
}

// The copies of the second pre-comp layer are selected, with its carrier.
TEST_F(PlacementPipeline, TwoPrecompLayersInOneRun) {
    ASSERT_EQ(run({"Still", "Moving"}, {"ok"}), A_Err_NONE);

    EXPECT_EQ(layers_of(project(), "Main"), (Names{"Header", "Root", "Arm", "Hand", "Loose", "Dot",
                                                   "Line", "{{Moving_outfold}}", "Footer"}));
    EXPECT_EQ(selected_in(project(), "Main"), (Names{"Dot", "Line", "{{Moving_outfold}}"}));
    EXPECT_EQ(solids().size(), 2u);  // the first carrier went with its solid
    EXPECT_EQ(parents_in("Rig Comp", {"Root", "Arm", "Hand", "Loose"}),
              (Names{"", "Root", "Arm", ""}));

    expect_undo_restores();
}

// A run that stops between clearing the links inside the pre-comp and
// putting them back still leaves the pre-comp as it was.
TEST_F(PlacementPipeline, AFailedRunPutsThePrecompsLinksBack) {
    struct Case {
        const char* operation;
        int nth;
    };
    const Case cases[] = {
        {"AEGP_ExecuteScript", 2},   // the layer copy (the dialog is the first)
        {"AEGP_ReorderLayer", 1},    // gathering the copies
        {"AEGP_SetLayerParent", 3},  // the first link among the copies
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        host_.load_project(fixture_path("placement_scene"));
        select_layers(host_.project(), "Main", {"Still"});
        host_.open_menu(AEGP_Menu_LAYER);
        const model::Composition rig = comp_named(project(), "Rig Comp");
        host_.set_user({"ok"});
        host_.fail_call(c.operation, c.nth, 40);
        EXPECT_EQ(host_.click(command()), 40);
        host_.clear_faults();
        EXPECT_EQ(comp_named(project(), "Rig Comp"), rig);
        EXPECT_EQ(host_.outstanding().openUndoGroups, 0);
    }
}

}  // namespace
}  // namespace outfold::testing
