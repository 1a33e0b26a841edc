// A simulated host with the plug-in's entry point loaded in-process, for
// tests that call the extraction steps directly. Layers and items are reached
// through the host's own suites, as the plug-in reaches them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host.h"
#include "model/project_ops.h"
#include "shell/plugin_info.h"

namespace outfold::testing {

// The project file tests/plugin/fixtures/<name>.json.
std::string fixture_path(const std::string& name);

// Items and layers of the simulated project, looked up in its model.
const host::model::Item& item_named(const host::model::Project& project, const std::string& name);
host::model::Item& item_named(host::model::Project& project, const std::string& name);
const host::model::Composition& comp_named(const host::model::Project& project,
                                           const std::string& name);
// Shown names of a composition's layers, top of the stack first.
std::vector<std::string> layer_names(const host::model::Project& project, const std::string& comp);
// What the host counts as obtained and not given back, as text ("" for nothing).
std::string describe(const host::Outstanding& left);

// A copied keyframe against its source: same composition time, value,
// interpolation, ease and tangents; of the flags only the five carried ones.
void expect_key_copied(const host::model::Layer& sourceLayer, const host::model::Keyframe& source,
                       const host::model::Layer& copyLayer, const host::model::Keyframe& copy);

class ExtractTest : public ::testing::Test {
protected:
    ExtractTest();
    // Every step must give back what it obtained.
    void TearDown() override;

    void load(const std::string& fixture);
    PluginInfo info() const { return {host_.basic_suite(), pluginId_, &options_}; }

    // Handles obtained through the host's suites.
    AEGP_ItemH item_handle(const std::string& itemName);
    AEGP_CompH comp_handle(const std::string& compName);
    AEGP_LayerH layer_handle(const std::string& compName, A_long index);

    // A new collection holding the given layers (or other items), disposed
    // by the fixture.
    AEGP_Collection2H new_collection(const std::vector<AEGP_CollectionItemV2>& items = {});
    // Disposes a collection made by new_collection before the test ends.
    void dispose_collection(AEGP_Collection2H collection);
    std::vector<AEGP_CollectionItemV2> collection_items(AEGP_Collection2H collection);
    // Shown names of the layer items of a collection, in collection order.
    std::vector<std::string> collection_layer_names(AEGP_Collection2H collection);
    static AEGP_CollectionItemV2 layer_item(AEGP_LayerH layer);

    host::model::Project& project() { return host_.project(); }
    const host::model::Layer& layer_at(const std::string& comp, A_long index) {
        return comp_named(project(), comp).layers.at(static_cast<std::size_t>(index));
    }
    // A step with its handles obtained beforehand, and what to give back after it.
    struct Prepared {
        std::function<A_Err()> call;
        std::function<void()> after = [] {};
    };
    // Runs the prepared step once cleanly to learn its host calls, then once
    // per call with that call failing (releases aside: a refused release
    // keeps its object). Every run must give back what it obtained and, unless
    // `quiet(operation, nth)` allows the failure to be passed over, return the
    // injected error (the missing-suite error when a suite cannot be had).
    void sweep(const std::function<Prepared()>& prepare,
               const std::function<bool(const std::string&, int)>& quiet = nullptr);

    // Runs `step` with the nth call to `operation` failing with `err`.
    template <class Step>
    A_Err failing(const char* operation, int nth, A_Err err, Step step) {
        host_.fail_call(operation, nth, err);
        const A_Err result = step();
        host_.clear_faults();
        return result;
    }

    host::Host host_;
    AEGP_PluginID pluginId_ = 0;
    ExtractOptions options_{};

private:
    std::vector<AEGP_Collection2H> collections_;
};

}  // namespace outfold::testing
