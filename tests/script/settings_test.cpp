// The settings store on disk, and app.settings on top of it.
#include <fstream>

#include "script_bench.h"

namespace script_test {
namespace {

using script::PrefType;
using script::SettingsStore;

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

struct Entry {
    PrefType type;
    const char* section;
    const char* key;
    const char* value;
};

const Entry kEntries[] = {
    {PrefType::MachineSpecific, "fernhollow.outfold", "settingPrefixInput", "pre_"},
    {PrefType::MachineSpecific, "fernhollow.outfold", "settingDeleteSource", "true"},
    // The same section and key under another type is another setting.
    {PrefType::MachineIndependent, "fernhollow.outfold", "settingPrefixInput", "other"},
    {PrefType::MachineSpecificPaint, "paint", "brush", ""},
    {PrefType::MachineSpecific, "text \xE2\x98\x85", "quote\"key", "line\none \\ two\ttab"},
};

TEST(SettingsStore, ValuesPersistAcrossStores) {
    TempDir dir;
    {
        SettingsStore first(dir.path());
        for (const Entry& e : kEntries) first.save(e.type, e.section, e.key, e.value);
        first.save(PrefType::MachineSpecific, "fernhollow.outfold", "settingDeleteSource", "false");
    }
    SettingsStore second(dir.path());
    for (const Entry& e : kEntries) {
        const std::string expected =
            std::string(e.key) == "settingDeleteSource" ? "false" : e.value;
        EXPECT_TRUE(second.has(e.type, e.section, e.key)) << e.key;
        EXPECT_EQ(second.get(e.type, e.section, e.key), expected) << e.key;
    }
    EXPECT_FALSE(
        second.has(PrefType::MachineIndependentRender, "fernhollow.outfold", "settingPrefixInput"));
    EXPECT_FALSE(second.has(PrefType::MachineSpecific, "fernhollow.outfold", "missing"));
    EXPECT_EQ(second.get(PrefType::MachineSpecific, "missing", "settingPrefixInput"), std::nullopt);
}

TEST(SettingsStore, TheFileIsReadableJsonWrittenWhole) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "not" / "there" / "yet";
    SettingsStore store(folder);
    EXPECT_FALSE(store.has(PrefType::MachineSpecific, "s", "k"));
    EXPECT_FALSE(std::filesystem::exists(folder)) << "reading creates nothing";
    store.save(PrefType::MachineSpecific, "s", "k", "v");
    const nlohmann::json doc = nlohmann::json::parse(read_file(store.file()));
    EXPECT_EQ(doc["PREF_Type_MACHINE_SPECIFIC"]["s"]["k"], "v");
    // Only the settings file is left behind: no temporary file.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"settings.json"});
}

TEST(SettingsStore, AnUnreadableFileIsSetAsideNotLost) {
    TempDir dir;
    const std::string garbage = "{ this is not json";
    write_file(dir.path() / "settings.json", garbage);
    SettingsStore store(dir.path());
    EXPECT_FALSE(store.has(PrefType::MachineSpecific, "s", "k"));
    store.save(PrefType::MachineSpecific, "s", "k", "v");
    EXPECT_EQ(read_file(dir.path() / "settings.json.unreadable"), garbage);
    SettingsStore again(dir.path());
    EXPECT_EQ(again.get(PrefType::MachineSpecific, "s", "k"), "v");
}

TEST(SettingsStore, EntriesOfTheWrongShapeAreSkipped) {
    TempDir dir;
    write_file(dir.path() / "settings.json", R"({
        "PREF_Type_MACHINE_SPECIFIC": {"s": {"good": "yes", "number": 5, "list": []}, "t": 3},
        "NO_SUCH_TYPE": {"s": {"k": "v"}}})");
    SettingsStore store(dir.path());
    EXPECT_EQ(store.get(PrefType::MachineSpecific, "s", "good"), "yes");
    EXPECT_FALSE(store.has(PrefType::MachineSpecific, "s", "number"));
    EXPECT_FALSE(store.has(PrefType::MachineSpecific, "s", "list"));
}

TEST(SettingsStore, AFailedSaveKeepsNothing) {
    TempDir dir;
    write_file(dir.path() / "blocker", "a file where the folder should be");
    SettingsStore store(dir.path() / "blocker");
    EXPECT_THROW(store.save(PrefType::MachineSpecific, "s", "k", "v"), script::SettingsError);
    EXPECT_FALSE(store.has(PrefType::MachineSpecific, "s", "k"));
}

class AppSettings : public ScriptBench {};

TEST_F(AppSettings, ScriptsSaveAndReadSettingsAcrossRuns) {
    value(
        "app.settings.saveSetting('fernhollow.outfold', 'settingPrefixInput', 'x_',\n"
        "                         PREFType.PREF_Type_MACHINE_SPECIFIC);\n"
        "app.settings.saveSetting('fernhollow.outfold', 'settingKeepInComp', true,\n"
        "                         PREFType.PREF_Type_MACHINE_SPECIFIC);");
    // Another store on the same folder, as in the next session of the host.
    SettingsStore nextSession(dir.path());
    EXPECT_EQ(nextSession.get(PrefType::MachineSpecific, "fernhollow.outfold", "settingKeepInComp"),
              "true");
    // Each case runs after these shorthands.
    const std::string shorthands =
        "var s = app.settings, S = 'fernhollow.outfold', M = PREFType.PREF_Type_MACHINE_SPECIFIC; ";
    const std::pair<const char*, const char*> cases[] = {
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
    };
    for (const auto& [source, expected] : cases)
        EXPECT_EQ(value(shorthands + source), expected) << source;
}

TEST_F(AppSettings, MisuseIsAScriptError) {
    const std::pair<const char*, const char*> cases[] = {
        {"app.settings.getSetting('s', 'missing', PREFType.PREF_Type_MACHINE_SPECIFIC)",
         "Error: getSetting(): there is no setting \"missing\" in \"s\" (line 1)"},
        {"app.settings.haveSetting(5, 'k', PREFType.PREF_Type_MACHINE_SPECIFIC)",
         "TypeError: haveSetting(): the section must be a string (line 1)"},
        {"app.settings.saveSetting('s', null, 'v', PREFType.PREF_Type_MACHINE_SPECIFIC)",
         "TypeError: saveSetting(): the key must be a string (line 1)"},
        {"app.settings.haveSetting('s', 'k', 99)",
         "RangeError: haveSetting(): the preference type must be a PREFType constant (line 1)"},
        {"app.settings.haveSetting('s', 'k', 'PREF_Type_MACHINE_SPECIFIC')",
         "TypeError: haveSetting(): the preference type must be a number (line 1)"},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(error(source), expected) << source;
}

TEST_F(AppSettings, AFailedSaveCanBeCaughtByTheScript) {
    write_file(dir.path() / "blocker", "");
    script::SettingsStore blocked(dir.path() / "blocker");
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
