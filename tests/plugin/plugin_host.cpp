#include "plugin_host.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "io/project_file.h"
#include "shell/entry_point.h"
#include "shell/globals.h"
#include "shell/host_suites.h"

namespace outfold::testing {

namespace model = host::model;

std::string fixture_path(const std::string& name) {
    return std::string(OUTFOLD_SOURCE_DIR) + "/tests/plugin/fixtures/" + name + ".json";
}

const model::Item& item_named(const model::Project& project, const std::string& name) {
    return found(model::find_item_by_name(project, name), "no item named " + name);
}

model::Item& item_named(model::Project& project, const std::string& name) {
    return const_cast<model::Item&>(item_named(std::as_const(project), name));
}

const model::Composition& comp_named(const model::Project& project, const std::string& name) {
    const std::optional<model::Composition>& comp = item_named(project, name).comp;
    return found(comp ? &*comp : nullptr, name + " is not a composition");
}

std::uint32_t seed_from(const char* variable, std::uint32_t usual) {
    const char* text = std::getenv(variable);
    return text ? std::uint32_t(std::strtoul(text, nullptr, 10)) : usual;
}

const model::Layer* layer_named(const model::Project& project, const std::string& comp,
                                const std::string& name) {
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        if (model::shown_name(project, layer) == name) return &layer;
    }
    return nullptr;
}

std::vector<std::string> links_in(const model::Project& project, const std::string& comp) {
    std::vector<std::string> links;
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        const model::Layer* parent = model::find_layer(project, layer.parent);
        links.push_back(model::shown_name(project, layer) +
                        (parent ? ">" + model::shown_name(project, *parent) : ""));
    }
    return links;
}

std::vector<std::string> layer_names(const model::Project& project, const std::string& comp,
                                     bool selectedOnly) {
    std::vector<std::string> names;
    const model::Composition& composition = comp_named(project, comp);
    for (const model::Layer& layer : composition.layers) {
        if (!selectedOnly || model::is_layer_selected(composition, layer.id)) {
            names.push_back(model::shown_name(project, layer));
        }
    }
    return names;
}

const std::set<std::string> kReleases = {
    "ReleaseSuite",         "AEGP_DisposeCollection", "AEGP_FreeMemHandle",
    "AEGP_UnlockMemHandle", "AEGP_DisposeStream",     "AEGP_DisposeStreamValue",
    "AEGP_DisposeEffect",   "AEGP_EndUndoGroup",      "AEGP_EndAddKeyframes"};

ExtractTest::ExtractTest() {
    if (host_.load_plugin(&EntryPointFunc) != A_Err_NONE) throw std::runtime_error("no plug-in");
    pluginId_ = gPluginId;
}

void ExtractTest::TearDown() {
    for (const AEGP_Collection2H collection : collections_) {
        HostSuites suites(host_.basic_suite());
        EXPECT_EQ(suites.get<AEGP_CollectionSuite_v2>().AEGP_DisposeCollection(collection),
                  A_Err_NONE);
    }
    EXPECT_EQ(describe(host_.outstanding()), "");
}

void ExtractTest::sweep(const std::function<std::function<A_Err()>()>& prepare) {
    constexpr A_Err kInjected = 77;
    const std::function<A_Err()> clean = prepare();
    host_.clear_trace();
    ASSERT_EQ(clean(), A_Err_NONE);
    const std::vector<std::string> calls = host_.trace();
    ASSERT_FALSE(calls.empty());
    std::map<std::string, int> seen;
    for (std::size_t k = 0; k < calls.size(); ++k) {
        const std::string& operation = calls[k];
        const int nth = ++seen[operation];
        if (kReleases.count(operation) != 0) continue;
        SCOPED_TRACE("call " + std::to_string(k) + ": " + operation + " #" + std::to_string(nth));
        const std::function<A_Err()> run = prepare();
        const host::Outstanding before = host_.outstanding();
        EXPECT_EQ(failing(operation.c_str(), nth, kInjected, run),
                  operation == "AcquireSuite" ? kMissingSuiteError : kInjected);
        host::Outstanding left = host_.outstanding();
        left.collections -= before.collections;  // the harness's own
        EXPECT_EQ(describe(left), "");
    }
}

void ExtractTest::load(const std::string& fixture) {
    host_.load_project(fixture_path(fixture));
    host_.clear_trace();
}

AEGP_ItemH ExtractTest::item_handle(const std::string& itemName) {
    const model::Id wanted = item_named(project(), itemName).id;
    HostSuites suites(host_.basic_suite());
    const auto& items = suites.get<AEGP_ItemSuite_v10>();
    AEGP_ProjectH projectH = nullptr;
    EXPECT_EQ(suites.get<AEGP_ProjSuite_v8>().AEGP_GetProjectByIndex(0, &projectH), A_Err_NONE);
    AEGP_ItemH item = nullptr;
    EXPECT_EQ(items.AEGP_GetFirstProjItem(projectH, &item), A_Err_NONE);
    for (A_long id = 0; item != nullptr;) {
        EXPECT_EQ(items.AEGP_GetItemID(item, &id), A_Err_NONE);
        if (id == wanted) return item;
        EXPECT_EQ(items.AEGP_GetNextProjItem(projectH, item, &item), A_Err_NONE);
    }
    throw std::runtime_error("the host's item walk does not reach " + itemName);
}

