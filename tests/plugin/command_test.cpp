// Registration, the menu-update hook, the command hook and the alerts after a run.
#include <algorithm>
#include <optional>

#include "plugin_host.h"

namespace outfold::testing {
namespace {
namespace model = host::model;
using Names = std::vector<std::string>;

// The first failing call stops the rest, is reported once and is returned; a missing suite
// returns its error without a report.
TEST(Registration, WhatALoadLeaves) {
    const Names registration = {"AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand",
                                "AEGP_RegisterCommandHook", "AEGP_RegisterUpdateMenuHook"};
    struct Case {
        std::string failing, missing;  // a call failing with 1234, a suite of `version`
        A_long version;
        std::size_t callsMade;  // registration calls reached, the failing one included
        bool commandInMenu, reportFails = false;
    };
    const Case cases[] = {
        {"", "", 0, 4, true},
        {"AEGP_GetUniqueCommand", "", 0, 1, false},
        {"AEGP_InsertMenuCommand", "", 0, 2, false},
        {"AEGP_InsertMenuCommand", "", 0, 2, false, true},
        {"AEGP_RegisterCommandHook", "", 0, 3, true},
        {"AEGP_RegisterUpdateMenuHook", "", 0, 4, true},
        {"", "AEGP Command Suite", 1, 0, false},
        {"", "AEGP Register Suite", 6, 2, true},
        {"AEGP_GetUniqueCommand", "AEGP Utility Suite", 7, 1, false},
    };
    const outfold_test::TempDir settings("registration");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing + " " + c.missing + (c.reportFails ? ", report fails" : ""));
        host::Host host(host::HostOptions{settings.path()});
        if (!c.failing.empty()) host.fail_call(c.failing, 1, 1234);
        if (c.reportFails) host.fail_call("AEGP_ReportInfo", 1, 9);
        if (!c.missing.empty()) host.remove_suite(c.missing, c.version);
        const bool failed = !c.failing.empty() || !c.missing.empty();
        const bool reported = !c.failing.empty() && c.missing.empty();
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), !c.missing.empty() ? 516
                                                         : failed           ? 1234
                                                                            : A_Err_NONE);
        Names expected(registration.begin(), registration.begin() + long(c.callsMade));
        if (reported) expected.push_back("AEGP_ReportInfo");
        EXPECT_EQ(host_calls(host), expected);
        EXPECT_EQ(host.reports(), reported && !c.reportFails
                                      ? Names{"Outfold: Problems encountered during outfold."}
                                      : Names{});
        const std::vector<host::MenuCommand> layerMenu = host.menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host.find_command(kUnusableText),
                  c.commandInMenu ? std::optional(layerMenu.back().command) : std::nullopt);
        EXPECT_TRUE(!c.commandInMenu || layerMenu.back().command != 0);
        EXPECT_TRUE(host.outstanding().none());
        host.clear_trace();
        host.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_calls(host).empty(), failed);
    }
}

class MenuHook : public PluginHostTest {
protected:
    void SetUp() override { open_scene(); }
};
class CommandHook : public MenuHook {};

