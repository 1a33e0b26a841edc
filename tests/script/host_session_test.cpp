// The script service as the host offers it: through host::Host, with the
// host's own project, settings folder, scripted user and records.
#include "host.h"
#include "script_bench.h"

namespace script_test {
namespace {

class HostSession : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(script::engine_stats().liveEngines, 0); }
    host::HostOptions options() {
        host::HostOptions o;
        o.settingsDir = dir.path();
        return o;
    }
    TempDir dir;
};

TEST_F(HostSession, SettingsOutliveTheHost) {
    {
        host::Host first(options());
        const script::ScriptRun saved = first.run_script(
            "app.settings.saveSetting('fernhollow.outfold', 'settingPrefixInput', 'kept_',\n"
            "                         PREFType.PREF_Type_MACHINE_SPECIFIC); 'saved'");
        ASSERT_TRUE(saved.ok) << saved.error;
    }
    host::Host second(options());
    const script::ScriptRun read = second.run_script(
        "app.settings.getSetting('fernhollow.outfold', 'settingPrefixInput',\n"
        "                        PREFType.PREF_Type_MACHINE_SPECIFIC)");
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.value, "kept_");
    EXPECT_TRUE(second.outstanding().none());
}

TEST_F(HostSession, ScriptsWorkTheHostsProjectAndUser) {
    host::Host session(options());
    session.load_project(std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json");
    session.set_user({"set name Renamed", "ok", "left over"});
    const script::ScriptRun run = session.run_script(
        "var w = new Window('dialog', 'Rename');\n"
        "var field = w.add('edittext', undefined, app.project.activeItem.layer(1).name,"
        " {name: 'name'});\n"
        "w.add('button', undefined, 'OK');\n"
        "if (w.show() == 1) app.project.activeItem.layer(1).name = field.text;\n"
        "alert('done', 'Rename');\n"
        "app.project.activeItem.layer(1).name");
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.value, "Renamed");
    const model::Item* main = model::find_item(session.project(), session.project().activeItem);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->comp->layers.at(0).ownName, "Renamed");
    ASSERT_EQ(session.dialogs().size(), 1u);
    EXPECT_EQ(session.dialogs()[0].find("name")->text, "Renamed");
    ASSERT_EQ(session.alerts().size(), 1u);
    EXPECT_EQ(session.alerts()[0].title, "Rename");
    // The action the dialog did not use waits for the next dialog.
    const script::ScriptRun next = session.run_script("new Window('dialog').show()");
    EXPECT_EQ(next.error, "Error: unknown user action \"left over\" (line 1)");
    EXPECT_TRUE(session.outstanding().none());
}

}  // namespace
}  // namespace script_test
