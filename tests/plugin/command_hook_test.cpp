// One run of the command through the loaded module and the real dialog
// script: which runs change nothing, what a run changes, and that every way
// out closes what it opened.
#include "pipeline/command_hook.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {

using Names = std::vector<std::string>;

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
        EXPECT_EQ(layers_of(host_.project(), "Main"), c.stack);
        EXPECT_EQ(selected_in(host_.project(), "Main"), c.selected);
        EXPECT_EQ(undo_names(), Names{"Outfold"});
        EXPECT_TRUE(host_.alerts().empty());
        expect_undo_restores();
    }
}

struct Typed {
    std::vector<std::string> user;
    std::string firstName;
};
// Test names stay plain words under every test runner.
void PrintTo(const Typed& c, std::ostream* os) {
    for (char ch : c.firstName) *os << (std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
}

class CommandHookNaming : public CommandHook, public ::testing::WithParamInterface<Typed> {};

// Each case in a fresh settings folder: the dialog remembers what was typed.
TEST_P(CommandHookNaming, CopiesAreNamedWithThePrefixAsTyped) {
    EXPECT_EQ(run({"Intro"}, GetParam().user), A_Err_NONE);
    EXPECT_TRUE(host_.alerts().empty());
    EXPECT_EQ(layers_of(host_.project(), "Main").front(), GetParam().firstName);
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, CommandHookNaming,
    ::testing::Values(
        Typed{{"ok"}, "Title"}, Typed{{"set prefixInput Hero", "ok"}, "Hero_Title"},
        Typed{{"set prefixInput say \"hi\"", "ok"}, "say \"hi\"_Title"},
        Typed{{"set prefixInput C:\\tmp\\", "ok"}, "C:\\tmp\\_Title"},
        Typed{{"set prefixInput caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "ok"},
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80_Title"},
        Typed{{"set prefixInput " + std::string(50, 'x'), "ok"}, std::string(50, 'x') + "_Title"},
        Typed{{"click prependPrecompName", "ok"}, "Intro_Title"},
        Typed{{"click prependPrecompName", "set prefixInput P", "ok"}, "Intro_P_Title"}));

// A host error (or a missing suite) ends the run, but the undo group it
// opened is closed and recorded; a failed start stops the run before anything.
TEST_F(CommandHook, HostErrorEndsTheRunButClosesTheUndoGroup) {
    struct Case {
        const char* operation;
        A_Err err;
    };
    const Case cases[] = {
        {"AEGP_GetActiveItem", 40},      {"AEGP_GetCollectionNumItems", 40},
        {"AEGP_NewCollection", 40},      {"AEGP_GetCollectionItemByIndex", 40},
        {"AEGP_GetLayerParentComp", 40}, {"AEGP_SetSelection", 40},
        {"AEGP Comp Suite", 516},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        host_.set_project(scene());
        const std::size_t undoSteps = undo_names().size();
        EXPECT_EQ(run({"Intro"}, {"ok"},
                      [&] {
                          if (c.err == 516) return host_.remove_suite(c.operation, 14);
                          host_.fail_call(c.operation, 1, c.err);
                      }),
                  c.err);
        host_.clear_faults();
        EXPECT_EQ(undo_names().size(), undoSteps + 1);
        EXPECT_EQ(undo_names().back(), "Outfold");
        EXPECT_TRUE(host_.alerts().empty());
        EXPECT_TRUE(host_.outstanding().none());
    }
    host_.set_project(scene());
    EXPECT_EQ(run({"Intro"}, {"ok"}, [&] { host_.fail_call("AEGP_StartUndoGroup", 1, 42); }), 42);
    expect_as_before();
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

}  // namespace
}  // namespace outfold::testing
