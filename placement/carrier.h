// The carrier null: a null layer that stands in for a pre-comp layer's own
// transform while its layers are extracted, and its removal afterwards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "aegp.h"
#include "placement/parenting.h"
#include "shell/plugin_info.h"

namespace outfold {

// The carrier's name for a pre-comp layer shown as `precompName`: "{{", the
// name, "_outfold}}". The name part is cut (never inside a surrogate pair) so
// that the whole fits the host's limit for layer names.
std::u16string carrier_name(std::u16string_view precompName);

// Creates the carrier null for `precompLayer` on top of the composition that
// holds it: named after the pre-comp layer, with its in point (composition
// time) and duration, its 3D switch, its parent, and a solid with the pixel aspect ratio
// of the pre-comp's source. A null created before a later failure stays.
A_Err create_carrier_null(const PluginInfo* info, AEGP_LayerH precompLayer,
                          AEGP_LayerH* carrierNull);

// Deletes the layer, then its source item when no other layer of the project
// shows that item any more (the carrier's own solid), so nothing of the
// carrier is left behind and no other layer goes with it. A layer without a
// source item is simply deleted.
A_Err delete_layer_and_source(const PluginInfo* info, AEGP_LayerH layer);

// The item ids of the project's folders, sorted; taken before a carrier is
// made, they tell whether the folder its solid was filed in is new.
A_Err list_folders(const PluginInfo* info, std::vector<A_long>* folders);

// The folder the carrier's solid was filed in when it is none of
// `foldersBefore`; null otherwise.
A_Err new_solid_folder(const PluginInfo* info, AEGP_LayerH carrierNull,
                       const std::vector<A_long>& foldersBefore, AEGP_ItemH* folder);

// Deletes the folder when no item of the project is filed in it.
A_Err delete_folder_if_empty(const PluginInfo* info, AEGP_ItemH folder);

// Sets *needed when a copy that hangs on the carrier (an entry of `list`
// without a parent, at its index of `parentComp`) has a transform property
// driven by an enabled expression: folding the carrier into it rewrites
// stored values the expression may ignore, so only keeping the carrier is
// exact. Never sets it back to false.
A_Err copies_need_carrier(const PluginInfo* info, AEGP_CompH parentComp, const ParentIndices& list,
                          bool* needed);

}  // namespace outfold
