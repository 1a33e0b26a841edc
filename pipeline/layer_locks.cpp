#include "pipeline/layer_locks.h"

#include "placement/source_users.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

A_Err read_locked(const AEGP_LayerSuite_v11& layers, AEGP_LayerH layer, bool* locked) {
    AEGP_LayerFlags flags = 0;
    const A_Err err = layers.AEGP_GetLayerFlags(layer, &flags);
    *locked = err == A_Err_NONE && (flags & AEGP_LayerFlag_LOCKED) != 0;
    return err;
}

}  // namespace

A_Err unlock_layers_of(const PluginInfo* info, AEGP_CompH comp, std::vector<bool>* wasLocked,
                       std::vector<AEGP_LayerH>* unlocked) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        return for_each_layer_in_comp(suites, comp, [&](AEGP_LayerH layer) {
            RunningError err;
            bool locked = false;
            err.then([&] { return read_locked(layers, layer, &locked); });
            if (locked) {
                err.then(
                    [&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_LOCKED, false); });
                if (err.ok()) unlocked->push_back(layer);
            }
            wasLocked->push_back(locked);
            return err.code();
        });
    });
}

A_Err unlock_project_layers(const PluginInfo* info, OwnedUnlocks* unlocked) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        return for_each_project_layer(info, [&](AEGP_ItemH, AEGP_LayerH layer) {
            RunningError err;
            bool locked = false;
            err.then([&] { return read_locked(layers, layer, &locked); });
            if (locked) err.then([&] { return unlocked->unlock(layer); });
            return err.code();
        });
    });
}

A_Err lock_layers(const PluginInfo* info, const std::vector<AEGP_LayerH>& layers) {
    if (layers.empty()) return A_Err_NONE;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& suite = suites.get<AEGP_LayerSuite_v11>();
        RunningError err;
        for (const AEGP_LayerH layer : layers)
            err.keep_first(suite.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_LOCKED, true));
        return err.code();
    });
}

}  // namespace outfold
