// Reading and writing the expressions a layer holds: on its own streams and
// on its effects' parameters.
#pragma once

#include <functional>
#include <string>

#include "aegp.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

// Where an expression sits on its layer.
struct StreamPlace {
    A_long effect = -1;  // -1: a layer stream, kFollowerPlace, else the effect's index
    A_long stream = 0;   // the layer stream number, the dimension, or the parameter index
};
// A follower of a separated Position (stream: its dimension).
inline constexpr A_long kFollowerPlace = -2;

// Opens each follower of the layer's Position (only `dimension`, when given)
// for `use`, if the position is separated; a 2D position has two followers.
using FollowerUse = std::function<A_Err(A_short dimension, AEGP_StreamRefH follower)>;
A_Err with_followers(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer,
                     const FollowerUse& use, A_short dimension = -1);

// The stream's expression text; empty when it has none.
A_Err read_expression(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH stream,
                      std::string* text);

// Calls visit for every expression of the layer, its layer streams (0 to 55)
// first, then a separated Position's followers, then its effects' parameters
// in order; stops at the first error.
A_Err for_each_expression(PluginInfo const* info, AEGP_LayerH layer,
                          const std::function<A_Err(StreamPlace, const std::string&)>& visit);

// Sets *found when an effect of the layer has a layer parameter.
A_Err has_layer_params(PluginInfo const* info, AEGP_LayerH layer, bool* found);

// Replaces the expression at `place` with `text`.
A_Err set_expression_at(PluginInfo const* info, AEGP_LayerH layer, StreamPlace place,
                        const std::string& text);

}  // namespace outfold
