#include "extract/copy_layers.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "expressions/seed_random.h"
#include "extract/whole_layer.h"
#include "placement/source_users.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/script_run.h"

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
    A_long parentId = 0;
    A_long sourceId = 0;
};

A_Err plan_copy(HostSuites& suites, AEGP_LayerH precompLayer, CopyPlan* plan) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    const auto& comps = suites.get<AEGP_CompSuite_v9>();
    const auto& items = suites.get<AEGP_ItemSuite_v7>();
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, &plan->parentComp); })
        .then([&] { return comps.AEGP_GetItemFromComp(plan->parentComp, &plan->parentItem); })
        .then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &plan->sourceItem); })
        .then([&] { return comps.AEGP_GetCompFromItem(plan->sourceItem, &plan->sourceComp); })
        .then([&] { return layers.AEGP_GetCompNumLayers(plan->sourceComp, &plan->layerCount); })
        .then([&] { return items.AEGP_GetItemID(plan->parentItem, &plan->parentId); })
        .then([&] { return items.AEGP_GetItemID(plan->sourceItem, &plan->sourceId); });
    return err.code();
}

// The ids of the composition's layers, sorted.
A_Err layer_ids(HostSuites& suites, AEGP_CompH comp, std::vector<AEGP_LayerIDVal>* ids) {
    RunningError err;
    err.then([&] {
        return for_each_layer_in_comp(suites, comp, [&](AEGP_LayerH layer) {
            AEGP_LayerIDVal id = 0;
            const A_Err got = suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerID(layer, &id);
            if (got == A_Err_NONE) ids->push_back(id);
            return got;
        });
    });
    std::ranges::sort(*ids);
    return err.code();
}

// Whether a paste lands above the selection and whether it selects the copy
// are the application's own; with nothing selected every paste is prepended,
// so the copies stack up from the copy of source layer 1 to that of layer N.
// The selection is put back afterwards.
A_Err run_unselected(HostSuites& suites, PluginInfo const* info, AEGP_CompH comp,
                     const std::string& script) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    const auto& selections = suites.get<AEGP_CompSuite_v14>();
    RunningError err;
    Owned<AEGP_Collection2H> selection(collections.AEGP_DisposeCollection);
    Owned<AEGP_Collection2H> none(collections.AEGP_DisposeCollection);
    err.then([&] {
           return suites.get<AEGP_CompSuite_v9>().AEGP_GetNewCollectionFromCompSelection(
               info->pluginId, comp, selection.out());
       })
        .then([&] { return collections.AEGP_NewCollection(info->pluginId, none.out()); })
        .then([&] { return selections.AEGP_SetSelection(comp, none.get()); });
    const bool deselected = err.ok();
    err.then([&] {
        return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(
            info->pluginId, script.c_str(), false, nullptr, nullptr);
    });
    // Put back even when the script failed.
    if (deselected) err.keep_first(selections.AEGP_SetSelection(comp, selection.get()));
    err.keep_first(none.release());
    err.keep_first(selection.release());
    return err.code();
}

// The copies are the parent composition's layers with ids it did not have
// before; top first they run from the copy of source layer N to that of
// layer 1. Each is seeded when asked and appended to the collection.
A_Err collect_copies(HostSuites& suites, PluginInfo const* info, const CopyPlan& plan,
                     const std::vector<AEGP_LayerIDVal>& before, AEGP_Collection2H extracted) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    const bool seed = info->options != nullptr && info->options->fixRandomExpressions;
    RunningError err;
    A_long count = 0;
    A_long found = 0;
    err.then([&] { return layers.AEGP_GetCompNumLayers(plan.parentComp, &count); });
    for (A_long index = 0; index < count && found < plan.layerCount && err.ok(); ++index) {
        AEGP_LayerH layer = nullptr;
        AEGP_LayerIDVal id = 0;
        err.then([&] { return layers.AEGP_GetCompLayerByIndex(plan.parentComp, index, &layer); })
            .then([&] { return layers.AEGP_GetLayerID(layer, &id); });
        if (!err.ok() || std::ranges::binary_search(before, id)) continue;
        ++found;
        if (seed) {
            err.then([&] { return seed_random_expressions(info, layer, plan.layerCount - found); });
        }
        err.then([&] {
            AEGP_CollectionItemV2 item{};
            item.type = AEGP_CollectionItemType_LAYER;
            item.u.layer.layerH = layer;
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_CollectionPushBack(extracted, &item);
        });
    }
    // A script that reported success but made fewer copies.
    if (err.ok() && found != plan.layerCount) return A_Err_GENERIC;
    return err.code();
}

