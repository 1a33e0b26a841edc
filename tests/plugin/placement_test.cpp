// The carrier null, parent links, timing, and whole runs checking what the copies take over.
#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>

#include "extract/copy_layers.h"
#include "model/streams.h"
#include "placement/carrier.h"
#include "placement/layer_3d.h"
#include "placement/parenting.h"
#include "placement/stacking.h"
#include "placement/timing.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {
namespace model = host::model;
using model::Rational;
using Names = std::vector<std::string>;

// Main: Intro (in 1 s, 4 s long, at 2 s), an unnamed 3D Wide Comp layer (pixel aspect 2), a
// 242-x-and-emoji layer, Backdrop and Also Red (on Solid Red, as Intro Comp's layer), Caption.
using CarrierTest = ExtractTest;

// A name that cannot be read leaves the marks alone.
TEST_F(CarrierTest, TakesNameTimesSwitchAndPixelAspectFromThePrecompLayer) {
    const std::tuple<A_long, bool, std::string, bool, int, int, int> cases[] = {
        {0, false, "{{Intro_outfold}}", false, 1, 3, 4},
        {0, true, "{{_outfold}}", false, 1, 3, 4},
        {1, false, "{{Wide Comp_outfold}}", true, 2, 0, 10},  // no name of its own: the source's
    };
    for (const auto& [precomp, nameFails, name, is3D, pixelAspect, inPoint, duration] : cases) {
        SCOPED_TRACE(name);
        load("placement_carrier");
        if (nameFails) host_.fail_call("AEGP_GetLayerName", 1, A_Err_GENERIC);
        const std::size_t layersBefore = comp_named(project(), "Main").layers.size();
        AEGP_LayerH carrier = nullptr;
        ASSERT_EQ(create_carrier_null(info(), layer_handle("Main", precomp), &carrier), A_Err_NONE);
        ASSERT_EQ(comp_named(project(), "Main").layers.size(), layersBefore + 1);
        EXPECT_EQ(carrier, layer_handle("Main", 0));
        const model::Layer& made = layer_at("Main", 0);
        const model::Item* solid = model::find_item(project(), made.source);
        ASSERT_TRUE(solid != nullptr && solid->footage.has_value());
        EXPECT_EQ(std::tuple(made.isNull, made.ownName, (made.flags & model::flag::k3D) != 0,
                             made.offset, made.inPoint, made.duration, solid->footage->pixelAspect),
                  std::tuple(true, name, is3D, Rational::of(0), Rational::of(inPoint),
                             Rational::of(duration), Rational::of(pixelAspect)));
    }
}

// The name is cut to the host's 255 units, never inside a surrogate pair.
TEST(CarrierName, MarksThePrecompLayersNameWithinTheHostsLimit) {
    const std::u16string x242(242, u'x');
    const std::pair<std::u16string, std::u16string> cases[] = {
        {x242 + u"y", u"{{" + x242 + u"y_outfold}}"},
        {x242 + u"yz", u"{{" + x242 + u"y_outfold}}"},
        {x242 + u"\U00010000", u"{{" + x242 + u"_outfold}}"},
        {x242 + u"\U0010FFFF", u"{{" + x242 + u"_outfold}}"},
    };
    for (const auto& [name, carrier] : cases) EXPECT_EQ(carrier_name(name), carrier);
}

// A layer whose source others still show (Backdrop), or that has none (Caption), goes alone.
TEST_F(CarrierTest, DeletingALayerKeepsASourceInUse) {
    load("placement_carrier");
    const std::string longName = layer_at("Main", 2).ownName;
    const std::pair<const char*, Names> cases[] = {
        {"Backdrop", {"Intro", "Wide Comp", longName, "Also Red", "Caption"}},
        {"Caption", {"Intro", "Wide Comp", longName, "Backdrop", "Also Red"}},
    };
    for (const auto& [layer, remaining] : cases) {
        SCOPED_TRACE(layer);
        load("placement_carrier");
        const std::size_t itemsBefore = project().items.size();
        ASSERT_EQ(delete_layer_and_source(info(), layer_handle("Main", layer)), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), remaining);
        EXPECT_EQ(project().items.size(), itemsBefore);
        EXPECT_EQ(layer_names(project(), "Intro Comp"), Names{"Inner"});
    }
}

