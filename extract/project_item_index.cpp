#include "extract/project_item_index.h"

#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// The host's item walk visits items in the scripting engine's numbering, with
// exactly one item (the root folder) ahead of script item 1, so the position
// in the walk is the script number.
A_Err walk_to_item(HostSuites& suites, A_long targetId, int* index) {
    RunningError err;
    AEGP_ProjectH project = nullptr;
    err.then([&] { return suites.get<AEGP_ProjSuite_v8>().AEGP_GetProjectByIndex(0, &project); });
    if (!err.ok()) return err.code();
    const auto& items = suites.get<AEGP_ItemSuite_v10>();
    AEGP_ItemH current = nullptr;
    err.then([&] { return items.AEGP_GetFirstProjItem(project, &current); });
    for (int position = 0; err.ok() && current != nullptr; ++position) {
        A_long id = 0;
        err.then([&] { return items.AEGP_GetItemID(current, &id); });
        if (err.ok() && id == targetId) {
            *index = position;
            break;
        }
        AEGP_ItemH next = nullptr;
        err.then([&] { return items.AEGP_GetNextProjItem(project, current, &next); });
        current = next;
    }
    return err.code();
}

}  // namespace

A_Err find_project_item_index(PluginInfo const* info, AEGP_ItemH item, int* index) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        A_long targetId = 0;
        err.then([&] { return suites.get<AEGP_ItemSuite_v7>().AEGP_GetItemID(item, &targetId); });
        err.then([&] { return walk_to_item(suites, targetId, index); });
        return err.code();
    });
}

}  // namespace outfold
