// What a still pre-comp layer hands its copies that only a script can read
// or write: its opacity, and whether its transform folds into them exactly.
#pragma once

#include "aegp.h"
#include "attributes/look_transfer.h"
#include "placement/parenting.h"
#include "shell/plugin_info.h"

namespace outfold {

// Whether the carrier, holding the pre-comp layer's still transform, may be
// folded into the layers that hang on it.
struct FoldCheck {
    // No parent and a transform that changes nothing: folding changes nothing.
    bool identity = false;
    // Folding keeps every copy that hangs on the carrier, and every layer that
    // follows the pre-comp layer, exactly where it was at every time.
    bool exact = false;
};

// One generated script, run while the copy of pre-comp layer i sits at
// index i of `parentComp` (`list` says which of them hang on the carrier):
// - when the pre-comp layer's opacity is still and not 100 %, it scales each
//   copy's own opacity by it, the held value or every keyframe's value and
//   temporal ease speeds (influences kept); a copy whose opacity has an
//   enabled expression keeps it and is counted in losses->ownOpacityExpressions
//   (the carrier's opacity would never reach its children);
// - it counts the pre-comp layer's masks, which no copy takes
//   (losses->masks);
// - it tells whether a still transform folds exactly (*fold). The host's fold
//   is exact for translations, rotations, uniform scales and mirrors; an
//   uneven scale is exact only where nothing turns (neither the pre-comp
//   layer nor a layer it is folded into) and no such layer moves along a
//   path; a turn splits a separated Position's followers between keys.
A_Err carry_still_look(const PluginInfo* info, AEGP_LayerH precompLayer, AEGP_CompH parentComp,
                       const ParentIndices& list, FoldCheck* fold, LookLosses* losses);

}  // namespace outfold
