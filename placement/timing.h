// Timing of the extracted layers: mapped through the pre-comp layer's offset
// and stretch and trimmed to its in and out points.
#pragma once

#include "aegp.h"
#include "placement/parenting.h"
#include "shell/plugin_info.h"

namespace outfold {

// Maps each of the list.size() layers at the top of `precompLayer`'s
// composition through the pre-comp layer's time (composition time = offset +
// stretch * pre-comp time): its offset moves and scales with the pre-comp
// layer's, its stretch is the inner layer's times the pre-comp layer's (a
// reversed pre-comp layer reverses it), and it is trimmed to the span the
// pre-comp layer shows. The copy at index i takes its times from the layer at
// index i of the pre-comp, read there, so times off the outer composition's
// frame grid stay exact. A layer with no part inside showed nothing through
// the pre-comp layer; it keeps its times and has its video and audio switched
// off. All arithmetic is in exact fractions; a result outside the host's
// 32-bit range is refused with A_Err_PARAMETER. Time remapping is not taken
// into account.
A_Err retime_extracted_layers(const PluginInfo* info, AEGP_LayerH precompLayer, ParentIndices list);

}  // namespace outfold
