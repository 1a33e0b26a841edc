#include "attributes/stream_transfer.h"

#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// The transform properties, in the order they are copied. Audio levels and
// markers are not among them.
constexpr AEGP_LayerStream kTransformStreams[] = {
    AEGP_LayerStream_ANCHORPOINT, AEGP_LayerStream_POSITION, AEGP_LayerStream_SCALE,
    AEGP_LayerStream_ROTATION,    AEGP_LayerStream_OPACITY,  AEGP_LayerStream_TIME_REMAP,
    AEGP_LayerStream_ROTATE_X,    AEGP_LayerStream_ROTATE_Y, AEGP_LayerStream_ORIENTATION,
};

// The keyframe flags carried over, in the order they are written; any other
// bit of a source keyframe's flags is ignored.
constexpr AEGP_KeyframeFlags kCopiedFlags[] = {
    AEGP_KeyframeFlag_TEMPORAL_CONTINUOUS,
    AEGP_KeyframeFlag_TEMPORAL_AUTOBEZIER,
    AEGP_KeyframeFlag_SPATIAL_CONTINUOUS,
    AEGP_KeyframeFlag_SPATIAL_AUTOBEZIER,
    AEGP_KeyframeFlag_ROVING,
};

// The held value of an effect parameter is read at layer time 0.
constexpr A_Time kLayerTimeZero{0, 1};

constexpr A_Boolean kPreExpression = true;

bool has_spatial_tangents(AEGP_StreamType type) {
    return type == AEGP_StreamType_ThreeD_SPATIAL || type == AEGP_StreamType_TwoD_SPATIAL;
}

// One keyframe's place on each side of a copy.
struct KeyframePair {
    AEGP_StreamRefH source;
    AEGP_KeyframeIndex sourceIndex;
    AEGP_StreamRefH target;
    AEGP_KeyframeIndex targetIndex;
};

A_Err copy_interpolation(const AEGP_KeyframeSuite_v4& keyframes, const KeyframePair& key) {
    AEGP_KeyframeInterpolationType in = AEGP_KeyInterp_NONE;
    AEGP_KeyframeInterpolationType out = AEGP_KeyInterp_NONE;
    RunningError err;
    err.then([&] {
           return keyframes.AEGP_GetKeyframeInterpolation(key.source, key.sourceIndex, &in, &out);
       })
        .then([&] {
            return keyframes.AEGP_SetKeyframeInterpolation(key.target, key.targetIndex, in, out);
        });
    return err.code();
}

// Writes each carried flag, set when its bit is set in `flags`, else cleared.
A_Err write_flags(const AEGP_KeyframeSuite_v4& keyframes, const KeyframePair& key,
                  AEGP_KeyframeFlags flags) {
    RunningError err;
    for (const AEGP_KeyframeFlags flag : kCopiedFlags) {
        err.then([&] {
            return keyframes.AEGP_SetKeyframeFlag(key.target, key.targetIndex, flag,
                                                  (flags & flag) != 0);
        });
    }
    return err.code();
}

// Batch form: a keyframe without flags writes none, so the new keyframe keeps
// the flags the host gave it.
A_Err copy_flags_when_any(const AEGP_KeyframeSuite_v4& keyframes, const KeyframePair& key) {
    AEGP_KeyframeFlags flags = AEGP_KeyframeFlag_NONE;
    RunningError err;
    err.then([&] { return keyframes.AEGP_GetKeyframeFlags(key.source, key.sourceIndex, &flags); });
    if (err.ok() && flags != AEGP_KeyframeFlag_NONE) {
        err.then([&] { return write_flags(keyframes, key, flags); });
    }
    return err.code();
}

// One-by-one form: the "none" flag first (set exactly when the source has no
// flags), then every carried flag.
A_Err copy_every_flag(const AEGP_KeyframeSuite_v4& keyframes, const KeyframePair& key) {
    AEGP_KeyframeFlags flags = AEGP_KeyframeFlag_NONE;
    RunningError err;
    err.then([&] { return keyframes.AEGP_GetKeyframeFlags(key.source, key.sourceIndex, &flags); })
        .then([&] {
            return keyframes.AEGP_SetKeyframeFlag(key.target, key.targetIndex,
                                                  AEGP_KeyframeFlag_NONE,
                                                  flags == AEGP_KeyframeFlag_NONE);
        })
        .then([&] { return write_flags(keyframes, key, flags); });
    return err.code();
}