AEGP_CompH ExtractTest::comp_handle(const std::string& compName) {
    const AEGP_ItemH item = item_handle(compName);
    HostSuites suites(host_.basic_suite());
    AEGP_CompH comp = nullptr;
    EXPECT_EQ(suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(item, &comp), A_Err_NONE);
    return comp;
}

AEGP_LayerH ExtractTest::layer_handle(const std::string& compName, A_long index) {
    const AEGP_CompH comp = comp_handle(compName);
    HostSuites suites(host_.basic_suite());
    AEGP_LayerH layer = nullptr;
    EXPECT_EQ(suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(comp, index, &layer),
              A_Err_NONE);
    return layer;
}

AEGP_LayerH ExtractTest::layer_handle(const std::string& compName, const std::string& layerName) {
    const std::vector<std::string> names = layer_names(project(), compName);
    const auto at = std::find(names.begin(), names.end(), layerName);
    if (at == names.end()) throw std::runtime_error("no layer " + layerName + " in " + compName);
    return layer_handle(compName, static_cast<A_long>(at - names.begin()));
}

AEGP_Collection2H ExtractTest::new_collection(const std::vector<AEGP_CollectionItemV2>& items) {
    HostSuites suites(host_.basic_suite());
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    AEGP_Collection2H collection = nullptr;
    EXPECT_EQ(collections.AEGP_NewCollection(pluginId_, &collection), A_Err_NONE);
    collections_.push_back(collection);
    for (const AEGP_CollectionItemV2& item : items) {
        EXPECT_EQ(collections.AEGP_CollectionPushBack(collection, &item), A_Err_NONE);
    }
    return collection;
}

std::vector<std::string> ExtractTest::collection_layer_names(AEGP_Collection2H collection) {
    HostSuites suites(host_.basic_suite());
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    A_u_long count = 0;
    EXPECT_EQ(collections.AEGP_GetCollectionNumItems(collection, &count), A_Err_NONE);
    std::vector<std::string> names;
    for (A_u_long i = 0; i < count; ++i) {
        AEGP_CollectionItemV2 item{};
        EXPECT_EQ(collections.AEGP_GetCollectionItemByIndex(collection, i, &item), A_Err_NONE);
        EXPECT_EQ(item.type, AEGP_CollectionItemType_LAYER);
        EXPECT_EQ(item.stream_refH, nullptr);
        char name[32] = {}, source[32] = {};
        EXPECT_EQ(
            suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerName(item.u.layer.layerH, name, source),
            A_Err_NONE);
        names.push_back(name[0] != '\0' ? name : source);
    }
    return names;
}

model::Project scene() {
    model::Project project = host::io::load_project_file(fixture_path("outfold_scene"));
    model::check_invariants(project);
    return project;
}

void select_layers(model::Project& project, const std::string& comp,
                   const std::vector<std::string>& layers) {
    std::vector<model::Id> ids;
    for (const std::string& layer : layers) {
        ids.push_back(found(layer_named(project, comp, layer), "no layer " + layer).id);
    }
    model::select_only_layers(project, item_named(project, comp).id, ids);
}

void make_active(model::Project& project, const std::string& itemName) {
    project.activeItem = itemName.empty() ? model::kNoId : item_named(project, itemName).id;
}

std::string describe(const model::Project& project) {
    nlohmann::json document = host::io::project_to_json(project);
    document.erase("nextId");
    return document.dump(1);
}

PluginHostTest::PluginHostTest() : host_(host::HostOptions{settings_.path()}) {}

void PluginHostTest::TearDown() { EXPECT_EQ(describe(host_.outstanding()), ""); }

A_Err PluginHostTest::load_module() {
    const A_Err err = host_.load_plugin(OUTFOLD_MODULE_PATH);
    command_ = host_.find_command(kUnusableText).value_or(0);
    return err;
}

void PluginHostTest::open_scene(const std::string& fixture) {
    host_.load_project(fixture_path(fixture));
    ASSERT_EQ(load_module(), A_Err_NONE);
    ASSERT_NE(command_, 0);
}

A_Err PluginHostTest::run(const std::vector<std::string>& selection, std::vector<std::string> user,
                          const std::function<void()>& beforeClick) {
    select_layers(host_.project(), "Main", selection);
    host_.open_menu(AEGP_Menu_LAYER);
    before_ = host_.project();
    host_.set_user(std::move(user));
    host_.clear_trace();
    beforeClick();
    return host_.click(command_);
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

const model::Layer& PluginHostTest::layer(const std::string& comp, const std::string& name) {
    return found(layer_named(host_.project(), comp, name), "no layer " + name + " in " + comp);
}

std::vector<std::string> host_calls(const host::Host& host) {
    std::vector<std::string> calls = host.trace();
    std::erase(calls, "AcquireSuite");
    std::erase(calls, "ReleaseSuite");
    return calls;
}

}  // namespace outfold::testing
