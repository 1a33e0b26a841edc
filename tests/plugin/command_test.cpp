// The module as the host loads and drives it: registration, the menu-update
// hook, the command hook and the alerts after a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "model/project_ops.h"
#include "pipeline/command_hook.h"
#include "plugin_host.h"
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {
namespace model = host::model;
using Names = std::vector<std::string>;

const Names kRegistrationCalls = {"AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand",
                                  "AEGP_RegisterCommandHook", "AEGP_RegisterUpdateMenuHook"};

class Registration : public PluginHostTest {};

TEST_F(Registration, InsertsTheCommandAtTheBottomOfTheLayerMenuAndRegistersBothHooks) {
    ASSERT_EQ(load_module(), A_Err_NONE);
    EXPECT_EQ(host_calls(host_), kRegistrationCalls);
    EXPECT_TRUE(host_.reports().empty());
    const std::vector<host::MenuCommand> layerMenu = host_.menu(AEGP_Menu_LAYER);
    ASSERT_FALSE(layerMenu.empty());
    EXPECT_EQ(layerMenu.back().text, kUnusableText);
    EXPECT_NE(layerMenu.back().command, 0);
    EXPECT_EQ(layerMenu.back().command, command());
    for (AEGP_MenuID other = 1; other <= 13; ++other) {
        if (other == AEGP_Menu_LAYER) continue;
        for (const host::MenuCommand& entry : host_.menu(other)) {
            EXPECT_NE(entry.command, command()) << "also in menu " << other;
        }
    }
}

// The first failing call stops the rest, is reported once and is returned; a
// missing suite returns its error without a report. Nothing is kept either
// way, and no menu-update hook is left to call.
TEST(RegistrationFailure, WhatAFailureLeaves) {
    struct Case {
        std::string operation;  // or the missing suite
        A_long version;         // of the missing suite; 0 for a failing call
        std::size_t callsMade;  // registration calls reached, the failing one included
        bool commandInMenu;
    };
    const Case cases[] = {
        {"AEGP_GetUniqueCommand", 0, 1, false},   {"AEGP_InsertMenuCommand", 0, 2, false},
        {"AEGP_RegisterCommandHook", 0, 3, true}, {"AEGP_RegisterUpdateMenuHook", 0, 4, true},
        {"AEGP Command Suite", 1, 0, false},      {"AEGP Register Suite", 6, 2, true},
    };
    // Each case needs a host of its own; only one host may live at a time.
    const outfold_test::TempDir settings("registration");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        host::Host host(host::HostOptions{settings.path()});
        host.set_project(scene());
        select_layers(host.project(), "Main", {"Intro"});
        if (c.version != 0) {
            host.remove_suite(c.operation, c.version);
        } else {
            host.fail_call(c.operation, 1, 1234);
        }
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), c.version != 0 ? 516 : 1234);
        Names expected(kRegistrationCalls.begin(), kRegistrationCalls.begin() + long(c.callsMade));
        if (c.version == 0) expected.push_back("AEGP_ReportInfo");
        EXPECT_EQ(host_calls(host), expected);
        EXPECT_EQ(host.reports(), c.version != 0
                                      ? Names{}
                                      : Names{"Outfold: Problems encountered during outfold."});
        EXPECT_EQ(host.find_command(kUnusableText).has_value(), c.commandInMenu);
        EXPECT_TRUE(host.outstanding().none());
        EXPECT_EQ(host.outstanding().suites, 0);
        host.clear_trace();
        host.open_menu(AEGP_Menu_LAYER);
        EXPECT_TRUE(host_calls(host).empty());
    }
}

TEST_F(Registration, ReportsOwnErrorIsNotTheResult) {
    host_.fail_call("AEGP_InsertMenuCommand", 1, 7);
    host_.fail_call("AEGP_ReportInfo", 1, 9);
    EXPECT_EQ(load_module(), 7);
}

TEST_F(Registration, MissingReportSuiteAfterAFailureStillReturnsTheMissingSuiteError) {
    host_.fail_call("AEGP_GetUniqueCommand", 1, 5);
    host_.remove_suite("AEGP Utility Suite", 7);
    EXPECT_EQ(load_module(), 516);
    EXPECT_TRUE(host_.reports().empty());
    EXPECT_EQ(host_.outstanding().suites, 0);
}