// Incoming and outgoing ease of every temporal dimension of the source, so a
// stream whose dimensions are eased separately keeps each dimension's timing.
A_Err copy_temporal_ease(const AEGP_KeyframeSuite_v4& keyframes, const KeyframePair& key) {
    A_short dimensions = 0;
    RunningError err;
    err.then(
        [&] { return keyframes.AEGP_GetStreamTemporalDimensionality(key.source, &dimensions); });
    for (A_long dimension = 0; dimension < dimensions; ++dimension) {
        AEGP_KeyframeEase in{};
        AEGP_KeyframeEase out{};
        err.then([&] {
               return keyframes.AEGP_GetKeyframeTemporalEase(key.source, key.sourceIndex, dimension,
                                                             &in, &out);
           })
            .then([&] {
                return keyframes.AEGP_SetKeyframeTemporalEase(key.target, key.targetIndex,
                                                              dimension, &in, &out);
            });
    }
    return err.code();
}

// Both tangents are read in one call, written in one call, then given back:
// the incoming one first.
A_Err copy_spatial_tangents(HostSuites& suites, PluginInfo const* info, const KeyframePair& key) {
    const auto& keyframes = suites.get<AEGP_KeyframeSuite_v4>();
    OwnedStreamValue in(suites.get<AEGP_StreamSuite_v9>());
    OwnedStreamValue out(suites.get<AEGP_StreamSuite_v9>());
    RunningError err;
    err.then([&] {
        const A_Err got = keyframes.AEGP_GetNewKeyframeSpatialTangents(
            info->pluginId, key.source, key.sourceIndex, in.get(), out.get());
        in.adopt(got);
        return out.adopt(got);
    });
    err.then([&] {
        return keyframes.AEGP_SetKeyframeSpatialTangents(key.target, key.targetIndex, in.get(),
                                                         out.get());
    });
    err.keep_first(in.release());
    err.keep_first(out.release());
    return err.code();
}

A_Err copy_tangents_if_spatial(HostSuites& suites, PluginInfo const* info, const KeyframePair& key,
                               AEGP_StreamType type) {
    if (!has_spatial_tangents(type)) return A_Err_NONE;
    return copy_spatial_tangents(suites, info, key);
}

// Adds keyframe k of the source to the batch at the same composition time,
// with the same value.
A_Err add_to_batch(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                   AEGP_KeyframeIndex k, AEGP_AddKeyframesInfoH batch) {
    const auto& keyframes = suites.get<AEGP_KeyframeSuite_v4>();
    OwnedStreamValue value(suites.get<AEGP_StreamSuite_v9>());
    A_Time time{};
    A_long index = 0;
    RunningError err;
    err.then([&] {
           return keyframes.AEGP_GetKeyframeTime(source, k, AEGP_LTimeMode_CompTime, &time);
       })
        .then([&] {
            return keyframes.AEGP_AddKeyframes(batch, AEGP_LTimeMode_CompTime, &time, &index);
        })
        .then([&] {
            return value.adopt(
                keyframes.AEGP_GetNewKeyframeValue(info->pluginId, source, k, value.get()));
        })
        .then([&] { return keyframes.AEGP_SetAddKeyframe(batch, index, value.get()); });
    err.keep_first(value.release());
    return err.code();
}

// Creates the target's keyframes in one batch; the batch adds them only when
// every keyframe went in, and is ended on every path.
A_Err add_keyframes_in_batch(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                             A_long count, AEGP_StreamRefH target) {
    const auto& keyframes = suites.get<AEGP_KeyframeSuite_v4>();
    OwnedKeyframeBatch batch(keyframes);
    RunningError err;
    err.then([&] { return keyframes.AEGP_StartAddKeyframes(target, batch.out()); });
    for (A_long k = 0; k < count; ++k) {
        err.then([&] { return add_to_batch(suites, info, source, k, batch.get()); });
    }
    err.then([&] { return batch.commit(); });
    return err.code();
}