// Intro is 2D, the Wide Comp layer already 3D; a mask item is passed over.
TEST_F(CarrierTest, EveryLayerItemBecomes3D) {
    load("placement_carrier");
    const auto mask = item_of(layer_handle("Main", 3), AEGP_CollectionItemType_MASK);
    const auto item = [&](A_long index) { return item_of(layer_handle("Main", index)); };
    ASSERT_EQ(make_layers_3d(info(), new_collection({item(0), item(1), mask, item(5)})),
              A_Err_NONE);
    for (const auto& [name, is3D] :
         {std::pair{"Intro", true}, {"Wide Comp", true}, {"Caption", true}, {"Backdrop", false}})
        EXPECT_EQ((layer_named(project(), "Main", name)->flags & model::flag::k3D) != 0, is3D);
}

// Main (active): Rig, Flat, Hollow, Base. Rig Comp: Root, Arm>Root, Hand>Arm, Loose, Prop>Root.
class ParentingTest : public ExtractTest {
protected:
    void SetUp() override { load("placement_parents"); }
};

// Restoring what a recording that failed halfway cleared brings the pre-comp back whole.
TEST_F(ParentingTest, LinksAreRecordedClearedAndPutBackInsideThePrecomp) {
    const model::Composition before = comp_named(project(), "Rig Comp");
    const AEGP_LayerH rig = layer_handle("Main", "Rig");
    ParentIndices list;
    // Arm's link is cleared, Hand's is recorded but stays.
    EXPECT_EQ(failing("AEGP_SetLayerParent", 2, A_Err_GENERIC,
                      [&] { return detach_precomp_parents(info(), rig, &list); }),
              A_Err_GENERIC);
    EXPECT_EQ(list, (ParentIndices{-1, 0, 1}));
    EXPECT_EQ(links_in(project(), "Rig Comp"),
              (Names{"Root", "Arm", "Hand>Arm", "Loose", "Prop>Root"}));
    ASSERT_EQ(restore_precomp_parents(info(), rig, list), A_Err_NONE);
    EXPECT_EQ(comp_named(project(), "Rig Comp"), before);
}

// A statement frees each top copy, naming the comp by its id whatever is active or selected and
// however scripts number the items.
TEST_F(ParentingTest, CopiesAreLinkedHungOnTheCarrierAndFreedByScript) {
    const std::string c = "{{Rig_outfold}}";
    const Names mainAfterRig = {"Root", "Arm>Root", "Hand>Arm", "Loose",  "Prop>Root",
                                c,      "Rig",      "Flat",     "Hollow", "Base"};
    using enum host::ItemNumbering;
    const std::tuple<bool, bool, const char*, host::ItemNumbering> cases[] = {
        {true, false, "Main", AsWalk},  {true, true, "Main", AsWalk},
        {true, true, "Side", AsWalk},   {false, false, "Main", AsWalk},
        {true, true, "Main", Reversed}, {true, false, "Side", Reversed},
    };
    for (const auto& [attached, mainSelected, active, numbering] : cases) {
        SCOPED_TRACE(std::to_string(attached) + std::to_string(mainSelected) + active +
                     (numbering == Reversed ? ", reversed" : ""));
        load("placement_parents");
        host_.set_readings({.itemNumbering = numbering});
        // The pipeline up to the parent restore.
        const AEGP_LayerH rig = layer_handle("Main", "Rig");
        AEGP_LayerH carrier = nullptr;
        ASSERT_EQ(create_carrier_null(info(), rig, &carrier), A_Err_NONE);
        ParentIndices list;
        ASSERT_EQ(detach_precomp_parents(info(), rig, &list), A_Err_NONE);
        AEGP_Collection2H copies = new_collection();
        char prefix[kMaxPrefixBytes + 1] = {};
        ASSERT_EQ(copy_layers_to_parent(info(), rig, prefix, &copies), A_Err_NONE);
        ASSERT_EQ(gather_extracted_layers(info(), copies), A_Err_NONE);
        ASSERT_EQ(restore_parents(info(), comp_handle("Main"), list), A_Err_NONE);
        ASSERT_EQ(restore_precomp_parents(info(), rig, list), A_Err_NONE);
        const long scriptsBefore = long(host_.scripts_run().size());
        if (attached) {
            ASSERT_EQ(attach_to_carrier(info(), carrier, list), A_Err_NONE);
            EXPECT_EQ(links_in(project(), "Main"),
                      (Names{"Root>" + c, "Arm>Root", "Hand>Arm", "Loose>" + c, "Prop>Root", c,
                             "Rig", "Flat", "Hollow", "Base"}));
        } else {  // an empty list links nothing
            ASSERT_EQ(attach_to_carrier(info(), carrier, {}), A_Err_NONE);
        }
        item_named(project(), "Main").selected = mainSelected;
        project().activeItem = item_named(project(), active).id;
        const model::Project before = project();

        ASSERT_EQ(detach_from_carrier(info(), comp_handle("Main"), carrier, list), A_Err_NONE);
        const std::string item =
            "itemByID(" + std::to_string(item_named(project(), "Main").id) + ")";
        const Names statements = {"app.project." + item + ".layer(1).parent = null; ",
                                  "app.project." + item + ".layer(4).parent = null; "};
        const Names scripts = host_.scripts_run();
        Names freed;  // the statements that freed layers from a parent, in order
        std::copy_if(scripts.begin() + scriptsBefore, scripts.end(), std::back_inserter(freed),
                     [](const std::string& s) { return s.find("parent = null") != s.npos; });
        EXPECT_EQ(freed, statements);
        EXPECT_EQ(links_in(project(), "Main"), mainAfterRig);
        const auto& position = layer_at("Main", 0).streams.at(model::stream::kPosition).value;
        EXPECT_TRUE(attached ? position != std::vector<double>({300, 200, 0})
                             : project() == before);
    }
}

