// Placement of extracted layers: the carrier null, parent links, timing, and whole
// runs that check where and when the copies show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extract/copy_layers.h"
#include "model/project_ops.h"
#include "model/streams.h"
#include "placement/carrier.h"
#include "placement/layer_3d.h"
#include "placement/parenting.h"
#include "placement/stacking.h"
#include "placement/timing.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace model = host::model;
using Names = std::vector<std::string>;

// The carrier null (what it takes from the pre-comp layer), its removal
// together with its solid, and the 3D switch of extracted layers.
namespace placement_carrier {
using model::Rational;

const std::string kLongName = std::string(242, 'x') + "\xF0\x9F\x98\x80";

Rational seconds(std::int64_t n) { return Rational::of(n); }

// Fixture "placement_carrier": Main (30 fps) holds Intro (Intro Comp; in
// point 1 s of layer time, 4 s long, starting at 2 s), an unnamed 3D layer of
// Wide Comp (pixel aspect 2), a layer of Intro Comp named kLongName, Backdrop
// and Also Red (both on Solid Red, which Intro Comp's layer shows as well)
// and Caption, a text layer.
class PlacementFixture : public ExtractTest {
protected:
    void SetUp() override { load("placement_carrier"); }

    const model::Layer& main_layer(A_long index) { return layer_at("Main", index); }
    const model::Item* item_with_id(model::Id id) { return model::find_item(project(), id); }
    std::size_t item_count() { return project().items.size(); }

    A_Err create(A_long precompIndex, AEGP_LayerH* carrier) {
        const AEGP_LayerH precomp = layer_handle("Main", precompIndex);
        return create_carrier_null(info(), precomp, carrier);
    }
    A_Err remove(AEGP_LayerH layer) { return delete_layer_and_source(info(), layer); }
};

using CarrierTest = PlacementFixture;

TEST_F(CarrierTest, TakesNameTimesSwitchAndPixelAspectFromThePrecompLayer) {
    struct Case {
        A_long precomp;
        std::string name;
        bool is3D;
        Rational pixelAspect;
        Rational inPoint;
        Rational duration;
    };
    const Case cases[] = {
        {0, "{{Intro_outfold}}", false, Rational::of(1), seconds(3), seconds(4)},
        // No name of its own: the source's name.
        {1, "{{Wide Comp_outfold}}", true, Rational::of(2), seconds(0), seconds(10)},
        // Cut to fit 255 units without splitting the emoji's surrogate pair.
        {2, "{{" + std::string(242, 'x') + "_outfold}}", false, Rational::of(1), seconds(0),
         seconds(10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 24));
        load("placement_carrier");
        const std::size_t layersBefore = comp_named(project(), "Main").layers.size();
        AEGP_LayerH carrier = nullptr;
        ASSERT_EQ(create(c.precomp, &carrier), A_Err_NONE);

        ASSERT_EQ(comp_named(project(), "Main").layers.size(), layersBefore + 1);
        const model::Layer& made = main_layer(0);
        EXPECT_EQ(carrier, layer_handle("Main", 0));
        EXPECT_TRUE(made.isNull);
        EXPECT_EQ(made.ownName, c.name);
        EXPECT_EQ((made.flags & model::flag::k3D) != 0, c.is3D);
        EXPECT_EQ(made.offset, seconds(0));
        EXPECT_EQ(made.inPoint, c.inPoint);
        EXPECT_EQ(made.duration, c.duration);
        const model::Item* solid = item_with_id(made.source);
        ASSERT_NE(solid, nullptr);
        ASSERT_TRUE(solid->footage.has_value());
        EXPECT_EQ(solid->footage->pixelAspect, c.pixelAspect);
    }
}

// The name is cut to the host's 255 units, never inside a surrogate pair.
TEST(CarrierName, MarksThePrecompLayersNameWithinTheHostsLimit) {
    const std::u16string x242(242, u'x');
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u"{{_outfold}}"},
        {u"Intro", u"{{Intro_outfold}}"},
        {x242 + u"y", u"{{" + x242 + u"y_outfold}}"},
        {x242 + u"yz", u"{{" + x242 + u"y_outfold}}"},
        {x242 + u"\U00010000", u"{{" + x242 + u"_outfold}}"},
        {x242 + u"\U0010FFFF", u"{{" + x242 + u"_outfold}}"},
    };
    for (const auto& [name, carrier] : cases) EXPECT_EQ(carrier_name(name), carrier);
}