// After the batch: interpolation, flags, ease and tangents of each keyframe,
// from source index k to target index k.
A_Err copy_batch_keyframe_details(HostSuites& suites, PluginInfo const* info,
                                  AEGP_StreamRefH source, A_long count, AEGP_StreamRefH target) {
    const auto& keyframes = suites.get<AEGP_KeyframeSuite_v4>();
    AEGP_StreamType type = AEGP_StreamType_NO_DATA;
    RunningError err;
    err.then([&] { return suites.get<AEGP_StreamSuite_v9>().AEGP_GetStreamType(source, &type); });
    for (A_long k = 0; k < count; ++k) {
        const KeyframePair key{source, k, target, k};
        err.then([&] { return copy_interpolation(keyframes, key); })
            .then([&] { return copy_flags_when_any(keyframes, key); })
            .then([&] { return copy_temporal_ease(keyframes, key); })
            .then([&] { return copy_tangents_if_spatial(suites, info, key, type); });
    }
    return err.code();
}

A_Err copy_keyframes_batch(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                           A_long count, AEGP_StreamRefH target) {
    RunningError err;
    err.then([&] { return add_keyframes_in_batch(suites, info, source, count, target); }).then([&] {
        return copy_batch_keyframe_details(suites, info, source, count, target);
    });
    return err.code();
}

// Inserts a copy of keyframe k of the source into the target and writes
// everything else to the index the host gives back.
A_Err insert_keyframe_copy(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                           AEGP_KeyframeIndex k, AEGP_StreamRefH target) {
    const auto& keyframes = suites.get<AEGP_KeyframeSuite_v4>();
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    OwnedStreamValue value(streams);
    A_Time time{};
    KeyframePair key{source, k, target, 0};
    AEGP_StreamType type = AEGP_StreamType_NO_DATA;
    RunningError err;
    err.then([&] {
           return keyframes.AEGP_GetKeyframeTime(source, k, AEGP_LTimeMode_CompTime, &time);
       })
        .then([&] {
            return keyframes.AEGP_InsertKeyframe(target, AEGP_LTimeMode_CompTime, &time,
                                                 &key.targetIndex);
        })
        .then([&] {
            return value.adopt(
                keyframes.AEGP_GetNewKeyframeValue(info->pluginId, source, k, value.get()));
        })
        .then(
            [&] { return keyframes.AEGP_SetKeyframeValue(target, key.targetIndex, value.get()); });
    err.keep_first(value.release());
    err.then([&] { return copy_every_flag(keyframes, key); })
        .then([&] { return copy_interpolation(keyframes, key); })
        .then([&] { return streams.AEGP_GetStreamType(source, &type); })
        .then([&] { return copy_tangents_if_spatial(suites, info, key, type); })
        .then([&] { return copy_temporal_ease(keyframes, key); });
    return err.code();
}

A_Err copy_keyframes_singly(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                            A_long count, AEGP_StreamRefH target) {
    RunningError err;
    for (A_long k = 0; k < count; ++k) {
        err.then([&] { return insert_keyframe_copy(suites, info, source, k, target); });
    }
    return err.code();
}

A_Err count_keyframes(HostSuites& suites, AEGP_StreamRefH stream, A_long* count) {
    return suites.get<AEGP_KeyframeSuite_v4>().AEGP_GetStreamNumKFs(stream, count);
}

// The number of keyframes to copy from a stream: 0 unless it varies over
// time. The host also counts a stream driven only by an expression as
// varying; such a stream has no keyframes, and its held value is what must be
// copied.
A_Err count_keyframes_to_copy(HostSuites& suites, AEGP_StreamRefH stream, A_long* count,
                              A_Boolean* varies = nullptr) {
    A_Boolean timeVarying = false;
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_StreamSuite_v9>().AEGP_IsStreamTimevarying(stream, &timeVarying);
    });
    if (err.ok() && timeVarying) err.then([&] { return count_keyframes(suites, stream, count); });
    if (varies != nullptr) *varies = timeVarying;
    return err.code();
}