// A failing call (its nth) or a missing suite (its version) leaves the entry as it was.
TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    enum Expect { Unusable, Usable, Unchanged };
    struct Case {
        std::string what, active;  // the selection or the failing call or missing suite
        Names selection;           // layers of Main
        Expect expect;
        A_long nth = 0, version = 0;
        bool nonLayer = false;  // masks, effects and keyframes of Intro selected too
    };
    const Names intro = {"Intro"}, usable = {"Plate", "Intro"};
    const auto expect_entry = [&](bool usable) {
        const auto entry = host_.command(command_);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->text, usable ? kUsableText : kUnusableText);
        EXPECT_EQ(entry->enabled, usable);
    };
    const Case cases[] = {
        {"no active item", "", intro, Unchanged},
        {"footage item active", "Grey Solid", intro, Unchanged},
        {"nothing selected", "Main", {}, Unusable},
        {"text and solid", "Main", {"Caption", "Plate"}, Unusable},
        {"3D pre-comp layer last", "Main", {"Caption", "Plate", "Outro"}, Usable},
        {"masks, effects, keyframes of a pre-comp", "Main", {}, Unusable, 0, 0, true},
        {"selection in another composition", "Intro Comp", intro, Unusable},
        {"AEGP_GetActiveItem", "Main", usable, Unchanged, 1},
        {"AEGP_GetNewCollectionFromCompSelection", "Main", usable, Unchanged, 1},
        {"AEGP_GetCollectionNumItems", "Main", usable, Unchanged, 1},
        {"AEGP_GetCollectionItemByIndex", "Main", usable, Unchanged, 1},
        {"AEGP_GetLayerObjectType", "Main", usable, Unchanged, 1},
        {"AEGP_GetItemType", "Main", usable, Unchanged, 2},            // the source item's type
        {"AEGP_SetMenuCommandName", "Main", usable, Unchanged, 1},     // neither enables
        {"AEGP_SetMenuCommandName", "Main", {"Plate"}, Unchanged, 1},  // nor disables
        {"AEGP Collection Suite", "Main", usable, Unchanged, 0, 2},
        {"AEGP Layer Suite", "Main", usable, Unchanged, 0, 11},
        {"AEGP Command Suite", "Main", usable, Unchanged, 0, 1},
    };
    for (const Case& c : cases) {
        for (const bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.what + (usableBefore ? ", usable before" : ", unusable before"));
            host_.set_project(scene());
            select_layers(host_.project(), "Main", usableBefore ? intro : Names{});
            host_.open_menu(AEGP_Menu_LAYER);
            expect_entry(usableBefore);
            select_layers(host_.project(), "Main", c.selection);
            for (auto kind : {model::SelectionKind::Mask, model::SelectionKind::Effect,
                              model::SelectionKind::Keyframe}) {
                if (!c.nonLayer) continue;
                item_named(host_.project(), "Main")
                    .comp->selection.push_back({kind, layer("Main", "Intro").id, 0, 0});
            }
            make_active(host_.project(), c.active);
            if (c.nth != 0) host_.fail_call(c.what, c.nth, 77);
            if (c.version != 0) host_.remove_suite(c.what, c.version);
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(c.expect == Unchanged ? usableBefore : c.expect == Usable);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

// When the first selected layer is a pre-comp layer.
TEST_F(MenuHook, CallsDoNotGrowWithTheSelection) {
    std::size_t calls[2] = {};
    for (const bool all : {false, true}) {
        select_layers(host_.project(), "Main",
                      all ? Names{"Intro", "Caption", "Plate", "Outro", "Footer"} : Names{"Intro"});
        host_.clear_trace();
        host_.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_.command(command_)->text, kUsableText);
        calls[all] = host_calls(host_).size();
    }
    EXPECT_EQ(calls[1], calls[0]);
}

// The copies take the places of the last pre-comp layer selected, unless the last selected
// layer is no pre-comp layer; without an active composition a run makes an empty undo group.
TEST_F(CommandHook, WhatARunChanges) {
    struct Case {
        Names selection, user;
        bool noActive;
        std::size_t alerts;
        Names stack, selected;  // of Main; no stack: as before the run
    };
    const Names intro = {"Intro"}, ok = {"ok"};
    const Names both = {"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits", "Footer"};
    const Names tooLong = {"set prefixInput " + std::string(51, 'x'), "ok"};
    const Case cases[] = {
        {intro, {"cancel"}, false, 0},
        {intro, ok, true, 0},
        {{"Intro", "Outro"}, ok, false, 0, both, {"Credits"}},
        {{"Intro", "Outro", "Footer"}, ok, false, 0, both, {"Footer"}},
        {intro, tooLong, false, 1},  // last: the dialog keeps the prefix
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user[0] + " " + std::to_string(c.selection.size()));
        host_.set_project(scene());
        const std::size_t alerts = host_.alerts().size();
        const std::string active = c.noActive ? "" : "Main";
        EXPECT_EQ(run(c.selection, c.user, [&] { make_active(host_.project(), active); }),
                  A_Err_NONE);
        make_active(before_, active);
        if (c.stack.empty()) expect_as_before();
        EXPECT_EQ(layer_names(host_.project(), "Main"),
                  c.stack.empty() ? layer_names(before_, "Main") : c.stack);
        EXPECT_EQ(layer_names(host_.project(), "Main", true), c.stack.empty() ? intro : c.selected);
        EXPECT_EQ(host_.alerts().size() - alerts, c.alerts);
        ASSERT_EQ(host_.undo_history().size(), c.user == ok ? 1u : 0u);
        if (c.user != ok) continue;
        EXPECT_EQ(host_.undo_history()[0].name, "Outfold");
        expect_undo_restores();
    }
}