TEST_F(CarrierTest, ANameThatCannotBeReadLeavesTheMarksAlone) {
    host_.fail_call("AEGP_GetLayerName", 1, A_Err_GENERIC);
    AEGP_LayerH carrier = nullptr;
    const AEGP_LayerH precomp = layer_handle("Main", 0);
    ASSERT_EQ(create_carrier_null(info(), precomp, &carrier), A_Err_NONE);
    EXPECT_EQ(main_layer(0).ownName, "{{_outfold}}");
}

using DeleteLayerAndSourceTest = PlacementFixture;

TEST_F(DeleteLayerAndSourceTest, TheCarrierGoesWithItsSolid) {
    const Names layersBefore = layer_names(project(), "Main");
    const std::size_t itemsBefore = item_count();
    AEGP_LayerH carrier = nullptr;
    ASSERT_EQ(create(0, &carrier), A_Err_NONE);
    const model::Id solid = main_layer(0).source;
    ASSERT_NE(item_with_id(solid), nullptr);

    ASSERT_EQ(remove(carrier), A_Err_NONE);
    EXPECT_EQ(layer_names(project(), "Main"), layersBefore);
    EXPECT_EQ(item_with_id(solid), nullptr);
    // Only the folder the host files solids in may stay behind.
    EXPECT_LE(item_count(), itemsBefore + 1);
}

// An item that other layers still show stays, and so do those layers.
TEST_F(DeleteLayerAndSourceTest, ASourceThatOthersUseStays) {
    struct Case {
        const char* layer;
        Names remaining;
    };
    const Case cases[] = {
        {"Backdrop", {"Intro", "Wide Comp", kLongName, "Also Red", "Caption"}},
        {"Caption", {"Intro", "Wide Comp", kLongName, "Backdrop", "Also Red"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        load("placement_carrier");
        const std::size_t itemsBefore = item_count();
        ASSERT_EQ(remove(layer_handle("Main", c.layer)), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), c.remaining);
        EXPECT_EQ(item_count(), itemsBefore);
        EXPECT_EQ(layer_names(project(), "Intro Comp"), Names{"Inner"});
    }
}

class Layers3DTest : public PlacementFixture {
protected:
    A_Err switch_to_3d(AEGP_Collection2H layers) { return make_layers_3d(info(), layers); }
    bool is_3d(const std::string& name) {
        return (layer_named(project(), "Main", name)->flags & model::flag::k3D) != 0;
    }
};

TEST_F(Layers3DTest, EveryLayerItemBecomes3D) {
    AEGP_CollectionItemV2 mask{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", 3);
    // Intro is 2D, the Wide Comp layer already 3D; a mask item is passed over.
    const AEGP_Collection2H layers =
        new_collection({layer_item(layer_handle("Main", 0)), layer_item(layer_handle("Main", 1)),
                        mask, layer_item(layer_handle("Main", 5))});
    ASSERT_EQ(switch_to_3d(layers), A_Err_NONE);
    EXPECT_TRUE(is_3d("Intro"));
    EXPECT_TRUE(is_3d("Wide Comp"));
    EXPECT_TRUE(is_3d("Caption"));
    EXPECT_FALSE(is_3d("Backdrop"));
    EXPECT_EQ(switch_to_3d(new_collection()), A_Err_NONE);
}
}  // namespace placement_carrier

// Parent links of extracted layers: recorded and cleared inside the pre-comp,
// restored among the copies and inside the pre-comp, the carrier as parent of
// the top-level copies, and the scripts that free them from it again.
namespace placement_parenting {
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
        const AEGP_LayerH layer = layer_handle("Main", precomp);
        return detach_precomp_parents(info(), layer, list);
    }
    A_Err restore_inside(const std::string& precomp, const ParentIndices& list) {
        const AEGP_LayerH layer = layer_handle("Main", precomp);
        return restore_precomp_parents(info(), layer, list);
    }

    // The pipeline up to the parent restore: carrier, recorded links, copies
    // gathered at the top of Main and linked among themselves.
    ParentIndices extract_rig(AEGP_LayerH* carrier) {
        const AEGP_LayerH rig = layer_handle("Main", "Rig");
        EXPECT_EQ(create_carrier_null(info(), rig, carrier), A_Err_NONE);
        ParentIndices list;
        EXPECT_EQ(detach_precomp_parents(info(), rig, &list), A_Err_NONE);
        AEGP_Collection2H copies = new_collection();
        char prefix[kMaxPrefixBytes + 1] = {};
        EXPECT_EQ(copy_layers_to_parent(info(), rig, prefix, &copies), A_Err_NONE);
        EXPECT_EQ(gather_extracted_layers(info(), copies), A_Err_NONE);
        EXPECT_EQ(restore_parents(info(), comp_handle("Main"), list), A_Err_NONE);
        EXPECT_EQ(restore_precomp_parents(info(), rig, list), A_Err_NONE);
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

    ASSERT_EQ(attach_to_carrier(info(), carrier, list), A_Err_NONE);
    // Only the copies without a parent of their own: the chain follows.
    EXPECT_EQ(links_in(project(), "Main"),
              (Names{"Root>{{Rig_outfold}}", "Arm>Root", "Hand>Arm", "Loose>{{Rig_outfold}}",
                     "Prop>Root", "{{Rig_outfold}}", "Rig", "Flat", "Hollow", "Base"}));
    EXPECT_EQ(position_of(project(), "Main", 0), (std::vector<double>{300, 200, 0}));
}

TEST_F(ParentingTest, EmptyAndUnlinkedListsTouchNoLayer) {
    AEGP_LayerH carrier = nullptr;
    ASSERT_EQ(create_carrier_null(info(), layer_handle("Main", "Flat"), &carrier), A_Err_NONE);
    const model::Project before = project();
    const AEGP_CompH main = comp_handle("Main");
    const AEGP_LayerH flat = layer_handle("Main", "Flat");
    for (const ParentIndices& list : {ParentIndices{-1, -1}, ParentIndices{}}) {
        EXPECT_EQ(restore_parents(info(), main, list), A_Err_NONE);
        EXPECT_EQ(restore_precomp_parents(info(), flat, list), A_Err_NONE);
    }
    const ParentIndices none;
    EXPECT_EQ(attach_to_carrier(info(), carrier, none), A_Err_NONE);
    EXPECT_EQ(detach_from_carrier(info(), main, carrier, none), A_Err_NONE);
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
        ASSERT_EQ(attach_to_carrier(info(), carrier, list), A_Err_NONE);
        item_named(project(), "Main").selected = c.mainSelected;
        project().activeItem = item_named(project(), c.active).id;
        const Names sideBefore = links_in(project(), "Side");
        clear_trace();

        ASSERT_EQ(detach_from_carrier(info(), comp_handle("Main"), carrier, list), A_Err_NONE);
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
    ASSERT_EQ(detach_from_carrier(info(), main, carrier, list), A_Err_NONE);
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
    EXPECT_NE(detach_from_carrier(info(), main, carrier, list), A_Err_NONE);
    EXPECT_EQ(release_statements(), Names{"app.project.item(-1).layer(1).parent = null; "});
}
}  // namespace placement_parenting

