// How the pre-comp layer showed its layers, handed to their copies: its
// switches, its blending mode, and an opacity that varies over time.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Copies whose own setting wins over the pre-comp layer's.
struct LookLosses {
    A_long ownOpacityExpressions = 0;  // while the pre-comp layer's opacity is not 100 %
    A_long ownBlendingModes = 0;       // while the pre-comp layer is not Normal
    A_long masks = 0;                  // the pre-comp layer's own
};

// For every layer item of `copies` (copies of the pre-comp's layers, not the
// carrier): video or audio switched off on `precompLayer` switches it off on
// the copy, a shy pre-comp layer makes the copy shy, and a copy in Normal
// mode takes the pre-comp layer's blending mode (its own track matte kept).
// When the pre-comp layer's opacity varies over time, `carrierNull` holds it
// and stays: each copy's opacity gets an enabled expression that multiplies
// its own value by the carrier's; a copy whose opacity has an enabled
// expression of its own keeps it. Sets *keepsCarrier to true in that case
// (never back to false). Counts the copies that keep their own in *losses.
A_Err carry_look_to_layers(const PluginInfo* info, AEGP_LayerH precompLayer,
                           AEGP_LayerH carrierNull, AEGP_Collection2H copies, bool* keepsCarrier,
                           LookLosses* losses);

}  // namespace outfold
