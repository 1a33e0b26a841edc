// AEGP_ExecuteScript: scripts run in the real engine, their value or error
// text comes back in memory handles the caller owns.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace {

using host_test::HostTest;

class ExecuteScript : public HostTest {};

TEST_F(ExecuteScript, ValuesAndErrorsComeBackAsText) {
    struct Case {
        std::string script;
        A_Boolean platform;
        A_Err err;
        std::string result;    // value on success
        std::string errorHas;  // part of the error text on failure
    };
    const Case cases[] = {
        {"1 + 2", 0, A_Err_NONE, "3", ""},
        {"var s = 'a'; s + 'b'", 0, A_Err_NONE, "ab", ""},
        {"'caf\xC3\xA9'", 0, A_Err_NONE, "caf\xC3\xA9", ""},
        // The platform's 8-bit encoding is read as Latin-1.
        {"'caf\xE9'", 1, A_Err_NONE, "caf\xC3\xA9", ""},
        {"undefined", 0, A_Err_NONE, "", ""},
        {"throw new Error('boom')", 0, A_Err_GENERIC, "", "boom"},
        {"this is not a script", 0, A_Err_GENERIC, "", "SyntaxError"},
    };
    for (const Case& c : cases) {
        AEGP_MemHandle result = nullptr, error = nullptr;
        EXPECT_EQ(
            utility().AEGP_ExecuteScript(plugin_, c.script.c_str(), c.platform, &result, &error),
            c.err)
            << c.script;
        // Exactly one handle comes back: the value, or the error text.
        EXPECT_EQ(result == nullptr, c.err != A_Err_NONE) << c.script;
        EXPECT_EQ(error == nullptr, c.err == A_Err_NONE) << c.script;
        EXPECT_EQ(take_text(result), c.result) << c.script;
        const std::string text = take_text(error);
        EXPECT_NE(text.find(c.errorHas), std::string::npos) << c.script << ": " << text;
    }
    ASSERT_EQ(host().scripts_run().size(), std::size(cases));
    EXPECT_EQ(host().scripts_run()[3], "'caf\xC3\xA9'") << "recorded as it ran";
}

TEST_F(ExecuteScript, HandlesAreOnlyMadeWhenAskedFor) {
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, "42", 0, nullptr, nullptr), A_Err_NONE);
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, "x.y.z", 0, nullptr, nullptr), A_Err_GENERIC);
    EXPECT_EQ(host().outstanding().memHandles, 0);
    AEGP_MemHandle result = nullptr;
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, "x.y.z", 0, &result, nullptr), A_Err_GENERIC);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, nullptr, 0, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_ + 1, "1", 0, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(host().scripts_run().size(), 3u) << "refused calls run nothing";
}

TEST_F(ExecuteScript, ScriptsSeeTheHostsProject) {
    load("basic.json");
    AEGP_MemHandle result = nullptr;
    OK(utility().AEGP_ExecuteScript(plugin_, "app.project.numItems", 0, &result, nullptr));
    EXPECT_EQ(take_text(result), std::to_string(project().items.size()));
    EXPECT_EQ(host().run_script("app.project.item(6).name").value, "Main");
}

}  // namespace