// Lends the expression text to the target without converting it.
A_Err hand_over_expression_text(HostSuites& suites, PluginInfo const* info, AEGP_MemHandle text,
                                AEGP_StreamRefH target) {
    const auto& memory = suites.get<AEGP_MemorySuite_v1>();
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    void* locked = nullptr;
    RunningError err;
    err.then([&] { return memory.AEGP_LockMemHandle(text, &locked); });
    if (!err.ok()) return err.code();
    err.then([&] {
        return streams.AEGP_SetExpression(info->pluginId, target,
                                          static_cast<const A_char*>(locked));
    });
    err.keep_first(memory.AEGP_UnlockMemHandle(text));
    return err.code();
}

// The expression text (when the source has one) and whether it is enabled;
// `onlyWithText`: nothing at all for a source without an expression.
A_Err copy_expression(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                      AEGP_StreamRefH target, bool onlyWithText = false) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_MemHandle> text(suites.get<AEGP_MemorySuite_v1>().AEGP_FreeMemHandle);
    A_Boolean enabled = false;
    RunningError err;
    err.then([&] { return streams.AEGP_GetExpression(info->pluginId, source, text.out()); });
    if (err.ok() && text) {
        err.then([&] { return hand_over_expression_text(suites, info, text.get(), target); });
    }
    const bool hasText = static_cast<bool>(text);
    err.keep_first(text.release());
    if (onlyWithText && !hasText) return err.code();
    err.then([&] { return streams.AEGP_GetExpressionState(info->pluginId, source, &enabled); })
        .then([&] { return streams.AEGP_SetExpressionState(info->pluginId, target, enabled); });
    return err.code();
}

// The effect parameter's value at layer time 0, set as the target's value.
A_Err copy_held_param_value(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                            AEGP_StreamRefH target) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    OwnedStreamValue value(streams);
    RunningError err;
    err.then([&] {
           return value.adopt(
               streams.AEGP_GetNewStreamValue(info->pluginId, source, AEGP_LTimeMode_LayerTime,
                                              &kLayerTimeZero, kPreExpression, value.get()));
       })
        .then([&] { return streams.AEGP_SetStreamValue(info->pluginId, target, value.get()); });
    err.keep_first(value.release());
    return err.code();
}

A_Err copy_param_stream(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                        AEGP_StreamRefH target) {
    A_long keyframes = 0;
    A_Boolean canVary = false;
    RunningError err;
    err.then([&] { return count_keyframes_to_copy(suites, source, &keyframes); });
    if (keyframes > 0) {
        err.then([&] { return copy_keyframes_singly(suites, info, source, keyframes, target); });
    } else {
        err.then([&] { return copy_held_param_value(suites, info, source, target); });
    }
    err.then(
        [&] { return suites.get<AEGP_StreamSuite_v9>().AEGP_CanVaryOverTime(source, &canVary); });
    if (err.ok() && canVary)
        err.then([&] { return copy_expression(suites, info, source, target); });
    return err.code();
}

// Whether the stream is legal on both layers: time remapping needs a source
// with time of its own, X/Y rotation and orientation a 3D layer. Whether the
// application opens an illegal stream at all is not known, so none is opened.
A_Err legal_on_both(HostSuites& suites, AEGP_LayerH a, AEGP_LayerH b, AEGP_LayerStream which,
                    bool* legal) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    RunningError err;
    A_Boolean legalA = false;
    A_Boolean legalB = false;
    err.then([&] { return streams.AEGP_IsStreamLegal(a, which, &legalA); }).then([&] {
        return legalA ? streams.AEGP_IsStreamLegal(b, which, &legalB) : A_Err_NONE;
    });
    *legal = err.ok() && legalA && legalB;
    return err.code();
}

// Whether the layer's Position has its dimensions separated; any other
// stream never has.
A_Err dimensions_separated(HostSuites& suites, AEGP_StreamRefH stream, AEGP_LayerStream which,
                           bool* separated) {
    A_Boolean answer = false;
    if (which != AEGP_LayerStream_POSITION) return A_Err_NONE;
    const A_Err err =
        suites.get<AEGP_DynamicStreamSuite_v5>().AEGP_AreDimensionsSeparated(stream, &answer);
    *separated = err == A_Err_NONE && answer;
    return err;
}

