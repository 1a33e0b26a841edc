// Layers: stack, names, flags, times and parents.
//
// Times: a layer's in point and duration are kept in layer time; composition
// time is layer time plus the layer's offset (layers are not stretched, so a
// duration is the same in both modes).
//
// 8-bit names are UTF-8 copied into the caller's buffer of
// kNameBufferBytes bytes: at most 31 bytes of text, never cutting a
// character, and a terminating NUL.
#include <algorithm>
#include <cstring>

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

AEGP_MemHandle utf16_handle(Session& s, const std::string& utf8) {
    std::u16string wide = text::utf8_to_utf16(utf8);
    wide.push_back(u'\0');
    std::vector<char> bytes(wide.size() * sizeof(char16_t));
    std::memcpy(bytes.data(), wide.data(), bytes.size());
    return s.registry().new_mem(std::move(bytes));
}

std::string source_name(Session& s, const model::Layer& layer) {
    const model::Item* source = model::find_item(s.project(), layer.source);
    return source ? source->name : std::string();
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
        result = s.to_time(layer, s.in_mode(layer, time_mode, layer.inPoint));
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT) {
    return run(__func__, [&](Session& s) {
        const model::Layer& layer = s.layer(layerH);
        A_Time& result = out(durationPT);
        require_mode(time_mode);
        result = s.to_time(layer, layer.duration);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetLayerInPointAndDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                                      const A_Time* in_pointPT, const A_Time* durationPT) {
    return run(__func__, [&](Session& s) {
        model::Layer& layer = s.layer(layerH);
        const model::Time inPoint = s.layer_time(layer, time_mode, in_pointPT);
        const model::Time duration = s.from_time(durationPT);
        if (duration <= model::Rational::of(0)) throw BadArgument("durations are positive");
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
