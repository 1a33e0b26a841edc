// Parent links of extracted layers: recorded and cleared inside the pre-comp,
// restored among the copies and inside the pre-comp, the carrier as parent of
// the top-level copies, and the scripts that free them from it again.
#include <string>
#include <vector>

#include "extract/copy_layers.h"
#include "extract_harness.h"
#include "model/project_ops.h"
#include "placement/carrier.h"
#include "placement/parenting.h"
#include "placement/stacking.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using Names = std::vector<std::string>;

// Each layer of the composition, top first, as "name>parent" ("name" alone
// without a parent).
Names links_in(const model::Project& project, const std::string& comp) {
    Names links;
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        std::string link = model::shown_name(project, layer);
        if (const model::Layer* parent = model::find_layer(project, layer.parent)) {
            link += ">" + model::shown_name(project, *parent);
        }
        links.push_back(link);
    }
    return links;
}

std::vector<double> position_of(const model::Project& project, const std::string& comp,
                                std::size_t index) {
    return comp_named(project, comp).layers.at(index).streams.at(1).value;
}

// Fixture "placement_parents": Main (active) holds Rig (Rig Comp), Flat (Flat
// Comp), Hollow (Empty Comp, no layers) and Base; Side holds Bystander.
// Rig Comp: Root, Arm (child of Root), Hand (child of Arm), Loose, Prop
// (child of Root). Flat Comp: A, B, no links.
class ParentingTest : public ExtractTest {
protected:
    void SetUp() override { load("placement_parents"); }

    A_Err detach(const std::string& precomp, ParentIndices* list) {
        const AEGP_LayerH layer = precomp_layer(precomp);
        const PluginInfo pluginInfo = info();
        return detach_precomp_parents(&pluginInfo, layer, list);
    }
    A_Err restore_inside(const std::string& precomp, const ParentIndices& list) {
        const AEGP_LayerH layer = precomp_layer(precomp);
        const PluginInfo pluginInfo = info();
        return restore_precomp_parents(&pluginInfo, layer, list);
    }
    AEGP_LayerH precomp_layer(const std::string& name) {
        const Names names = layer_names(project(), "Main");
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return layer_handle("Main", static_cast<A_long>(i));
        }
        ADD_FAILURE() << "no layer " << name;
        return nullptr;
    }

    // The pipeline up to the parent restore: carrier, recorded links, copies
    // gathered at the top of Main and linked among themselves.
    ParentIndices extract_rig(AEGP_LayerH* carrier) {
        const PluginInfo pluginInfo = info();
        const AEGP_LayerH rig = precomp_layer("Rig");
        EXPECT_EQ(create_carrier_null(&pluginInfo, rig, carrier), A_Err_NONE);
        ParentIndices list;
        EXPECT_EQ(detach_precomp_parents(&pluginInfo, rig, &list), A_Err_NONE);
        AEGP_Collection2H copies = new_collection();
        char prefix[kMaxPrefixBytes + 1] = {};
        EXPECT_EQ(copy_layers_to_parent(&pluginInfo, rig, prefix, &copies), A_Err_NONE);
        EXPECT_EQ(gather_extracted_layers(&pluginInfo, copies), A_Err_NONE);
        EXPECT_EQ(restore_parents(&pluginInfo, comp_handle("Main"), list), A_Err_NONE);
        EXPECT_EQ(restore_precomp_parents(&pluginInfo, rig, list), A_Err_NONE);
        host_.clear_trace();
        return list;
    }

    // The statements that freed layers from a parent since the trace was
    // last cleared, in the order they ran.
    Names release_statements() const {
        const std::vector<std::string> scripts = host_.scripts_run();
        Names statements;
        for (std::size_t i = scriptsBefore_; i < scripts.size(); ++i) {
            if (scripts[i].find("parent = null") != std::string::npos) {
                statements.push_back(scripts[i]);
            }
        }
        return statements;
    }
    void clear_trace() {
        host_.clear_trace();
        scriptsBefore_ = host_.scripts_run().size();
    }

