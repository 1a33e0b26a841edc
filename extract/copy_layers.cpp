#include "extract/copy_layers.h"

#include <cstdio>
#include <optional>

#include "expressions/seed_random.h"
#include "extract/project_item_index.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// printf-style filling of one statement template with %i placeholders.
template <class... Values>
std::string fill(const char* pattern, Values... values) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, values...);
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// What the copy needs to know about the two compositions.
struct CopyPlan {
    AEGP_CompH parentComp = nullptr;
    AEGP_ItemH parentItem = nullptr;
    AEGP_ItemH sourceItem = nullptr;
    AEGP_CompH sourceComp = nullptr;
    A_long layerCount = 0;
    int parentIndex = 0;
    int sourceIndex = 0;
};

A_Err plan_copy(HostSuites& suites, PluginInfo const* info, AEGP_LayerH precompLayer,
                CopyPlan* plan) {
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerParentComp(precompLayer,
                                                                         &plan->parentComp);
    });
    err.then([&] {
        return suites.get<AEGP_CompSuite_v9>().AEGP_GetItemFromComp(plan->parentComp,
                                                                    &plan->parentItem);
    });
    err.then([&] {
        return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(precompLayer,
                                                                         &plan->sourceItem);
    });
    err.then([&] {
        return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(plan->sourceItem,
                                                                    &plan->sourceComp);
    });
    err.then([&] {
        return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompNumLayers(plan->sourceComp,
                                                                       &plan->layerCount);
    });
    err.then([&] { return find_project_item_index(info, plan->parentItem, &plan->parentIndex); });
    err.then([&] { return find_project_item_index(info, plan->sourceItem, &plan->sourceIndex); });
    return err.code();
}

// The smallest layer index among the composition's selected layers, if any
// layer is selected. The host puts each copy directly above it.
A_Err find_topmost_selected(HostSuites& suites, PluginInfo const* info, AEGP_CompH comp,
                            std::optional<A_long>* topmost) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    RunningError err;
    Owned<AEGP_Collection2H> selection(collections.AEGP_DisposeCollection);
    err.then([&] {
        return suites.get<AEGP_CompSuite_v9>().AEGP_GetNewCollectionFromCompSelection(
            info->pluginId, comp, selection.out());
    });
    A_u_long count = 0;
    err.then([&] { return collections.AEGP_GetCollectionNumItems(selection.get(), &count); });
    for (A_u_long i = 0; i < count && err.ok(); ++i) {
        AEGP_CollectionItemV2 item{};
        err.then(
            [&] { return collections.AEGP_GetCollectionItemByIndex(selection.get(), i, &item); });
        if (!err.ok() || item.type != AEGP_CollectionItemType_LAYER) continue;
        A_long index = 0;
        err.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerIndex(item.u.layer.layerH,
                                                                        &index);
        });
        if (err.ok() && (!*topmost || index < **topmost)) *topmost = index;
    }
    err.keep_first(selection.release());
    return err.code();
}

// Takes the copies from the parent composition, seeds them when asked, and
// appends them to the collection: source layer N's copy first.
A_Err collect_copies(HostSuites& suites, PluginInfo const* info, const CopyPlan& plan,
                     std::optional<A_long> topmost, AEGP_Collection2H extracted) {
    const bool seed = info->options != nullptr && info->options->fixRandomExpressions;
    RunningError err;
    for (A_long i = 1; i <= plan.layerCount && err.ok(); ++i) {
        const A_long index = topmost ? *topmost - i : i - 1;
        AEGP_LayerH copy = nullptr;
        err.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(plan.parentComp,
                                                                              index, &copy);
        });
        if (seed) {
            err.then([&] { return seed_random_expressions(info, copy, plan.layerCount - i); });
        }
        err.then([&] {
            AEGP_CollectionItemV2 item{};
            item.type = AEGP_CollectionItemType_LAYER;
            item.u.layer.layerH = copy;
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_CollectionPushBack(extracted, &item);
        });
    }
    return err.code();
}

A_Err copy_layers(HostSuites& suites, PluginInfo const* info, AEGP_LayerH precompLayer,
                  AEGP_Collection2H extracted) {
    RunningError err;
    CopyPlan plan;
    err.then([&] { return plan_copy(suites, info, precompLayer, &plan); });
    err.then([&] {
        const std::string script =
            layer_copy_script(plan.sourceIndex, plan.parentIndex, plan.layerCount);
        return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(
            info->pluginId, script.c_str(), false, nullptr, nullptr);
    });
    std::optional<A_long> topmost;
    err.then([&] { return find_topmost_selected(suites, info, plan.parentComp, &topmost); });
    err.then([&] { return collect_copies(suites, info, plan, topmost, extracted); });
    return err.code();
}

}  // namespace

std::string layer_copy_script(int sourceIndex, int parentIndex, int layerCount) {
    std::string script = "var tempName = \"\"; var allNames = [];";
    for (int i = 1; i <= layerCount; ++i) {
        script += fill("tempName = app.project.item(%i).layer(%i).name; allNames.push(tempName);",
                       sourceIndex, i);
        script += fill("app.project.item(%i).layer(%i).name = tempName;", sourceIndex, i);
        script += fill("app.project.item(%i).layer(%i).copyToComp(app.project.item(%i));",
                       sourceIndex, i, parentIndex);
        script += fill("app.project.item(%i).layer(%i).name = tempName;", sourceIndex, i);
    }
    return script;
}

}  // namespace outfold

int copy_layers_to_parent(outfold::PluginInfo const* info, AEGP_LayerH precompLayer, char* text,
                          AEGP_Collection2H* extracted) {
    static_cast<void>(text);  // kept in the exported signature; the prefix is used elsewhere
    // Exported, so callers outside the plug-in can reach it: refuse what it
    // cannot work with instead of following a null pointer.
    if (info == nullptr || extracted == nullptr) return A_Err_PARAMETER;
    return outfold::with_suites(info->spBasic, [&](outfold::HostSuites& suites) {
        return outfold::copy_layers(suites, info, precompLayer, *extracted);
    });
}
