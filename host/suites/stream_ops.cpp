// Streams: layer properties and effect parameters.
//
// A stream varies over time when it has keyframes or an enabled expression.
// Values come before or after expressions as pre_expressionB asks; after
// them, a failing expression shows the stored value. Expression texts are UTF-8; a stream without
// an expression (or one that cannot carry expressions) gives no handle.
#include <algorithm>
#include <cstring>

#include "model/script_ops.h"
#include "model/streams.h"
#include "script/expression_engine.h"
#include "suites/ops.h"
#include "suites/session.h"
#include "suites/values.h"

namespace host::suites::ops {

namespace {

bool varies(const model::Stream& stream) {
    return !stream.keyframes.empty() || (!stream.expression.empty() && stream.expressionEnabled);
}

void require_expressible(const model::Stream& stream) {
    if (!stream.canVary) throw BadArgument("this stream cannot carry an expression");
}

// Where the stream is, for the project's list of expression streams.
model::ExpressionPlace expression_place(const StreamAddress& address) {
    using Holder = model::ExpressionPlace::Holder;
    if (address.effect == model::kNoId)
        return {address.layer, Holder::Layer, model::kNoId, address.index};
    return {address.layer, Holder::Effect, address.effect, address.index};
}

// A value set on a separated Position goes to its followers, which must
// hold no keyframes.
void set_followers(model::Layer& layer, const StreamValueData& data, model::Stream& position) {
    std::vector<double> value;
    std::string text;
    assign(data, position, value, text);
    for (const model::Stream& follower : layer.positionFollowers)
        if (!follower.keyframes.empty()) throw BadArgument("a follower has keyframes");
    for (std::size_t d = 0; d < layer.positionFollowers.size() && d < value.size(); ++d)
        layer.positionFollowers[d].value = {value[d]};
    position.value = std::move(value);
}

}  // namespace

A_Err AEGP_IsStreamLegal(AEGP_LayerH layerH, AEGP_LayerStream which_stream, A_Boolean* is_legalP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Boolean& legal = out(is_legalP);
        if (which_stream < 0 || which_stream >= AEGP_LayerStream_END)
            throw BadArgument("no such layer stream");
        legal = model::is_stream_legal(s.project(), layer, which_stream);
        return A_Err_NONE;
    });
}