private:
    std::size_t scriptsBefore_ = 0;
};

TEST_F(ParentingTest, LinksAreRecordedClearedAndPutBackInsideThePrecomp) {
    struct Case {
        const char* precomp;
        const char* comp;
        ParentIndices recorded;
    };
    const Case cases[] = {
        {"Rig", "Rig Comp", {-1, 0, 1, -1, 0}},
        {"Flat", "Flat Comp", {-1, -1}},
        {"Hollow", "Empty Comp", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.precomp);
        load("placement_parents");
        const model::Composition before = comp_named(project(), c.comp);
        const Names unlinked = layer_names(project(), c.comp);

        ParentIndices list;
        ASSERT_EQ(detach(c.precomp, &list), A_Err_NONE);
        EXPECT_EQ(list, c.recorded);
        EXPECT_EQ(links_in(project(), c.comp), unlinked);
        ASSERT_EQ(restore_inside(c.precomp, list), A_Err_NONE);
        EXPECT_EQ(comp_named(project(), c.comp), before);
    }
}

// Restoring what a failed recording cleared brings the pre-comp back whole.
TEST_F(ParentingTest, AFailedRecordingCanBeUndoneFromItsList) {
    const model::Composition before = comp_named(project(), "Rig Comp");
    ParentIndices list;
    host_.fail_call("AEGP_SetLayerParent", 2, A_Err_GENERIC);
    EXPECT_EQ(detach("Rig", &list), A_Err_GENERIC);
    host_.clear_faults();
    EXPECT_EQ(list, (ParentIndices{-1, 0, 1}));
    EXPECT_EQ(links_in(project(), "Rig Comp"),
              (Names{"Root", "Arm", "Hand>Arm", "Loose", "Prop>Root"}));
    ASSERT_EQ(restore_inside("Rig", list), A_Err_NONE);
    EXPECT_EQ(comp_named(project(), "Rig Comp"), before);
}

TEST_F(ParentingTest, CopiesAreLinkedAsInThePrecompAndTheTopOnesHangOnTheCarrier) {
    AEGP_LayerH carrier = nullptr;
    const ParentIndices list = extract_rig(&carrier);
    const Names linked = {"Root", "Arm>Root", "Hand>Arm", "Loose", "Prop>Root", "{{Rig_outfold}}",
                          "Rig",  "Flat",     "Hollow",   "Base"};
    EXPECT_EQ(links_in(project(), "Main"), linked);
    EXPECT_EQ(links_in(project(), "Rig Comp"),
              (Names{"Root", "Arm>Root", "Hand>Arm", "Loose", "Prop>Root"}));
    // SetLayerParent keeps the copies' own values.
    EXPECT_EQ(position_of(project(), "Main", 1), (std::vector<double>{40, 0, 0}));

    const PluginInfo pluginInfo = info();
    ASSERT_EQ(attach_to_carrier(&pluginInfo, carrier, list), A_Err_NONE);
    // Only the copies without a parent of their own: the chain follows.
    EXPECT_EQ(links_in(project(), "Main"),
              (Names{"Root>{{Rig_outfold}}", "Arm>Root", "Hand>Arm", "Loose>{{Rig_outfold}}",
                     "Prop>Root", "{{Rig_outfold}}", "Rig", "Flat", "Hollow", "Base"}));
    EXPECT_EQ(position_of(project(), "Main", 0), (std::vector<double>{300, 200, 0}));
}

TEST_F(ParentingTest, EmptyAndUnlinkedListsTouchNoLayer) {
    const PluginInfo pluginInfo = info();
    AEGP_LayerH carrier = nullptr;
    ASSERT_EQ(create_carrier_null(&pluginInfo, precomp_layer("Flat"), &carrier), A_Err_NONE);
    const model::Project before = project();
    const AEGP_CompH main = comp_handle("Main");
    const AEGP_LayerH flat = precomp_layer("Flat");
    for (const ParentIndices& list : {ParentIndices{-1, -1}, ParentIndices{}}) {
        EXPECT_EQ(restore_parents(&pluginInfo, main, list), A_Err_NONE);
        EXPECT_EQ(restore_precomp_parents(&pluginInfo, flat, list), A_Err_NONE);
    }
    const ParentIndices none;
    EXPECT_EQ(attach_to_carrier(&pluginInfo, carrier, none), A_Err_NONE);
    EXPECT_EQ(detach_from_carrier(&pluginInfo, main, carrier, none), A_Err_NONE);
    EXPECT_TRUE(host_.scripts_run().empty());
    EXPECT_EQ(project(), before);
}

