// Names of the extracted layers: reading a layer's name, and putting a prefix
// in front of the names of the copies.
#pragma once

#include <string>
#include <string_view>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// A new layer name holds at most this many UTF-16 units.
inline constexpr std::size_t kMaxLayerNameUnits = 255;

// Replaces *name with the name the layer shows: its own name, or its source's
// name when it has none of its own. After an error *name holds what was read
// (possibly nothing).
A_Err get_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name);

// Replaces *name with the layer's own name: empty when it shows its source's.
A_Err get_own_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name);

// The prefix for one pre-comp layer's copies: the pre-comp layer's name when
// prependPrecompName is set, then the user's prefix text (8-bit, at most
// kMaxPrefixBytes bytes are read), joined by "_" when both are present. The
// name look-up's error is ignored: a failed look-up leaves that part empty.
std::u16string compose_name_prefix(PluginInfo const* info, AEGP_LayerH precompLayer,
                                   const char* prefixText);

// Renames the layer to prefix + separator + its name (its name unchanged when
// the prefix is empty), cut to kMaxLayerNameUnits units.
A_Err rename_layer(PluginInfo const* info, AEGP_LayerH layer, std::u16string_view prefix,
                   std::u16string_view separator);

// Gives the layer the name, cut to kMaxLayerNameUnits units.
A_Err set_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string_view name);

// The name of the layer's source item.
A_Err get_source_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name);

// Renames every layer item of the collection, in order, and after each rename
// lets the host repair expressions that named the old name. Stops at the first
// failing fetch or rename; the layers before it keep their new names.
A_Err rename_extracted_layers(PluginInfo const* info, AEGP_Collection2H layers,
                              std::u16string_view prefix, std::u16string_view separator);

}  // namespace outfold
