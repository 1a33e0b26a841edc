// Loading the module: what it registers, in which order, and what a failing
// host call or a missing suite leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "script/scriptui.h"

namespace outfold::testing {
namespace {

const std::vector<std::string> kRegistrationCalls = {
    "AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand", "AEGP_RegisterCommandHook",
    "AEGP_RegisterUpdateMenuHook"};

class Registration : public PluginHostTest {};

// Host operations of a whole trace, without the suite bookkeeping.
std::vector<std::string> calls_of(const host::Host& host) {
    std::vector<std::string> calls;
    for (const std::string& entry : host.trace()) {
        if (entry != "AcquireSuite" && entry != "ReleaseSuite") calls.push_back(entry);
    }
    return calls;
}

// Each case needs a host of its own; only one host may live at a time.
std::filesystem::path case_settings_dir() {
    static const outfold_test::TempDir dir("registration");
    return dir.path();
}

TEST_F(Registration, InsertsTheCommandAtTheBottomOfTheLayerMenuAndRegistersBothHooks) {
    ASSERT_EQ(load_module(), A_Err_NONE);
    EXPECT_EQ(host_calls(), kRegistrationCalls);
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

TEST_F(Registration, HooksAreLiveAfterLoading) {
    host_.set_project(scene());
    select_layers(host_.project(), "Main", {"Intro"});
    ASSERT_EQ(load_module(), A_Err_NONE);
    // The menu-update hook gives the entry its working text...
    host_.open_menu(AEGP_Menu_LAYER);
    ASSERT_TRUE(host_.command(command()).has_value());
    EXPECT_EQ(host_.command(command())->text, kUsableText);
    EXPECT_TRUE(host_.command(command())->enabled);
    // ...and choosing it reaches the command hook, which shows the dialog.
    host_.set_user({"cancel"});
    EXPECT_EQ(host_.click(command()), A_Err_NONE);
    EXPECT_EQ(host_.dialogs().size(), 1u);
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
        EXPECT_EQ(calls_of(host), expected);
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
    EXPECT_TRUE(host_calls().empty());
}

TEST_F(Registration, MissingReportSuiteAfterAFailureStillReturnsTheMissingSuiteError) {
    host_.fail_call("AEGP_GetUniqueCommand", 1, 5);
    host_.remove_suite("AEGP Utility Suite", 7);
    EXPECT_EQ(load_module(), 516);
    EXPECT_TRUE(host_.reports().empty());
    EXPECT_EQ(host_.outstanding().suites, 0);
}

}  // namespace
}  // namespace outfold::testing