// Timing of extracted layers: moved by the pre-comp layer's offset and
// trimmed to the span the pre-comp layer shows.
namespace placement_timing {
using model::Rational;

Rational frames(std::int64_t n) { return Rational::of(n, 30); }

// A layer's times in frames: offset, in point in layer time, duration.
struct Times {
    std::int64_t offset;
    std::int64_t in;
    std::int64_t duration;
};

// What a retimed layer shows: its offset, its in point in composition time,
// its duration (frames), and whether its video and audio are on.
struct Shown {
    std::int64_t offset;
    std::int64_t compIn;
    std::int64_t duration;
    bool on;
};

void set_times(model::Layer& layer, Times times) {
    layer.offset = frames(times.offset);
    layer.inPoint = frames(times.in);
    layer.duration = frames(times.duration);
}

// Fixture "placement_timing": Main (30 fps) holds L and M (the extracted
// layers, at the top), P (pre-comp of Inner Comp, which holds L and M as they
// were before the copy) and Below.
class TimingTest : public ExtractTest {
protected:
    void SetUp() override { load("placement_timing"); }

    model::Layer& main_layer(std::size_t index) {
        return item_named(project(), "Main").comp->layers.at(index);
    }
    model::Layer& precomp() { return main_layer(2); }
    // A copy and the layer inside the pre-comp it was made from.
    void set_copy_times(std::size_t index, Times times) {
        set_times(main_layer(index), times);
        set_times(item_named(project(), "Inner Comp").comp->layers.at(index), times);
    }

    A_Err retime(std::size_t extracted) {
        const AEGP_LayerH layer = layer_handle("Main", 2);
        host_.clear_trace();
        return retime_extracted_layers(info(), layer, ParentIndices(extracted, kNoParent));
    }

