// Stacking order of the extracted layers in the parent composition.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Moves every layer of the collection to the top of its composition, first
// item first. As the collection runs from the copy of the pre-comp's bottom
// layer to that of its top layer, the copy of pre-comp layer i ends at index i.
A_Err gather_extracted_layers(const PluginInfo* info, AEGP_Collection2H extractedLayers);

// Moves every layer of the collection to `targetIndex`, last item first, so the
// copies arrive there as one block in the pre-comp's order.
A_Err place_extracted_layers(const PluginInfo* info, AEGP_Collection2H extractedLayers,
                             A_long targetIndex);

}  // namespace outfold