A_Err copy_layers(HostSuites& suites, PluginInfo const* info, AEGP_LayerH precompLayer,
                  AEGP_Collection2H extracted) {
    RunningError err;
    CopyPlan plan;
    std::vector<AEGP_LayerIDVal> before;
    err.then([&] { return plan_copy(suites, precompLayer, &plan); })
        .then([&] { return layer_ids(suites, plan.parentComp, &before); })
        .then([&] {
            return run_unselected(suites, info, plan.parentComp,
                                  layer_copy_script(plan.sourceId, plan.parentId, plan.layerCount));
        })
        .then([&] { return collect_copies(suites, info, plan, before, extracted); });
    return err.code();
}

// A locked pre-comp layer is unlocked while it is duplicated, so that its
// duplicate can take the new source, and locked again.
A_Err run_whole_layer_copy(HostSuites& suites, PluginInfo const* info, AEGP_LayerH precompLayer,
                           const CopyPlan& plan, AEGP_ItemH innerSource, std::string* answer) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    AEGP_LayerFlags flags = 0;
    A_long index = 0, sourceId = 0;
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerFlags(precompLayer, &flags); })
        .then([&] { return layers.AEGP_GetLayerIndex(precompLayer, &index); })
        .then(
            [&] { return suites.get<AEGP_ItemSuite_v7>().AEGP_GetItemID(innerSource, &sourceId); });
    OwnedUnlocks unlocked(layers);
    if ((flags & AEGP_LayerFlag_LOCKED) != 0)
        err.then([&] { return unlocked.unlock(precompLayer); });
    err.then([&] {
        const std::string script = whole_layer_copy_script(plan.parentId, index + 1, sourceId);
        return execute_script(*info, suites, script.c_str(), answer);
    });
    err.keep_first(unlocked.release());
    return err.code();
}

A_Err copy_whole_layer(HostSuites& suites, PluginInfo const* info, AEGP_LayerH precompLayer,
                       AEGP_Collection2H extracted, WholeCopy* copied) {
    RunningError err;
    CopyPlan plan;
    bool candidate = false;
    AEGP_LayerH inner = nullptr;
    AEGP_ItemH innerSource = nullptr;
    err.then([&] { return plan_copy(suites, precompLayer, &plan); }).then([&] {
        return find_plain_inner_layer(suites, precompLayer, &candidate, &inner, &innerSource);
    });
    if (!err.ok() || !candidate) return err.code();
    std::vector<AEGP_LayerIDVal> before;
    std::string answer;
    err.then([&] { return layer_ids(suites, plan.parentComp, &before); }).then([&] {
        return run_whole_layer_copy(suites, info, precompLayer, plan, innerSource, &answer);
    });
    if (!err.ok() || answer != "yes") return err.code();
    AEGP_CollectionItemV2 copy{};
    AEGP_LayerFlags innerFlags = 0;
    err.then(
           [&] { return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerFlags(inner, &innerFlags); })
        .then([&] { return collect_copies(suites, info, plan, before, extracted); })
        .then([&] {
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionItemByIndex(extracted, 0,
                                                                                       &copy);
        })
        .then([&] { return give_inner_identity(info, inner, copy.u.layer.layerH); });
    copied->made = err.ok();
    copied->copy = copy.u.layer.layerH;
    copied->innerLocked = (innerFlags & AEGP_LayerFlag_LOCKED) != 0;
    return err.code();
}

}  // namespace

A_Err copy_whole_precomp_layer(PluginInfo const* info, AEGP_LayerH precompLayer,
                               AEGP_Collection2H extracted, WholeCopy* copied) {
    *copied = {};
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        return copy_whole_layer(suites, info, precompLayer, extracted, copied);
    });
}

std::string layer_copy_script(A_long sourceId, A_long parentId, A_long layerCount) {
    std::string script = fill(
        "var tempName = \"\"; var source = app.project.itemByID(%i);"
        " var parent = app.project.itemByID(%i);",
        static_cast<int>(sourceId), static_cast<int>(parentId));
    for (int i = 1; i <= layerCount; ++i) {
        script += fill("tempName = source.layer(%i).name;", i);
        script += fill("source.layer(%i).name = tempName;", i);
        script += fill("source.layer(%i).copyToComp(parent);", i);
        script += fill("source.layer(%i).name = tempName;", i);
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
