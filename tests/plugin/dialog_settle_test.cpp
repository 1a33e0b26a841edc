// The dialog run inside the host, in-process: what the plug-in does with each
// kind of answer, and what host failures around the script run leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/embedded_scripts.h"
#include "pipeline/options_dialog.h"
#include "plugin_host.h"
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

TEST_F(DialogInHost, MalformedAnswerWritesTheDebugLineAndNothingElse) {
    for (const std::string answer :
         {R"([true,false,false,"x",false])", R"([true)", "[[1],2,3,4,5,6]"}) {
        SCOPED_TRACE(answer);
        const auto linesBefore = host_.debug_lines().size();
        const DialogRun run = settle(answer);
        EXPECT_EQ(run.outcome, DialogOutcome::Malformed);
        EXPECT_EQ(run.error, A_Err_NONE);
        ASSERT_EQ(host_.debug_lines().size(), linesBefore + 1);
        EXPECT_EQ(host_.debug_lines().back(), "Unexpected number of tokens in returned JSON");
    }
    EXPECT_TRUE(host_.alerts().empty());
    EXPECT_TRUE(host_calls().empty());
}

TEST_F(DialogInHost, TooLongPrefixShowsTheAlertAndFreesItsResult) {
    const DialogRun run = settle(kTooLong);
    EXPECT_EQ(run.outcome, DialogOutcome::PrefixTooLong);
    EXPECT_EQ(run.error, A_Err_NONE);
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_EQ(host_.alerts()[0].message,
              "The prefix you set it too long. Please limit prefixes to 50 characters.");
    EXPECT_EQ(host_.alerts()[0].title, "Prefix Too Long");
    EXPECT_EQ(host_.scripts_run(), std::vector<std::string>{find_script("prefixTooLong.jsx")});
    EXPECT_TRUE(host_.debug_lines().empty());
    EXPECT_EQ(calls_to("AEGP_FreeMemHandle"), calls_to("AEGP_ExecuteScript"));
}

TEST_F(DialogInHost, FailingAlertScriptGivesItsError) {
    host_.fail_call("AEGP_ExecuteScript", 1, 21);
    const DialogRun run = settle(kTooLong);
    EXPECT_EQ(run.outcome, DialogOutcome::PrefixTooLong);
    EXPECT_EQ(run.error, 21);
    EXPECT_TRUE(host_.alerts().empty());
}

TEST_F(DialogInHost, AcceptedAndCancelledAnswersMakeNoHostCall) {
    EXPECT_EQ(settle("").outcome, DialogOutcome::Cancelled);
    const DialogRun run = settle(R"([false,true,false,"Hero",true,false])");
    EXPECT_EQ(run.outcome, DialogOutcome::Accepted);
    EXPECT_EQ(run.error, A_Err_NONE);
    EXPECT_STREQ(prefix_, "Hero");
    EXPECT_STREQ(options_.prefix, "Hero");
    EXPECT_TRUE(options_.deleteSource);
    EXPECT_TRUE(options_.prependPrecompName);
    EXPECT_TRUE(host_calls().empty());
    EXPECT_TRUE(host_.debug_lines().empty());
}

struct FailureCase {
    std::string operation;
    A_Err code;
};

TEST_F(DialogInHost, HostFailureAroundTheDialogCountsAsCancelWithItsError) {
    const std::vector<FailureCase> cases = {
        {"AEGP_ExecuteScript", 31},
        {"AEGP_LockMemHandle", 32},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.operation);
        host_.set_user({"ok"});
        host_.fail_call(c.operation, 1, c.code);
        const DialogRun run = run_dialog();
        host_.clear_faults();
        EXPECT_EQ(run.outcome, DialogOutcome::Cancelled);
        EXPECT_EQ(run.error, c.code);
        EXPECT_TRUE(host_.outstanding().none());
    }
}

TEST_F(DialogInHost, MissingMemorySuiteEndsTheDialogBeforeItRuns) {
    host_.remove_suite("AEGP Memory Suite", 1);
    const DialogRun run = run_dialog();
    EXPECT_EQ(run.outcome, DialogOutcome::Cancelled);
    EXPECT_EQ(run.error, 516);
    EXPECT_EQ(calls_to("AEGP_ExecuteScript"), 0u);
    EXPECT_EQ(host_.outstanding().suites, 0);
}

}  // namespace
}  // namespace outfold::testing
