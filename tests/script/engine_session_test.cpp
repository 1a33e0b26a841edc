// One script engine serves a Host: globals persist from one run to the next,
// and a run that fails leaves the engine ready for the next run.
#include <memory>

#include "host.h"
#include "script_bench.h"

namespace script_test {
namespace {

class EngineSession : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = script::engine_stats();
        host_ = std::make_unique<host::Host>(options());
    }
    void TearDown() override {
        host_.reset();
        EXPECT_EQ(script::engine_stats().liveEngines, 0) << "the Host's engine outlived it";
        EXPECT_EQ(script::engine_stats().bytesNotReturned, before_.bytesNotReturned);
    }
    host::HostOptions options() {
        host::HostOptions o;
        o.settingsDir = dir.path();
        return o;
    }
    script::ScriptRun run(const std::string& source) { return host_->run_script(source); }
    std::string value(const std::string& source) {
        const script::ScriptRun result = run(source);
        EXPECT_TRUE(result.ok) << source << ": " << result.error;
        return result.value;
    }

    TempDir dir;
    script::EngineStats before_;
    std::unique_ptr<host::Host> host_;
};

TEST_F(EngineSession, GlobalsPersistInTheHostsOneEngine) {
    EXPECT_EQ(value("var count = 1; function twice(x) { return 2 * x; } count"), "1");
    EXPECT_EQ(value("count += 1; twice(count)"), "4");
    EXPECT_EQ(script::engine_stats().liveEngines, 1);
    EXPECT_EQ(value("typeof app.project.item + typeof Window"), "functionfunction");
    // The next Host starts a new engine.
    host_.reset();
    host_ = std::make_unique<host::Host>(options());
    EXPECT_EQ(value("typeof count"), "undefined");
}

struct FailingRun {
    const char* name;
    std::vector<std::string> user;
    const char* script;
    const char* error;  // a part of the error text
};

const std::vector<FailingRun> kFailingRuns = {
    {"thrown error", {}, "throw new Error('boom')", "Error: boom"},
    {"syntax error", {}, "var = ;", "SyntaxError"},
    {"error raised by the host", {}, "app.project.item(7)", "RangeError"},
    {"error inside a dialog's click handler",
     {"click go"},
     "var w = new Window('dialog'); var b = w.add('button', undefined, 'Go', {name: 'go'});\n"
     "b.onClick = function () { null.x; }; w.show()",
     "TypeError"},
    {"unknown user action", {"wave"}, "new Window('dialog').show()", "unknown user action"},
    {"memory exhausted",
     {},
     "(function () { var a = []; for (;;) a.push(new Uint8Array(1 << 24)); })()",
     "Error"},
    {"run away recursion", {}, "(function f() { return f() + 1; })()", "RangeError"},
};

TEST_F(EngineSession, AFailedRunLeavesTheEngineUsable) {
    for (const FailingRun& failing : kFailingRuns) {
        value("var marker = 'kept';");
        host_->set_user(failing.user);
        const script::ScriptRun failed = run(failing.script);
        EXPECT_FALSE(failed.ok) << failing.name;
        EXPECT_NE(failed.error.find(failing.error), std::string::npos)
            << failing.name << ": " << failed.error;
        host_->set_user({"close"});
        EXPECT_EQ(value("marker + app.project.numItems + new Window('dialog').show()"), "kept02")
            << failing.name;
    }
}

TEST_F(EngineSession, EachRunSeesTheNativeJsonOrNoneAsAsked) {
    const char* probe = "typeof JSON + (typeof JSON == 'object' ? JSON.stringify([1]) : '')";
    for (const bool remove : {true, false, true, false}) {
        host_->set_remove_native_json(remove);
        EXPECT_EQ(value(probe), remove ? "undefined" : "object[1]") << remove;
    }
}

}  // namespace
}  // namespace script_test
