// The one alert after a run that names the pre-comp layers whose time
// remapping the copies did not take over; the run itself is the same as
// without time remapping.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using Names = std::vector<std::string>;

const std::string kOutro = "Outro \"B\\side\"";  // the scene's Outro, renamed

struct Outcome {
    A_Err error = A_Err_NONE;
    std::string project;  // every composition's layers and flags, time remapping left out
    std::vector<host::script::Alert> alerts;
    bool leaked = false;
};

model::Project scene_with(const std::string& fixture) {
    if (fixture.empty()) return scene();
    return host::io::load_project_file(std::filesystem::path(OUTFOLD_SOURCE_DIR) /
                                       "tests/plugin/fixtures" / (fixture + ".json"));
}

void prepare(model::Project& project, const Names& remapped) {
    for (auto& item : project.items) {
        if (!item.comp) continue;
        for (auto& layer : item.comp->layers) {
            if (layer.ownName == "Outro") layer.ownName = kOutro;
            for (const std::string& name : remapped)
                if (model::shown_name(project, layer) == name)
                    layer.flags |= model::flag::kTimeRemapping;
        }
    }
}

std::string layers_and_flags(const model::Project& project) {
    std::string text;
    for (const auto& item : project.items) {
        if (!item.comp) continue;
        text += item.name + ":";
        for (const auto& layer : item.comp->layers)
            text += " " + model::shown_name(project, layer) + "/" +
                    std::to_string(layer.flags & ~model::flag::kTimeRemapping);
        text += "\n";
    }
    return text;
}

// One run of the command in a host of its own (fresh settings, so the
// dialog starts the same way every time).
Outcome run_once(const std::string& fixture, const Names& remapped, const Names& selection,
                 const Names& user, const char* failingCall = nullptr) {
    outfold_test::TempDir settings("time-remap");
    host::Host host(host::HostOptions{settings.path()});
    model::Project project = scene_with(fixture);
    prepare(project, remapped);
    host.set_project(project);
    Outcome outcome;
    if (host.load_plugin(OUTFOLD_MODULE_PATH) != A_Err_NONE) {
        outcome.error = -1;
        return outcome;
    }
    select_layers(host.project(), "Main", selection);
    host.open_menu(AEGP_Menu_LAYER);
    host.set_user(user);
    if (failingCall != nullptr) host.fail_call(failingCall, 1, A_Err_GENERIC);
    outcome.error = host.click(host.find_command(kUsableText).value_or(0));
    outcome.project = layers_and_flags(host.project());
    outcome.alerts = host.alerts();
    outcome.leaked = !host.outstanding().none();
    return outcome;
}

std::vector<std::string> titles(const std::vector<host::script::Alert>& alerts) {
    std::vector<std::string> result;
    for (const auto& alert : alerts) result.push_back(alert.title);
    return result;
}

const std::string kOneIntro =
    "Time remapping was not carried over from the pre-comp layer \"Intro\": its extracted "
    "layers play at normal speed.";

TEST(TimeRemapAlert, NamesTheRemappedPrecompLayersOnceAfterTheOtherAlerts) {
    struct Case {
        const char* what;
        std::string fixture;  // empty: the command scene
        Names remapped;       // layers with time remapping switched on
        Names selection;      // selected in Main
        Names user;           // the dialog's actions
        std::string message;  // the "Outfold" alert; empty: none
    };
    const Case cases[] = {
        {"one remapped layer", "", {"Intro"}, {"Intro"}, {"ok"}, kOneIntro},
        {"two remapped layers, one alert",
         "",
         {"Intro", kOutro},
         {"Intro", kOutro, "Footer"},
         {"ok"},
         "Time remapping was not carried over from the pre-comp layers \"Intro\", \"" + kOutro +
             "\": their extracted layers play at normal speed."},
        {"the remapped layer is not selected", "", {"Intro"}, {kOutro}, {"ok"}, ""},
        {"no time remapping", "", {}, {"Intro"}, {"ok"}, ""},
        {"kept in the composition",
         "",
         {"Intro"},
         {"Intro"},
         {"click optionKeepInComp", "ok"},
         kOneIntro},
        {"cancelled", "", {"Intro"}, {"Intro"}, {"cancel"}, ""},
        {"after the source alert",
         "extract_users",
         {"Shared"},
         {"Shared"},
         {"click optionDeleteSource", "ok"},
         "Time remapping was not carried over from the pre-comp layer \"Shared\": its extracted "
         "layers play at normal speed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome plain = run_once(c.fixture, {}, c.selection, c.user);
        Outcome remapped = run_once(c.fixture, c.remapped, c.selection, c.user);
        EXPECT_EQ(remapped.error, A_Err_NONE);
        EXPECT_FALSE(remapped.leaked);
        EXPECT_EQ(remapped.project, plain.project) << "the run itself must not change";
        if (!c.message.empty()) {
            ASSERT_FALSE(remapped.alerts.empty());
            EXPECT_EQ(remapped.alerts.back().title, "Outfold");
            EXPECT_EQ(remapped.alerts.back().message, c.message);
            remapped.alerts.pop_back();
        }
        EXPECT_EQ(titles(remapped.alerts), titles(plain.alerts));
    }
}

TEST(TimeRemapAlert, AFailedRunShowsNoAlert) {
    const Outcome failed = run_once("", {"Intro"}, {"Intro"}, {"ok"}, "AEGP_DeleteLayer");
    EXPECT_EQ(failed.error, A_Err_GENERIC);
    EXPECT_TRUE(failed.alerts.empty());
    EXPECT_FALSE(failed.leaked);
}

}  // namespace
}  // namespace outfold::testing