// The menu-update hook through the loaded module: the command's text and
// state for each kind of selection, and what errors leave untouched.
class MenuHook : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        ASSERT_EQ(load_module(), A_Err_NONE);
    }

    // Brings the entry into a known state through the hook itself.
    void settle(bool usable) {
        host_.set_project(scene());
        select_layers(host_.project(), "Main", usable ? Names{"Intro"} : Names{});
        host_.open_menu(AEGP_Menu_LAYER);
        expect_entry(usable);
    }

    model::Composition& main() { return *item_named(host_.project(), "Main").comp; }

    void expect_entry(bool usable) {
        const auto entry = host_.command(command());
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->text, usable ? kUsableText : kUnusableText);
        EXPECT_EQ(entry->enabled, usable);
    }
};

TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    enum Expect { Unusable, Usable, Unchanged };
    struct Case {
        std::string name, active;
        Names selection;  // layers of Main
        bool nonLayer;    // masks, effects and keyframes of Intro selected too
        Expect expect;
    };
    const Case cases[] = {
        {"no active item", "", {"Intro"}, false, Unchanged},
        {"footage item active", "Grey Solid", {"Intro"}, false, Unchanged},
        {"folder active", "Assets", {"Intro"}, false, Unchanged},
        {"nothing selected", "Main", {}, false, Unusable},
        {"text and solid", "Main", {"Caption", "Plate"}, false, Unusable},
        {"pre-comp layer last", "Main", {"Caption", "Plate", "Outro"}, false, Usable},
        {"3D pre-comp layer", "Main", {"Outro"}, false, Usable},
        {"masks, effects, keyframes of a pre-comp", "Main", {}, true, Unusable},
        {"non-layer items and a solid", "Main", {"Plate"}, true, Unusable},
        {"selection in another composition", "Intro Comp", {"Intro"}, false, Unusable},
    };
    for (const Case& c : cases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.name + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            select_layers(host_.project(), "Main", c.selection);
            for (auto kind : {model::SelectionKind::Mask, model::SelectionKind::Effect,
                              model::SelectionKind::Keyframe}) {
                if (c.nonLayer) main().selection.push_back({kind, layer("Main", "Intro").id, 0, 0});
            }
            make_active(host_.project(), c.active);
            host_.open_menu(AEGP_Menu_LAYER);
            expect_entry(c.expect == Unchanged ? usableBefore : c.expect == Usable);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

TEST_F(MenuHook, HostErrorOrMissingSuiteLeavesTheEntryAsItWasAndReleasesEverything) {
    // A failing call (its nth), or a missing suite (nth 0, then its version).
    struct Case {
        std::string operation;
        int nth;
        A_long version = 0;
    };
    const Case cases[] = {
        {"AEGP_GetActiveItem", 1},         {"AEGP_GetItemType", 1},  // the active item's type
        {"AEGP_GetCollectionNumItems", 1}, {"AEGP_GetCollectionItemByIndex", 1},
        {"AEGP_GetLayerObjectType", 1},    {"AEGP_GetLayerSourceItem", 1},
        {"AEGP_GetItemType", 2},  // the source item's type
        {"AEGP_GetCompFromItem", 1},       {"AEGP_GetNewCollectionFromCompSelection", 1},
        {"AEGP_SetMenuCommandName", 1},  // a failed rename neither enables nor disables
        {"AEGP Layer Suite", 0, 11},       {"AEGP Item Suite", 0, 3},
        {"AEGP Comp Suite", 0, 9},         {"AEGP Collection Suite", 0, 2},
        {"AEGP Command Suite", 0, 1},
    };
    for (const Case& c : cases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.operation + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            // The opposite selection, so that a hook that went on would change the entry.
            select_layers(host_.project(), "Main",
                          usableBefore ? Names{"Plate"} : Names{"Plate", "Intro"});
            if (c.nth == 0) {
                host_.remove_suite(c.operation, c.version);
            } else {
                host_.fail_call(c.operation, c.nth, 77);
            }
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(usableBefore);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

// The menu-update hook runs before every menu opens: when the first selected
// layer is a pre-comp layer, the host calls it makes do not grow with the
// size of the selection.
TEST_F(MenuHook, CallsDoNotGrowWithTheSelection) {
    std::size_t one = 0;
    for (const int more : {0, 1, 10, 500}) {
        SCOPED_TRACE(more);
        model::Project project = scene();
        Names selected{"Intro"};
        for (int i = 0; i < more; ++i) {
            model::Layer layer;
            layer.kind = model::LayerKind::Text;
            layer.ownName = "Extra " + std::to_string(i);
            model::add_layer(project, item_named(project, "Main").id, layer, -1);
            selected.push_back(layer.ownName);
        }
        select_layers(project, "Main", selected);
        host_.set_project(std::move(project));
        host_.clear_trace();
        host_.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_.command(command())->text, kUsableText);
        if (more == 0) one = host_calls(host_).size();
        EXPECT_EQ(host_calls(host_).size(), one);
    }
}

// One run of the command through the loaded module and the real dialog
// script: which runs change nothing, what a run changes, and that every way
// out closes what it opened.
class CommandHook : public PluginHostTest {
protected:
    void SetUp() override { open_scene(); }
};

// A cancelled or closed dialog, or a prefix over 50 bytes (with its alert),
// changes nothing and leaves no undo step.
TEST_F(CommandHook, RunsThatChangeNothing) {
    struct Case {
        Names user;
        std::size_t alerts;
    };
    for (const Case& c : {Case{{"cancel"}, 0}, Case{{"close"}, 0},
                          Case{{"set prefixInput " + std::string(51, 'x'), "ok"}, 1}}) {
        SCOPED_TRACE(c.user[0]);
        EXPECT_EQ(run({"Intro"}, c.user), A_Err_NONE);
        expect_as_before();
        EXPECT_TRUE(undo_names().empty());
        ASSERT_EQ(host_.alerts().size(), c.alerts);
    }
    EXPECT_EQ(host_.alerts()[0].title, "Prefix Too Long");
}

TEST_F(CommandHook, WithoutActiveCompositionAnEmptyUndoGroupIsMade) {
    EXPECT_EQ(run({"Intro"}, {"ok"}, [&] { make_active(host_.project(), ""); }), A_Err_NONE);
    make_active(before_, "");
    expect_as_before();
    EXPECT_EQ(undo_names(), Names{"Outfold"});
}

// The copies take the pre-comp layers' places; those of the last pre-comp
// layer end selected, unless the last selected layer is no pre-comp layer.
TEST_F(CommandHook, ExtractsInPlaceAndSelectsTheCopies) {
    struct Case {
        Names selection, stack, selected;
    };
    const Names copies = {"Title", "Backdrop", "Logo"};
    const Names both = {"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits", "Footer"};
    const Case cases[] = {
        {{"Intro"}, {"Title", "Backdrop", "Logo", "Caption", "Plate", "Outro", "Footer"}, copies},
        {{"Intro", "Outro"}, both, {"Credits"}},
        {{"Intro", "Outro", "Footer"}, both, {"Footer"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.size());
        host_.set_project(scene());
        EXPECT_EQ(run(c.selection, {"ok"}), A_Err_NONE);
        EXPECT_EQ(layer_names(host_.project(), "Main"), c.stack);
        EXPECT_EQ(selected_in(host_.project(), "Main"), c.selected);
        EXPECT_EQ(undo_names(), Names{"Outfold"});
        EXPECT_TRUE(host_.alerts().empty());
        expect_undo_restores();
    }
}

// The hook called directly, in-process, to see its handled flag: other
// commands and handled ones are left alone; the own command is handled
// whether it is cancelled or fails.
TEST_F(PluginHostTest, CommandHookTheHandledFlag) {
    host_.set_project(scene());
    select_layers(host_.project(), "Main", {"Intro"});
    ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
    const auto hook = [](AEGP_Command command, A_Boolean alreadyHandled, A_Boolean* handled) {
        return command_hook(nullptr, nullptr, command, AEGP_HP_BeforeAE, alreadyHandled, handled);
    };
    struct Case {
        AEGP_Command command;
        A_Boolean alreadyHandled;
    };
    for (const Case c :
         {Case{gCommandId + 1, false}, Case{AEGP_Command_ALL, false}, Case{gCommandId, true}}) {
        A_Boolean handled = 7;
        EXPECT_EQ(hook(c.command, c.alreadyHandled, &handled), A_Err_NONE);
        EXPECT_EQ(handled, 7);
    }
    EXPECT_TRUE(host_.dialogs().empty());

    const std::string before = describe(host_.project());
    host_.set_user({"cancel"});
    A_Boolean handled = false;
    EXPECT_EQ(hook(gCommandId, false, &handled), A_Err_NONE);
    EXPECT_TRUE(handled);
    EXPECT_EQ(host_.dialogs().size(), 1u);
    EXPECT_EQ(describe(host_.project()), before);

    host_.fail_call("AEGP_ExecuteScript", 1, 12);
    handled = false;
    EXPECT_EQ(hook(gCommandId, false, &handled), 12);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(host_.undo_history().empty());
}

// The scene's Outro, renamed: quotes, a backslash and a letter beyond ASCII.
const std::string kOutro = "Outro \"B\\side\" \xc3\xa9";

struct Outcome {
    A_Err error;
    std::string project;  // time remapping left out
    std::vector<host::script::Alert> alerts;
    bool leaked;
};

template <class Change>
void for_each_layer(model::Project& project, Change change) {
    for (model::Item& item : project.items) {
        if (item.comp) std::for_each(item.comp->layers.begin(), item.comp->layers.end(), change);
    }
}

// One run of the command in a host of its own (fresh settings, so the dialog
// starts the same way every time), with time remapping on for `remapped`.
Outcome run_once(const std::string& fixture, const Names& remapped, const Names& selection,
                 const Names& user, const char* failingCall = nullptr) {
    outfold_test::TempDir settings("time-remap");
    host::Host host(host::HostOptions{settings.path()});
    host.load_project(fixture_path(fixture));
    for_each_layer(host.project(), [&](model::Layer& layer) {
        if (layer.ownName == "Outro") layer.ownName = kOutro;
        const std::string shown = model::shown_name(host.project(), layer);
        if (std::count(remapped.begin(), remapped.end(), shown)) {
            layer.flags |= model::flag::kTimeRemapping;
        }
    });
    EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), A_Err_NONE);
    select_layers(host.project(), "Main", selection);
    host.open_menu(AEGP_Menu_LAYER);
    host.set_user(user);
    if (failingCall != nullptr) host.fail_call(failingCall, 1, A_Err_GENERIC);
    Outcome outcome{host.click(host.find_command(kUsableText).value_or(0)), "", host.alerts(),
                    !host.outstanding().none()};
    for_each_layer(host.project(),
                   [](model::Layer& layer) { layer.flags &= ~model::flag::kTimeRemapping; });
    outcome.project = describe(host.project());
    return outcome;
}

Names titles(const std::vector<host::script::Alert>& alerts) {
    Names result;
    for (const auto& alert : alerts) result.push_back(alert.title);
    return result;
}

std::string remap_message(const std::string& layer) {
    return "Time remapping was not carried over from the pre-comp layer \"" + layer +
           "\": its extracted layers play at normal speed.";
}

// The one alert after a run that names the pre-comp layers whose time
// remapping the copies did not take over; the run itself is the same as
// without time remapping.
TEST(TimeRemapAlert, NamesTheRemappedPrecompLayersOnceAfterTheOtherAlerts) {
    const std::string kScene = "outfold_scene";
    struct Case {
        std::string what, fixture;
        Names remapped;       // layers with time remapping switched on
        Names selection;      // selected in Main
        Names user;           // the dialog's actions
        std::string message;  // the "Outfold" alert; empty: none
        Names others;         // titles of the run's other alerts, in order
    };
    const Names intro = {"Intro"}, ok = {"ok"};
    const std::string two =
        "Time remapping was not carried over from the pre-comp layers \"Intro\", \"" + kOutro +
        "\": their extracted layers play at normal speed.";
    const Case cases[] = {
        {"one remapped layer", kScene, intro, intro, ok, remap_message("Intro")},
        {"two, one alert", kScene, {"Intro", kOutro}, {"Intro", kOutro, "Footer"}, ok, two},
        {"the remapped layer is not selected", kScene, intro, {kOutro}, ok, ""},
        {"no time remapping", kScene, {}, intro, ok, ""},
        {"kept", kScene, intro, intro, {"click optionKeepInComp", "ok"}, remap_message("Intro")},
        {"cancelled", kScene, intro, intro, {"cancel"}, ""},
        {"after the source alert",
         "extract_users",
         {"Shared"},
         {"Shared"},
         {"click optionDeleteSource", "ok"},
         remap_message("Shared"),
         {"Source Not Deleted"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome plain = run_once(c.fixture, {}, c.selection, c.user);
        Outcome remapped = run_once(c.fixture, c.remapped, c.selection, c.user);
        EXPECT_EQ(remapped.error, A_Err_NONE);
        EXPECT_FALSE(remapped.leaked);
        EXPECT_EQ(remapped.project, plain.project) << "the run itself must not change";
        if (!c.message.empty()) {
            ASSERT_FALSE(remapped.alerts.empty());
            EXPECT_EQ(remapped.alerts.back().title, "Outfold");
            EXPECT_EQ(remapped.alerts.back().message, c.message);
            remapped.alerts.pop_back();
        }
        EXPECT_EQ(titles(plain.alerts), c.others);
        EXPECT_EQ(titles(remapped.alerts), titles(plain.alerts));
    }
}

TEST(TimeRemapAlert, AFailedRunShowsNoAlert) {
    const Outcome failed =
        run_once("outfold_scene", {"Intro"}, {"Intro"}, {"ok"}, "AEGP_DeleteLayer");
    EXPECT_EQ(failed.error, A_Err_GENERIC);
    EXPECT_TRUE(failed.alerts.empty());
    EXPECT_FALSE(failed.leaked);
}

}  // namespace
}  // namespace outfold::testing
