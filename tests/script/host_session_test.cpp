// The script service as the host offers it: through host::Host, with the
// host's own project, settings folder, scripted user and records. One engine
// serves a Host: globals persist from one run to the next, and a run that
// fails leaves the engine ready for the next run.
#include <memory>

#include "host.h"
#include "script_bench.h"

namespace script_test {
namespace {

class HostSession : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = script::engine_stats();
        restart();
    }
    void TearDown() override {
        EXPECT_TRUE(host_->outstanding().none());
        host_.reset();
        EXPECT_EQ(script::engine_stats().liveEngines, 0) << "the Host's engine outlived it";
        EXPECT_EQ(script::engine_stats().bytesNotReturned, before_.bytesNotReturned);
    }
    // The next session of the host, on the same settings folder.
    void restart() {
        host_.reset();
        host_ = std::make_unique<host::Host>(host::HostOptions{dir.path()});
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

TEST_F(HostSession, SettingsOutliveTheHostAndGlobalsDoNot) {
    value(
        "app.settings.saveSetting('fernhollow.outfold', 'settingPrefixInput', 'kept_',\n"
        "                         PREFType.PREF_Type_MACHINE_SPECIFIC); 'saved'");
    EXPECT_EQ(value("var count = 1; function twice(x) { return 2 * x; } count"), "1");
    EXPECT_EQ(value("count += 1; twice(count)"), "4");
    EXPECT_EQ(script::engine_stats().liveEngines, 1);
    EXPECT_EQ(value("typeof app.project.item + typeof Window"), "functionfunction");
    // Each run sees the native JSON or none, as asked.
    for (const bool remove : {true, false, true, false}) {
        host_->set_remove_native_json(remove);
        EXPECT_EQ(value("typeof JSON == 'object' ? JSON.stringify([1]) : typeof JSON"),
                  remove ? "undefined" : "[1]");
    }
    // The next Host starts a new engine, over the same settings.
    restart();
    EXPECT_EQ(value("typeof count"), "undefined");
    EXPECT_EQ(value("app.settings.getSetting('fernhollow.outfold', 'settingPrefixInput',\n"
                    "                        PREFType.PREF_Type_MACHINE_SPECIFIC)"),
              "kept_");
}

TEST_F(HostSession, ScriptsWorkTheHostsProjectAndUser) {
    host_->load_project(std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json");
    host_->set_user({"set name Renamed", "ok", "left over"});
    EXPECT_EQ(value("var w = new Window('dialog', 'Rename');\n"
                    "var field = w.add('edittext', undefined, app.project.activeItem.layer(1).name,"
                    " {name: 'name'});\n"
                    "w.add('button', undefined, 'OK');\n"
                    "if (w.show() == 1) app.project.activeItem.layer(1).name = field.text;\n"
                    "alert('done', 'Rename');\n"
                    "app.project.activeItem.layer(1).name"),
              "Renamed");
    const model::Item* main = model::find_item(host_->project(), host_->project().activeItem);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->comp->layers.at(0).ownName, "Renamed");
    ASSERT_EQ(host_->dialogs().size(), 1u);
    EXPECT_EQ(host_->dialogs()[0].find("name")->text, "Renamed");
    ASSERT_EQ(host_->alerts().size(), 1u);
    EXPECT_EQ(host_->alerts()[0].title, "Rename");
    // The action the dialog did not use waits for the next dialog.
    EXPECT_EQ(run("new Window('dialog').show()").error,
              "Error: unknown user action \"left over\" (line 1)");
}

TEST_F(HostSession, AFailedRunLeavesTheEngineUsable) {
    // The scripted user, the script, and a part of the error text.
    const std::tuple<Names, const char*, const char*> failing[] = {
        {{}, "throw new Error('boom')", "Error: boom"},
        {{}, "var = ;", "SyntaxError"},
        {{}, "app.project.item(7)", "RangeError"},  // raised by the host
        {{"click go"},                              // inside a dialog's click handler
         "var w = new Window('dialog'); var b = w.add('button', undefined, 'Go', {name: 'go'});\n"
         "b.onClick = function () { null.x; }; w.show()",
         "TypeError"},
        {{"wave"}, "new Window('dialog').show()", "unknown user action"},
        {{}, "(function () { var a = []; for (;;) a.push(new Uint8Array(1 << 24)); })()", "Error"},
        {{}, "(function f() { return f() + 1; })()", "RangeError"},
    };
    for (const auto& [user, script, error] : failing) {
        SCOPED_TRACE(script);
        value("var marker = 'kept';");
        host_->set_user(user);
        const script::ScriptRun failed = run(script);
        EXPECT_FALSE(failed.ok);
        EXPECT_NE(failed.error.find(error), std::string::npos) << failed.error;
        host_->set_user({"close"});
        EXPECT_EQ(value("marker + app.project.numItems + new Window('dialog').show()"), "kept02");
    }
}

}  // namespace
}  // namespace script_test
