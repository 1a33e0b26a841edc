// Copying animatable properties (streams) from one layer or effect onto
// another: the held value of a property without keyframes, or its keyframes
// with their times, values, flags, interpolation, temporal ease and spatial
// tangents; for effect parameters also the expression and its switch.
// Values, ease records and tangents are handed from host to host unchanged.
#pragma once

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Copies the transform of `sourceLayer` (anchor point, position, scale,
// rotation, opacity, time remapping, X and Y rotation, orientation, in that
// order) onto `targetLayer`; note the order of the two layers. Sets *animated
// to true when any of these properties varies over time, by keyframes or by
// an expression alone (never back to false).
// Stops at the first property that fails and returns its error.
A_Err copy_transform_to_layer(PluginInfo const* info, AEGP_LayerH targetLayer,
                              AEGP_LayerH sourceLayer, bool* animated);

// Copies one property of `sourceLayer` onto the same property of
// `targetLayer`: its value at the source's in-point when it has no keyframes,
// otherwise its keyframes in one batch (the target property must have none);
// then its expression, when it has one, with its switch.
// Sets *animated to true when the source property varies over time.
A_Err copy_layer_stream(PluginInfo const* info, AEGP_LayerH targetLayer, AEGP_LayerH sourceLayer,
                        AEGP_LayerStream which, bool* animated);

// Copies parameter `paramIndex` of `sourceEffect` onto the same parameter of
// `targetEffect`: its held value (layer time 0) or its keyframes one by one,
// then, for parameters that can vary, its expression text and switch.
A_Err copy_effect_param(PluginInfo const* info, AEGP_EffectRefH sourceEffect,
                        AEGP_EffectRefH targetEffect, A_long paramIndex);

// The two ways of copying all keyframes of `source` onto `target`, both in
// composition time. The batch form addresses each new keyframe by its source
// index, so `target` must have no keyframes; a failure inside the batch adds
// none of them. The one-by-one form inserts each keyframe and writes to the
// index the host gives back; keyframes inserted before a failure stay.
A_Err copy_keyframes_in_batch(PluginInfo const* info, AEGP_StreamRefH source,
                              AEGP_StreamRefH target);
A_Err copy_keyframes_one_by_one(PluginInfo const* info, AEGP_StreamRefH source,
                                AEGP_StreamRefH target);

}  // namespace outfold
