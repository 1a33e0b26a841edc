// Turns a project item into the number generated scripts pass to
// app.project.item().
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Walks the project's items from the first and stores in *index the position,
// counted from 0, of the item whose id matches `item`'s. The caller gives
// *index its starting value, which stays when no item matches (still success).
// On an error *index is not to be used.
A_Err find_project_item_index(PluginInfo const* info, AEGP_ItemH item, int* index);

}  // namespace outfold
