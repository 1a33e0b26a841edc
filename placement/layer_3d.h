// The 3D switch of the extracted layers.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Switches every layer item of the collection to 3D, in collection order;
// items of other kinds are passed over. After the first failure no further
// layer is switched.
A_Err make_layers_3d(const PluginInfo* info, AEGP_Collection2H layers);

}  // namespace outfold
