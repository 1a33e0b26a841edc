// Layers: stack, names, flags, times and parents.
//
// Times: a layer's in point and duration are kept in layer time; composition
// time is offset + stretch * layer time. In composition time a layer's in
// point is the earlier of its ends (a reversed layer starts with its layer
// out point) and its duration is |stretch| times the layer's.
//
// 8-bit names are UTF-8 copied into the caller's buffer of
// kNameBufferBytes bytes: at most 31 bytes of text, never cutting a
// character, and a terminating NUL.
#include <algorithm>
#include <cstring>
#include <limits>

#include "model/blending.h"
#include "model/streams.h"
#include "suites/ops.h"
#include "suites/session.h"
#include "text/codec.h"

namespace host::suites::ops {

namespace {

constexpr std::size_t kNameBufferBytes = 32;
constexpr std::size_t kMaxNameUnits = 255;
constexpr std::uint32_t kKnownLayerFlags = 0xFFF;

void copy_name(const std::string& name, A_char* buffer) {
    if (buffer == nullptr) return;
    const std::string_view fitting = text::utf8_prefix(name, kNameBufferBytes - 1);
    std::memcpy(buffer, fitting.data(), fitting.size());
    buffer[fitting.size()] = '\0';
}

std::string source_name(Session& s, const model::Layer& layer) {
    const model::Item* source = model::find_item(s.project(), layer.source);
    return source ? source->name : std::string();
}

A_Ratio to_ratio(model::Rational r) {
    if (r.num > std::numeric_limits<A_long>::max() || r.num < std::numeric_limits<A_long>::min() ||
        r.den > std::numeric_limits<A_u_long>::max())
        throw std::overflow_error("ratio out of range");
    return A_Ratio{static_cast<A_long>(r.num), static_cast<A_u_long>(r.den)};
}

bool is_always_3d(const model::Layer& layer) {
    return layer.kind == model::LayerKind::Camera || layer.kind == model::LayerKind::Light;
}

bool source_has_time(Session& s, const model::Layer& layer) {
    return model::is_stream_legal(s.project(), layer, model::stream::kTimeRemap);
}

void require_mode(AEGP_LTimeMode mode) {
    if (mode != AEGP_LTimeMode_LayerTime && mode != AEGP_LTimeMode_CompTime)
        throw BadArgument("unknown time mode");
}

}  // namespace

A_Err AEGP_GetCompNumLayers(AEGP_CompH compH, A_long* num_layersPL) {
    return run(__func__, [&](Session& s) {
        const model::Composition& comp = s.comp(compH);
        out(num_layersPL) = static_cast<A_long>(comp.layers.size());
        return A_Err_NONE;
    });
}

A_Err AEGP_GetCompLayerByIndex(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH) {
    return run(__func__, [&](Session& s) {
        const model::Composition& comp = s.comp(compH);
        AEGP_LayerH& layer = out(layerPH);
        if (layer_indexL < 0 || static_cast<std::size_t>(layer_indexL) >= comp.layers.size())
            throw BadArgument("layer index out of range");
        layer = s.registry().layer_handle(comp.layers[static_cast<std::size_t>(layer_indexL)].id);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerIndex(AEGP_LayerH layerH, A_long* layer_indexPL) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(layer_indexPL) = model::locate_layer(s.project(), layer.id)->index;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerSourceItem(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        const bool hasSource = model::find_item(s.project(), layer.source) != nullptr;
        out(source_itemPH) = hasSource ? s.registry().item_handle(layer.source) : nullptr;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerParentComp(AEGP_LayerH layerH, AEGP_CompH* compPH) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(compPH) = s.registry().comp_handle(s.comp_item_of(layer).id);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerName(AEGP_LayerH layerH, A_char* layer_nameZ, A_char* source_nameZ) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        copy_name(layer.ownName, layer_nameZ);
        copy_name(source_name(s, layer), source_nameZ);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerName(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_MemHandle* layer_nameZ,
                        AEGP_MemHandle* source_nameZ) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Layer& layer = s.layer(layerH);
        if (layer_nameZ != nullptr) *layer_nameZ = utf16_handle(s, layer.ownName);
        if (source_nameZ != nullptr) *source_nameZ = utf16_handle(s, source_name(s, layer));
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerName(AEGP_LayerH layerH, const A_UTF16Char* new_nameZ) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        if (new_nameZ == nullptr) throw BadArgument("null name");
        const auto* name = reinterpret_cast<const char16_t*>(new_nameZ);
        const std::size_t units = text::utf16_length(name, kMaxNameUnits);
        if (units > kMaxNameUnits) throw BadArgument("layer names hold at most 255 units");
        layer.ownName = text::utf16_to_utf8({name, units});
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        std::uint32_t flags = layer.flags & kKnownLayerFlags;
        if (is_always_3d(layer)) flags |= model::flag::k3D;
        out(layer_flagsP) = static_cast<AEGP_LayerFlags>(flags);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerFlag(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        const auto flag = static_cast<std::uint32_t>(single_flag);
        if (flag == 0 || (flag & (flag - 1)) != 0 || (flag & ~kKnownLayerFlags) != 0)
            throw BadArgument("not a single layer flag");
        if (flag == model::flag::kTimeRemapping && valueB && !source_has_time(s, layer))
            throw BadArgument("this layer cannot be time-remapped");
        model::set_layer_flag(layer, flag, valueB != 0);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerInPoint(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Time& result = out(in_pointPT);
        require_mode(time_mode);
        result = s.to_time(layer, time_mode == AEGP_LTimeMode_CompTime ? model::comp_in_point(layer)
                                                                       : layer.inPoint);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Time& result = out(durationPT);
        require_mode(time_mode);
        result = s.to_time(layer, time_mode == AEGP_LTimeMode_CompTime ? model::comp_duration(layer)
                                                                       : layer.duration);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerInPointAndDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                                      const A_Time* in_pointPT, const A_Time* durationPT) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        require_mode(time_mode);
        const model::Time given = s.from_time(in_pointPT);
        model::Time duration = s.from_time(durationPT);
        if (duration <= model::Rational::of(0)) throw BadArgument("durations are positive");
        model::Time inPoint = given;
        if (time_mode == AEGP_LTimeMode_CompTime) {
            // The composition in point is the reversed layer's out end.
            const bool reversed = layer.stretch < model::Rational::of(0);
            duration =
                duration / (reversed ? model::Rational::of(0) - layer.stretch : layer.stretch);
            inPoint = model::layer_time_of(layer, given) - (reversed ? duration : model::Time{});
        }
        layer.inPoint = inPoint;
        layer.duration = duration;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerOffset(AEGP_LayerH layerH, A_Time* offsetPT) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(offsetPT) = s.to_time(layer, layer.offset);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerOffset(AEGP_LayerH layerH, const A_Time* offsetPT) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        layer.offset = s.from_time(offsetPT);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerStretch(AEGP_LayerH layerH, A_Ratio* stretchPRt) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Ratio& result = out(stretchPRt);
        result = to_ratio(layer.stretch);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerStretch(AEGP_LayerH layerH, const A_Ratio* stretchPRt) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        const A_Ratio& given = in(stretchPRt);
        if (given.den == 0 || given.num == 0) throw BadArgument("a stretch is a nonzero ratio");
        layer.stretch = model::Rational::of(given.num, given.den);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerTransferMode(AEGP_LayerH layerH, AEGP_LayerTransferMode* transfer_modeP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(transfer_modeP) =
            AEGP_LayerTransferMode{layer.blendingMode, layer.blendingFlags,
                                   static_cast<AEGP_TrackMatte>(layer.trackMatte)};
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerTransferMode(AEGP_LayerH layerH, const AEGP_LayerTransferMode* transfer_modeP) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        const AEGP_LayerTransferMode& given = in(transfer_modeP);
        if (given.mode < model::kFirstTransferMode || given.mode > model::kLastTransferMode)
            throw BadArgument("unknown transfer mode");
        if ((given.flags &
             ~(AEGP_TransferFlag_PRESERVE_ALPHA | AEGP_TransferFlag_RANDOMIZE_DISSOLVE)) != 0)
            throw BadArgument("unknown transfer flags");
        if (given.track_matte < AEGP_TrackMatte_NO_TRACK_MATTE ||
            given.track_matte > AEGP_TrackMatte_NOT_LUMA)
            throw BadArgument("unknown track matte");
        layer.blendingMode = given.mode;
        layer.blendingFlags = given.flags;
        model::set_track_matte(s.project(), layer.id,
                               static_cast<model::TrackMatte>(given.track_matte));
        return A_Err_NONE;
    });
}

A_Err AEGP_IsLayerUsedAsTrackMatte(AEGP_LayerH layerH, A_Boolean fill_must_be_activeB,
                                   A_Boolean* is_track_matteP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Boolean& result = out(is_track_matteP);
        const model::Layer* matted = model::layer_matted_by(s.project(), layer.id);
        const bool used = matted != nullptr &&
                          (!fill_must_be_activeB || (matted->flags & model::flag::kVideoActive));
        result = used ? 1 : 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_DoesLayerHaveTrackMatte(AEGP_LayerH layerH, A_Boolean* has_track_matteP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(has_track_matteP) = model::track_matte_of(s.project(), layer.id) != nullptr ? 1 : 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_ConvertCompToLayerTime(AEGP_LayerH layerH, const A_Time* comp_timeP,
                                  A_Time* layer_timeP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        const A_Time result =
            s.to_time(layer, model::layer_time_of(layer, s.from_time(comp_timeP)));
        out(layer_timeP) = result;
        return A_Err_NONE;
    });
}

A_Err AEGP_ConvertLayerToCompTime(AEGP_LayerH layerH, const A_Time* layer_timeP,
                                  A_Time* comp_timePT) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        const A_Time result =
            s.to_time(layer, model::comp_time_of(layer, s.from_time(layer_timeP)));
        out(comp_timePT) = result;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerID(AEGP_LayerH layerH, AEGP_LayerIDVal* id_valP) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(id_valP) = layer.id;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerFromLayerID(AEGP_CompH parent_compH, AEGP_LayerIDVal id, AEGP_LayerH* layerPH) {
    return run(__func__, [&](Session& s) {
        const model::Item& comp = s.comp_item(parent_compH);
        AEGP_LayerH& result = out(layerPH);
        const auto where = model::locate_layer(s.project(), id);
        if (!where || where->comp != comp.id) throw BadArgument("no layer with this id here");
        result = s.registry().layer_handle(id);
        return A_Err_NONE;
    });
}

A_Err AEGP_ReorderLayer(AEGP_LayerH layerH, A_long layer_indexL) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        model::reorder_layer(s.project(), layer.id, layer_indexL);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* object_type) {
    return run(__func__, [&](Session& s) {
        AEGP_ObjectType type = AEGP_ObjectType_NONE;
        switch (s.layer(layerH).kind) {
            case model::LayerKind::AV:
                type = AEGP_ObjectType_AV;
                break;
            case model::LayerKind::Light:
                type = AEGP_ObjectType_LIGHT;
                break;
            case model::LayerKind::Camera:
                type = AEGP_ObjectType_CAMERA;
                break;
            case model::LayerKind::Text:
                type = AEGP_ObjectType_TEXT;
                break;
            case model::LayerKind::Shape:
                type = AEGP_ObjectType_VECTOR;
                break;
        }
        out(object_type) = type;
        return A_Err_NONE;
    });
}

A_Err AEGP_IsLayer3D(AEGP_LayerH layerH, A_Boolean* is_3DPB) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        out(is_3DPB) = is_always_3d(layer) || (layer.flags & model::flag::k3D) != 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerParent(const AEGP_LayerH layerH, AEGP_LayerH* parent_layerPH) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        const bool hasParent = model::find_layer(s.project(), layer.parent) != nullptr;
        out(parent_layerPH) = hasParent ? s.registry().layer_handle(layer.parent) : nullptr;
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerParent(AEGP_LayerH layerH, const AEGP_LayerH parent_layerH) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        const model::Id parent =
            parent_layerH == nullptr ? model::kNoId : s.layer(parent_layerH).id;
        model::set_parent(s.project(), layer.id, parent);
        return A_Err_NONE;
    });
}

A_Err AEGP_DeleteLayer(AEGP_LayerH layerH) {
    return run(__func__, [&](Session& s) {
        model::delete_layer(s.project(), s.layer(layerH).id);
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
