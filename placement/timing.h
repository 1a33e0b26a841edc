// Timing of the extracted layers: moved by the pre-comp layer's offset and
// trimmed to its in and out points.
#pragma once

#include "aegp.h"
#include "placement/parenting.h"
#include "shell/plugin_info.h"

namespace outfold {

// Moves each of the list.size() layers at the top of `precompLayer`'s
// composition by the pre-comp layer's offset, then trims it to the span the
// pre-comp layer shows (its in point to its out point, composition time): a
// layer keeps exactly the part of its span that lies inside. The copy at
// index i takes its times from the layer at index i of the pre-comp, read
// there, so times off the outer composition's frame grid stay exact; a
// pre-comp layer at offset 0 moves nothing. A layer with no
// part inside showed nothing through the pre-comp layer; it keeps its times
// and has its video and audio switched off. Times of different scales are
// compared exactly; a result outside the host's 32-bit range is refused with
// A_Err_PARAMETER. The pre-comp layer's time stretch and time remapping are
// not taken into account.
A_Err retime_extracted_layers(const PluginInfo* info, AEGP_LayerH precompLayer, ParentIndices list);

}  // namespace outfold
