#include "plugin_host.h"

#include <algorithm>
#include <stdexcept>

#include "extract_harness.h"
#include "io/project_file.h"
#include "model/project_ops.h"

namespace outfold::testing {

namespace model = host::model;

namespace {

model::Id layer_id(const model::Project& project, const std::string& comp,
                   const std::string& layer) {
    for (const model::Layer& candidate : comp_named(project, comp).layers) {
        if (model::shown_name(project, candidate) == layer) return candidate.id;
    }
    throw std::runtime_error("no layer " + layer + " in " + comp);
}

}  // namespace

model::Project scene() {
    model::Project project = host::io::load_project_file(fixture_path("outfold_scene"));
    model::check_invariants(project);
    return project;
}

void select_layers(model::Project& project, const std::string& comp,
                   const std::vector<std::string>& layers) {
    std::vector<model::Id> ids;
    for (const std::string& layer : layers) ids.push_back(layer_id(project, comp, layer));
    model::select_only_layers(project, item_named(project, comp).id, ids);
}

void add_non_layer_selection(model::Project& project, const std::string& comp,
                             const std::string& layer) {
    const model::Id id = layer_id(project, comp, layer);
    model::Item* item = model::find_item(project, item_named(project, comp).id);
    for (model::SelectionKind kind : {model::SelectionKind::Mask, model::SelectionKind::Effect,
                                      model::SelectionKind::Keyframe}) {
        item->comp->selection.push_back({kind, id, 0, 0});
    }
}

void make_active(model::Project& project, const std::string& itemName) {
    project.activeItem = itemName.empty() ? model::kNoId : item_named(project, itemName).id;
}

std::string describe(const model::Project& project) {
    std::string out = "active " + std::to_string(project.activeItem) + "\n";
    for (const model::Item& item : project.items) {
        out += "item " + std::to_string(item.id) + " '" + item.name + "' kind " +
               std::to_string(int(item.kind)) + " folder " + std::to_string(item.folder) + "\n";
        if (!item.comp) continue;
        for (const model::Layer& layer : item.comp->layers) {
            out += "  layer " + std::to_string(layer.id) + " '" +
                   model::shown_name(project, layer) + "' source " + std::to_string(layer.source) +
                   " flags " + std::to_string(layer.flags) + " parent " +
                   std::to_string(layer.parent) + "\n";
        }
        for (const model::SelectionEntry& entry : item.comp->selection) {
            out += "  selected " + std::to_string(int(entry.kind)) + " " +
                   std::to_string(entry.layer) + "\n";
        }
    }
    return out;
}

std::vector<std::string> layers_of(const model::Project& project, const std::string& comp) {
    std::vector<std::string> names;
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        names.push_back(model::shown_name(project, layer));
    }
    return names;
}

std::vector<std::string> selected_in(const model::Project& project, const std::string& comp) {
    std::vector<std::string> names;
    const model::Composition& composition = comp_named(project, comp);
    for (const model::Layer& layer : composition.layers) {
        if (model::is_layer_selected(composition, layer.id)) {
            names.push_back(model::shown_name(project, layer));
        }
    }
    return names;
}

PluginHostTest::PluginHostTest() : host_(host::HostOptions{settingsDir_}) {}

void PluginHostTest::TearDown() { EXPECT_EQ(describe(host_.outstanding()), ""); }

A_Err PluginHostTest::load_module() {
    const A_Err err = host_.load_plugin(OUTFOLD_MODULE_PATH);
    command_ = host_.find_command(kUnusableText).value_or(0);
    return err;
}

void PluginHostTest::open_scene(const std::string& fixture) {
    host_.load_project(fixture_path(fixture));
    ASSERT_EQ(load_module(), A_Err_NONE);
    ASSERT_NE(command(), 0);
}

A_Err PluginHostTest::run(const std::vector<std::string>& selection, std::vector<std::string> user,
                          const std::function<void()>& beforeClick) {
    select_layers(host_.project(), "Main", selection);
    host_.open_menu(AEGP_Menu_LAYER);
    before_ = host_.project();
    host_.set_user(std::move(user));
    host_.clear_trace();
    beforeClick();
    return host_.click(command());
}

void PluginHostTest::expect_as_before() {
    model::Project now = host_.project();
    now.nextId = before_.nextId;
    EXPECT_EQ(describe(now), describe(before_));
    EXPECT_TRUE(now == before_);
}

void PluginHostTest::expect_undo_restores() {
    ASSERT_TRUE(host_.undo());
    expect_as_before();
}

std::vector<std::string> PluginHostTest::undo_names() const {
    std::vector<std::string> names;
    for (const host::UndoEntry& entry : host_.undo_history()) names.push_back(entry.name);
    return names;
}

const model::Layer& PluginHostTest::layer(const std::string& comp, const std::string& name) {
    return *model::find_layer(host_.project(), layer_id(host_.project(), comp, name));
}

std::vector<std::string> PluginHostTest::host_calls() const {
    std::vector<std::string> calls;
    for (const std::string& entry : host_.trace()) {
        if (entry != "AcquireSuite" && entry != "ReleaseSuite") calls.push_back(entry);
    }
    return calls;
}

}  // namespace outfold::testing
