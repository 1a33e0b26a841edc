// One run of the command through the loaded module and the real dialog
// script: which runs change nothing, what a run changes, and that every way
// out closes what it opened.
#include "pipeline/command_hook.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {

class CommandHook : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        ASSERT_EQ(load_module(), A_Err_NONE);
        ASSERT_NE(command(), 0);
    }

    // Selects, lets the menu settle as the user would see it, and runs the
    // command with the given dialog actions.
    A_Err run(
        const std::vector<std::string>& selection, std::vector<std::string> user,
        const std::function<void()>& beforeClick = [] {}) {
        select_layers(host_.project(), "Main", selection);
        host_.open_menu(AEGP_Menu_LAYER);
        before_ = describe(host_.project());
        host_.set_user(std::move(user));
        host_.clear_trace();
        beforeClick();
        return host_.click(command());
    }

    std::vector<std::string> undo_names() const {
        std::vector<std::string> names;
        for (const host::UndoEntry& entry : host_.undo_history()) names.push_back(entry.name);
        return names;
    }

    std::string before_;
};

TEST_F(CommandHook, CancelledOrClosedDialogChangesNothing) {
    for (const std::string action : {"cancel", "close"}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(run({"Intro"}, {action}), A_Err_NONE);
        EXPECT_EQ(describe(host_.project()), before_);
        EXPECT_TRUE(undo_names().empty());
        EXPECT_EQ(calls_to("AEGP_StartUndoGroup"), 0u);
        EXPECT_TRUE(host_.alerts().empty());
    }
}

TEST_F(CommandHook, TooLongPrefixAlertsAndChangesNothing) {
    const std::string prefix(51, 'x');
    EXPECT_EQ(run({"Intro"}, {"set prefixInput " + prefix, "ok"}), A_Err_NONE);
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_EQ(host_.alerts()[0].title, "Prefix Too Long");
    EXPECT_EQ(describe(host_.project()), before_);
    EXPECT_TRUE(undo_names().empty());
}

TEST_F(CommandHook, FiftyBytePrefixIsUsedWhole) {
    const std::string prefix(50, 'x');
    EXPECT_EQ(run({"Intro"}, {"set prefixInput " + prefix, "ok"}), A_Err_NONE);
    EXPECT_TRUE(host_.alerts().empty());
    EXPECT_EQ(layers_of(host_.project(), "Main")[0], prefix + "_Title");
}

TEST_F(CommandHook, WithoutActiveCompositionAnEmptyUndoGroupIsMade) {
    select_layers(host_.project(), "Main", {"Intro"});
    host_.open_menu(AEGP_Menu_LAYER);
    make_active(host_.project(), "");
    const std::string before = describe(host_.project());
    host_.set_user({"ok"});
    EXPECT_EQ(host_.click(command()), A_Err_NONE);
    EXPECT_EQ(describe(host_.project()), before);
    EXPECT_EQ(undo_names(), std::vector<std::string>{"Outfold"});
}

TEST_F(CommandHook, ExtractsThePrecompLayerInItsPlaceAndSelectsTheCopies) {
    EXPECT_EQ(run({"Intro"}, {"ok"}), A_Err_NONE);
    EXPECT_EQ(layers_of(host_.project(), "Main"),
              (std::vector<std::string>{"Title", "Backdrop", "Logo", "Caption", "Plate", "Outro",
                                        "Footer"}));
    EXPECT_EQ(selected_in(host_.project(), "Main"),
              (std::vector<std::string>{"Title", "Backdrop", "Logo"}));
    EXPECT_EQ(undo_names(), std::vector<std::string>{"Outfold"});
    EXPECT_TRUE(host_.alerts().empty());

    // One undo restores the project as it was.
    ASSERT_TRUE(host_.undo());
    EXPECT_EQ(describe(host_.project()), before_);
}

TEST_F(CommandHook, SeveralPrecompLayersWithATextLayerLast) {
    EXPECT_EQ(run({"Intro", "Outro", "Footer"}, {"ok"}), A_Err_NONE);
    EXPECT_EQ(layers_of(host_.project(), "Main"),
              (std::vector<std::string>{"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits",
                                        "Footer"}));
    // The last selected item is not a pre-comp layer: the selection is left alone.
    EXPECT_EQ(calls_to("AEGP_SetSelection"), 0u);
    EXPECT_EQ(undo_names(), std::vector<std::string>{"Outfold"});
}

TEST_F(CommandHook, CopiesOfTheLastPrecompLayerEndSelected) {
    EXPECT_EQ(run({"Intro", "Outro"}, {"ok"}), A_Err_NONE);
    EXPECT_EQ(selected_in(host_.project(), "Main"), std::vector<std::string>{"Credits"});
    EXPECT_EQ(calls_to("AEGP_SetSelection"), 1u);
}

struct PrefixCase {
    std::vector<std::string> actions;
    std::string firstName;
};