    void expect_shown(const model::Layer& layer, Shown shown) {
        EXPECT_EQ(layer.offset, frames(shown.offset));
        EXPECT_EQ(layer.inPoint + layer.offset, frames(shown.compIn));
        EXPECT_EQ(layer.duration, frames(shown.duration));
        const std::uint32_t switches = model::flag::kVideoActive | model::flag::kAudioActive;
        EXPECT_EQ((layer.flags & switches) != 0, shown.on);
    }
};

TEST_F(TimingTest, CopiesAreMovedAndTrimmedToThePrecompLayer) {
    struct Case {
        const char* label;
        Times precomp;
        Times layer;
        Shown shown;
    };
    const Case cases[] = {
        {"the pre-comp layer shows everything", {0, 0, 300}, {0, 0, 120}, {0, 0, 120, true}},
        // In at 30, out at 90: the layer spans exactly that.
        {"worked example", {0, 30, 60}, {0, 0, 120}, {0, 30, 60, true}},
        {"moved later by 45", {45, 0, 300}, {0, 10, 100}, {45, 55, 100, true}},
        {"ends after the out point", {0, 0, 60}, {0, 0, 120}, {0, 0, 60, true}},
        {"cut at the head, keeps its out point", {0, 90, 120}, {0, 0, 150}, {0, 90, 60, true}},
        {"starts later inside the pre-comp", {0, 50, 200}, {40, 0, 120}, {40, 50, 110, true}},
        {"moved earlier, cut at both ends", {-20, 50, 100}, {40, 0, 120}, {20, 30, 100, true}},
        {"ends before the in point", {0, 60, 60}, {0, 0, 30}, {0, 0, 30, false}},
        {"ends at the in point", {0, 30, 60}, {0, 0, 30}, {0, 0, 30, false}},
        {"starts after the out point", {0, 0, 30}, {0, 60, 30}, {0, 60, 30, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("placement_timing");
        set_times(precomp(), c.precomp);
        set_copy_times(0, c.layer);
        const model::Layer untouched = main_layer(1);
        ASSERT_EQ(retime(1), A_Err_NONE);
        expect_shown(main_layer(0), c.shown);
        EXPECT_EQ(main_layer(1), untouched);
    }
}

TEST_F(TimingTest, AnEmptyListOnlyReadsThePrecompLayer) {
    const model::Project before = project();
    ASSERT_EQ(retime(0), A_Err_NONE);
    EXPECT_EQ(project(), before);
}

// The first failure ends the work; layers already retimed keep their times.
// P shows 35 to 95; L and M span 0 to 120 before.
TEST_F(TimingTest, AFailureLeavesTheLaterLayersAsTheyWere) {
    struct Case {
        const char* operation;
        int nth;
        Shown first;
        Shown second;
    };
    const Case cases[] = {
        {"AEGP_GetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_GetLayerParentComp", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerOffset", 2, {5, 35, 60, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerInPointAndDuration", 2, {5, 35, 60, true}, {5, 5, 120, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("placement_timing");
        set_times(precomp(), {5, 30, 60});
        set_copy_times(0, {0, 0, 120});
        set_copy_times(1, {0, 0, 120});
        const AEGP_LayerH layer = layer_handle("Main", 2);
        host_.fail_call(c.operation, c.nth, A_Err_GENERIC);
        EXPECT_EQ(retime_extracted_layers(info(), layer, ParentIndices(2, kNoParent)),
                  A_Err_GENERIC);
        host_.clear_faults();
        expect_shown(main_layer(0), c.first);
        expect_shown(main_layer(1), c.second);
    }
}

// A shift the host's 32-bit times cannot hold is refused before anything is
// written, instead of wrapping around.
TEST_F(TimingTest, AShiftPastTheHostsRangeIsRefused) {
    set_times(precomp(), {100'000'000, 0, 300});
    set_copy_times(0, {2'100'000'000, 0, 120});
    const model::Layer before = main_layer(0);
    EXPECT_EQ(retime(1), A_Err_PARAMETER);
    EXPECT_EQ(main_layer(0), before);
}
}  // namespace placement_timing

// Whole runs of the command through the loaded module: the carrier null, the
// parent links, the 3D switch and the timing as the pipeline applies them,
// with and without the pre-comp layer's attributes.
namespace placement_pipeline {
using model::Rational;

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
    std::vector<double> position(const std::string& name) {
        return layer("Main", name).streams.at(kPosition).value;
    }
    std::size_t solids() {
        return std::size_t(
            std::count_if(project().items.begin(), project().items.end(),
                          [](const model::Item& item) { return bool(item.footage); }));
    }
    // Statements run since the script numbered `from` that freed a layer from its parent.
    int release_statements(std::size_t from) const {
        const auto& scripts = host_.scripts_run();
        return int(std::count_if(scripts.begin() + long(from), scripts.end(),
                                 [](const std::string& script) {
                                     return script.find(".parent = null; ") != std::string::npos;
                                 }));
    }
};

const Names kRigCopies = {"Root", "Arm", "Hand", "Loose"};
const Names kMovingCopies = {"Dot", "Line", "{{Moving_outfold}}"};
const char* const kCopyAttributes = "click optionCopyAttributes";

// Each run from a fresh scene: the stack with its links, the copies selected,
// the solids left (a carrier that goes takes its solid), the statements that
// freed copies from a carrier (-1: not counted), what the copies took over,
// and one undo giving back the scene. The pre-comp keeps its own links.
TEST_F(PlacementPipeline, EachRunLeavesCopiesCarrierAndLinks) {
    struct Case {
        const char* label;
        Names selection, user, main, selected;
        std::size_t solids;
        int releases;
        std::function<void()> expect;
    };
    const Case cases[] = {
        {"without attributes the carrier comes and goes",
         {"Still"},
         {kDiscardAttributes, "ok"},
         {"Header", "Root", "Arm>Root", "Hand>Arm", "Loose", "Moving", "Footer"},
         kRigCopies,
         1,
         2,  // freed from the carrier, although it never was their parent
         [this] {
             // No 3D switch, timing, transform or effects.
             const model::Layer& root = layer("Main", "Root");
             EXPECT_EQ(root.flags & model::flag::k3D, 0u);
             EXPECT_EQ(root.offset, Rational::of(0));
             EXPECT_EQ(root.duration, Rational::of(10));
             EXPECT_EQ(position("Root"), (std::vector<double>{300, 200, 0}));
             EXPECT_TRUE(root.effects.empty());
         }},
        {"a still transform is folded into the copies and the carrier goes",
         {"Still"},
         {kCopyAttributes, "ok"},
         {"Header", "Root", "Arm>Root", "Hand>Arm", "Loose", "Moving", "Footer"},
         kRigCopies,
         1,
         -1,
         [this] {
             // The pre-comp layer's 100 px move now sits in the top-level copies.
             ASSERT_EQ(position("Root").size(), 3u);
             EXPECT_NEAR(position("Root")[0], 400, 1e-6);
             EXPECT_NEAR(position("Root")[1], 200, 1e-6);
             EXPECT_EQ(position("Arm"), (std::vector<double>{40, 0, 0}));
             for (const std::string& name : kRigCopies) {
                 SCOPED_TRACE(name);
                 const model::Layer& copy = layer("Main", name);
                 EXPECT_NE(copy.flags & model::flag::k3D, 0u);
                 // Shown from 1.5 s to 5.5 s, as the pre-comp layer showed it.
                 EXPECT_EQ(copy.offset, Rational::of(1));
                 EXPECT_EQ(copy.inPoint + copy.offset, Rational::of(3, 2));
                 EXPECT_EQ(copy.duration, Rational::of(4));
                 EXPECT_EQ(copy.effects.size(), 1u);
             }
         }},
        {"an animated transform keeps the carrier with the copies",
         {"Moving"},
         {kCopyAttributes, "ok"},
         {"Header", "Still", "Dot>{{Moving_outfold}}", "Line>{{Moving_outfold}}",
          "{{Moving_outfold}}", "Footer"},
         kMovingCopies,
         2,
         0,
         [this] {
             EXPECT_EQ(position("Dot"), (std::vector<double>{100, 100, 0}));
             const model::Layer& carrier = layer("Main", "{{Moving_outfold}}");
             EXPECT_TRUE(carrier.isNull);
             EXPECT_EQ(carrier.streams.at(kPosition).keyframes.size(), 2u);
         }},
        // The copies of the second pre-comp layer are selected, with its carrier.
        {"two pre-comp layers in one run",
         {"Still", "Moving"},
         {kCopyAttributes, "ok"},
         {"Header", "Root", "Arm>Root", "Hand>Arm", "Loose", "Dot>{{Moving_outfold}}",
          "Line>{{Moving_outfold}}", "{{Moving_outfold}}", "Footer"},
         kMovingCopies,
         2,
         -1,
         [] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host_.load_project(fixture_path("placement_scene"));
        const std::size_t scriptsBefore = host_.scripts_run().size();
        ASSERT_EQ(run(c.selection, c.user), A_Err_NONE);
        EXPECT_EQ(links_in(project(), "Main"), c.main);
        EXPECT_EQ(selected_in(project(), "Main"), c.selected);
        EXPECT_EQ(links_in(project(), "Rig Comp"),
                  (Names{"Root", "Arm>Root", "Hand>Arm", "Loose"}));
        EXPECT_EQ(solids(), c.solids);
        if (c.releases >= 0) {
            EXPECT_EQ(release_statements(scriptsBefore), c.releases);
        }
        c.expect();
        expect_undo_restores();
    }
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
}  // namespace placement_pipeline

}  // namespace outfold::testing
