// The settings store on disk, and app.settings on top of it.
#include <fstream>

#include "script_bench.h"

namespace script_test {
namespace {

using script::PrefType;
using script::SettingsStore;
constexpr PrefType kMachine = PrefType::MachineSpecific;

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
        // The same section and key under another type is another setting.
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
    EXPECT_FALSE(
        second.has(PrefType::MachineIndependentRender, "fernhollow.outfold", "settingPrefixInput"));
    EXPECT_FALSE(second.has(kMachine, "fernhollow.outfold", "missing"));
    EXPECT_EQ(second.get(kMachine, "missing", "settingPrefixInput"), std::nullopt);
    const nlohmann::json doc = nlohmann::json::parse(read_file(second.file()));
    EXPECT_EQ(doc["PREF_Type_MACHINE_SPECIFIC"]["fernhollow.outfold"]["settingPrefixInput"],
              "pre_");
    // Only the settings file is left behind: no temporary file.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"settings.json"});
}

TEST(SettingsStore, AnUnreadableFileIsSetAsideAndBadEntriesSkipped) {
    TempDir dir;
    const std::string garbage = "{ this is not json";
    write_file(dir.path() / "settings.json", garbage);
    SettingsStore store(dir.path());
    EXPECT_FALSE(store.has(kMachine, "s", "k"));
    store.save(kMachine, "s", "k", "v");
    EXPECT_EQ(read_file(dir.path() / "settings.json.unreadable"), garbage);
    EXPECT_EQ(SettingsStore(dir.path()).get(kMachine, "s", "k"), "v");
    // Entries of the wrong shape are skipped, the good ones kept.
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
    value(
        "app.settings.saveSetting('fernhollow.outfold', 'settingPrefixInput', 'x_',\n"
        "                         PREFType.PREF_Type_MACHINE_SPECIFIC);\n"
        "app.settings.saveSetting('fernhollow.outfold', 'settingKeepInComp', true,\n"
        "                         PREFType.PREF_Type_MACHINE_SPECIFIC);");
    // Another store on the same folder, as in the next session of the host.
    EXPECT_EQ(SettingsStore(dir.path()).get(kMachine, "fernhollow.outfold", "settingKeepInComp"),
              "true");
    casePrefix =
        "var s = app.settings, S = 'fernhollow.outfold', M = PREFType.PREF_Type_MACHINE_SPECIFIC; ";
    expect_values({
        {"s.haveSetting(S, 'settingPrefixInput', M)", "true"},
        {"s.getSetting(S, 'settingPrefixInput', M)", "x_"},
        {"typeof s.getSetting(S, 'settingKeepInComp', M)", "string"},
        // Another preference type is another file.
        {"s.haveSetting(S, 'settingPrefixInput', PREFType.PREF_Type_MACHINE_INDEPENDENT)", "false"},
        // Left out, the type is the machine-specific one.
        {"s.getSetting(S, 'settingPrefixInput')", "x_"},
        {"s.haveSetting(S, 'never', M)", "false"},
        {"M === PREFType.PREF_Type_MACHINE_INDEPENDENT", "false"},
        {"Object.keys(PREFType).length", "7"},
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