void PrintTo(const PrefixCase& c, std::ostream* os) {
    for (const std::string& action : c.actions) {
        for (char ch : action) *os << (std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
        *os << ' ';
    }
}

class CommandHookNaming : public CommandHook, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(CommandHookNaming, CopiesAreNamedWithThePrefixAsTyped) {
    EXPECT_EQ(run({"Intro"}, GetParam().actions), A_Err_NONE);
    EXPECT_EQ(layers_of(host_.project(), "Main").front(), GetParam().firstName);
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, CommandHookNaming,
    ::testing::Values(
        PrefixCase{{"ok"}, "Title"}, PrefixCase{{"set prefixInput Hero", "ok"}, "Hero_Title"},
        PrefixCase{{"set prefixInput say \"hi\"", "ok"}, "say \"hi\"_Title"},
        PrefixCase{{"set prefixInput C:\\tmp\\", "ok"}, "C:\\tmp\\_Title"},
        PrefixCase{{"set prefixInput caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "ok"},
                   "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80_Title"},
        PrefixCase{{"click prependPrecompName", "ok"}, "Intro_Title"},
        PrefixCase{{"click prependPrecompName", "set prefixInput P", "ok"}, "Intro_P_Title"}));

class CommandHookFailure : public CommandHook, public ::testing::WithParamInterface<std::string> {};

TEST_P(CommandHookFailure, HostErrorEndsTheRunButClosesTheUndoGroup) {
    EXPECT_EQ(run({"Intro"}, {"ok"}, [&] { host_.fail_call(GetParam(), 1, 40); }), 40);
    EXPECT_EQ(calls_to("AEGP_EndUndoGroup"), 1u);
    EXPECT_EQ(undo_names(), std::vector<std::string>{"Outfold"});
    EXPECT_TRUE(host_.alerts().empty());
}

INSTANTIATE_TEST_SUITE_P(Operations, CommandHookFailure,
                         ::testing::Values("AEGP_GetActiveItem", "AEGP_GetCollectionNumItems",
                                           "AEGP_GetCollectionItemByIndex", "AEGP_NewCollection",
                                           "AEGP_GetLayerParentComp", "AEGP_SetSelection"));

TEST_F(CommandHook, MissingSuiteDuringTheRunStillEndsTheUndoGroup) {
    EXPECT_EQ(run({"Intro"}, {"ok"}, [&] { host_.remove_suite("AEGP Comp Suite", 14); }), 516);
    EXPECT_EQ(calls_to("AEGP_StartUndoGroup"), 1u);
    EXPECT_EQ(calls_to("AEGP_EndUndoGroup"), 1u);
    EXPECT_EQ(undo_names(), std::vector<std::string>{"Outfold"});
    EXPECT_EQ(host_.outstanding().suites, 0);
}

TEST_F(CommandHook, FailedUndoGroupStartStopsTheRun) {
    EXPECT_EQ(run({"Intro"}, {"ok"}, [&] { host_.fail_call("AEGP_StartUndoGroup", 1, 42); }), 42);
    EXPECT_EQ(describe(host_.project()), before_);
    EXPECT_EQ(calls_to("AEGP_GetActiveItem"), 0u);
}

// The hook called directly, in-process, to see its handled flag.
class CommandHookInProcess : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        select_layers(host_.project(), "Main", {"Intro"});
        ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
        host_.clear_trace();
    }
};

TEST_F(CommandHookInProcess, OtherCommandsAndHandledCommandsAreLeftAlone) {
    struct Case {
        AEGP_Command command;
        A_Boolean alreadyHandled;
    };
    for (const Case c :
         {Case{gCommandId + 1, false}, Case{AEGP_Command_ALL, false}, Case{gCommandId, true}}) {
        A_Boolean handled = 7;
        EXPECT_EQ(
            command_hook(nullptr, nullptr, c.command, AEGP_HP_BeforeAE, c.alreadyHandled, &handled),
            A_Err_NONE);
        EXPECT_EQ(handled, 7);
    }
    EXPECT_TRUE(host_calls().empty());
    EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(CommandHookInProcess, CancelIsHandledWithoutAnyChange) {
    const std::string before = describe(host_.project());
    host_.set_user({"cancel"});
    A_Boolean handled = false;
    EXPECT_EQ(command_hook(nullptr, nullptr, gCommandId, AEGP_HP_BeforeAE, false, &handled),
              A_Err_NONE);
    EXPECT_TRUE(handled);
    EXPECT_EQ(host_.dialogs().size(), 1u);
    EXPECT_EQ(describe(host_.project()), before);
    EXPECT_TRUE(host_.undo_history().empty());
}

TEST_F(CommandHookInProcess, ErrorsStillMarkTheCommandHandled) {
    host_.fail_call("AEGP_ExecuteScript", 1, 12);
    A_Boolean handled = false;
    EXPECT_EQ(command_hook(nullptr, nullptr, gCommandId, AEGP_HP_BeforeAE, false, &handled), 12);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(host_.undo_history().empty());
}

}  // namespace
}  // namespace outfold::testing