// One follower's value or keyframes, then its expression, as for a whole
// stream.
A_Err copy_follower(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH sourceFollower,
                    AEGP_StreamRefH targetFollower, const A_Time& inPoint, bool* animated) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    OwnedStreamValue held(streams);
    A_long keyframes = 0;
    A_Boolean varies = false;
    RunningError err;
    err.then([&] {
           return held.adopt(streams.AEGP_GetNewStreamValue(info->pluginId, sourceFollower,
                                                            AEGP_LTimeMode_CompTime, &inPoint,
                                                            kPreExpression, held.get()));
       })
        .then([&] { return count_keyframes_to_copy(suites, sourceFollower, &keyframes, &varies); });
    if (err.ok() && varies) *animated = true;
    if (err.ok() && keyframes > 0) {
        err.then([&] {
            return copy_keyframes_batch(suites, info, sourceFollower, keyframes, targetFollower);
        });
    } else {
        err.then([&] {
            return streams.AEGP_SetStreamValue(info->pluginId, targetFollower, held.get());
        });
    }
    err.then([&] { return copy_expression(suites, info, sourceFollower, targetFollower, true); });
    err.keep_first(held.release());
    return err.code();
}

// A separated Position keeps its keyframes on the followers, where keyframe
// calls must go: the target is separated too and takes each follower's
// animation. A 2D position has two followers, a 3D one three.
A_Err copy_separated_position(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH source,
                              AEGP_StreamRefH target, const A_Time& inPoint, bool* animated) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    const auto& dynamic = suites.get<AEGP_DynamicStreamSuite_v5>();
    AEGP_StreamType type = AEGP_StreamType_NO_DATA;
    RunningError err;
    err.then([&] { return dynamic.AEGP_SetDimensionsSeparated(target, true); }).then([&] {
        return streams.AEGP_GetStreamType(source, &type);
    });
    const A_short dimensions = type == AEGP_StreamType_ThreeD_SPATIAL ? 3 : 2;
    for (A_short d = 0; d < dimensions && err.ok(); ++d) {
        Owned<AEGP_StreamRefH> sourceFollower(streams.AEGP_DisposeStream);
        Owned<AEGP_StreamRefH> targetFollower(streams.AEGP_DisposeStream);
        err.then(
               [&] { return dynamic.AEGP_GetSeparationFollower(source, d, sourceFollower.out()); })
            .then(
                [&] { return dynamic.AEGP_GetSeparationFollower(target, d, targetFollower.out()); })
            .then([&] {
                return copy_follower(suites, info, sourceFollower.get(), targetFollower.get(),
                                     inPoint, animated);
            });
        err.keep_first(sourceFollower.release());
        err.keep_first(targetFollower.release());
    }
    return err.code();
}

