// Parent links of the extracted layers. The copy of pre-comp layer i sits at
// index i of the parent composition between the gathering and the placement
// pass of the stacking order; everything here that works on the parent
// composition relies on that and runs in that window.
#pragma once

#include <vector>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// One entry per layer of a pre-comp, in stack order: the index of the layer's
// parent within the pre-comp, or kNoParent.
using ParentIndices = std::vector<A_long>;
inline constexpr A_long kNoParent = -1;

// Records the parent of every layer of `precompLayer`'s source composition in
// `*out` (passed empty) and clears the links there, so the layers can be
// copied unparented. After an error `*out` holds an entry for each layer
// whose link was cleared (and perhaps one whose link could not be cleared),
// so restoring it puts back exactly what was taken.
A_Err detach_precomp_parents(const PluginInfo* info, AEGP_LayerH precompLayer, ParentIndices* out);

// Makes the layer at index list[i] of `comp` the parent of the layer at
// index i, for every entry that has a parent. The layers keep their own
// transform values.
A_Err restore_parents(const PluginInfo* info, AEGP_CompH comp, ParentIndices list);

// Puts the recorded links back inside `precompLayer`'s source composition.
A_Err restore_precomp_parents(const PluginInfo* info, AEGP_LayerH precompLayer, ParentIndices list);

// In the carrier's composition, makes the carrier the parent of the layer at
// index i for every entry without a parent: those layers then follow the
// carrier's transform.
A_Err attach_to_carrier(const PluginInfo* info, AEGP_LayerH carrierNull, ParentIndices list);

// Frees the layers at the indices of the entries without a parent from the
// carrier, one generated script statement each; the script engine keeps each
// layer's place and look, folding the carrier's transform into the layer.
// Layers that hang on a carrier with a parent of its own move under that
// parent instead of under none, so they keep following it; other layers are
// released to no parent. `carrierNull` may be null: every layer then goes to
// no parent.
A_Err detach_from_carrier(const PluginInfo* info, AEGP_CompH parentComp, AEGP_LayerH carrierNull,
                          ParentIndices list);

// Layers of the pre-comp layer's composition that follow it (have it as
// their parent) before it goes: with a kept carrier they follow the carrier,
// which moves as the pre-comp layer did; otherwise they move, by script
// keeping their place and look, under the pre-comp layer's own parent (or
// none).
A_Err hand_over_followers(const PluginInfo* info, AEGP_LayerH precompLayer,
                          AEGP_LayerH keptCarrier);

}  // namespace outfold
