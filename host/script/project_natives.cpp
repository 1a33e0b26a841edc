// Natives behind app.project, its items and their layers. Objects reach
// them by id; an id that names nothing (any more) is an invalid object.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/names.h"
#include "model/blending.h"
#include "model/script_ops.h"
#include "model/streams.h"
#include "script/expression_engine.h"
#include "script/natives.h"

namespace host::script::natives {

namespace {

using model::Id;

model::Item& item_ref(Session& session, Id id) {
    model::Item* item = model::find_item(session.project(), id);
    if (item == nullptr) invalid_object();
    return *item;
}

model::Composition& comp_ref(Session& session, Id id) {
    model::Item& item = item_ref(session, id);
    if (!item.comp) type_error("the item is not a composition");
    return *item.comp;
}

model::Layer& layer_ref(Session& session, Id id) {
    model::Layer* layer = model::find_layer(session.project(), id);
    if (layer == nullptr) invalid_object();
    return *layer;
}

// A script that changes a locked layer meets an error, as in the application.
model::Layer& changeable_layer(Session& session, Id id) {
    model::Layer& layer = layer_ref(session, id);
    if ((layer.flags & model::flag::kLocked) != 0) plain_error("the layer is locked");
    return layer;
}

model::LayerLocation layer_location(Session& session, Id id) {
    const auto where = model::locate_layer(session.project(), id);
    if (!where) invalid_object();
    return *where;
}

const char* kind_name(model::ItemKind kind) {
    switch (kind) {
        case model::ItemKind::Composition:
            return "comp";
        case model::ItemKind::Footage:
            return "footage";
        case model::ItemKind::Folder:
            return "folder";
    }
    return "folder";
}

// ---------------------------------------------------------------- project

duk_ret_t num_items(duk_context* ctx, Session& session) {
    duk_push_int(ctx, static_cast<duk_int_t>(session.project().items.size()));
    return 1;
}

duk_ret_t item_at(duk_context* ctx, Session& session) {
    const auto& items = session.project().items;
    const int count = static_cast<int>(items.size());
    const int index = index_arg(ctx, 0, "item", count, "item", "project");
    const bool reversed = session.host.readings.itemNumbering == ItemNumbering::Reversed;
    duk_push_int(ctx, items[static_cast<std::size_t>(reversed ? count - index : index - 1)].id);
    return 1;
}

// 0 when no item has the id.
duk_ret_t item_by_id(duk_context* ctx, Session& session) {
    const double id = number_arg(ctx, 0, "itemByID(): the id");
    const bool whole = id >= 1 && id <= 2147483647.0 && id == static_cast<model::Id>(id);
    const model::Item* item =
        whole ? model::find_item(session.project(), static_cast<Id>(id)) : nullptr;
    duk_push_int(ctx, item != nullptr ? item->id : model::kNoId);
    return 1;
}

duk_ret_t active_item(duk_context* ctx, Session& session) {
    const model::Project& project = session.project();
    const bool exists = model::find_item(project, project.activeItem) != nullptr;
    duk_push_int(ctx, exists ? project.activeItem : model::kNoId);
    return 1;
}

// Project.autoFixExpressions, also behind replaceSource's fixExpressions.
void fix_expressions(Session& session, const std::string& oldText, const std::string& newText) {
    std::unique_ptr<ExpressionEngine> ownEngine;
    ExpressionEngine* engine = session.host.expressions;
    if (engine == nullptr) engine = (ownEngine = std::make_unique<ExpressionEngine>()).get();
    if (auto_fix_expressions(session.project(), *engine, oldText, newText,
                             session.host.readings.autoFixSkipsLocked) > 0)
        session.project_changed();
}

duk_ret_t auto_fix_expressions(duk_context* ctx, Session& session) {
    const std::string oldText = string_arg(ctx, 0, "autoFixExpressions(): parameter 1");
    const std::string newText = string_arg(ctx, 1, "autoFixExpressions(): parameter 2");
    fix_expressions(session, oldText, newText);
    return 0;
}

// ---------------------------------------------------------------- items

duk_ret_t item_kind(duk_context* ctx, Session& session) {
    push_text(ctx, kind_name(item_ref(session, id_arg(ctx, 0)).kind));
    return 1;
}

duk_ret_t item_name(duk_context* ctx, Session& session) {
    push_text(ctx, item_ref(session, id_arg(ctx, 0)).name);
    return 1;
}

duk_ret_t set_item_name(duk_context* ctx, Session& session) {
    model::Item& item = item_ref(session, id_arg(ctx, 0));
    item.name = string_arg(ctx, 1, "name: the value");
    session.project_changed();
    return 0;
}

// An AV item's frame and timing: width, height, duration, frameDuration,
// pixelAspect.
duk_ret_t av_frame(duk_context* ctx, Session& session) {
    const model::Item& item = item_ref(session, id_arg(ctx, 0));
    if (!item.comp && !item.footage) type_error("the item is not an AVItem");
    const auto frame_of = [](const auto& av) {
        return std::array<double, 5>{static_cast<double>(av.width), static_cast<double>(av.height),
                                     av.duration.seconds(), 1.0 / av.frameRate.seconds(),
                                     av.pixelAspect.seconds()};
    };
    const std::array<double, 5> values = item.comp ? frame_of(*item.comp) : frame_of(*item.footage);
    duk_push_array(ctx);
    for (duk_uarridx_t i = 0; i < std::size(values); ++i) {
        duk_push_number(ctx, values[i]);
        duk_put_prop_index(ctx, -2, i);
    }
    return 1;
}

duk_ret_t num_layers(duk_context* ctx, Session& session) {
    duk_push_int(ctx, static_cast<duk_int_t>(comp_ref(session, id_arg(ctx, 0)).layers.size()));
    return 1;
}

duk_ret_t layer_at(duk_context* ctx, Session& session) {
    const auto& layers = comp_ref(session, id_arg(ctx, 0)).layers;
    const int index =
        index_arg(ctx, 1, "layer", static_cast<int>(layers.size()), "layer", "composition");
    duk_push_int(ctx, layers[static_cast<std::size_t>(index - 1)].id);
    return 1;
}

duk_ret_t layer_named(duk_context* ctx, Session& session) {
    const auto& layers = comp_ref(session, id_arg(ctx, 0)).layers;
    const std::string name = string_arg(ctx, 1, "layer(): the name");
    Id found = model::kNoId;
    for (const model::Layer& layer : layers) {
        if (model::shown_name(session.project(), layer) == name) {
            found = layer.id;
            break;
        }
    }
    duk_push_int(ctx, found);
    return 1;
}

// ---------------------------------------------------------------- layers

duk_ret_t layer_kind(duk_context* ctx, Session& session) {
    push_text(ctx, io::layer_kind_name(layer_ref(session, id_arg(ctx, 0)).kind));
    return 1;
}

duk_ret_t layer_name(duk_context* ctx, Session& session) {
    const model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    push_text(ctx, model::shown_name(session.project(), layer));
    return 1;
}

// Assigning a name gives the layer a name of its own, even one equal to
// its source's; the empty text makes it show its source's name again.
duk_ret_t set_layer_name(duk_context* ctx, Session& session) {
    model::Layer& layer = changeable_layer(session, id_arg(ctx, 0));
    layer.ownName = string_arg(ctx, 1, "name: the value");
    session.project_changed();
    return 0;
}

duk_ret_t layer_index(duk_context* ctx, Session& session) {
    duk_push_int(ctx, layer_location(session, id_arg(ctx, 0)).index + 1);
    return 1;
}

duk_ret_t layer_comp(duk_context* ctx, Session& session) {
    duk_push_int(ctx, layer_location(session, id_arg(ctx, 0)).comp);
    return 1;
}

duk_ret_t layer_source(duk_context* ctx, Session& session) {
    const model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    const bool exists = model::find_item(session.project(), layer.source) != nullptr;
    duk_push_int(ctx, exists ? layer.source : model::kNoId);
    return 1;
}

duk_ret_t layer_parent(duk_context* ctx, Session& session) {
    duk_push_int(ctx, layer_ref(session, id_arg(ctx, 0)).parent);
    return 1;
}

// A parent given by script keeps the layer's look, as a user's parenting in
// the application does (0: no parent).
duk_ret_t set_layer_parent(duk_context* ctx, Session& session) {
    const Id child = id_arg(ctx, 0);
    changeable_layer(session, child);
    const model::LayerLocation childAt = layer_location(session, child);
    Id parent = model::kNoId;
    if (!duk_is_number(ctx, 1) || duk_get_number(ctx, 1) != 0) {
        parent = id_arg(ctx, 1);
        if (parent == child) plain_error("parent: a layer cannot be its own parent");
        if (layer_location(session, parent).comp != childAt.comp)
            plain_error("parent: the parent must be a layer of the same composition");
    }
    try {
        model::set_parent_keeping_look(session.project(), child, parent);
    } catch (const model::ModelError& e) {
        plain_error(std::string("parent: ") + e.what());
    }
    session.project_changed();
    return 0;
}

// ---- time

duk_ret_t layer_in_point(duk_context* ctx, Session& session) {
    duk_push_number(ctx, model::comp_in_point(layer_ref(session, id_arg(ctx, 0))).seconds());
    return 1;
}

duk_ret_t layer_out_point(duk_context* ctx, Session& session) {
    duk_push_number(ctx, model::comp_out_point(layer_ref(session, id_arg(ctx, 0))).seconds());
    return 1;
}

duk_ret_t layer_start_time(duk_context* ctx, Session& session) {
    duk_push_number(ctx, layer_ref(session, id_arg(ctx, 0)).offset.seconds());
    return 1;
}

// A transform property as scripts see it: null when the layer lacks it, else
// [isTimeVarying, numKeys, value...], the value at composition time 0.
duk_ret_t layer_transform(duk_context* ctx, Session& session) {
    const model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    const auto found = layer.streams.find(duk_get_int(ctx, 1));
    if (found == layer.streams.end()) {
        duk_push_null(ctx);
        return 1;
    }
    const model::Stream& stream = found->second;
    const bool varies =
        !stream.keyframes.empty() || (stream.expressionEnabled && !stream.expression.empty());
    std::vector<double> values{varies ? 1.0 : 0.0, static_cast<double>(stream.keyframes.size())};
    for (const double v :
         model::layer_value_at(layer, stream, model::layer_time_of(layer, model::Time{})))
        values.push_back(v);
    duk_push_array(ctx);
    for (duk_uarridx_t i = 0; i < values.size(); ++i) {
        duk_push_number(ctx, values[i]);
        duk_put_prop_index(ctx, -2, i);
    }
    return 1;
}

duk_ret_t layer_is_3d(duk_context* ctx, Session& session) {
    duk_push_boolean(ctx, (layer_ref(session, id_arg(ctx, 0)).flags & model::flag::k3D) != 0);
    return 1;
}

// ---- transform properties, named by layer and stream number (the object model
// makes them only for streams the layer has); key indices are 1-based.

duk_ret_t layer_has_stream(duk_context* ctx, Session& session) {
    duk_push_boolean(ctx, layer_ref(session, id_arg(ctx, 0)).streams.contains(duk_get_int(ctx, 1)));
    return 1;
}

// A separated Position keeps its values and keyframes on its followers,
// which scripts do not reach in this host.
model::Stream& stream_ref(duk_context* ctx, model::Layer& layer) {
    const auto found = layer.streams.find(duk_get_int(ctx, 1));
    if (found == layer.streams.end()) plain_error("the layer has no such property");
    if (model::is_separated_leader(layer, found->second))
        plain_error("Position is separated: its values are on its followers");
    return found->second;
}

std::size_t key_arg(duk_context* ctx, const model::Stream& stream, std::string_view call) {
    const int count = static_cast<int>(stream.keyframes.size());
    return static_cast<std::size_t>(index_arg(ctx, 2, call, count, "keyframe", "property") - 1);
}

std::vector<double> numbers_arg(duk_context* ctx, duk_idx_t at, std::string_view subject) {
    if (!duk_is_array(ctx, at)) type_error(std::string(subject) + " must be an array");
    std::vector<double> numbers;
    for (duk_uarridx_t i = 0; i < duk_get_length(ctx, at); ++i) {
        duk_get_prop_index(ctx, at, i);
        numbers.push_back(number_arg(ctx, -1, subject));
        duk_pop(ctx);
    }
    return numbers;
}

void push_numbers(duk_context* ctx, const std::vector<double>& numbers) {
    duk_push_array(ctx);
    for (duk_uarridx_t i = 0; i < numbers.size(); ++i) {
        duk_push_number(ctx, numbers[i]);
        duk_put_prop_index(ctx, -2, i);
    }
}

// Eases cross as [speed, influence, speed, influence, ...].
std::vector<model::Ease> eases_arg(duk_context* ctx, duk_idx_t at, std::string_view subject) {
    const std::vector<double> flat = numbers_arg(ctx, at, subject);
    std::vector<model::Ease> eases;
    for (std::size_t i = 0; i + 1 < flat.size(); i += 2) eases.push_back({flat[i], flat[i + 1]});
    return eases;
}

template <class Edit>
void edit_stream(Session& session, std::string_view call, const Edit& edit) {
    try {
        edit();
    } catch (const model::ModelError& e) {
        plain_error(std::string(call) + "(): " + e.what());
    }
    session.project_changed();
}

duk_ret_t stream_expression(duk_context* ctx, Session& session) {
    const model::Stream& stream = stream_ref(ctx, layer_ref(session, id_arg(ctx, 0)));
    duk_push_array(ctx);
    duk_push_boolean(ctx, stream.expressionEnabled && !stream.expression.empty());
    duk_put_prop_index(ctx, -2, 0);
    push_text(ctx, stream.expression);
    duk_put_prop_index(ctx, -2, 1);
    return 1;
}

duk_ret_t set_stream_value(duk_context* ctx, Session& session) {
    model::Stream& stream = stream_ref(ctx, changeable_layer(session, id_arg(ctx, 0)));
    const std::vector<double> values = numbers_arg(ctx, 2, "setValue(): the value");
    edit_stream(session, "setValue", [&] { model::set_held_value(stream, values); });
    return 0;
}

duk_ret_t key_value(duk_context* ctx, Session& session) {
    const model::Stream& stream = stream_ref(ctx, layer_ref(session, id_arg(ctx, 0)));
    push_numbers(ctx, stream.keyframes[key_arg(ctx, stream, "keyValue")].value);
    return 1;
}

duk_ret_t set_key_value(duk_context* ctx, Session& session) {
    model::Stream& stream = stream_ref(ctx, changeable_layer(session, id_arg(ctx, 0)));
    const std::size_t key = key_arg(ctx, stream, "setValueAtKey");
    const std::vector<double> values = numbers_arg(ctx, 3, "setValueAtKey(): the value");
    edit_stream(session, "setValueAtKey", [&] { model::set_key_value(stream, key, values); });
    return 0;
}

duk_ret_t key_ease(duk_context* ctx, Session& session) {
    const model::Stream& stream = stream_ref(ctx, layer_ref(session, id_arg(ctx, 0)));
    const bool out = duk_to_boolean(ctx, 3) != 0;
    const std::size_t key = key_arg(ctx, stream, out ? "keyOutTemporalEase" : "keyInTemporalEase");
    std::vector<double> flat;
    for (const model::Ease& e : model::key_ease(stream, key, out)) {
        flat.push_back(e.speed);
        flat.push_back(e.influence);
    }
    push_numbers(ctx, flat);
    return 1;
}

duk_ret_t set_key_ease(duk_context* ctx, Session& session) {
    model::Stream& stream = stream_ref(ctx, changeable_layer(session, id_arg(ctx, 0)));
    const std::size_t key = key_arg(ctx, stream, "setTemporalEaseAtKey");
    const std::vector<model::Ease> in = eases_arg(ctx, 3, "setTemporalEaseAtKey(): the in ease");
    const std::vector<model::Ease> out = eases_arg(ctx, 4, "setTemporalEaseAtKey(): the out ease");
    edit_stream(session, "setTemporalEaseAtKey",
                [&] { model::set_key_ease(stream, key, in, out); });
    return 0;
}

// ---- effects as property groups: layerEffects(layer), effectParams(layer, e),
// paramKind(layer, e, p) (the stream kind's number), and a layer parameter's
// target as the index of that layer in the effect's composition (0: none).

const model::Stream& param_ref(duk_context* ctx, const model::Layer& layer) {
    const int e =
        index_arg(ctx, 1, "property", static_cast<int>(layer.effects.size()), "effect", "layer");
    const auto& params = layer.effects[static_cast<std::size_t>(e - 1)].params;
    const int p =
        index_arg(ctx, 2, "property", static_cast<int>(params.size()) - 1, "parameter", "effect");
    return params[static_cast<std::size_t>(p)];
}

duk_ret_t layer_effects(duk_context* ctx, Session& session) {
    duk_push_int(ctx, static_cast<duk_int_t>(layer_ref(session, id_arg(ctx, 0)).effects.size()));
    return 1;
}

duk_ret_t layer_markers(duk_context* ctx, Session& session) {
    duk_push_int(ctx, static_cast<duk_int_t>(layer_ref(session, id_arg(ctx, 0)).markers.size()));
    return 1;
}

duk_ret_t layer_is_null(duk_context* ctx, Session& session) {
    duk_push_boolean(ctx, layer_ref(session, id_arg(ctx, 0)).isNull);
    return 1;
}

duk_ret_t layer_masks(duk_context* ctx, Session& session) {
    duk_push_int(ctx, static_cast<duk_int_t>(layer_ref(session, id_arg(ctx, 0)).masks.size()));
    return 1;
}

duk_ret_t effect_params(duk_context* ctx, Session& session) {
    const model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    const int e =
        index_arg(ctx, 1, "property", static_cast<int>(layer.effects.size()), "effect", "layer");
    duk_push_int(ctx, static_cast<duk_int_t>(
                          layer.effects[static_cast<std::size_t>(e - 1)].params.size() - 1));
    return 1;
}

duk_ret_t param_kind(duk_context* ctx, Session& session) {
    duk_push_int(ctx,
                 static_cast<duk_int_t>(param_ref(ctx, layer_ref(session, id_arg(ctx, 0))).kind));
    return 1;
}

duk_ret_t param_layer(duk_context* ctx, Session& session) {
    const model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    const model::Stream& param = param_ref(ctx, layer);
    const auto target = param.value.empty() ? model::kNoId : static_cast<Id>(param.value[0]);
    const auto here = model::locate_layer(session.project(), layer.id);
    const auto there = model::locate_layer(session.project(), target);
    const bool same = here && there && here->comp == there->comp;
    duk_push_int(ctx, same ? there->index + 1 : 0);
    return 1;
}

duk_ret_t set_param_layer(duk_context* ctx, Session& session) {
    model::Layer& layer = changeable_layer(session, id_arg(ctx, 0));
    const model::Stream& found = param_ref(ctx, layer);
    if (found.kind != model::StreamKind::LayerId) type_error("setValue(): not a layer property");
    const auto here = model::locate_layer(session.project(), layer.id);
    const auto& layers = comp_ref(session, here->comp).layers;
    const int index = static_cast<int>(number_arg(ctx, 3, "setValue(): the layer index"));
    if (index < 0 || index > static_cast<int>(layers.size()))
        range_error("setValue(): there is no layer " + std::to_string(index));
    const double id = index == 0 ? 0.0 : static_cast<double>(layers[std::size_t(index - 1)].id);
    const_cast<model::Stream&>(found).value = {id};
    session.project_changed();
    return 0;
}

duk_ret_t layer_stretch(duk_context* ctx, Session& session) {
    duk_push_number(
        ctx, (layer_ref(session, id_arg(ctx, 0)).stretch * model::Rational::of(100)).seconds());
    return 1;
}

constexpr double kStretchLimit = 1e6;  // per cent; keeps times exact in 64 bits

// A per-cent value as the stretch factor: as a short decimal when it is one
// (33.5 % is exactly 67/200), else to the nearest millionth of a per cent.
model::Rational stretch_of_percent(double percent) {
    if (!std::isfinite(percent) || std::fabs(percent) > kStretchLimit)
        range_error("stretch: the value must lie between -1000000 and 1000000");
    if (percent == 0) range_error("stretch: a stretch of 0 would stop the layer's time");
    if (percent > 0 && percent < 1) percent = 1;
    if (percent < 0 && percent > -1) percent = -1;
    std::int64_t scale = 1;
    for (int digits = 0; digits < 6 && std::round(percent * scale) != percent * scale; ++digits)
        scale *= 10;
    return model::Rational::of(std::llround(percent * static_cast<double>(scale)), scale * 100);
}

// The layer keeps its start: its in point in composition time.
duk_ret_t set_layer_stretch(duk_context* ctx, Session& session) {
    model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    model::set_stretch_keeping_start(layer,
                                     stretch_of_percent(number_arg(ctx, 1, "stretch: the value")));
    session.project_changed();
    return 0;
}

// ---- separated position (the host has no property objects, so the
// layer answers for its Position)

duk_ret_t layer_position_separated(duk_context* ctx, Session& session) {
    duk_push_boolean(ctx, model::position_separated(layer_ref(session, id_arg(ctx, 0))));
    return 1;
}

duk_ret_t set_layer_position_separated(duk_context* ctx, Session& session) {
    model::Layer& layer = changeable_layer(session, id_arg(ctx, 0));
    if (layer.streams.count(model::stream::kPosition) == 0)
        plain_error("dimensionsSeparated: the layer has no Position");
    model::set_position_separated(layer, duk_to_boolean(ctx, 1) != 0);
    session.project_changed();
    return 0;
}

// ---- blending and track mattes

// Natives the preludes call while the engine starts, before any run binds
// a session.
template <duk_ret_t (*body)(duk_context*)>
duk_ret_t stateless(duk_context* ctx) {
    return guarded(ctx, [ctx] { return body(ctx); });
}

// The enumerations' entries by place: kind 0 the blending modes, 1 the track
// mattes; past the end the name and value are undefined.
struct EnumEntry {
    const char* name;
    int scriptValue;
};

std::optional<EnumEntry> enum_entry(duk_context* ctx) {
    const double index = number_arg(ctx, 1, "index");
    const bool mattes = number_arg(ctx, 0, "kind") == 1;
    const std::size_t count =
        mattes ? model::track_matte_names().size() : model::blending_modes().size();
    if (!(index >= 0 && index < static_cast<double>(count))) return std::nullopt;
    const auto at = static_cast<std::size_t>(index);
    if (mattes)
        return EnumEntry{model::track_matte_names()[at].name,
                         model::track_matte_names()[at].scriptValue};
    return EnumEntry{model::blending_modes()[at].name, model::blending_modes()[at].scriptValue};
}

duk_ret_t enum_name(duk_context* ctx) {
    const std::optional<EnumEntry> entry = enum_entry(ctx);
    if (!entry) return 0;
    push_text(ctx, entry->name);
    return 1;
}

duk_ret_t enum_value(duk_context* ctx) {
    const std::optional<EnumEntry> entry = enum_entry(ctx);
    if (!entry) return 0;
    duk_push_int(ctx, entry->scriptValue);
    return 1;
}

// Transfer modes that are no blending mode (only the plug-in interface sets
// them) read as null.
duk_ret_t layer_blending_mode(duk_context* ctx, Session& session) {
    const model::BlendingModeName* mode =
        model::blending_mode_of(layer_ref(session, id_arg(ctx, 0)).blendingMode);
    if (mode == nullptr) {
        duk_push_null(ctx);
    } else {
        duk_push_int(ctx, mode->scriptValue);
    }
    return 1;
}

duk_ret_t set_layer_blending_mode(duk_context* ctx, Session& session) {
    model::Layer& layer = layer_ref(session, id_arg(ctx, 0));
    const model::BlendingModeName* mode =
        model::blending_mode_by_script_value(number_arg(ctx, 1, "blendingMode: the value"));
    if (mode == nullptr) range_error("blendingMode: the value must be a BlendingMode value");
    layer.blendingMode = mode->transferMode;
    session.project_changed();
    return 0;
}

duk_ret_t layer_track_matte(duk_context* ctx, Session& session) {
    duk_push_int(
        ctx, model::track_matte_name(layer_ref(session, id_arg(ctx, 0)).trackMatte).scriptValue);
    return 1;
}

duk_ret_t set_layer_track_matte(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    layer_ref(session, layer);
    const model::TrackMatteName* matte =
        model::track_matte_by_script_value(number_arg(ctx, 1, "trackMatteType: the value"));
    if (matte == nullptr) range_error("trackMatteType: the value must be a TrackMatteType value");
    model::set_track_matte(session.project(), layer, matte->kind);
    session.project_changed();
    return 0;
}

duk_ret_t layer_is_track_matte(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    layer_ref(session, layer);
    duk_push_boolean(ctx, model::layer_matted_by(session.project(), layer) != nullptr);
    return 1;
}

duk_ret_t layer_has_track_matte(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    layer_ref(session, layer);
    duk_push_boolean(ctx, model::track_matte_of(session.project(), layer) != nullptr);
    return 1;
}

duk_ret_t copy_to_comp(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    layer_ref(session, layer);
    const Id target = id_arg(ctx, 1);
    if (!item_ref(session, target).comp)
        type_error("copyToComp(): the target must be a composition");
    try {
        const Readings& readings = session.host.readings;
        model::copy_layer_to_comp(session.project(), layer, target,
                                  readings.copyPlacement == CopyPlacement::Top,
                                  readings.pasteSelectsCopy);
    } catch (const model::ModelError& e) {
        plain_error(std::string("copyToComp(): ") + e.what());
    }
    session.project_changed();
    return 0;
}

// The layers named by a script's array of 1-based indices.
std::vector<Id> layers_at_indices(duk_context* ctx, duk_idx_t at, const model::Composition& comp) {
    if (!duk_is_array(ctx, at)) type_error("precompose(): the layer indices must be an array");
    const int count = static_cast<int>(comp.layers.size());
    std::vector<Id> layers;
    for (duk_uarridx_t i = 0; i < duk_get_length(ctx, at); ++i) {
        duk_get_prop_index(ctx, at, i);
        const int index = index_arg(ctx, -1, "precompose", count, "layer", "composition");
        duk_pop(ctx);
        const Id id = comp.layers[static_cast<std::size_t>(index - 1)].id;
        if (std::find(layers.begin(), layers.end(), id) != layers.end())
            range_error("precompose(): layer " + std::to_string(index) + " is listed twice");
        layers.push_back(id);
    }
    return layers;
}

// Locked layers cannot be taken out of their composition, as they cannot be
// removed.
duk_ret_t precompose(duk_context* ctx, Session& session) {
    const Id comp = id_arg(ctx, 0);
    const std::vector<Id> layers = layers_at_indices(ctx, 1, comp_ref(session, comp));
    const std::string name = string_arg(ctx, 2, "precompose(): the name");
    const bool moveAll = duk_to_boolean(ctx, 3) != 0;
    if (layers.empty()) range_error("precompose(): no layer indices given");
    if (!moveAll && layers.size() != 1)
        plain_error("precompose(): moveAllAttributes can be false only for exactly one layer");
    for (const Id layer : layers) changeable_layer(session, layer);
    Id created = model::kNoId;
    try {
        created = model::precompose(session.project(), comp, layers, name, moveAll);
    } catch (const model::ModelError& e) {
        plain_error(std::string("precompose(): ") + e.what());
    }
    session.project_changed();
    duk_push_int(ctx, created);
    return 1;
}

duk_ret_t remove_layer(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    changeable_layer(session, layer);
    model::delete_layer(session.project(), layer);
    session.project_changed();
    return 0;
}

// Duplicating reads the layer and changes nothing of it: a locked layer can
// be duplicated, and its duplicate is locked too (unconfirmed).
duk_ret_t duplicate_layer(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    layer_ref(session, layer);
    const Id copy = model::duplicate_layer(session.project(), layer);
    session.project_changed();
    duk_push_int(ctx, copy);
    return 1;
}

duk_ret_t replace_source(duk_context* ctx, Session& session) {
    const Id layer = id_arg(ctx, 0);
    const model::Layer& changed = changeable_layer(session, layer);
    const Id source = id_arg(ctx, 1);
    item_ref(session, source);
    const bool fixExpressions = duk_to_boolean(ctx, 2) != 0;
    const model::Item* old = model::find_item(session.project(), changed.source);
    const std::string oldName = old == nullptr ? std::string() : old->name;
    try {
        model::replace_layer_source(session.project(), layer, source);
    } catch (const model::ModelError& e) {
        plain_error(std::string("replaceSource(): ") + e.what());
    }
    session.project_changed();
    if (fixExpressions) fix_expressions(session, oldName, item_ref(session, source).name);
    return 0;
}

// As in the application, removing an item removes the layers that show it.
duk_ret_t remove_item(duk_context* ctx, Session& session) {
    const Id item = id_arg(ctx, 0);
    item_ref(session, item);
    model::delete_item(session.project(), item);
    session.project_changed();
    return 0;
}

constexpr auto kEntries = std::to_array<Entry>({
    {"numItems", native<num_items>, 0},
    {"itemAt", native<item_at>, 1},
    {"itemByID", native<item_by_id>, 1},
    {"activeItem", native<active_item>, 0},
    {"autoFixExpressions", native<auto_fix_expressions>, 2},
    {"itemKind", native<item_kind>, 1},
    {"itemName", native<item_name>, 1},
    {"setItemName", native<set_item_name>, 2},
    {"numLayers", native<num_layers>, 1},
    {"layerTransform", native<layer_transform>, 2},
    {"layerHasStream", native<layer_has_stream>, 2},
    {"layerIs3D", native<layer_is_3d>, 1},
    {"streamExpression", native<stream_expression>, 2},
    {"setStreamValue", native<set_stream_value>, 3},
    {"keyValue", native<key_value>, 3},
    {"setKeyValue", native<set_key_value>, 4},
    {"keyEase", native<key_ease>, 4},
    {"setKeyEase", native<set_key_ease>, 5},
    {"layerEffects", native<layer_effects>, 1},
    {"layerMasks", native<layer_masks>, 1},
    {"layerMarkers", native<layer_markers>, 1},
    {"layerIsNull", native<layer_is_null>, 1},
    {"effectParams", native<effect_params>, 2},
    {"paramKind", native<param_kind>, 3},
    {"paramLayer", native<param_layer>, 3},
    {"setParamLayer", native<set_param_layer>, 4},
    {"avFrame", native<av_frame>, 1},
    {"layerAt", native<layer_at>, 2},
    {"layerNamed", native<layer_named>, 2},
    {"layerKind", native<layer_kind>, 1},
    {"layerName", native<layer_name>, 1},
    {"setLayerName", native<set_layer_name>, 2},
    {"layerIndex", native<layer_index>, 1},
    {"layerComp", native<layer_comp>, 1},
    {"layerSource", native<layer_source>, 1},
    {"layerParent", native<layer_parent>, 1},
    {"setLayerParent", native<set_layer_parent>, 2},
    {"layerInPoint", native<layer_in_point>, 1},
    {"layerOutPoint", native<layer_out_point>, 1},
    {"layerStartTime", native<layer_start_time>, 1},
    {"layerStretch", native<layer_stretch>, 1},
    {"setLayerStretch", native<set_layer_stretch>, 2},
    {"layerPositionSeparated", native<layer_position_separated>, 1},
    {"setLayerPositionSeparated", native<set_layer_position_separated>, 2},
    {"enumName", stateless<enum_name>, 2},
    {"enumValue", stateless<enum_value>, 2},
    {"layerBlendingMode", native<layer_blending_mode>, 1},
    {"setLayerBlendingMode", native<set_layer_blending_mode>, 2},
    {"layerTrackMatte", native<layer_track_matte>, 1},
    {"setLayerTrackMatte", native<set_layer_track_matte>, 2},
    {"layerIsTrackMatte", native<layer_is_track_matte>, 1},
    {"layerHasTrackMatte", native<layer_has_track_matte>, 1},
    {"copyToComp", native<copy_to_comp>, 2},
    {"precompose", native<precompose>, 4},
    {"removeLayer", native<remove_layer>, 1},
    {"duplicateLayer", native<duplicate_layer>, 1},
    {"replaceSource", native<replace_source>, 3},
    {"removeItem", native<remove_item>, 1},
});

}  // namespace

void put_project_natives(duk_context* ctx) { put(ctx, kEntries); }

}  // namespace host::script::natives