A_Err copy_layer_stream_with(HostSuites& suites, PluginInfo const* info, AEGP_LayerH targetLayer,
                             AEGP_LayerH sourceLayer, AEGP_LayerStream which, bool* animated) {
    bool legal = false;
    if (const A_Err err = legal_on_both(suites, sourceLayer, targetLayer, which, &legal);
        err != A_Err_NONE || !legal)
        return err;
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> source(streams.AEGP_DisposeStream);
    Owned<AEGP_StreamRefH> target(streams.AEGP_DisposeStream);
    OwnedStreamValue held(streams);
    A_Time inPoint{};
    A_long keyframes = 0;
    A_Boolean varies = false;
    RunningError err;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v10>().AEGP_GetLayerInPoint(
               sourceLayer, AEGP_LTimeMode_CompTime, &inPoint);
       })
        .then([&] {
            return streams.AEGP_GetNewLayerStream(info->pluginId, sourceLayer, which, source.out());
        })
        .then([&] {
            return held.adopt(streams.AEGP_GetNewStreamValue(info->pluginId, source.get(),
                                                             AEGP_LTimeMode_CompTime, &inPoint,
                                                             kPreExpression, held.get()));
        })
        .then([&] {
            return streams.AEGP_GetNewLayerStream(info->pluginId, targetLayer, which, target.out());
        });
    bool separated = false;
    err.then([&] { return dimensions_separated(suites, source.get(), which, &separated); });
    if (err.ok() && separated) {
        err.then([&] {
            return copy_separated_position(suites, info, source.get(), target.get(), inPoint,
                                           animated);
        });
        err.keep_first(held.release());
        err.keep_first(source.release());
        err.keep_first(target.release());
        return err.code();
    }
    err.then([&] { return count_keyframes_to_copy(suites, source.get(), &keyframes, &varies); });
    // Reported as soon as it is known, even if the copy then fails. A
    // property moved by an expression alone varies too: the target keeps it
    // in place of the pre-comp layer, holding the property's own value.
    if (err.ok() && varies) *animated = true;
    if (err.ok() && keyframes > 0) {
        err.then([&] {
            return copy_keyframes_batch(suites, info, source.get(), keyframes, target.get());
        });
    } else {
        err.then(
            [&] { return streams.AEGP_SetStreamValue(info->pluginId, target.get(), held.get()); });
    }
    // A wiggle or a link moves the target as it moved the source.
    err.then([&] { return copy_expression(suites, info, source.get(), target.get(), true); });
    err.keep_first(held.release());
    err.keep_first(source.release());
    err.keep_first(target.release());
    return err.code();
}

A_Err copy_effect_param_with(HostSuites& suites, PluginInfo const* info,
                             AEGP_EffectRefH sourceEffect, AEGP_EffectRefH targetEffect,
                             A_long paramIndex) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> source(streams.AEGP_DisposeStream);
    Owned<AEGP_StreamRefH> target(streams.AEGP_DisposeStream);
    RunningError err;
    err.then([&] {
           return streams.AEGP_GetNewEffectStreamByIndex(info->pluginId, sourceEffect, paramIndex,
                                                         source.out());
       })
        .then([&] {
            return streams.AEGP_GetNewEffectStreamByIndex(info->pluginId, targetEffect, paramIndex,
                                                          target.out());
        })
        .then([&] { return copy_param_stream(suites, info, source.get(), target.get()); });
    err.keep_first(source.release());
    err.keep_first(target.release());
    return err.code();
}

}  // namespace

A_Err copy_transform_to_layer(PluginInfo const* info, AEGP_LayerH targetLayer,
                              AEGP_LayerH sourceLayer, bool* animated) {
    RunningError err;
    for (const AEGP_LayerStream which : kTransformStreams) {
        err.then(
            [&] { return copy_layer_stream(info, targetLayer, sourceLayer, which, animated); });
    }
    return err.code();
}

A_Err copy_layer_stream(PluginInfo const* info, AEGP_LayerH targetLayer, AEGP_LayerH sourceLayer,
                        AEGP_LayerStream which, bool* animated) {
    if (animated == nullptr) return A_Err_PARAMETER;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        return copy_layer_stream_with(suites, info, targetLayer, sourceLayer, which, animated);
    });
}

A_Err copy_effect_param(PluginInfo const* info, AEGP_EffectRefH sourceEffect,
                        AEGP_EffectRefH targetEffect, A_long paramIndex) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        return copy_effect_param_with(suites, info, sourceEffect, targetEffect, paramIndex);
    });
}

A_Err copy_keyframes_in_batch(PluginInfo const* info, AEGP_StreamRefH source,
                              AEGP_StreamRefH target) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        A_long count = 0;
        RunningError err;
        err.then([&] { return count_keyframes(suites, source, &count); }).then([&] {
            return copy_keyframes_batch(suites, info, source, count, target);
        });
        return err.code();
    });
}

A_Err copy_keyframes_one_by_one(PluginInfo const* info, AEGP_StreamRefH source,
                                AEGP_StreamRefH target) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        A_long count = 0;
        RunningError err;
        err.then([&] { return count_keyframes(suites, source, &count); }).then([&] {
            return copy_keyframes_singly(suites, info, source, count, target);
        });
        return err.code();
    });
}

}  // namespace outfold
