// Copying the effects of one layer onto others: the same kind of effect, its
// on/off switch and every parameter with its value or keyframes and its
// expression.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Gives every layer item of `layers` its own copy of each effect of
// `sourceLayer`, in the source's order; items of other kinds are passed over.
// A layer whose copy fails keeps what it received so far, and the other
// layers are still processed: only a failure to read the collection is
// returned.
A_Err copy_effects_to_layers(PluginInfo const* info, AEGP_LayerH sourceLayer,
                             AEGP_Collection2H layers);

// Applies a copy of each effect of `sourceLayer` to `targetLayer`, after the
// effects it already has. The first failure ends the work on that layer and is
// returned.
A_Err copy_layer_effects(PluginInfo const* info, AEGP_LayerH sourceLayer, AEGP_LayerH targetLayer);

}  // namespace outfold
