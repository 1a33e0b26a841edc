// The host with the plug-in as a module (PluginHostTest) or in-process by its entry point.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ranges>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/outstanding.h"
#include "common/temp_dir.h"
#include "host.h"
#include "model/project_ops.h"
#include "shell/plugin_info.h"

namespace outfold::testing {
template <class T>
T& found(T* thing, const std::string& missing) {
    if (thing == nullptr) throw std::runtime_error(missing);
    return *thing;
}
std::string fixture_path(const std::string& name);  // tests/plugin/fixtures/<name>.json
// A generator's seed: the environment variable's, to explore other cases, or the usual one.
std::uint32_t seed_from(const char* variable, std::uint32_t usual);

const host::model::Item& item_named(const host::model::Project& project, const std::string& name);
host::model::Item& item_named(host::model::Project& project, const std::string& name);
const host::model::Composition& comp_named(const host::model::Project& project,
                                           const std::string& name);
const host::model::Layer* layer_named(const host::model::Project& project, const std::string& comp,
                                      const std::string& name);
// Each layer of the composition, top first, as "name>parent" or "name".
std::vector<std::string> links_in(const host::model::Project& project, const std::string& comp);
std::vector<std::string> layer_names(const host::model::Project& project, const std::string& comp,
                                     bool selectedOnly = false);
using outfold_test::describe;  // of what the host counts as not given back
// Calls that give back (or close an undo group): the plug-in can but ask once.
extern const std::set<std::string> kReleases;

class ExtractTest : public ::testing::Test {
protected:
    ExtractTest();
    void TearDown() override;  // every step must give back what it obtained

    void load(const std::string& fixture);
    const PluginInfo* info() {
        info_ = {host_.basic_suite(), pluginId_, &options_};
        return &info_;
    }

    AEGP_ItemH item_handle(const std::string& itemName);
    AEGP_CompH comp_handle(const std::string& compName);
    AEGP_LayerH layer_handle(const std::string& compName, A_long index);
    AEGP_LayerH layer_handle(const std::string& compName, const std::string& layerName);

    // Disposed by the fixture.
    AEGP_Collection2H new_collection(const std::vector<AEGP_CollectionItemV2>& items = {});
    std::vector<std::string> collection_layer_names(AEGP_Collection2H collection);
    static AEGP_CollectionItemV2 item_of(
        AEGP_LayerH layer, AEGP_CollectionItemType type = AEGP_CollectionItemType_LAYER) {
        return {type, {{layer}}, nullptr};  // a mask's or an effect's layer is where a layer's is
    }

    host::model::Project& project() { return host_.project(); }
    const host::model::Layer& layer_at(const std::string& comp, A_long index) {
        return comp_named(project(), comp).layers.at(static_cast<std::size_t>(index));
    }
    // The step, clean and with each non-release call failing: nothing kept, its error returned.
    void sweep(const std::function<std::function<A_Err()>()>& prepare);

    template <class Step>  // an operation "" fails nothing
    auto failing(const char* operation, int nth, A_Err err, Step step) {
        host_.fail_call(operation, nth, err);
        const auto result = step();
        host_.clear_faults();
        return result;
    }

    host::Host host_;
    AEGP_PluginID pluginId_ = 0;
    ExtractOptions options_{};

private:
    PluginInfo info_{};
    std::vector<AEGP_Collection2H> collections_;
};

inline constexpr const char* kUsableText = "Outfold";
inline constexpr const char* kUnusableText = "Outfold | Select a pre-comp layer";

// fixtures/outfold_scene.json: "Main" (active, nothing selected) shows "Intro" and "Outro".
host::model::Project scene();

void select_layers(host::model::Project& project, const std::string& comp,
                   const std::vector<std::string>& layers);
void make_active(host::model::Project& project, const std::string& itemName);  // "": none
// The project as its file has it, but for the next id (undo leaves it as is).
std::string describe(const host::model::Project& project);
template <class Text>
std::vector<Text> split(const Text& text, typename Text::value_type separator) {
    std::vector<Text> pieces;
    for (const auto piece : std::views::split(text, separator)) {
        pieces.emplace_back(piece.begin(), piece.end());
    }
    return pieces;
}
std::vector<std::string> host_calls(const host::Host& host);

class PluginHostTest : public ::testing::Test {
protected:
    PluginHostTest();
    void TearDown() override;  // nothing obtained may be left, no undo group open

    A_Err load_module();

    void open_scene(const std::string& fixture = "outfold_scene");
    A_Err run(
        const std::vector<std::string>& selection, std::vector<std::string> user,
        const std::function<void()>& beforeClick = [] {});
    void expect_as_before();      // the project equals before_ (but for the next id)
    void expect_undo_restores();  // one undo gives back the project as before the run
    const host::model::Layer& layer(const std::string& comp, const std::string& name);

    outfold_test::TempDir settings_{"settings"};  // other test programs may run at once
    host::Host host_;
    AEGP_Command command_ = 0;
    host::model::Project before_;
};

}  // namespace outfold::testing