A_Err AEGP_CanVaryOverTime(AEGP_StreamRefH streamH, A_Boolean* can_varyPB) {
    return run(__func__, [&](Session& s) {
        out(can_varyPB) = s.stream(streamH).canVary;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewLayerStream(AEGP_PluginID plugin_id, AEGP_LayerH layerH,
                             AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Layer& layer = s.layer(layerH);
        AEGP_StreamRefH& stream = out(streamPH);
        if (layer.streams.count(which_stream) == 0)
            throw BadArgument("the layer has no such stream");
        if (s.host().options.readings.refuseIllegalStreams &&
            !model::is_stream_legal(s.project(), layer, which_stream))
            throw BadArgument("the stream is not legal on the layer");
        stream = s.registry().new_stream(StreamAddress{layer.id, model::kNoId, which_stream});
        return A_Err_NONE;
    });
}

A_Err AEGP_GetEffectNumParamStreams(AEGP_EffectRefH effect_refH, A_long* num_paramsPL) {
    return run(__func__, [&](Session& s) {
        out(num_paramsPL) = static_cast<A_long>(s.effect(effect_refH).params.size());
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewEffectStreamByIndex(AEGP_PluginID plugin_id, AEGP_EffectRefH effect_refH,
                                     PF_ParamIndex param_index, AEGP_StreamRefH* streamPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Effect& effect = s.effect(effect_refH);
        AEGP_StreamRefH& stream = out(streamPH);
        if (param_index < 0 || static_cast<std::size_t>(param_index) >= effect.params.size())
            throw BadArgument("parameter index out of range");
        const model::Id layer = s.registry().effect(effect_refH).layer;
        stream = s.registry().new_stream(StreamAddress{layer, effect.id, param_index});
        return A_Err_NONE;
    });
}

A_Err AEGP_DisposeStream(AEGP_StreamRefH streamH) {
    return run(__func__, [&](Session& s) {
        s.registry().dispose_stream(streamH);
        return A_Err_NONE;
    });
}

A_Err AEGP_IsStreamTimevarying(AEGP_StreamRefH streamH, A_Boolean* is_timevaryPB) {
    return run(__func__, [&](Session& s) {
        const model::Stream& stream = s.stream(streamH);
        const model::Layer& layer = s.stream_layer(streamH);
        bool any = varies(stream);
        if (model::is_separated_leader(layer, stream)) {
            any =
                std::any_of(layer.positionFollowers.begin(), layer.positionFollowers.end(), varies);
        }
        out(is_timevaryPB) = any;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetStreamType(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP) {
    return run(__func__, [&](Session& s) {
        // The model's kinds are listed in the order of the host's stream types.
        out(stream_typeP) = static_cast<AEGP_StreamType>(s.stream(streamH).kind);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                             AEGP_LTimeMode time_mode, const A_Time* timePT,
                             A_Boolean pre_expressionB, AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Stream& stream = s.stream(streamH);
        const model::Layer& layer = s.stream_layer(streamH);
        AEGP_StreamValue2& value = out(valueP);
        const model::Time layerTime = s.layer_time(layer, time_mode, timePT);
        StreamValueData data = value_of(layer, stream, layerTime);
        if (!pre_expressionB) {
            script::ExpressionResult shown = script::value_after_expression(
                s.host().expressions(), s.project(), layer.id, stream, layerTime);
            data.value = std::move(shown.value);
            data.text = std::move(shown.text);
        }
        hand_out(s, streamH, std::move(data), value);
        return A_Err_NONE;
    });
}

A_Err AEGP_DisposeStreamValue(AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        AEGP_StreamValue2& value = out(valueP);
        s.registry().dispose_value(value.val.pointers[0]);
        std::memset(&value.val, 0, sizeof value.val);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                          AEGP_StreamValue2* valueP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        model::Stream& stream = s.stream(streamH);
        model::Layer& layer = s.stream_layer(streamH);
        const StreamValueData& data = handed_back(s, in(valueP));
        if (!stream.keyframes.empty()) throw BadArgument("the stream has keyframes");
        if (stream.kind == model::StreamKind::NoData) throw BadArgument("the stream holds no data");
        if (model::is_separated_leader(layer, stream)) {
            set_followers(layer, data, stream);
            return A_Err_NONE;
        }
        assign(data, stream, stream.value, stream.text);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetExpressionState(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                              A_Boolean* enabledPB) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Stream& stream = s.stream(streamH);
        out(enabledPB) = !stream.expression.empty() && stream.expressionEnabled;
        return A_Err_NONE;
    });
}

A_Err AEGP_SetExpressionState(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                              A_Boolean enabledB) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        model::Stream& stream = s.stream(streamH);
        require_expressible(stream);
        stream.expressionEnabled = enabledB != 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetExpression(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                         AEGP_MemHandle* expressionHZ) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Stream& stream = s.stream(streamH);
        AEGP_MemHandle& handle = out(expressionHZ);
        handle = nullptr;
        if (!stream.canVary || stream.expression.empty()) return A_Err_NONE;
        handle = text_handle(s, stream.expression);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetExpression(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                         const A_char* expressionP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const StreamAddress& address = s.registry().stream(streamH);
        model::Stream& stream = s.stream(streamH);
        const char* text = in_text(expressionP);
        require_expressible(stream);
        const bool heldOne = !stream.expression.empty();
        stream.expression = text;
        // Followers of a separated Position are not in the list (see the README).
        if (!heldOne && !stream.expression.empty() && address.follower < 0)
            model::note_expression_set(s.project(), expression_place(address));
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
