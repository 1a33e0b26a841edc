#include "placement/source_users.h"

#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// No layer source has this id: layers without a source never match.
constexpr A_long kNoSourceId = -1;

A_Err source_id_of_layer(HostSuites& suites, AEGP_LayerH layer, A_long* sourceId) {
    RunningError err;
    AEGP_ItemH source = nullptr;
    *sourceId = kNoSourceId;
    err.then(
        [&] { return suites.get<AEGP_LayerSuite_v13>().AEGP_GetLayerSourceItem(layer, &source); });
    if (err.ok() && source != nullptr) {
        err.then([&] { return suites.get<AEGP_ItemSuite_v13>().AEGP_GetItemID(source, sourceId); });
    }
    return err.code();
}

A_Err visit_comp_layers(HostSuites& suites, AEGP_ItemH compItem, const LayerVisit& visit) {
    RunningError err;
    AEGP_CompH comp = nullptr;
    err.then(
        [&] { return suites.get<AEGP_CompSuite_v15>().AEGP_GetCompFromItem(compItem, &comp); });
    err.then([&] {
        return for_each_layer_in_comp(suites, comp,
                                      [&](AEGP_LayerH layer) { return visit(compItem, layer); });
    });
    return err.code();
}

A_Err visit_project_layers(HostSuites& suites, const LayerVisit& visit) {
    RunningError err;
    AEGP_ProjectH project = nullptr;
    err.then([&] { return suites.get<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex(0, &project); });
    if (!err.ok()) return err.code();
    const auto& items = suites.get<AEGP_ItemSuite_v13>();
    AEGP_ItemH current = nullptr;
    err.then([&] { return items.AEGP_GetFirstProjItem(project, &current); });
    while (err.ok() && current != nullptr) {
        AEGP_ItemType type = AEGP_ItemType_NONE;
        err.then([&] { return items.AEGP_GetItemType(current, &type); });
        if (err.ok() && type == AEGP_ItemType_COMP) {
            err.then([&] { return visit_comp_layers(suites, current, visit); });
        }
        AEGP_ItemH next = nullptr;
        err.then([&] { return items.AEGP_GetNextProjItem(project, current, &next); });
        current = next;
    }
    return err.code();
}

}  // namespace

A_Err for_each_layer_in_comp(HostSuites& suites, AEGP_CompH comp, const CompLayerVisit& visit) {
    const auto& layers = suites.get<AEGP_LayerSuite_v13>();
    RunningError err;
    A_long count = 0;
    err.then([&] { return layers.AEGP_GetCompNumLayers(comp, &count); });
    for (A_long i = 0; i < count && err.ok(); ++i) {
        AEGP_LayerH layer = nullptr;
        err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, i, &layer); }).then([&] {
            return visit(layer);
        });
    }
    return err.code();
}

A_Err for_each_project_layer(const PluginInfo* info, const LayerVisit& visit) {
    return with_suites(info->spBasic,
                       [&](HostSuites& suites) { return visit_project_layers(suites, visit); });
}

A_Err count_source_users(const PluginInfo* info, AEGP_ItemH sourceItem, A_long* userCount) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        // Counted locally and stored once, also after an error.
        A_long count = 0;
        RunningError err;
        A_long targetId = 0;
        err.then(
            [&] { return suites.get<AEGP_ItemSuite_v13>().AEGP_GetItemID(sourceItem, &targetId); });
        err.then([&] {
            return visit_project_layers(suites, [&](AEGP_ItemH, AEGP_LayerH layer) {
                A_long sourceId = kNoSourceId;
                const A_Err found = source_id_of_layer(suites, layer, &sourceId);
                if (found == A_Err_NONE && sourceId == targetId) ++count;
                return found;
            });
        });
        *userCount = count;
        return err.code();
    });
}

}  // namespace outfold
