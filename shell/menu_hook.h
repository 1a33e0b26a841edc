// The menu-update hook and the one definition of "the selection" and of "a
// pre-comp layer" that the command hook shares.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Enables the command with its working text when a selected layer of the
// active composition is a pre-comp layer; otherwise disables it with the text
// asking for one. Without an active composition the entry is left as it is.
A_Err update_menu_hook(AEGP_GlobalRefcon pluginRefcon, AEGP_UpdateMenuRefcon refcon,
                       AEGP_WindowType activeWindow);

// Writes a new collection of the active composition's selected items, which
// the caller owns. Leaves *collection untouched when no item is active or the
// active item is not a composition.
A_Err selected_layers_of_active_comp(const PluginInfo* info, AEGP_Collection2H* collection);

// A pre-comp layer is a layer item, of AV object type, whose source item is a
// composition. Always writes *isPrecomp.
A_Err is_precomp_layer(const PluginInfo* info, const AEGP_CollectionItemV2* item, bool* isPrecomp);

}  // namespace outfold