Rational frames(std::int64_t n) { return Rational::of(n, 30); }

using Times = std::array<std::int64_t, 3>;  // frames: offset, in point in layer time, duration
// Frames: offset, in point in composition time, duration; video and audio on.
using Shown = std::tuple<std::int64_t, std::int64_t, std::int64_t, bool>;

// Main: the copies L and M, P (of Inner Comp, holding L and M as they were), Below.
class TimingTest : public ExtractTest {
protected:
    model::Layer& main_layer(std::size_t index) {
        return item_named(project(), "Main").comp->layers.at(index);
    }
    static void set_times(model::Layer& layer, Times times) {
        std::tie(layer.offset, layer.inPoint, layer.duration) =
            std::tuple(frames(times[0]), frames(times[1]), frames(times[2]));
    }
    void set_up(Times precomp, const std::vector<Times>& copies) {
        load("placement_timing");
        set_times(main_layer(2), precomp);
        for (std::size_t i = 0; i < copies.size(); ++i) {
            set_times(main_layer(i), copies[i]);
            set_times(item_named(project(), "Inner Comp").comp->layers.at(i), copies[i]);
        }
    }
    A_Err retime(std::size_t extracted) {
        return retime_extracted_layers(info(), layer_handle("Main", 2),
                                       ParentIndices(extracted, kNoParent));
    }
    void expect_shown(const model::Layer& layer, Shown shown) {
        const auto [offset, compIn, duration, on] = shown;
        const std::uint32_t switches = model::flag::kVideoActive | model::flag::kAudioActive;
        EXPECT_EQ(std::tuple(layer.offset, layer.inPoint + layer.offset, layer.duration,
                             (layer.flags & switches) != 0),
                  std::tuple(frames(offset), frames(compIn), frames(duration), on));
    }
};

// A copy left with nothing, even an empty span at the edge, is switched off; a shift beyond the
// host's 32-bit times is refused before anything is written.
TEST_F(TimingTest, CopiesAreMovedAndTrimmedToThePrecompLayer) {
    const std::int64_t far = 2'100'000'000;
    const std::tuple<const char*, Times, Times, A_Err, Shown> cases[] = {
        {"cut at both ends", {-20, 50, 100}, {40, 0, 120}, A_Err_NONE, {20, 30, 100, true}},
        {"ends at the in point", {0, 30, 60}, {0, 0, 30}, A_Err_NONE, {0, 0, 30, false}},
        {"starts after the out point", {0, 0, 30}, {0, 60, 30}, A_Err_NONE, {0, 60, 30, false}},
        {"too far", {100'000'001, 0, 300}, {far, 0, 120}, A_Err_PARAMETER, {far, far, 120, true}},
    };
    for (const auto& [label, precomp, layer, err, shown] : cases) {
        SCOPED_TRACE(label);
        set_up(precomp, {layer});
        const model::Layer untouched = main_layer(1);
        ASSERT_EQ(retime(1), err);
        expect_shown(main_layer(0), shown);
        EXPECT_EQ(main_layer(1), untouched);
    }
}

