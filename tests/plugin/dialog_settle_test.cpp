// The dialog run inside the host, in-process: what the plug-in does with each
// kind of answer, and what host failures around the script run leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/embedded_scripts.h"
#include "pipeline/options_dialog.h"
#include "plugin_host.h"
#include "script/scriptui.h"
#include "shell/entry_point.h"
#include "shell/globals.h"

namespace outfold::testing {
namespace {

class DialogInHost : public PluginHostTest {
protected:
    void SetUp() override {
        ASSERT_EQ(host_.load_plugin(&EntryPointFunc), A_Err_NONE);
        host_.clear_trace();
    }

    DialogRun settle(const std::string& answer) {
        const PluginInfo info{host_.basic_suite(), gPluginId, &options_};
        return settle_dialog_answer(&info, answer, &options_, prefix_);
    }

    DialogRun run_dialog() {
        const PluginInfo info{host_.basic_suite(), gPluginId, &options_};
        return run_options_dialog(&info, &options_, prefix_);
    }

    ExtractOptions options_{};
    char prefix_[kMaxPrefixBytes + 1] = {};
};

const std::string kTooLong = R"([true,false,false,")" + std::string(51, 'p') + R"(",false,false])";

// Each kind of answer: a malformed one writes the debug line, a too long
// prefix shows the alert (whose failure is the result); nothing else is shown.
TEST_F(DialogInHost, WhatEachAnswerLeads) {
    struct Case {
        std::string answer;
        A_Err alertFails;
        DialogOutcome outcome;
        A_Err error;
        std::size_t alerts, debugLines;
    };
    const Case cases[] = {
        {R"([true,false,false,"x",false])", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {R"([true)", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {"[[1],2,3,4,5,6]", 0, DialogOutcome::Malformed, A_Err_NONE, 0, 1},
        {kTooLong, 0, DialogOutcome::PrefixTooLong, A_Err_NONE, 1, 0},
        {kTooLong, 21, DialogOutcome::PrefixTooLong, 21, 0, 0},
        {"", 0, DialogOutcome::Cancelled, A_Err_NONE, 0, 0},
        {R"([false,true,false,"Hero",true,false])", 0, DialogOutcome::Accepted, A_Err_NONE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const std::size_t alerts = host_.alerts().size(), lines = host_.debug_lines().size();
        if (c.alertFails != 0) host_.fail_call("AEGP_ExecuteScript", 1, c.alertFails);
        const DialogRun run = settle(c.answer);
        host_.clear_faults();
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.error, c.error);
        EXPECT_EQ(host_.alerts().size() - alerts, c.alerts);
        EXPECT_EQ(host_.debug_lines().size() - lines, c.debugLines);
    }
    EXPECT_EQ(host_.debug_lines().back(), "Unexpected number of tokens in returned JSON");
    EXPECT_EQ(host_.alerts().back().message,
              "The prefix you set it too long. Please limit prefixes to 50 characters.");
    EXPECT_EQ(host_.alerts().back().title, "Prefix Too Long");
    EXPECT_EQ(host_.scripts_run().front(), find_script("prefixTooLong.jsx"));
    EXPECT_STREQ(prefix_, "Hero");
    EXPECT_STREQ(options_.prefix, "Hero");
    EXPECT_TRUE(options_.deleteSource);
    EXPECT_TRUE(options_.prependPrecompName);
}

// A failure around the dialog, or a missing suite before it, counts as a
// cancel with its error.
TEST_F(DialogInHost, HostFailureAroundTheDialogCountsAsCancelWithItsError) {
    for (const auto& [operation, code] :
         {std::pair{"AEGP_ExecuteScript", 31}, {"AEGP_LockMemHandle", 32}, {"", 516}}) {
        SCOPED_TRACE(operation);
        host_.set_user({"ok"});
        if (code == 516) {
            host_.remove_suite("AEGP Memory Suite", 1);
        } else {
            host_.fail_call(operation, 1, code);
        }
        const DialogRun run = run_dialog();
        host_.clear_faults();
        EXPECT_EQ(run.outcome, DialogOutcome::Cancelled);
        EXPECT_EQ(run.error, code);
        EXPECT_TRUE(host_.outstanding().none());
    }
    EXPECT_EQ(host_.dialogs().size(), 1u);  // the one whose answer could not be read
}

}  // namespace
}  // namespace outfold::testing
