// Scripts through host::Host, whose one engine keeps globals between runs and survives failures.
#include <fstream>
#include <memory>

#include "host.h"
#include "script_bench.h"

namespace script_test {
namespace {

class HostSession : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        restart();
    }
    void TearDown() override {
        EXPECT_TRUE(host_->outstanding().none());
        host_.reset();
        ScriptBench::TearDown();
    }
    void restart() {
        host_.reset();
        host_ = std::make_unique<host::Host>(host::HostOptions{dir.path()});
    }
    script::ScriptRun run(std::string_view source) override {
        return host_->run_script(std::string(source));
    }

    std::unique_ptr<host::Host> host_;
};

TEST_F(HostSession, SettingsOutliveTheHostAndGlobalsDoNot) {
    const std::string key = "'fernhollow.outfold', 'settingPrefixInput'";
    value("app.settings.saveSetting(" + key + ", 'kept_', PREFType.PREF_Type_MACHINE_SPECIFIC)");
    EXPECT_EQ(value("var count = 1; function twice(x) { return 2 * x; } count"), "1");
    EXPECT_EQ(value("count += 1; twice(count)"), "4");
    EXPECT_EQ(script::engine_stats().liveEngines, 1);
    for (const bool remove : {true, false, true, false}) {
        host_->set_remove_native_json(remove);
        EXPECT_EQ(value("typeof JSON"), "undefined");  // the application's engine has none
    }
    restart();  // a new engine over the same settings
    EXPECT_EQ(value("typeof count"), "undefined");
    EXPECT_EQ(value("app.settings.getSetting(" + key + ", PREFType.PREF_Type_MACHINE_SPECIFIC)"),
              "kept_");
}

TEST_F(HostSession, LeftOverActionsGoToTheNextRunAndAFailedRunLeavesTheEngineUsable) {
    host_->set_user({"set name Renamed", "ok", "left over"});
    EXPECT_EQ(value("var w = new Window('dialog');\n"
                    "var t = w.add('edittext', undefined, '', {name: 'name'});\n"
                    "w.add('button', undefined, 'OK'); w.show(); t.text"),
              "Renamed");
    EXPECT_EQ(run("new Window('dialog').show()").error,
              "Error: unknown user action \"left over\" (line 1)");
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

using script::PrefType;
using script::SettingsStore;
constexpr PrefType kMachine = PrefType::MachineSpecific;

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_file(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(SettingsStore, ValuesPersistInAReadableFileWrittenWhole) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "not" / "there" / "yet";
    const std::tuple<PrefType, const char*, const char*, const char*> entries[] = {
        {kMachine, "fernhollow.outfold", "settingPrefixInput", "pre_"},
        {kMachine, "fernhollow.outfold", "settingDeleteSource", "true"},
        {PrefType::MachineIndependent, "fernhollow.outfold", "settingPrefixInput", "other"},
        {PrefType::MachineSpecificPaint, "paint", "brush", ""},
        {kMachine, "text \xE2\x98\x85", "quote\"key", "line\none \\ two\ttab"},
    };
    {
        SettingsStore first(folder);
        EXPECT_FALSE(first.has(kMachine, "s", "k"));
        EXPECT_FALSE(std::filesystem::exists(folder)) << "reading creates nothing";
        for (const auto& [type, section, key, value] : entries)
            first.save(type, section, key, value);
        first.save(kMachine, "fernhollow.outfold", "settingDeleteSource", "false");
    }
    SettingsStore second(folder);
    for (const auto& [type, section, key, value] : entries) {
        EXPECT_TRUE(second.has(type, section, key)) << key;
        EXPECT_EQ(second.get(type, section, key),
                  std::string(key) == "settingDeleteSource" ? "false" : value);
    }
    EXPECT_FALSE(second.has(kMachine, "fernhollow.outfold", "missing"));
    EXPECT_EQ(second.get(kMachine, "missing", "settingPrefixInput"), std::nullopt);
    const nlohmann::json doc = nlohmann::json::parse(read_file(second.file()));
    EXPECT_EQ(doc["PREF_Type_MACHINE_SPECIFIC"]["fernhollow.outfold"]["settingPrefixInput"],
              "pre_");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"settings.json"}) << "no temporary file left";
}