// The first failure ends the work; layers already retimed keep their times.
TEST_F(TimingTest, AFailureLeavesTheLaterLayersAsTheyWere) {
    const std::tuple<const char*, int, Shown, Shown> cases[] = {
        {"AEGP_GetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerInPointAndDuration", 2, {5, 35, 60, true}, {5, 5, 120, true}},
    };
    for (const auto& [operation, nth, first, second] : cases) {
        SCOPED_TRACE(std::string(operation) + " #" + std::to_string(nth));
        set_up({5, 30, 60}, {{0, 0, 120}, {0, 0, 120}});
        EXPECT_EQ(failing(operation, nth, A_Err_GENERIC, [&] { return retime(2); }), A_Err_GENERIC);
        expect_shown(main_layer(0), first);
        expect_shown(main_layer(1), second);
    }
}

// Main: Header; Still (3D, of Rig Comp, blurred); Moving (of Flat Comp, keyed); Footer.
class PlacementPipeline : public PluginHostTest {
protected:
    void SetUp() override { open_scene("placement_scene"); }
};

// A carrier that goes takes its solid; copies take Still's 3D switch and effect with attributes.
TEST_F(PlacementPipeline, EachRunLeavesCopiesCarrierAndLinks) {
    const std::string c = "{{Moving_outfold}}";
    const Names rigCopies = {"Root", "Arm", "Hand", "Loose"};
    const Names movingCopies = {"Dot", "Line", c};
    const Names rigInMain = {"Header", "Root", "Arm>Root", "Hand>Arm", "Loose", "Moving", "Footer"};
    const Names movingInMain = {"Header", "Still", "Dot>" + c, "Line>" + c, c, "Footer"};
    const std::tuple<Names, bool, Names, Names, long> cases[] = {
        {{"Still"}, false, rigInMain, rigCopies, 1},
        {{"Still"}, true, rigInMain, rigCopies, 1},
        {{"Moving"}, true, movingInMain, movingCopies, 2},
    };
    for (const auto& [selection, attributes, mainLinks, selected, solids] : cases) {
        SCOPED_TRACE(::testing::PrintToString(selection) + std::to_string(attributes));
        host_.load_project(fixture_path("placement_scene"));
        const char* choice =
            attributes ? "click optionCopyAttributes" : "click optionDiscardAttributes";
        ASSERT_EQ(run(selection, {choice, "ok"}), A_Err_NONE);
        EXPECT_EQ(links_in(host_.project(), "Main"), mainLinks);
        EXPECT_EQ(layer_names(host_.project(), "Main", true), selected);
        EXPECT_EQ(links_in(host_.project(), "Rig Comp"),
                  (Names{"Root", "Arm>Root", "Hand>Arm", "Loose"}));
        EXPECT_EQ(
            std::ranges::count_if(host_.project().items, [](auto& i) { return bool(i.footage); }),
            solids);
        for (const std::string& name : selection[0] == "Still" ? rigCopies : Names{}) {
            const model::Layer& copy = layer("Main", name);
            EXPECT_EQ(std::tuple(copy.flags & model::flag::k3D, copy.effects.size()),
                      attributes ? std::tuple(model::flag::k3D, std::size_t{1})
                                 : std::tuple(0u, std::size_t{0}))
                << name;
        }
        expect_undo_restores();
    }
}

// Failing the layer copy, the gathering or the first link still puts the pre-comp's links back.
TEST_F(PlacementPipeline, AFailedRunPutsThePrecompsLinksBack) {
    for (const auto& [operation, nth] : {std::pair{"AEGP_ExecuteScript", 2},
                                         {"AEGP_ReorderLayer", 1},
                                         {"AEGP_SetLayerParent", 3}}) {
        SCOPED_TRACE(std::string(operation) + " #" + std::to_string(nth));
        host_.load_project(fixture_path("placement_scene"));
        EXPECT_EQ(run({"Still"}, {"ok"}, [&] { host_.fail_call(operation, nth, 40); }), 40);
        host_.clear_faults();
        EXPECT_EQ(comp_named(host_.project(), "Rig Comp"), comp_named(before_, "Rig Comp"));
        EXPECT_EQ(host_.outstanding().openUndoGroups, 0);
    }
}

}  // namespace
}  // namespace outfold::testing
