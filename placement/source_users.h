// How many layers of the project use an item as their source, and the walk
// over every layer of the project that counts them.
#pragma once

#include <functional>

#include "aegp.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

// Counts, over every composition of the project, the layers whose source item
// has `sourceItem`'s id; a composition used twice in one composition counts
// twice. The caller passes *userCount set to 0. On an error the walk stops and
// *userCount holds what was counted so far.
A_Err count_source_users(const PluginInfo* info, AEGP_ItemH sourceItem, A_long* userCount);

// Calls visit with each layer of the composition, top first; stops at the
// first error.
using CompLayerVisit = std::function<A_Err(AEGP_LayerH layer)>;
A_Err for_each_layer_in_comp(HostSuites& suites, AEGP_CompH comp, const CompLayerVisit& visit);

// Calls visit with every layer of every composition of the project and the
// composition's item, in the project's item order and top layer first; stops
// at the first error.
using LayerVisit = std::function<A_Err(AEGP_ItemH compItem, AEGP_LayerH layer)>;
A_Err for_each_project_layer(const PluginInfo* info, const LayerVisit& visit);

}  // namespace outfold
