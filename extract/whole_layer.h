// A pre-comp that holds one plain layer of a source and nothing else, as
// pre-composing one layer with its attributes left outside makes it: the
// pre-comp layer then carries everything a viewer sees of that layer (its
// transform, masks, effects, blending, matte, switches, styles and timing),
// and the inner layer only shows the source. Its copy is best made as a
// duplicate of the pre-comp layer showing that source, which gives all of it
// back exactly.
#pragma once

#include <string>

#include "aegp.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

// What the interface can tell about the pre-comp's layers without a script:
// *candidate is set when the source composition holds exactly one layer,
// an AV layer of a source item with no parent, effects, blending, matte or
// switches other than video, audio, effects and lock, and the plain timing
// of a layer that starts at 0 at full speed; and the pre-comp layer is not
// collapsed.
// *inner and *source name that layer and its source item.
A_Err find_plain_inner_layer(HostSuites& suites, AEGP_LayerH precompLayer, bool* candidate,
                             AEGP_LayerH* inner, AEGP_ItemH* source);

// The script that checks what only scripts can read (the inner layer's
// transform values, masks, markers, null switch, span and the frames) and,
// when the layer is plain, duplicates the pre-comp layer at script index
// `precompIndex` of composition `parentId` and has the duplicate show item
// `sourceId`. Its value is "yes" when it did, else "no".
std::string whole_layer_copy_script(A_long parentId, A_long precompIndex, A_long sourceId);

// The duplicate becomes the copy of the inner layer: its own name (none when
// the inner layer shows its source's) and its audio levels.
A_Err give_inner_identity(const PluginInfo* info, AEGP_LayerH inner, AEGP_LayerH copy);

}  // namespace outfold
