// The module as the host loads and drives it: registration, the menu-update
// hook, the command hook and the alerts after a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "pipeline/command_hook.h"
#include "plugin_host.h"
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace model = host::model;
using Names = std::vector<std::string>;

// Loading the module: what it registers, in which order, and what a failing
// host call or a missing suite leaves behind.
namespace registration {
const std::vector<std::string> kRegistrationCalls = {
    "AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand", "AEGP_RegisterCommandHook",
    "AEGP_RegisterUpdateMenuHook"};

class Registration : public PluginHostTest {};

// Each case needs a host of its own; only one host may live at a time.
std::filesystem::path case_settings_dir() {
    static const outfold_test::TempDir dir("registration");
    return dir.path();
}

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
// missing suite returns its error without a report. Nothing is kept either way.
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        host::Host host(host::HostOptions{case_settings_dir()});
        if (c.version != 0) {
            host.remove_suite(c.operation, c.version);
        } else {
            host.fail_call(c.operation, 1, 1234);
        }
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), c.version != 0 ? 516 : 1234);
        std::vector<std::string> expected(kRegistrationCalls.begin(),
                                          kRegistrationCalls.begin() + long(c.callsMade));
        if (c.version == 0) expected.push_back("AEGP_ReportInfo");
        EXPECT_EQ(host_calls(host), expected);
        EXPECT_EQ(host.reports(),
                  c.version != 0
                      ? std::vector<std::string>{}
                      : std::vector<std::string>{"Outfold: Problems encountered during outfold."});
        EXPECT_EQ(host.find_command(kUnusableText).has_value(), c.commandInMenu);
        EXPECT_TRUE(host.outstanding().none());
        EXPECT_EQ(host.outstanding().suites, 0);
    }
}

TEST_F(Registration, ReportsOwnErrorIsNotTheResult) {
    host_.fail_call("AEGP_InsertMenuCommand", 1, 7);
    host_.fail_call("AEGP_ReportInfo", 1, 9);
    EXPECT_EQ(load_module(), 7);
}

TEST_F(Registration, FailedInsertionLeavesNoHookBehind) {
    host_.set_project(scene());
    select_layers(host_.project(), "Main", {"Intro"});
    host_.fail_call("AEGP_InsertMenuCommand", 1, 3);
    EXPECT_EQ(load_module(), 3);
    host_.clear_trace();
    host_.open_menu(AEGP_Menu_LAYER);
    EXPECT_TRUE(host_calls(host_).empty());
}

TEST_F(Registration, MissingReportSuiteAfterAFailureStillReturnsTheMissingSuiteError) {
    host_.fail_call("AEGP_GetUniqueCommand", 1, 5);
    host_.remove_suite("AEGP Utility Suite", 7);
    EXPECT_EQ(load_module(), 516);
    EXPECT_TRUE(host_.reports().empty());
    EXPECT_EQ(host_.outstanding().suites, 0);
}
}  // namespace registration

// The menu-update hook through the loaded module: the command's text and
// state for each kind of selection, and what errors leave untouched.
namespace menu_hook {
enum class Expect { Usable, Unusable, Unchanged };

struct MenuCase {
    std::string name, active;
    std::vector<std::string> selection;
    bool nonLayer;
    Expect expect;
};

class MenuHook : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        ASSERT_EQ(load_module(), A_Err_NONE);
    }

    // Brings the entry into a known state through the hook itself.
    void settle(bool usable) {
        host_.set_project(scene());
        select_layers(host_.project(), "Main",
                      usable ? std::vector<std::string>{"Intro"} : std::vector<std::string>{});
        host_.open_menu(AEGP_Menu_LAYER);
        expect_entry(usable ? kUsableText : kUnusableText, usable);
    }

    void expect_entry(const std::string& text, bool enabled) {
        const auto entry = host_.command(command());
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->text, text);
        EXPECT_EQ(entry->enabled, enabled);
    }
};

// The active item, the layers selected in Main, and whether masks, effects
// and keyframes of Intro are selected too.
const std::vector<MenuCase> kCases = {
    {"no active item", "", {"Intro"}, false, Expect::Unchanged},
    {"footage item active", "Grey Solid", {"Intro"}, false, Expect::Unchanged},
    {"folder active", "Assets", {"Intro"}, false, Expect::Unchanged},
    {"nothing selected", "Main", {}, false, Expect::Unusable},
    {"text and solid", "Main", {"Caption", "Plate"}, false, Expect::Unusable},
    {"pre-comp layer last of several",
     "Main",
     {"Caption", "Plate", "Outro"},
     false,
     Expect::Usable},
    {"3D pre-comp layer", "Main", {"Outro"}, false, Expect::Usable},
    {"masks, effects and keyframes of a pre-comp layer", "Main", {}, true, Expect::Unusable},
    {"non-layer items and a solid", "Main", {"Plate"}, true, Expect::Unusable},
    {"selection lies in another composition", "Intro Comp", {"Intro"}, false, Expect::Unusable},
};

TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    for (const MenuCase& c : kCases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.name + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            select_layers(host_.project(), "Main", c.selection);
            if (c.nonLayer) add_non_layer_selection(host_.project(), "Main", "Intro");
            make_active(host_.project(), c.active);
            host_.open_menu(AEGP_Menu_LAYER);
            switch (c.expect) {
                case Expect::Usable:
                    expect_entry(kUsableText, true);
                    break;
                case Expect::Unusable:
                    expect_entry(kUnusableText, false);
                    break;
                case Expect::Unchanged:
                    expect_entry(usableBefore ? kUsableText : kUnusableText, usableBefore);
                    break;
            }
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

// A failing call (its nth), or a missing suite (nth 0, then its version).
struct ErrorCase {
    std::string operation;
    int nth;
    A_long version = 0;
};

TEST_F(MenuHook, HostErrorOrMissingSuiteLeavesTheEntryAsItWasAndReleasesEverything) {
    const std::vector<ErrorCase> cases = {
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
    for (const ErrorCase& c : cases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.operation + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            // The opposite selection, so that a hook that went on would change the entry.
            select_layers(host_.project(), "Main",
                          usableBefore ? std::vector<std::string>{"Plate"}
                                       : std::vector<std::string>{"Plate", "Intro"});
            if (c.nth == 0) {
                host_.remove_suite(c.operation, c.version);
            } else {
                host_.fail_call(c.operation, c.nth, 77);
            }
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(usableBefore ? kUsableText : kUnusableText, usableBefore);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

}  // namespace menu_hook

// The menu-update hook runs before every menu opens: when the first selected
// layer is a pre-comp layer, the host calls it makes do not grow with the
// size of the selection.
namespace menu_hook_cost {
class MenuHookCost : public PluginHostTest {
protected:
    // Host calls of one menu update with the pre-comp layer and `more` text
    // layers below it selected.
    std::size_t calls_with_selection_of(int more) {
        host::model::Project project = scene();
        const host::model::Id main = host::model::find_item_by_name(project, "Main")->id;
        std::vector<std::string> selected{"Intro"};
        for (int i = 0; i < more; ++i) {
            host::model::Layer layer;
            layer.kind = host::model::LayerKind::Text;
            layer.ownName = "Extra " + std::to_string(i);
            host::model::add_layer(project, main, layer, -1);
            selected.push_back(layer.ownName);
        }
        select_layers(project, "Main", selected);
        host_.set_project(std::move(project));
        host_.clear_trace();
        host_.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_.command(command())->text, kUsableText) << more;
        return host_calls(host_).size();
    }
};

TEST_F(MenuHookCost, CallsDoNotGrowWithTheSelection) {
    ASSERT_EQ(load_module(), A_Err_NONE);
    const std::size_t one = calls_with_selection_of(0);
    for (const int more : {1, 10, 500}) EXPECT_EQ(calls_with_selection_of(more), one) << more;
}
}  // namespace menu_hook_cost

// One run of the command through the loaded module and the real dialog
// script: which runs change nothing, what a run changes, and that every way
// out closes what it opened.
namespace command_hook_runs {
class CommandHook : public PluginHostTest {
protected:
    void SetUp() override { open_scene(); }
};

// A cancelled or closed dialog, or a prefix over 50 bytes (with its alert),
// changes nothing and leaves no undo step.
TEST_F(CommandHook, RunsThatChangeNothing) {
    struct Case {
        std::vector<std::string> user;
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
    const Case cases[] = {
        {{"Intro"},
         {"Title", "Backdrop", "Logo", "Caption", "Plate", "Outro", "Footer"},
         {"Title", "Backdrop", "Logo"}},
        {{"Intro", "Outro"},
         {"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits", "Footer"},
         {"Credits"}},
        {{"Intro", "Outro", "Footer"},
         {"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits", "Footer"},
         {"Footer"}},
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

// The hook called directly, in-process, to see its handled flag.
class CommandHookInProcess : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        select_layers(host_.project(), "Main", {"Intro"});
        ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
    }
    A_Err hook(AEGP_Command command, A_Boolean alreadyHandled, A_Boolean* handled) {
        return command_hook(nullptr, nullptr, command, AEGP_HP_BeforeAE, alreadyHandled, handled);
    }
};

// Other commands and handled ones are left alone; the own command is handled
// whether it is cancelled or fails.
TEST_F(CommandHookInProcess, TheHandledFlag) {
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
}  // namespace command_hook_runs

// The one alert after a run that names the pre-comp layers whose time
// remapping the copies did not take over; the run itself is the same as
// without time remapping.
namespace time_remap_alert {
// The scene's Outro, renamed: quotes, a backslash and a letter beyond ASCII.
const std::string kOutro = "Outro \"B\\side\" \xc3\xa9";

struct Outcome {
    A_Err error = A_Err_NONE;
    std::string project;  // every composition's layers and flags, time remapping left out
    std::vector<host::script::Alert> alerts;
    bool leaked = false;
};

void prepare(model::Project& project, const Names& remapped) {
    for (auto& item : project.items) {
        if (!item.comp) continue;
        for (auto& layer : item.comp->layers) {
            if (layer.ownName == "Outro") layer.ownName = kOutro;
            for (const std::string& name : remapped)
                if (model::shown_name(project, layer) == name)
                    layer.flags |= model::flag::kTimeRemapping;
        }
    }
}

std::string layers_and_flags(const model::Project& project) {
    std::string text;
    for (const auto& item : project.items) {
        if (!item.comp) continue;
        text += item.name + ":";
        for (const auto& layer : item.comp->layers)
            text += " " + model::shown_name(project, layer) + "/" +
                    std::to_string(layer.flags & ~model::flag::kTimeRemapping);
        text += "\n";
    }
    return text;
}

// One run of the command in a host of its own (fresh settings, so the
// dialog starts the same way every time).
Outcome run_once(const std::string& fixture, const Names& remapped, const Names& selection,
                 const Names& user, const char* failingCall = nullptr) {
    outfold_test::TempDir settings("time-remap");
    host::Host host(host::HostOptions{settings.path()});
    model::Project project =
        fixture.empty() ? scene() : host::io::load_project_file(fixture_path(fixture));
    prepare(project, remapped);
    host.set_project(project);
    Outcome outcome;
    if (host.load_plugin(OUTFOLD_MODULE_PATH) != A_Err_NONE) {
        outcome.error = -1;
        return outcome;
    }
    select_layers(host.project(), "Main", selection);
    host.open_menu(AEGP_Menu_LAYER);
    host.set_user(user);
    if (failingCall != nullptr) host.fail_call(failingCall, 1, A_Err_GENERIC);
    outcome.error = host.click(host.find_command(kUsableText).value_or(0));
    outcome.project = layers_and_flags(host.project());
    outcome.alerts = host.alerts();
    outcome.leaked = !host.outstanding().none();
    return outcome;
}

std::vector<std::string> titles(const std::vector<host::script::Alert>& alerts) {
    std::vector<std::string> result;
    for (const auto& alert : alerts) result.push_back(alert.title);
    return result;
}

const std::string kOneIntro =
    "Time remapping was not carried over from the pre-comp layer \"Intro\": its extracted "
    "layers play at normal speed.";

TEST(TimeRemapAlert, NamesTheRemappedPrecompLayersOnceAfterTheOtherAlerts) {
    struct Case {
        const char* what;
        std::string fixture;  // empty: the command scene
        Names remapped;       // layers with time remapping switched on
        Names selection;      // selected in Main
        Names user;           // the dialog's actions
        std::string message;  // the "Outfold" alert; empty: none
        Names others;         // titles of the run's other alerts, in order
    };
    const Case cases[] = {
        {"one remapped layer", "", {"Intro"}, {"Intro"}, {"ok"}, kOneIntro},
        {"two remapped layers, one alert",
         "",
         {"Intro", kOutro},
         {"Intro", kOutro, "Footer"},
         {"ok"},
         "Time remapping was not carried over from the pre-comp layers \"Intro\", \"" + kOutro +
             "\": their extracted layers play at normal speed."},
        {"the remapped layer is not selected", "", {"Intro"}, {kOutro}, {"ok"}, ""},
        {"no time remapping", "", {}, {"Intro"}, {"ok"}, ""},
        {"kept in the composition",
         "",
         {"Intro"},
         {"Intro"},
         {"click optionKeepInComp", "ok"},
         kOneIntro},
        {"cancelled", "", {"Intro"}, {"Intro"}, {"cancel"}, ""},
        {"after the source alert",
         "extract_users",
         {"Shared"},
         {"Shared"},
         {"click optionDeleteSource", "ok"},
         "Time remapping was not carried over from the pre-comp layer \"Shared\": its extracted "
         "layers play at normal speed.",
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
    const Outcome failed = run_once("", {"Intro"}, {"Intro"}, {"ok"}, "AEGP_DeleteLayer");
    EXPECT_EQ(failed.error, A_Err_GENERIC);
    EXPECT_TRUE(failed.alerts.empty());
    EXPECT_FALSE(failed.leaked);
}
}  // namespace time_remap_alert

}  // namespace outfold::testing
