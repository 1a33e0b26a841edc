// Keyframes, one by one and in batches.
//
// Keyframe times are kept in layer time. Inserting at the time of an existing
// keyframe returns that keyframe unchanged. A batch collects keyframes (each
// with the stream's value at its time until a value is set) and adds them
// all when it is ended with add = true; they replace keyframes at the same
// times. Ease influences lie in (0, 100] percent.
#include <algorithm>

#include "model/streams.h"
#include "suites/ops.h"
#include "suites/session.h"
#include "suites/values.h"

namespace host::suites::ops {

namespace {

constexpr std::uint32_t kKnownKeyframeFlags = 0x1F;

void require_animatable(const model::Stream& stream) {
    if (!stream.canVary) throw BadArgument("the stream cannot have keyframes");
}

model::Interpolation interpolation(AEGP_KeyframeInterpolationType type) {
    if (type < AEGP_KeyInterp_LINEAR || type > AEGP_KeyInterp_HOLD)
        throw BadArgument("unknown interpolation");
    return static_cast<model::Interpolation>(type);
}

model::Ease ease(const AEGP_KeyframeEase& given) {
    if (!(given.influenceF > 0 && given.influenceF <= 100))
        throw BadArgument("ease influence out of range");
    return model::Ease{given.speedF, given.influenceF};
}

std::size_t ease_dimension(const model::Stream& stream, A_long dim) {
    if (dim < 0 || dim >= model::temporal_dimensions(stream.kind))
        throw BadArgument("no such temporal dimension");
    return static_cast<std::size_t>(dim);
}

void require_spatial(const model::Stream& stream) {
    if (!model::is_spatial(stream.kind)) throw BadArgument("the stream has no spatial tangents");
}

void set_tangent(Session& s, const model::Stream& stream, const AEGP_StreamValue2* given,
                 std::vector<double>& tangent) {
    if (given == nullptr) return;
    std::string unused;
    assign(handed_back(s, *given), stream, tangent, unused);
}

int find_keyframe_at(const model::Stream& stream, model::Time t) {
    for (std::size_t i = 0; i < stream.keyframes.size(); ++i) {
        if (stream.keyframes[i].time == t) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

A_Err AEGP_GetStreamNumKFs(AEGP_StreamRefH streamH, A_long* num_kfsPL) {
    return run(__func__, [&](Session& s) {
        out(num_kfsPL) = static_cast<A_long>(s.keyed_stream(streamH).keyframes.size());
        return A_Err_NONE;
    });
}

A_Err AEGP_GetKeyframeTime(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                           AEGP_LTimeMode time_mode, A_Time* timePT) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        const model::Layer& layer = s.stream_layer(streamH);
        A_Time& result = out(timePT);
        const model::Keyframe& key = keyframe(stream, key_index);
        result = s.to_time(layer, s.in_mode(layer, time_mode, key.time));
        return A_Err_NONE;
    });
}

A_Err AEGP_InsertKeyframe(AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT,
                          AEGP_KeyframeIndex* key_indexP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        const model::Layer& layer = s.stream_layer(streamH);
        AEGP_KeyframeIndex& index = out(key_indexP);
        require_animatable(stream);
        const model::Time t = s.layer_time(layer, time_mode, timePT);
        const int existing = find_keyframe_at(stream, t);
        index = existing >= 0 ? existing
                              : model::insert_keyframe(stream, model::new_keyframe(stream, t));
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewKeyframeValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                               AEGP_KeyframeIndex key_index, AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        model::Stream& stream = s.keyed_stream(streamH);
        AEGP_StreamValue2& value = out(valueP);
        hand_out(s, streamH, keyframe_value(stream, keyframe(stream, key_index)), value);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetKeyframeValue(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                            const AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        model::Keyframe& key = keyframe(stream, key_index);
        assign(handed_back(s, in(valueP)), stream, key.value, key.text);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetStreamTemporalDimensionality(AEGP_StreamRefH streamH, A_short* t_dimPS) {
    return run(__func__, [&](Session& s) {
        out(t_dimPS) =
            static_cast<A_short>(model::temporal_dimensions(s.keyed_stream(streamH).kind));
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewKeyframeSpatialTangents(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                                         AEGP_KeyframeIndex key_index, AEGP_StreamValue2* in_tanP,
                                         AEGP_StreamValue2* out_tanP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        model::Stream& stream = s.keyed_stream(streamH);
        require_spatial(stream);
        const model::Keyframe& key = keyframe(stream, key_index);
        if (in_tanP != nullptr) hand_out(s, streamH, {stream.kind, key.inTangent, {}}, *in_tanP);
        if (out_tanP != nullptr) hand_out(s, streamH, {stream.kind, key.outTangent, {}}, *out_tanP);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetKeyframeSpatialTangents(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                      const AEGP_StreamValue2* in_tanP,
                                      const AEGP_StreamValue2* out_tanP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        require_spatial(stream);
        model::Keyframe& key = keyframe(stream, key_index);
        std::vector<double> inTangent = key.inTangent;
        std::vector<double> outTangent = key.outTangent;
        set_tangent(s, stream, in_tanP, inTangent);
        set_tangent(s, stream, out_tanP, outTangent);
        key.inTangent = std::move(inTangent);
        key.outTangent = std::move(outTangent);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetKeyframeTemporalEase(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                   A_long dimL, AEGP_KeyframeEase* in_easeP,
                                   AEGP_KeyframeEase* out_easeP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        const model::Keyframe& key = keyframe(stream, key_index);
        const std::size_t dim = ease_dimension(stream, dimL);
        const model::Ease inEase = dim < key.inEase.size() ? key.inEase[dim] : model::Ease{};
        const model::Ease outEase = dim < key.outEase.size() ? key.outEase[dim] : model::Ease{};
        if (in_easeP != nullptr) *in_easeP = {inEase.speed, inEase.influence};
        if (out_easeP != nullptr) *out_easeP = {outEase.speed, outEase.influence};
        return A_Err_NONE;
    });
}

A_Err AEGP_SetKeyframeTemporalEase(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                   A_long dimL, const AEGP_KeyframeEase* in_easeP,
                                   const AEGP_KeyframeEase* out_easeP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        model::Keyframe& key = keyframe(stream, key_index);
        const std::size_t dim = ease_dimension(stream, dimL);
        const auto dims = static_cast<std::size_t>(model::temporal_dimensions(stream.kind));
        const model::Ease inEase = in_easeP ? ease(*in_easeP) : model::Ease{};
        const model::Ease outEase = out_easeP ? ease(*out_easeP) : model::Ease{};
        key.inEase.resize(dims);
        key.outEase.resize(dims);
        if (in_easeP != nullptr) key.inEase[dim] = inEase;
        if (out_easeP != nullptr) key.outEase[dim] = outEase;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetKeyframeFlags(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                            AEGP_KeyframeFlags* flagsP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        out(flagsP) = static_cast<AEGP_KeyframeFlags>(keyframe(stream, key_index).flags);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetKeyframeFlag(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                           AEGP_KeyframeFlags flag, A_Boolean valueB) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        model::Keyframe& key = keyframe(stream, key_index);
        const auto bit = static_cast<std::uint32_t>(flag);
        if ((bit & (bit - 1)) != 0 || (bit & ~kKnownKeyframeFlags) != 0)
            throw BadArgument("not a single keyframe flag");
        // Flag 0 (none) names no bit: setting or clearing it changes nothing.
        if (valueB) {
            key.flags |= bit;
        } else {
            key.flags &= ~bit;
        }
        return A_Err_NONE;
    });
}

A_Err AEGP_GetKeyframeInterpolation(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                    AEGP_KeyframeInterpolationType* in_interpP,
                                    AEGP_KeyframeInterpolationType* out_interpP) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        const model::Keyframe& key = keyframe(stream, key_index);
        if (in_interpP != nullptr)
            *in_interpP = static_cast<AEGP_KeyframeInterpolationType>(key.inInterp);
        if (out_interpP != nullptr)
            *out_interpP = static_cast<AEGP_KeyframeInterpolationType>(key.outInterp);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetKeyframeInterpolation(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                    AEGP_KeyframeInterpolationType in_interp,
                                    AEGP_KeyframeInterpolationType out_interp) {
    return run(__func__, [&](Session& s) {
        model::Stream& stream = s.keyed_stream(streamH);
        model::Keyframe& key = keyframe(stream, key_index);
        const model::Interpolation inInterp = interpolation(in_interp);
        const model::Interpolation outInterp = interpolation(out_interp);
        key.inInterp = inInterp;
        key.outInterp = outInterp;
        return A_Err_NONE;
    });
}

A_Err AEGP_StartAddKeyframes(AEGP_StreamRefH streamH, AEGP_AddKeyframesInfoH* akPH) {
    return run(__func__, [&](Session& s) {
        const model::Stream& stream = s.keyed_stream(streamH);
        AEGP_AddKeyframesInfoH& batch = out(akPH);
        require_animatable(stream);
        batch = s.registry().new_batch(s.registry().stream(streamH));
        return A_Err_NONE;
    });
}

A_Err AEGP_AddKeyframes(AEGP_AddKeyframesInfoH akH, AEGP_LTimeMode time_mode, const A_Time* timePT,
                        A_long* indexPL) {
    return run(__func__, [&](Session& s) {
        KeyframeBatch& batch = s.registry().batch(akH);
        const model::Stream& stream = s.stream_at(batch.stream);
        const model::Layer& layer = *model::find_layer(s.project(), batch.stream.layer);
        A_long& index = out(indexPL);
        const model::Time t = s.layer_time(layer, time_mode, timePT);
        batch.keys.push_back(model::new_keyframe(stream, t));
        index = static_cast<A_long>(batch.keys.size() - 1);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetAddKeyframe(AEGP_AddKeyframesInfoH akH, A_long indexL,
                          const AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        KeyframeBatch& batch = s.registry().batch(akH);
        const model::Stream& stream = s.stream_at(batch.stream);
        if (indexL < 0 || static_cast<std::size_t>(indexL) >= batch.keys.size())
            throw BadArgument("no such keyframe in the batch");
        model::Keyframe& key = batch.keys[static_cast<std::size_t>(indexL)];
        assign(handed_back(s, in(valueP)), stream, key.value, key.text);
        return A_Err_NONE;
    });
}

A_Err AEGP_EndAddKeyframes(A_Boolean addB, AEGP_AddKeyframesInfoH akH) {
    return run(__func__, [&](Session& s) {
        KeyframeBatch batch = s.registry().take_batch(akH);
        if (!addB) return A_Err_NONE;
        model::Stream& stream = s.stream_at(batch.stream);
        for (model::Keyframe& key : batch.keys) model::insert_keyframe(stream, std::move(key));
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
