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

// Adds to *count the layers of the composition item `compItem` whose source
// has the id `targetId`.
A_Err count_users_in_comp(HostSuites& suites, AEGP_ItemH compItem, A_long targetId, A_long* count) {
    const auto& layers = suites.get<AEGP_LayerSuite_v13>();
    RunningError err;
    AEGP_CompH comp = nullptr;
    err.then(
        [&] { return suites.get<AEGP_CompSuite_v15>().AEGP_GetCompFromItem(compItem, &comp); });
    A_long layerCount = 0;
    err.then([&] { return layers.AEGP_GetCompNumLayers(comp, &layerCount); });
    for (A_long j = 0; j < layerCount && err.ok(); ++j) {
        AEGP_LayerH layer = nullptr;
        err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, j, &layer); });
        A_long sourceId = kNoSourceId;
        err.then([&] { return source_id_of_layer(suites, layer, &sourceId); });
        if (err.ok() && sourceId == targetId) ++*count;
    }
    return err.code();
}

A_Err count_users_in_project(HostSuites& suites, AEGP_ItemH sourceItem, A_long* count) {
    RunningError err;
    AEGP_ProjectH project = nullptr;
    err.then([&] { return suites.get<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex(0, &project); });
    if (!err.ok()) return err.code();
    const auto& items = suites.get<AEGP_ItemSuite_v13>();
    AEGP_ItemH current = nullptr;
    err.then([&] { return items.AEGP_GetFirstProjItem(project, &current); });
    A_long targetId = 0;
    err.then([&] { return items.AEGP_GetItemID(sourceItem, &targetId); });
    while (err.ok() && current != nullptr) {
        AEGP_ItemType type = AEGP_ItemType_NONE;
        err.then([&] { return items.AEGP_GetItemType(current, &type); });
        if (err.ok() && type == AEGP_ItemType_COMP) {
            err.then([&] { return count_users_in_comp(suites, current, targetId, count); });
        }
        AEGP_ItemH next = nullptr;
        err.then([&] { return items.AEGP_GetNextProjItem(project, current, &next); });
        current = next;
    }
    return err.code();
}

}  // namespace

A_Err count_source_users(const PluginInfo* info, AEGP_ItemH sourceItem, A_long* userCount) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        // Counted locally and stored once, also after an error.
        A_long count = 0;
        const A_Err err = count_users_in_project(suites, sourceItem, &count);
        *userCount = count;
        return err;
    });
}

}  // namespace outfold
