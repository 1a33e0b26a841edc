// Locked layers the run must change: unlocked for it, locked again after.
#pragma once

#include <vector>

#include "aegp.h"
#include "shell/owned.h"
#include "shell/plugin_info.h"

namespace outfold {

// Unlocks every locked layer of the composition; (*wasLocked)[i] tells
// whether the layer at index i was, and *unlocked holds those layers.
A_Err unlock_layers_of(const PluginInfo* info, AEGP_CompH comp, std::vector<bool>* wasLocked,
                       std::vector<AEGP_LayerH>* unlocked);

// Unlocks every locked layer of the project into *unlocked, which locks them
// again; stops at the first error.
A_Err unlock_project_layers(const PluginInfo* info, OwnedUnlocks* unlocked);

// Locks each layer; every one is tried, the first error is returned.
A_Err lock_layers(const PluginInfo* info, const std::vector<AEGP_LayerH>& layers);

}  // namespace outfold