// Otherwise the run is as without time remapping (rerun with the choices the dialog kept).
TEST_F(CommandHook, TimeRemapAlertNamesTheRemappedPrecompLayersOnceAfterTheOtherAlerts) {
    struct Case {
        std::string fixture;
        Names remapped, selection, user;  // Main's layers with time remapping, the selected ones
        std::string names;                // as the "Outfold" alert names them; empty: no alert
        Names others;                     // the run's other alerts
        const char* failingCall = nullptr;
    };
    const std::string outro = "Outro \"B\\side\" \xc3\xa9", scene = "outfold_scene";
    const Names intro = {"Intro"}, ok = {"ok"}, shared = {"Shared"};
    const Names deleting = {"click optionDeleteSource", "ok"};
    const std::string two = "layers \"Intro\", \"" + outro + "\": their";
    const std::string kept =
        "Source Not Deleted: The source could not be deleted because it is being used in other "
        "places";
    const Case cases[] = {
        {scene, intro, intro, ok, "layer \"Intro\": its"},
        {scene, {"Intro", outro}, {"Intro", outro, "Footer"}, ok, two},
        {scene, intro, {outro}, ok, ""},  // the remapped layer is not selected
        {scene, intro, intro, ok, "", {}, "AEGP_DeleteLayer"},
        {"extract_users", shared, shared, deleting, "layer \"Shared\": its", {kept}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture + " " + c.names + (c.failingCall ? " failing" : ""));
        std::pair<std::string, Names> runs[2];  // the project and the alerts
        for (const bool remap : {false, true}) {
            host_.load_project(fixture_path(c.fixture));
            for (model::Layer& layer : item_named(host_.project(), "Main").comp->layers) {
                if (layer.ownName == "Outro") layer.ownName = outro;
                const std::string shown = model::shown_name(host_.project(), layer);
                if (remap && std::ranges::count(c.remapped, shown) != 0) {
                    layer.flags |= model::flag::kTimeRemapping;
                }
            }
            const std::size_t seen = host_.alerts().size();
            if (c.failingCall) host_.fail_call(c.failingCall, 1, A_Err_GENERIC);
            EXPECT_EQ(run(c.selection, remap ? ok : c.user),
                      c.failingCall ? A_Err_GENERIC : A_Err_NONE);
            for (model::Layer& layer : item_named(host_.project(), "Main").comp->layers) {
                layer.flags &= ~model::flag::kTimeRemapping;
            }
            runs[remap].first = describe(host_.project());
            for (std::size_t i = seen; i < host_.alerts().size(); ++i) {
                runs[remap].second.push_back(host_.alerts()[i].title + ": " +
                                             host_.alerts()[i].message);
            }
        }
        EXPECT_EQ(runs[1].first, runs[0].first) << "the run itself must not change";
        EXPECT_EQ(runs[0].second, c.others);
        if (!c.names.empty()) {
            runs[0].second.push_back(
                "Outfold: Time remapping was not carried over from the pre-comp " + c.names +
                " extracted layers play at normal speed.");
        }
        EXPECT_EQ(runs[1].second, runs[0].second);
    }
}
}  // namespace
}  // namespace outfold::testing
