// How many layers of the project use an item as their source.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Counts, over every composition of the project, the layers whose source item
// has `sourceItem`'s id; a composition used twice in one composition counts
// twice. The caller passes *userCount set to 0. On an error the walk stops and
// *userCount holds what was counted so far.
A_Err count_source_users(const PluginInfo* info, AEGP_ItemH sourceItem, A_long* userCount);

}  // namespace outfold