TEST(SettingsStore, AnUnreadableFileIsSetAsideAndBadEntriesSkipped) {
    TempDir dir;
    const std::string garbage = "{ this is not json";
    write_file(dir.path() / "settings.json", garbage);
    SettingsStore store(dir.path());
    EXPECT_FALSE(store.has(kMachine, "s", "k"));
    store.save(kMachine, "s", "k", "v");
    store.save(kMachine, "s", "k", "w");  // sets aside once, not the good file next time
    EXPECT_EQ(read_file(dir.path() / "settings.json.unreadable"), garbage);
    EXPECT_EQ(SettingsStore(dir.path()).get(kMachine, "s", "k"), "w");
    write_file(dir.path() / "settings.json", R"({
        "PREF_Type_MACHINE_SPECIFIC": {"s": {"good": "yes", "number": 5, "list": []}, "t": 3},
        "NO_SUCH_TYPE": {"s": {"k": "v"}}})");
    SettingsStore shaped(dir.path());
    EXPECT_EQ(shaped.get(kMachine, "s", "good"), "yes");
    EXPECT_FALSE(shaped.has(kMachine, "s", "number"));
    EXPECT_FALSE(shaped.has(kMachine, "s", "list"));
}

class AppSettings : public ScriptBench {};

TEST_F(AppSettings, ScriptsSaveAndReadSettingsAcrossRuns) {
    casePrefix =
        "var s = app.settings, S = 'fernhollow.outfold', M = PREFType.PREF_Type_MACHINE_SPECIFIC; ";
    value(casePrefix +
          "s.saveSetting(S, 'settingPrefixInput', 'x_', M); "
          "s.saveSetting(S, 'settingKeepInComp', true, M)");
    expect_values({
        {"s.getSetting(S, 'settingKeepInComp', M) === 'true'", "true"},  // kept as text
        {"s.haveSetting(S, 'settingPrefixInput', PREFType.PREF_Type_MACHINE_INDEPENDENT)", "false"},
        {"s.getSetting(S, 'settingPrefixInput')", "x_"},  // the machine-specific type
        {"M === PREFType.PREF_Type_MACHINE_INDEPENDENT", "false"},
        {"PREFType.Extra = 1; var n = 0; for (var k in PREFType) ++n; n", "7"},
    });
    errorSuffix = " (line 1)";
    expect_errors({
        {"s.getSetting('s', 'missing', M)",
         "Error: getSetting(): there is no setting \"missing\" in \"s\""},
        {"s.haveSetting(5, 'k', M)", "TypeError: haveSetting(): the section must be a string"},
        {"s.saveSetting('s', null, 'v', M)", "TypeError: saveSetting(): the key must be a string"},
        {"s.haveSetting('s', 'k', 99)",
         "RangeError: haveSetting(): the preference type must be a PREFType constant"},
        {"s.haveSetting('s', 'k', 'PREF_Type_MACHINE_SPECIFIC')",
         "TypeError: haveSetting(): the preference type must be a number"},
    });
}

TEST_F(AppSettings, AFailedSaveKeepsNothingAndCanBeCaughtByTheScript) {
    write_file(dir.path() / "blocker", "");
    script::SettingsStore blocked(dir.path() / "blocker");
    EXPECT_THROW(blocked.save(kMachine, "s", "k", "v"), script::SettingsError);
    EXPECT_FALSE(blocked.has(kMachine, "s", "k"));
    script::ScriptHost host;
    host.settings = &blocked;
    host.alerts = &alerts;
    const script::ScriptRun result =
        script::run_script(host,
                           "try { app.settings.saveSetting('s', 'k', 'v'); 'saved' } "
                           "catch (err) { alert(err); 'caught' }");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.value, "caught");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(
        alerts[0].message.starts_with("Error: saveSetting(): cannot create the settings folder"))
        << alerts[0].message;
}

}  // namespace
}  // namespace script_test