// One statement per copy without a parent of its own, naming the composition
// as the active item when it is the active, selected item and by its number
// otherwise.
TEST_F(ParentingTest, CopiesAreFreedFromTheCarrierByScript) {
    struct Case {
        const char* label;
        bool mainSelected;
        const char* active;
        Names statements;
    };
    const Case cases[] = {
        {"not selected",
         false,
         "Main",
         {"app.project.item(1).layer(1).parent = null; ",
          "app.project.item(1).layer(4).parent = null; "}},
        {"selected and active",
         true,
         "Main",
         {"app.project.activeItem.layer(1).parent = null; ",
          "app.project.activeItem.layer(4).parent = null; "}},
        {"selected, another composition active",
         true,
         "Side",
         {"app.project.item(1).layer(1).parent = null; ",
          "app.project.item(1).layer(4).parent = null; "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("placement_parents");
        AEGP_LayerH carrier = nullptr;
        const ParentIndices list = extract_rig(&carrier);
        const PluginInfo pluginInfo = info();
        ASSERT_EQ(attach_to_carrier(&pluginInfo, carrier, list), A_Err_NONE);
        item_named(project(), "Main").selected = c.mainSelected;
        project().activeItem = item_named(project(), c.active).id;
        const Names sideBefore = links_in(project(), "Side");
        clear_trace();

        ASSERT_EQ(detach_from_carrier(&pluginInfo, comp_handle("Main"), carrier, list), A_Err_NONE);
        EXPECT_EQ(release_statements(), c.statements);
        EXPECT_EQ(links_in(project(), "Main"),
                  (Names{"Root", "Arm>Root", "Hand>Arm", "Loose", "Prop>Root", "{{Rig_outfold}}",
                         "Rig", "Flat", "Hollow", "Base"}));
        EXPECT_EQ(links_in(project(), "Side"), sideBefore);
        // The carrier's place on screen is folded into the freed copies.
        EXPECT_NE(position_of(project(), "Main", 0), (std::vector<double>{300, 200, 0}));
    }
}

// Without the carrier as parent the statements change nothing.
TEST_F(ParentingTest, FreeingCopiesThatHaveNoParentChangesNothing) {
    AEGP_LayerH carrier = nullptr;
    const ParentIndices list = extract_rig(&carrier);
    const model::Project before = project();
    const AEGP_CompH main = comp_handle("Main");
    clear_trace();
    const PluginInfo pluginInfo = info();
    ASSERT_EQ(detach_from_carrier(&pluginInfo, main, carrier, list), A_Err_NONE);
    EXPECT_EQ(release_statements().size(), 2u);
    EXPECT_EQ(project(), before);
}

// A host whose item walk does not reach the composition leaves the number at
// its start value; the script engine then refuses the statement and the
// error is reported.
TEST_F(ParentingTest, ACompositionTheWalkMissesIsNamedItemMinusOne) {
    AEGP_LayerH carrier = nullptr;
    const ParentIndices list = extract_rig(&carrier);
    const AEGP_CompH main = comp_handle("Main");
    clear_trace();
    // The walk's first step answers "no further item".
    host_.fail_call("AEGP_GetNextProjItem", 1, A_Err_NONE);
    const PluginInfo pluginInfo = info();
    EXPECT_NE(detach_from_carrier(&pluginInfo, main, carrier, list), A_Err_NONE);
    EXPECT_EQ(release_statements(), Names{"app.project.item(-1).layer(1).parent = null; "});
}

}  // namespace
}  // namespace outfold::testing
