#include "suites/session.h"

#include <cstring>
#include <limits>

#include "model/streams.h"
#include "text/codec.h"

namespace host::suites {

namespace {

__extension__ typedef __int128 Wide;

// Rounds num/den to the nearest integer, halves away from zero.
Wide round_ratio(Wide num, Wide den) {
    const Wide twice = 2 * num + (num >= 0 ? den : -den);
    return twice / (2 * den);
}

}  // namespace

AEGP_MemHandle text_handle(Session& s, const std::string& utf8) {
    std::vector<char> bytes(utf8.begin(), utf8.end());
    bytes.push_back('\0');
    return s.registry().new_mem(std::move(bytes));
}

AEGP_MemHandle utf16_handle(Session& s, const std::string& utf8) {
    std::u16string wide = text::utf8_to_utf16(utf8);
    wide.push_back(u'\0');
    std::vector<char> bytes(wide.size() * sizeof(char16_t));
    std::memcpy(bytes.data(), wide.data(), bytes.size());
    return s.registry().new_mem(std::move(bytes));
}

void Session::require_plugin(AEGP_PluginID id) const {
    if (!host_.is_plugin(id)) throw BadArgument("unknown plug-in id");
}

bool Session::is_root(AEGP_ItemH handle) const {
    return model::is_root_folder(host_.project, host_.registry.item_id(handle));
}

model::Item& Session::item(AEGP_ItemH handle) {
    const model::Id id = host_.registry.item_id(handle);
    model::Item* item = model::find_item(host_.project, id);
    if (item == nullptr) throw BadHandle("stale item handle");
    return *item;
}

model::Item& Session::comp_item(AEGP_CompH handle) {
    const model::Id id = host_.registry.comp_item_id(handle);
    model::Item* item = model::find_item(host_.project, id);
    if (item == nullptr || !item->comp) throw BadHandle("stale composition handle");
    return *item;
}

model::Layer& Session::layer(AEGP_LayerH handle) {
    model::Layer* layer = model::find_layer(host_.project, host_.registry.layer_id(handle));
    if (layer == nullptr) throw BadHandle("stale layer handle");
    return *layer;
}

model::Item& Session::comp_item_of(const model::Layer& layer) {
    return model::comp_item_of_layer(host_.project, layer.id);
}

model::Stream& Session::stream_at(const StreamAddress& address) {
    model::Layer* layer = model::find_layer(host_.project, address.layer);
    if (layer == nullptr) throw BadHandle("the stream's layer is gone");
    if (address.follower >= 0) {
        const auto dimension = static_cast<std::size_t>(address.follower);
        if (dimension >= layer->positionFollowers.size())
            throw BadHandle("the position is no longer separated");
        return layer->positionFollowers[dimension];
    }
    if (address.effect == model::kNoId) {
        const auto found = layer->streams.find(address.index);
        if (found == layer->streams.end()) throw BadHandle("the layer lost the stream");
        return found->second;
    }
    if (address.index == kEffectItself) {
        effect_itself(address);
        throw BadArgument("the effect itself holds no value");
    }
    for (model::Effect& effect : layer->effects) {
        if (effect.id != address.effect) continue;
        if (address.index < 0 || static_cast<std::size_t>(address.index) >= effect.params.size())
            throw BadHandle("the effect lost the parameter");
        return effect.params[static_cast<std::size_t>(address.index)];
    }
    throw BadHandle("the stream's effect is gone");
}

model::Stream& Session::stream(AEGP_StreamRefH handle) {
    return stream_at(host_.registry.stream(handle));
}

model::Stream& Session::keyed_stream(AEGP_StreamRefH handle) {
    model::Stream& found = stream(handle);
    if (model::is_separated_leader(stream_layer(handle), found))
        throw BadArgument("keyframes of a separated position are on its followers");
    return found;
}

model::Effect& Session::effect_itself(const StreamAddress& address) {
    model::Layer* layer = model::find_layer(host_.project, address.layer);
    if (layer == nullptr) throw BadHandle("the stream's layer is gone");
    for (model::Effect& effect : layer->effects)
        if (effect.id == address.effect) return effect;
    throw BadHandle("the stream's effect is gone");
}

model::Layer& Session::stream_layer(AEGP_StreamRefH handle) {
    const StreamAddress& address = host_.registry.stream(handle);
    stream_at(address);
    return *model::find_layer(host_.project, address.layer);
}

model::Effect& Session::effect(AEGP_EffectRefH handle) {
    const EffectRefData& ref = host_.registry.effect(handle);
    model::Layer* layer = model::find_layer(host_.project, ref.layer);
    if (layer == nullptr) throw BadHandle("the effect's layer is gone");
    for (model::Effect& effect : layer->effects) {
        if (effect.id == ref.effect) return effect;
    }
    throw BadHandle("the effect is gone");
}

model::Layer& Session::effect_layer(AEGP_EffectRefH handle) {
    effect(handle);
    return *model::find_layer(host_.project, host_.registry.effect(handle).layer);
}

A_Time Session::to_time(const model::Layer& layer, model::Time t) {
    return to_a_time(t, comp_item_of(layer).comp->frameRate);
}

model::Time Session::from_time(const A_Time* t) const {
    const A_Time& time = in(t);
    if (time.scale == 0) throw BadArgument("a time with scale 0");
    return model::Rational::of(time.value, time.scale);
}

model::Time Session::layer_time(const model::Layer& layer, AEGP_LTimeMode mode,
                                const A_Time* t) const {
    const model::Time given = from_time(t);
    if (mode == AEGP_LTimeMode_LayerTime) return given;
    if (mode == AEGP_LTimeMode_CompTime) return model::layer_time_of(layer, given);
    throw BadArgument("unknown time mode");
}

model::Time Session::in_mode(const model::Layer& layer, AEGP_LTimeMode mode,
                             model::Time layerTime) const {
    if (mode == AEGP_LTimeMode_LayerTime) return layerTime;
    if (mode == AEGP_LTimeMode_CompTime) return model::comp_time_of(layer, layerTime);
    throw BadArgument("unknown time mode");
}

A_Time to_a_time(model::Time t, model::Rational frameRate) {
    const Wide scale = frameRate.num > 0 ? Wide(frameRate.num) : Wide(1);
    if (scale > std::numeric_limits<A_u_long>::max()) throw BadArgument("frame rate too fine");
    const Wide value = round_ratio(Wide(t.num) * scale, Wide(t.den));
    if (value > std::numeric_limits<A_long>::max() || value < std::numeric_limits<A_long>::min())
        throw std::overflow_error("time out of range");
    return A_Time{static_cast<A_long>(value), static_cast<A_u_long>(scale)};
}

}  // namespace host::suites
