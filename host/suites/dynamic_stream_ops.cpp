// Stream names and separated dimensions.
//
// Names cross as NUL-terminated UTF-16. An effect's own stream (reached from
// a parameter through AEGP_GetNewParentStreamRef) carries the instance's
// name, which AEGP_SetStreamName changes; other streams' names are fixed.
// Only a layer's Position separates; its followers are reached through
// AEGP_GetSeparationFollower while it is separated.
#include <cstring>

#include "model/streams.h"
#include "suites/ops.h"
#include "suites/session.h"
#include "text/codec.h"

namespace host::suites::ops {

namespace {

constexpr std::size_t kMaxNameUnits = 255;

bool is_position(const StreamAddress& address) {
    return address.effect == model::kNoId && address.follower < 0 &&
           address.index == model::stream::kPosition;
}

// The leader a reference names, checked to be a layer's Position.
model::Layer& position_layer(Session& s, AEGP_StreamRefH leader) {
    const StreamAddress& address = s.registry().stream(leader);
    if (!is_position(address)) throw BadArgument("only a layer's Position separates");
    return s.stream_layer(leader);
}

std::string name_of(Session& s, AEGP_StreamRefH streamH) {
    const StreamAddress& address = s.registry().stream(streamH);
    if (address.index == kEffectItself && address.effect != model::kNoId)
        return s.effect_itself(address).name;
    return s.stream(streamH).name;
}

}  // namespace

A_Err AEGP_GetStreamName(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean,
                         AEGP_MemHandle* utf_stream_namePH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        AEGP_MemHandle& handle = out(utf_stream_namePH);
        handle = utf16_handle(s, name_of(s, streamH));
        return A_Err_NONE;
    });
}

A_Err AEGP_SetStreamName(AEGP_StreamRefH streamH, const A_UTF16Char* nameZ) {
    return run(__func__, [&](Session& s) {
        const StreamAddress& address = s.registry().stream(streamH);
        if (nameZ == nullptr) throw BadArgument("null name");
        if (address.index != kEffectItself || address.effect == model::kNoId)
            throw BadArgument("only an effect's own stream takes a name");
        model::Effect& effect = s.effect_itself(address);
        const auto* name = reinterpret_cast<const char16_t*>(nameZ);
        const std::size_t units = text::utf16_length(name, kMaxNameUnits);
        if (units > kMaxNameUnits) throw BadArgument("names hold at most 255 units");
        effect.name = text::utf16_to_utf8({name, units});
        return A_Err_NONE;
    });
}

// A parameter's parent is its effect; a follower's is its Position. The
// transform group and the effects group are not modelled.
A_Err AEGP_GetNewParentStreamRef(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH,
                                 AEGP_StreamRefH* parent_streamPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        StreamAddress address = s.registry().stream(streamH);
        AEGP_StreamRefH& parent = out(parent_streamPH);
        if (address.follower >= 0) {
            s.stream(streamH);
            address.follower = -1;
        } else if (address.effect != model::kNoId && address.index != kEffectItself) {
            s.stream(streamH);
            address.index = kEffectItself;
        } else {
            throw BadArgument("the host has no stream above this one");
        }
        parent = s.registry().new_stream(address);
        return A_Err_NONE;
    });
}

A_Err AEGP_IsSeparationLeader(AEGP_StreamRefH streamH, A_Boolean* leaderPB) {
    return run(__func__, [&](Session& s) {
        A_Boolean& leader = out(leaderPB);
        const bool position = is_position(s.registry().stream(streamH));
        leader = position && model::position_separated(s.stream_layer(streamH));
        return A_Err_NONE;
    });
}

A_Err AEGP_AreDimensionsSeparated(AEGP_StreamRefH leader_streamH, A_Boolean* separatedPB) {
    return run(__func__, [&](Session& s) {
        A_Boolean& separated = out(separatedPB);
        const model::Layer& layer = position_layer(s, leader_streamH);
        separated = model::position_separated(layer);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetDimensionsSeparated(AEGP_StreamRefH leader_streamH, A_Boolean separatedB) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = position_layer(s, leader_streamH);
        model::set_position_separated(layer, separatedB != 0);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetSeparationFollower(AEGP_StreamRefH leader_streamH, A_short dimS,
                                 AEGP_StreamRefH* follower_streamPH) {
    return run(__func__, [&](Session& s) {
        AEGP_StreamRefH& follower = out(follower_streamPH);
        const model::Layer& layer = position_layer(s, leader_streamH);
        if (!model::position_separated(layer)) throw BadArgument("the position is not separated");
        if (dimS < 0 || dimS >= model::kSeparatedDimensions) throw BadArgument("no such dimension");
        StreamAddress address = s.registry().stream(leader_streamH);
        address.follower = dimS;
        follower = s.registry().new_stream(address);
        return A_Err_NONE;
    });
}

A_Err AEGP_IsSeparationFollower(AEGP_StreamRefH streamH, A_Boolean* followerPB) {
    return run(__func__, [&](Session& s) {
        A_Boolean& follower = out(followerPB);
        s.stream(streamH);
        follower = s.registry().stream(streamH).follower >= 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetSeparationLeader(AEGP_StreamRefH follower_streamH, AEGP_StreamRefH* leader_streamPH) {
    return run(__func__, [&](Session& s) {
        AEGP_StreamRefH& leader = out(leader_streamPH);
        s.stream(follower_streamH);
        StreamAddress address = s.registry().stream(follower_streamH);
        if (address.follower < 0) throw BadArgument("not a follower");
        address.follower = -1;
        leader = s.registry().new_stream(address);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetSeparationDimension(AEGP_StreamRefH follower_streamH, A_short* dimS) {
    return run(__func__, [&](Session& s) {
        A_short& dimension = out(dimS);
        s.stream(follower_streamH);
        const StreamAddress& address = s.registry().stream(follower_streamH);
        if (address.follower < 0) throw BadArgument("not a follower");
        dimension = static_cast<A_short>(address.follower);
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
