#include "shell/menu_hook.h"

#include "shell/globals.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/string_table.h"

namespace outfold {
namespace {

// Walks the selection until the first pre-comp layer; stops at an error.
A_Err selection_holds_precomp_layer(const PluginInfo& info, HostSuites& suites,
                                    AEGP_Collection2H selection, bool* found) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    RunningError error;
    A_u_long count = 0;
    error.then([&] { return collections.AEGP_GetCollectionNumItems(selection, &count); });
    for (A_u_long i = 0; i < count && error.ok() && !*found; ++i) {
        AEGP_CollectionItemV2 item{};
        error.then([&] { return collections.AEGP_GetCollectionItemByIndex(selection, i, &item); })
            .then([&] { return is_precomp_layer(&info, &item, found); });
    }
    return error.code();
}

A_Err show_command_state(HostSuites& suites, bool usable) {
    const auto& commands = suites.get<AEGP_CommandSuite_v1>();
    RunningError error;
    if (usable) {
        error
            .then([&] {
                return commands.AEGP_SetMenuCommandName(gCommandId, get_string(kStringCommandName));
            })
            .then([&] { return commands.AEGP_EnableCommand(gCommandId); });
    } else {
        error
            .then([&] {
                return commands.AEGP_SetMenuCommandName(gCommandId,
                                                        get_string(kStringSelectPrecomp));
            })
            .then([&] { return commands.AEGP_DisableCommand(gCommandId); });
    }
    return error.code();
}

}  // namespace

A_Err update_menu_hook(AEGP_GlobalRefcon /*pluginRefcon*/, AEGP_UpdateMenuRefcon /*refcon*/,
                       AEGP_WindowType /*activeWindow*/) {
    return with_suites(gSPBasicSuite, [](HostSuites& suites) {
        const PluginInfo info{gSPBasicSuite, gPluginId, nullptr};
        Owned<AEGP_Collection2H> selection(
            suites.get<AEGP_CollectionSuite_v2>().AEGP_DisposeCollection);
        RunningError error(selected_layers_of_active_comp(&info, selection.out()));
        if (!selection) return error.code();

        bool found = false;
        error
            .then([&] {
                return selection_holds_precomp_layer(info, suites, selection.get(), &found);
            })
            .then([&] { return show_command_state(suites, found); });
        error.keep_first(selection.release());
        return error.code();
    });
}

A_Err selected_layers_of_active_comp(const PluginInfo* info, AEGP_Collection2H* collection) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& items = suites.get<AEGP_ItemSuite_v3>();
        AEGP_ItemH active = nullptr;
        const A_Err activeErr = items.AEGP_GetActiveItem(&active);
        if (activeErr != A_Err_NONE || active == nullptr) return activeErr;

        AEGP_ItemType type = AEGP_ItemType_NONE;
        RunningError error(items.AEGP_GetItemType(active, &type));
        if (type != AEGP_ItemType_COMP) return error.code();

        const auto& comps = suites.get<AEGP_CompSuite_v9>();
        AEGP_CompH comp = nullptr;
        error.then([&] { return comps.AEGP_GetCompFromItem(active, &comp); }).then([&] {
            return comps.AEGP_GetNewCollectionFromCompSelection(info->pluginId, comp, collection);
        });
        return error.code();
    });
}

A_Err is_precomp_layer(const PluginInfo* info, const AEGP_CollectionItemV2* item, bool* isPrecomp) {
    *isPrecomp = false;
    if (item->type != AEGP_CollectionItemType_LAYER) return A_Err_NONE;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        const AEGP_LayerH layer = item->u.layer.layerH;
        AEGP_ObjectType objectType = AEGP_ObjectType_NONE;
        RunningError error(layers.AEGP_GetLayerObjectType(layer, &objectType));
        if (objectType != AEGP_ObjectType_AV) return error.code();

        AEGP_ItemH source = nullptr;
        AEGP_ItemType sourceType = AEGP_ItemType_NONE;
        error.then([&] { return layers.AEGP_GetLayerSourceItem(layer, &source); }).then([&] {
            return suites.get<AEGP_ItemSuite_v3>().AEGP_GetItemType(source, &sourceType);
        });
        *isPrecomp = error.ok() && sourceType == AEGP_ItemType_COMP;
        return error.code();
    });
}

}  // namespace outfold
