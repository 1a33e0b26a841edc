// Layer.copyToComp: where the copy lands, what it carries, and what it may
// not do.
#include "script_bench.h"

namespace script_test {
namespace {

// Items: 1 Red, 2 Leaf, 3 Pre, 4 Main.
constexpr const char* kProject = R"json({"activeItem": "Main", "items": [
    {"type": "solid", "name": "Red", "width": 100, "height": 100},
    {"type": "comp", "name": "Leaf", "layers": [{"type": "shape", "name": "Dot"}]},
    {"type": "comp", "name": "Pre", "layers": [
       {"name": "Rich", "source": "Red", "inPoint": 1, "duration": 3, "offset": 2, "flags": 37,
        "streams": {"Position": [10, 20, 0], "Opacity": {"expression": "wiggle(1, 2)",
                    "keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 100}]}},
        "effects": [{"kind": "host.gaussian-blur", "params": {"Blurriness": 12}}],
        "masks": [{"name": "Cut", "streams": {"Mask Opacity": {"expression": "50"}}}]},
       {"type": "shape", "name": "Child", "parent": "Rich"}, {"name": "Nest", "source": "Leaf"}]},
    {"type": "comp", "name": "Main", "layers": [{"type": "shape", "name": "A"},
       {"type": "shape", "name": "B"}, {"type": "shape", "name": "C"},
       {"name": "PreLayer", "source": "Pre"}]}]})json";

class CopyToComp : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kProject);
    }

    void select(const std::string& compName, const Names& names) {
        std::vector<model::Id> ids;
        for (const std::string& name : names) ids.push_back(layer(compName, name).id);
        model::select_only_layers(project, model::find_item_by_name(project, compName)->id, ids);
    }
};

TEST_F(CopyToComp, LandsAboveTheTopmostSelectedLayerOrAtTheTop) {
    // The layers selected, and the stack after.
    const std::pair<Names, Names> cases[] = {
        {{}, {"Rich", "A", "B", "C", "PreLayer"}},
        {{"C"}, {"A", "B", "Rich", "C", "PreLayer"}},
        {{"PreLayer", "B"}, {"A", "Rich", "B", "C", "PreLayer"}},
        {{"A"}, {"Rich", "A", "B", "C", "PreLayer"}},
        {{"PreLayer"}, {"A", "B", "C", "Rich", "PreLayer"}},
    };
    for (const auto& [selected, after] : cases) {
        load(kProject);
        select("Main", selected);
        const auto selectionBefore = comp("Main").selection;
        value("app.project.item(3).layer(1).copyToComp(app.project.item(4))");
        EXPECT_EQ(layer_names("Main"), after) << "selected: " << selected.size();
        EXPECT_EQ(comp("Main").selection, selectionBefore) << "the selection is left as it was";
    }
}

TEST_F(CopyToComp, CopiesOfEveryLayerStackInOrderAboveTheSelection) {
    // The plug-in's layer copy: each source layer in turn, top first, with the
    // pre-comp layer selected; the copies end up in source order above it.
    select("Main", {"PreLayer"});
    value(
        "for (var i = 1; i <= app.project.item(3).numLayers; i++)\n"
        "    app.project.item(3).layer(i).copyToComp(app.project.item(4));");
    EXPECT_EQ(layer_names("Main"), (Names{"A", "B", "C", "Rich", "Child", "Nest", "PreLayer"}));
    EXPECT_EQ(layer_names("Pre"), (Names{"Rich", "Child", "Nest"}));
    EXPECT_EQ(changes, 3);
    model::check_invariants(project);
}

TEST_F(CopyToComp, TheCopyCarriesEverythingUnderNewIds) {
    const model::Layer original = layer("Pre", "Rich");
    const model::Id firstNewId = project.nextId;
    value("app.project.item(3).layer(1).copyToComp(app.project.item(4))");
    model::Layer copy = comp("Main").layers.front();
    EXPECT_GE(copy.id, firstNewId);
    ASSERT_EQ(copy.effects.size(), 1u);
    ASSERT_EQ(copy.masks.size(), 1u);
    EXPECT_GE(copy.effects[0].id, firstNewId);
    EXPECT_GE(copy.masks[0].id, firstNewId);
    EXPECT_NE(copy.effects[0].id, copy.masks[0].id);
    EXPECT_NE(copy.effects[0].id, copy.id);
    // Apart from the ids it is the very same layer: name, source, times,
    // flags, streams with values, keyframes and expressions, effects, masks.
    copy.id = original.id;
    copy.effects[0].id = original.effects[0].id;
    copy.masks[0].id = original.masks[0].id;
    EXPECT_EQ(copy, original);
    EXPECT_EQ(layer("Pre", "Rich"), original) << "the source layer is untouched";
    model::check_invariants(project);
}

TEST_F(CopyToComp, ParentLinksSurviveOnlyWhereTheParentIs) {
    // Into another composition: no parent, own values unchanged.
    const model::Layer child = layer("Pre", "Child");
    value("app.project.item(3).layer(2).copyToComp(app.project.item(4))");
    const model::Layer& elsewhere = comp("Main").layers.front();
    EXPECT_EQ(elsewhere.parent, model::kNoId);
    EXPECT_EQ(elsewhere.streams, child.streams);

    // Into its own composition: the link stays.
    value("app.project.item(3).layer(2).copyToComp(app.project.item(3))");
    EXPECT_EQ(layer_names("Pre"), (Names{"Child", "Rich", "Child", "Nest"}));
    EXPECT_EQ(comp("Pre").layers.front().parent, layer("Pre", "Rich").id);
    model::check_invariants(project);
}

TEST_F(CopyToComp, ACompositionMayNotComeToShowItself) {
    const char* cycles[] = {
        // PreLayer shows Pre: a copy in Pre would show Pre itself.
        "app.project.item(4).layer(4).copyToComp(app.project.item(3))",
        // Nest shows Leaf.
        "app.project.item(3).layer(3).copyToComp(app.project.item(2))",
        // PreLayer shows Pre, which shows Leaf: Leaf would show itself through Pre.
        "app.project.item(4).layer(4).copyToComp(app.project.item(2))",
    };
    const model::Project before = project;
    for (const char* source : cycles) {
        SCOPED_TRACE(source);
        EXPECT_EQ(error(source), "Error: copyToComp(): the composition would show itself (line 1)");
        EXPECT_EQ(project, before);
    }
    EXPECT_EQ(changes, 0);
    // Showing the same source once more is no cycle.
    value("app.project.item(4).layer(4).copyToComp(app.project.item(4))");
    EXPECT_EQ(layer_names("Main"), (Names{"PreLayer", "A", "B", "C", "PreLayer"}));
}

}  // namespace
}  // namespace script_test
