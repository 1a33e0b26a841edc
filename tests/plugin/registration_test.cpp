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
    return std::filesystem::path(::testing::TempDir()) / "outfold-registration-settings";
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

struct FailureCase {
    std::string operation;
    std::size_t callsMade;  // registration calls reached, the failing one included
    bool commandInMenu;
};

TEST(RegistrationFailure, FirstFailingCallStopsTheRestReportsOnceAndIsReturned) {
    const std::vector<FailureCase> cases = {
        {"AEGP_GetUniqueCommand", 1, false},
        {"AEGP_InsertMenuCommand", 2, false},
        {"AEGP_RegisterCommandHook", 3, true},
        {"AEGP_RegisterUpdateMenuHook", 4, true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.operation);
        host::Host host(host::HostOptions{case_settings_dir()});
        host.fail_call(c.operation, 1, 1234);
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), 1234);

        std::vector<std::string> expected(kRegistrationCalls.begin(),
                                          kRegistrationCalls.begin() + long(c.callsMade));
        expected.push_back("AEGP_ReportInfo");
        EXPECT_EQ(calls_of(host), expected);
        EXPECT_EQ(host.reports(),
                  std::vector<std::string>{"Outfold: Problems encountered during outfold."});
        EXPECT_EQ(host.find_command(kUnusableText).has_value(), c.commandInMenu);
        EXPECT_TRUE(host.outstanding().none());
        EXPECT_EQ(host.outstanding().suites, 0);
    }
}

TEST_F(Registration, ReportsOwnErrorIsNotTheResult) {
    host_.fail_call("AEGP_InsertMenuCommand", 1, 7);
    host_.fail_call("AEGP_ReportInfo", 1, 9);
    EXPECT_EQ(load_module(), 7);
    EXPECT_EQ(calls_to("AEGP_ReportInfo"), 1u);
    EXPECT_EQ(calls_to("AEGP_RegisterCommandHook"), 0u);
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

struct MissingSuiteCase {
    std::string suite;
    A_long version;
    std::vector<std::string> callsMade;
};

TEST(RegistrationFailure, MissingSuiteReturnsItsErrorWithoutReportAndReleasesEverything) {
    const std::vector<MissingSuiteCase> cases = {
        {"AEGP Command Suite", 1, {}},
        {"AEGP Register Suite", 6, {"AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand"}},
    };
    for (const MissingSuiteCase& c : cases) {
        SCOPED_TRACE(c.suite);
        host::Host host(host::HostOptions{case_settings_dir()});
        host.remove_suite(c.suite, c.version);
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), 516);
        EXPECT_EQ(calls_of(host), c.callsMade);
        EXPECT_TRUE(host.reports().empty());
        EXPECT_EQ(host.outstanding().suites, 0);
        EXPECT_TRUE(host.outstanding().none());
    }
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
