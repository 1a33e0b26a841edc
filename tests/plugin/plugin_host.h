// The simulated host with the built module loaded as the application loads
// it, and small helpers to set up projects and to read what happened.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "host.h"

namespace outfold::testing {

inline constexpr const char* kUsableText = "Outfold";
inline constexpr const char* kUnusableText = "Outfold | Select a pre-comp layer";

// A scene for menu and command tests (fixtures/outfold_scene.json):
//   "Intro Comp": "Title" (text), "Backdrop" (solid), "Logo" (solid)
//   "Outro Comp": "Credits" (text)
//   "Main": "Intro" (pre-comp of Intro Comp), "Caption" (text),
//           "Plate" (solid), "Outro" (pre-comp of Outro Comp, 3D), "Footer" (text);
//           Intro has a mask and an effect
//   a folder "Assets" and a footage item "Grey Solid"
// Main is active, nothing is selected.
host::model::Project scene();

// Selection helpers on the project's model (layers by shown name).
void select_layers(host::model::Project& project, const std::string& comp,
                   const std::vector<std::string>& layers);
void add_non_layer_selection(host::model::Project& project, const std::string& comp,
                             const std::string& layer);
void make_active(host::model::Project& project, const std::string& itemName);

// A readable account of the project (items, layers with their flags and
// parents, selections, active item) for before/after comparisons.
std::string describe(const host::model::Project& project);
// Shown names of a composition's layers, top first, and of its selected layers.
std::vector<std::string> layers_of(const host::model::Project& project, const std::string& comp);
std::vector<std::string> selected_in(const host::model::Project& project, const std::string& comp);

class PluginHostTest : public ::testing::Test {
protected:
    PluginHostTest();
    // Nothing the plug-in obtained may be left, and no undo group open.
    void TearDown() override;

    // Loads Outfold.aex from the build as the application would and finds
    // the command it inserted.
    A_Err load_module();
    AEGP_Command command() const { return command_; }

    // The scene every end-to-end test starts from (fixtures/<name>.json),
    // with the module loaded and its command found.
    void open_scene(const std::string& fixture = "outfold_scene");
    // Selects layers of Main, lets the menu settle as the user would see it,
    // keeps the project in before_, and runs the command with the scripted
    // user's actions (`beforeClick` may plant faults).
    A_Err run(
        const std::vector<std::string>& selection, std::vector<std::string> user,
        const std::function<void()>& beforeClick = [] {});
    // The project equals before_ (ids are never handed out twice, so the next
    // id may have moved on).
    void expect_as_before();
    // One undo gives back the project as it was before the run.
    void expect_undo_restores();
    std::vector<std::string> undo_names() const;
    const host::model::Layer& layer(const std::string& comp, const std::string& name);

    // Host operations called since the trace was cleared, without the suite
    // bookkeeping (AcquireSuite / ReleaseSuite).
    std::vector<std::string> host_calls() const;

    // A folder of its own: test programs of other trees may run at the same time.
    outfold_test::TempDir settings_{"settings"};
    const std::filesystem::path settingsDir_ = settings_.path();
    host::Host host_;
    AEGP_Command command_ = 0;
    host::model::Project before_;
};

}  // namespace outfold::testing
