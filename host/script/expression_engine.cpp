#include "script/expression_engine.h"

#include <duktape.h>
#include <exec_timeout.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <sstream>
#include <type_traits>

#include "model/frame.h"
#include "model/project_ops.h"
#include "model/script_ops.h"
#include "model/streams.h"
#include "script/engine_text.h"
#include "script/heap_budget.h"
#include "script/natives.h"
#include "script/preludes.h"

namespace host::script {

using Clock = std::chrono::steady_clock;
using natives::ScriptError;

// The heap's user data: the budget comes first, so the allocator sees it.
struct ExpressionEngine::Sandbox {
    HeapBudget budget;
    ExpressionLimits limits;
    Clock::time_point deadline;
    const ExpressionSite* site = nullptr;
    // Looked up once per evaluation: most references stay in the site's
    // composition.
    const model::Layer* siteLayer = nullptr;
    model::Id siteCompId = model::kNoId;
    const model::Composition* siteComp = nullptr;
    // The streams whose expressions are being evaluated, outermost first: a
    // reference back to one of them closes a cycle.
    static constexpr int kMaxDepth = 32;
    const model::Stream* active[kMaxDepth] = {};
    int depth = 0;
    bool cycle = false;  // met during this evaluation: the whole result fails
    duk_context* ctx = nullptr;
};

namespace {

using Sandbox = ExpressionEngine::Sandbox;
static_assert(std::is_standard_layout_v<Sandbox>);

constexpr const char* kRunner = "function (__expressionText) { return eval(__expressionText); }";
constexpr std::int64_t kTicksPerSecond = 1000000;  // times handed in by expressions

Sandbox& sandbox_of(duk_context* ctx) {
    duk_memory_functions functions;
    duk_get_memory_functions(ctx, &functions);
    return *static_cast<Sandbox*>(functions.udata);
}

int past_deadline(void* udata) { return Clock::now() > static_cast<Sandbox*>(udata)->deadline; }

void sandbox_fatal(void*, const char* message) {
    std::fprintf(stderr, "expression engine: fatal error: %s\n", message ? message : "");
    std::abort();
}

[[noreturn]] void missing(const std::string& what) {
    throw ScriptError(DUK_ERR_REFERENCE_ERROR, what);
}

// ---------------------------------------------------------------- reading the project

const ExpressionSite& site_of(duk_context* ctx) { return *sandbox_of(ctx).site; }
const model::Project& project_of(duk_context* ctx) { return *site_of(ctx).project; }

const model::Layer* find_near(const Sandbox& sandbox, model::Id id) {
    if (sandbox.siteComp != nullptr) {
        for (const model::Layer& layer : sandbox.siteComp->layers) {
            if (layer.id == id) return &layer;
        }
    }
    return model::find_layer(*sandbox.site->project, id);
}

std::optional<model::LayerLocation> location_of(const Sandbox& sandbox, const model::Layer& layer) {
    const auto index =
        sandbox.siteComp != nullptr ? sandbox.siteComp->layers.index_of(&layer) : std::nullopt;
    if (!index) return model::locate_layer(*sandbox.site->project, layer.id);
    return model::LayerLocation{sandbox.siteCompId, static_cast<int>(*index)};
}

const model::Layer& layer_arg(duk_context* ctx, duk_idx_t index) {
    const model::Layer* layer =
        find_near(sandbox_of(ctx), static_cast<model::Id>(duk_get_int(ctx, index)));
    if (layer == nullptr) missing("the layer does not exist");
    return *layer;
}

const model::Layer& site_layer(duk_context* ctx) {
    const model::Layer* layer = sandbox_of(ctx).siteLayer;
    if (layer == nullptr) missing("the layer does not exist");
    return *layer;
}

// shown_name(layer) == name, without building the shown name.
bool shows_name(const model::Project& project, const model::Layer& layer, const std::string& name) {
    if (!layer.ownName.empty()) return layer.ownName == name;
    const model::Item* source = model::find_item(project, layer.source);
    return source != nullptr && source->name == name;
}

const model::Composition& comp_arg(duk_context* ctx, duk_idx_t index) {
    const model::Composition* comp =
        model::comp_of(project_of(ctx), static_cast<model::Id>(duk_get_int(ctx, index)));
    if (comp == nullptr) missing("the composition does not exist");
    return *comp;
}

std::string text_arg(duk_context* ctx, duk_idx_t index) {
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, index, &length);
    return from_engine(std::string_view(text == nullptr ? "" : text, length));
}

std::string number_text(double n) {
    std::ostringstream out;
    out << n;
    return out.str();
}

// A 1-based index (a whole number from 1 to count), or -1 when the argument
// is not a number.
int index_in(duk_context* ctx, duk_idx_t index, std::size_t count, const std::string& what) {
    if (!duk_is_number(ctx, index)) return -1;
    const double n = duk_get_number(ctx, index);
    if (!(n >= 1 && n <= static_cast<double>(count) && n == std::floor(n)))
        missing(what + " " + number_text(n) + " does not exist");
    return static_cast<int>(n);
}

void require_name(duk_context* ctx, duk_idx_t index, const char* what) {
    if (!duk_is_string(ctx, index))
        throw ScriptError(DUK_ERR_TYPE_ERROR, std::string(what) + " must be a name or an index");
}

model::Time time_arg(duk_context* ctx, duk_idx_t index) {
    const double seconds = duk_get_number_default(ctx, index, NAN);
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e9)
        throw ScriptError(DUK_ERR_TYPE_ERROR, "a time must be a number of seconds");
    const ExpressionSite& site = site_of(ctx);
    if (seconds == site.compTime.seconds()) return site.compTime;
    return model::Rational::of(std::llround(seconds * kTicksPerSecond), kTicksPerSecond);
}

double seconds(model::Time t) { return t.seconds(); }

// ---------------------------------------------------------------- values in the language's layout
// Colors read as [r, g, b, a]; the position, anchor point and scale of a 2D
// layer as two values; one value as a number.

bool flat_on(const model::Layer& layer, const model::Stream& stream) {
    if ((layer.flags & model::flag::k3D) != 0) return false;
    for (int number :
         {model::stream::kAnchorPoint, model::stream::kPosition, model::stream::kScale}) {
        const auto found = layer.streams.find(number);
        if (found != layer.streams.end() && &found->second == &stream) return true;
    }
    return false;
}

std::vector<double> language_layout(const model::Layer& layer, const model::Stream& stream,
                                    std::vector<double> stored) {
    if (stream.kind == model::StreamKind::Color && stored.size() == 4)
        return {stored[1], stored[2], stored[3], stored[0]};
    if (flat_on(layer, stream) && stored.size() > 2) stored.resize(2);
    return stored;
}

struct PendingNumbers {
    std::span<const double> values;
};

duk_ret_t push_pending_numbers(duk_context* ctx, void* udata) {
    const auto* pending = static_cast<const PendingNumbers*>(udata);
    if (pending->values.size() == 1) {
        duk_push_number(ctx, pending->values[0]);
        return 1;
    }
    duk_push_array(ctx);
    for (std::size_t i = 0; i < pending->values.size(); ++i) {
        duk_push_number(ctx, pending->values[i]);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

bool has_live_expression(const model::Stream& stream) {
    return !stream.expression.empty() && stream.expressionEnabled &&
           stream.kind != model::StreamKind::NoData;
}

ExpressionResult nested_value(duk_context* ctx, const model::Layer& layer,
                              const model::Stream& stream, model::Time compTime);

// A separated Position reads as its followers, each after its expression.
ExpressionResult separated_nested_value(duk_context* ctx, const model::Layer& layer,
                                        const model::Stream& position, model::Time compTime) {
    const model::Time layerTime = model::layer_time_of(layer, compTime);
    ExpressionResult combined;
    combined.ok = true;
    combined.value = position.value;
    for (std::size_t d = 0; d < combined.value.size() && d < layer.positionFollowers.size(); ++d) {
        const model::Stream& follower = layer.positionFollowers[d];
        const bool live = has_live_expression(follower) && &follower != site_of(ctx).stream;
        const std::vector<double> one = live ? nested_value(ctx, layer, follower, compTime).value
                                             : model::value_at(follower, layerTime);
        if (!one.empty()) combined.value[d] = one.front();
    }
    return combined;
}

// Pushes the stream's value at the composition time, after its expression
// (a stream reading itself gets its stored value, as `value` does); an
// engine out of memory throws std::bad_alloc (see natives::push_text).
void push_stream_value(duk_context* ctx, const model::Layer& layer, const model::Stream& stream,
                       model::Time compTime) {
    if (stream.kind == model::StreamKind::NoData)
        missing("the property \"" + stream.name + "\" has no value");
    const model::Time layerTime = model::layer_time_of(layer, compTime);
    std::optional<ExpressionResult> evaluated;
    if (model::is_separated_leader(layer, stream)) {
        evaluated = separated_nested_value(ctx, layer, stream, compTime);
    } else if (has_live_expression(stream) && &stream != site_of(ctx).stream) {
        evaluated = nested_value(ctx, layer, stream, compTime);
    }
    if (model::holds_text(stream.kind))
        return natives::push_text(ctx,
                                  evaluated ? evaluated->text : model::text_at(stream, layerTime));
    const std::vector<double> values = language_layout(
        layer, stream,
        evaluated ? evaluated->value : model::layer_value_at(layer, stream, layerTime));
    PendingNumbers pending{values};
    if (duk_safe_call(ctx, push_pending_numbers, &pending, 0, 1) != DUK_EXEC_SUCCESS) {
        duk_pop(ctx);
        throw std::bad_alloc();
    }
}

// ---------------------------------------------------------------- natives

template <duk_ret_t (*body)(duk_context*)>
duk_ret_t guarded(duk_context* ctx) {
    return natives::guarded(ctx, [ctx] { return body(ctx); });
}

duk_ret_t this_layer(duk_context* ctx) {
    duk_push_int(ctx, site_of(ctx).layer);
    return 1;
}

duk_ret_t this_comp(duk_context* ctx) {
    site_layer(ctx);
    duk_push_int(ctx, sandbox_of(ctx).siteCompId);
    return 1;
}

duk_ret_t time_now(duk_context* ctx) {
    duk_push_number(ctx, seconds(site_of(ctx).compTime));
    return 1;
}

duk_ret_t own_value(duk_context* ctx) {
    const ExpressionSite& site = site_of(ctx);
    push_stream_value(ctx, site_layer(ctx), *site.stream, site.compTime);
    return 1;
}

duk_ret_t comp_named(duk_context* ctx) {
    require_name(ctx, 0, "comp(): the composition");
    const std::string name = text_arg(ctx, 0);
    for (const model::Item& item : project_of(ctx).items) {
        if (item.comp && item.name == name) {
            duk_push_int(ctx, item.id);
            return 1;
        }
    }
    missing("composition \"" + name + "\" does not exist");
}

duk_ret_t layer_in_comp(duk_context* ctx) {
    const model::Composition& comp = comp_arg(ctx, 0);
    const int index = index_in(ctx, 1, comp.layers.size(), "layer");
    if (index > 0) {
        duk_push_int(ctx, comp.layers[static_cast<std::size_t>(index - 1)].id);
        return 1;
    }
    require_name(ctx, 1, "layer(): the layer");
    const std::string name = text_arg(ctx, 1);
    for (const model::Layer& layer : comp.layers) {
        if (shows_name(project_of(ctx), layer, name)) {
            duk_push_int(ctx, layer.id);
            return 1;
        }
    }
    missing("layer \"" + name + "\" does not exist");
}

// Pushes [name, numbers...]; the name goes first, as the only push that can
// fail.
void push_record(duk_context* ctx, const std::string& name, std::span<const double> numbers) {
    natives::push_text(ctx, name);
    duk_push_array(ctx);
    duk_swap_top(ctx, -2);
    duk_put_prop_index(ctx, -2, 0);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        duk_push_number(ctx, numbers[i]);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i + 1));
    }
}

duk_ret_t layer_info(duk_context* ctx) {
    const model::Project& project = project_of(ctx);
    const model::Layer& layer = layer_arg(ctx, 0);
    const auto where = location_of(sandbox_of(ctx), layer);
    const model::Item* source = model::find_item(project, layer.source);
    const model::Composition* sourceComp = source && source->comp ? &*source->comp : nullptr;
    const model::Footage* footage = source && source->footage ? &*source->footage : nullptr;
    const double width = sourceComp ? sourceComp->width : footage ? footage->width : NAN;
    const double height = sourceComp ? sourceComp->height : footage ? footage->height : NAN;
    const double numbers[] = {static_cast<double>(where ? where->index + 1 : 0),
                              seconds(model::comp_in_point(layer)),
                              seconds(model::comp_out_point(layer)),
                              seconds(layer.offset),
                              static_cast<double>(layer.parent),
                              width,
                              height};
    push_record(ctx, model::shown_name(project, layer), numbers);
    return 1;
}

duk_ret_t comp_info(duk_context* ctx) {
    const model::Composition& comp = comp_arg(ctx, 0);
    const model::Item* item =
        model::find_item(project_of(ctx), static_cast<model::Id>(duk_get_int(ctx, 0)));
    const double numbers[] = {static_cast<double>(comp.width),
                              static_cast<double>(comp.height),
                              seconds(comp.duration),
                              1.0 / comp.frameRate.seconds(),
                              static_cast<double>(comp.layers.size()),
                              comp.pixelAspect.seconds(),
                              comp.bgColor.at(0),
                              comp.bgColor.at(1),
                              comp.bgColor.at(2),
                              comp.shutterAngle,
                              comp.shutterPhase};
    push_record(ctx, item->name, numbers);
    return 1;
}

const model::Effect& effect_at(duk_context* ctx, const model::Layer& layer, duk_idx_t index) {
    const int at = duk_get_int(ctx, index);
    if (at < 1 || static_cast<std::size_t>(at) > layer.effects.size())
        missing("the effect does not exist");
    return layer.effects[static_cast<std::size_t>(at - 1)];
}

duk_ret_t effect_of(duk_context* ctx) {
    const model::Layer& layer = layer_arg(ctx, 0);
    const int index = index_in(ctx, 1, layer.effects.size(), "effect");
    if (index > 0) {
        duk_push_int(ctx, index);
        return 1;
    }
    require_name(ctx, 1, "effect(): the effect");
    const std::string name = text_arg(ctx, 1);
    for (std::size_t i = 0; i < layer.effects.size(); ++i) {
        if (layer.effects[i].name == name) {
            duk_push_int(ctx, static_cast<duk_int_t>(i + 1));
            return 1;
        }
    }
    missing("effect \"" + name + "\" does not exist on layer \"" +
            model::shown_name(project_of(ctx), layer) + "\"");
}

// [name, switched on] of effect n (from 1).
duk_ret_t effect_info(duk_context* ctx) {
    const model::Effect& effect = effect_at(ctx, layer_arg(ctx, 0), 1);
    const double numbers[] = {effect.active ? 1.0 : 0.0};
    push_record(ctx, effect.name, numbers);
    return 1;
}

// Parameters count from 1 (the effect's own entry 0 is not one of them).
duk_ret_t param_of(duk_context* ctx) {
    const model::Effect& effect = effect_at(ctx, layer_arg(ctx, 0), 1);
    const std::size_t count = effect.params.empty() ? 0 : effect.params.size() - 1;
    const int index = index_in(ctx, 2, count, "parameter");
    if (index > 0) {
        duk_push_int(ctx, index);
        return 1;
    }
    require_name(ctx, 2, "the effect's parameter");
    const std::string name = text_arg(ctx, 2);
    for (std::size_t i = 1; i < effect.params.size(); ++i) {
        if (effect.params[i].name == name) {
            duk_push_int(ctx, static_cast<duk_int_t>(i));
            return 1;
        }
    }
    missing("parameter \"" + name + "\" does not exist on effect \"" + effect.name + "\"");
}

const model::Stream& param_at(duk_context* ctx, const model::Effect& effect, duk_idx_t index) {
    const int at = duk_get_int(ctx, index);
    if (at < 1 || static_cast<std::size_t>(at) >= effect.params.size())
        missing("the parameter does not exist");
    return effect.params[static_cast<std::size_t>(at)];
}

duk_ret_t param_name(duk_context* ctx) {
    const model::Layer& layer = layer_arg(ctx, 0);
    natives::push_text(ctx, param_at(ctx, effect_at(ctx, layer, 1), 2).name);
    return 1;
}

// ---------------------------------------------------------------- keyframes of a property
// A property is named by (layer, a, b): a layer stream (a its number, b -1)
// or an effect parameter (a the effect, b the parameter, both from 1); layer
// 0 names the stream the expression is on.

struct PropertyRef {
    const model::Layer* layer = nullptr;
    const model::Stream* stream = nullptr;
};

PropertyRef property_arg(duk_context* ctx, duk_idx_t index) {
    if (duk_get_int(ctx, index) == 0) return {&site_layer(ctx), site_of(ctx).stream};
    const model::Layer& layer = layer_arg(ctx, index);
    const int b = duk_get_int(ctx, index + 2);
    if (b <= -2) {  // a mask's stream -2 - b of mask a
        const auto mask = static_cast<std::size_t>(duk_get_int(ctx, index + 1) - 1);
        const auto at = static_cast<std::size_t>(-2 - b);
        if (mask >= layer.masks.size() || at >= layer.masks[mask].streams.size())
            missing("the mask property does not exist");
        return {&layer, &layer.masks[mask].streams[at]};
    }
    if (b < 0) {
        const auto found = layer.streams.find(duk_get_int(ctx, index + 1));
        if (found == layer.streams.end())
            missing("the property does not exist on layer \"" +
                    model::shown_name(project_of(ctx), layer) + "\"");
        return {&layer, &found->second};
    }
    return {&layer, &param_at(ctx, effect_at(ctx, layer, index + 1), index + 2)};
}

double key_seconds(const PropertyRef& ref, const model::Keyframe& key) {
    return seconds(model::comp_time_of(*ref.layer, key.time));
}

duk_ret_t key_count(duk_context* ctx) {
    duk_push_int(ctx, static_cast<duk_int_t>(property_arg(ctx, 0).stream->keyframes.size()));
    return 1;
}

void push_numbers(duk_context* ctx, std::span<const double> values) {
    PendingNumbers pending{values};
    if (duk_safe_call(ctx, push_pending_numbers, &pending, 0, 1) != DUK_EXEC_SUCCESS) {
        duk_pop(ctx);
        throw std::bad_alloc();
    }
}

// [composition time, value] of keyframe n (from 1).
duk_ret_t key_at(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    const int n = index_in(ctx, 3, ref.stream->keyframes.size(), "keyframe");
    if (n < 0) throw ScriptError(DUK_ERR_TYPE_ERROR, "a keyframe index must be a number");
    const model::Keyframe& key = ref.stream->keyframes[static_cast<std::size_t>(n - 1)];
    duk_push_array(ctx);
    duk_push_number(ctx, key_seconds(ref, key));
    duk_put_prop_index(ctx, -2, 0);
    if (model::holds_text(ref.stream->kind)) {
        natives::push_text(ctx, key.text);
    } else {
        // Gone before the array grows, which may unwind.
        const std::vector<double> value = language_layout(*ref.layer, *ref.stream, key.value);
        push_numbers(ctx, value);
    }
    duk_put_prop_index(ctx, -2, 1);
    return 1;
}

// The index (from 1) of the keyframe nearest the time; the earlier of two
// as near.
duk_ret_t key_near(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    const double t = seconds(time_arg(ctx, 3));
    const auto& keys = ref.stream->keyframes;
    if (keys.empty()) missing("the property \"" + ref.stream->name + "\" has no keyframes");
    std::size_t best = 0;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (std::fabs(key_seconds(ref, keys[i]) - t) < std::fabs(key_seconds(ref, keys[best]) - t))
            best = i;
    }
    duk_push_int(ctx, static_cast<duk_int_t>(best + 1));
    return 1;
}

// The keyframed value at a composition time, before any expression: what
// loops repeat.
duk_ret_t stored_at(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    if (ref.stream->kind == model::StreamKind::NoData || model::holds_text(ref.stream->kind))
        missing("the property \"" + ref.stream->name + "\" has no numeric value");
    const model::Time layerTime = model::layer_time_of(*ref.layer, time_arg(ctx, 3));
    const std::vector<double> value = language_layout(
        *ref.layer, *ref.stream, model::layer_value_at(*ref.layer, *ref.stream, layerTime));
    push_numbers(ctx, value);
    return 1;
}

duk_ret_t property_name(duk_context* ctx) {
    natives::push_text(ctx, property_arg(ctx, 0).stream->name);
    return 1;
}

// The value after its expression, as valueAtTime reads it.
duk_ret_t property_value(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    push_stream_value(ctx, *ref.layer, *ref.stream, time_arg(ctx, 3));
    return 1;
}

// [start, end] in composition seconds of the keyframe segment that holds the
// time (before the first keyframe and after the last, open towards -/+
// infinity); velocities are taken within it.
duk_ret_t key_segment(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    const double t = seconds(time_arg(ctx, 3));
    double low = -INFINITY, high = INFINITY;
    for (const model::Keyframe& key : ref.stream->keyframes) {
        const double at = key_seconds(ref, key);
        if (at <= t) low = std::max(low, at);
        if (at > t) high = std::min(high, at);
    }
    duk_push_array(ctx);
    duk_push_number(ctx, low);
    duk_put_prop_index(ctx, -2, 0);
    duk_push_number(ctx, high);
    duk_put_prop_index(ctx, -2, 1);
    return 1;
}

// ---------------------------------------------------------------- layer space

// A stream's value after its expression in the stream's own layout, as the
// picture reads it (a stream reading itself gets its stored value).
std::vector<double> values_after_expression(duk_context* ctx, const model::Layer& layer, int number,
                                            model::Time compTime, std::vector<double> fallback) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return fallback;
    const model::Stream& stream = found->second;
    if (has_live_expression(stream) && &stream != site_of(ctx).stream) {
        ExpressionResult nested = nested_value(ctx, layer, stream, compTime);
        if (!nested.value.empty()) return nested.value;
    }
    std::vector<double> stored =
        model::layer_value_at(layer, stream, model::layer_time_of(layer, compTime));
    return stored.empty() ? fallback : stored;
}

// The layer's map into its composition: its own, then each parent's, each
// read at the composition time (through its own stretch), as the picture
// composes them.
model::Frame world_of(duk_context* ctx, const model::Layer& layer, model::Time compTime) {
    const auto local = [&](const model::Layer& of) {
        return model::layer_frame(of, [&](int number, std::vector<double> fallback) {
            return values_after_expression(ctx, of, number, compTime, std::move(fallback));
        });
    };
    model::Frame world = local(layer);
    const model::Layer* parent = &layer;
    for (int guard = 0; parent->parent != model::kNoId && guard < 4096; ++guard) {
        parent = find_near(sandbox_of(ctx), parent->parent);
        if (parent == nullptr) break;
        world = local(*parent).after(world);
    }
    return world;
}

// [m00 m01 m02 m10 ... m22 t0 t1 t2] of the layer's map into its
// composition, or of its inverse when asked.
duk_ret_t layer_frame(duk_context* ctx) {
    const model::Layer& layer = layer_arg(ctx, 0);
    model::Frame frame = world_of(ctx, layer, time_arg(ctx, 1));
    if (duk_get_boolean(ctx, 2)) {
        const std::optional<model::Frame> inverse = frame.inverse();
        if (!inverse)
            throw ScriptError(DUK_ERR_ERROR, "layer \"" +
                                                 model::shown_name(project_of(ctx), layer) +
                                                 "\" is scaled to nothing and has no inverse");
        frame = *inverse;
    }
    duk_push_array(ctx);
    duk_uarridx_t at = 0;
    for (const auto& row : frame.m) {
        for (double v : row) {
            duk_push_number(ctx, v);
            duk_put_prop_index(ctx, -2, at++);
        }
    }
    for (double v : frame.t) {
        duk_push_number(ctx, v);
        duk_put_prop_index(ctx, -2, at++);
    }
    return 1;
}

// The index (from 1) of the layer's mask by name or index.
duk_ret_t mask_of(duk_context* ctx) {
    const model::Layer& layer = layer_arg(ctx, 0);
    const int index = index_in(ctx, 1, layer.masks.size(), "mask");
    if (index > 0) {
        duk_push_int(ctx, index);
        return 1;
    }
    require_name(ctx, 1, "mask(): the mask");
    const std::string name = text_arg(ctx, 1);
    for (std::size_t i = 0; i < layer.masks.size(); ++i) {
        if (layer.masks[i].name == name) {
            duk_push_int(ctx, static_cast<duk_int_t>(i + 1));
            return 1;
        }
    }
    missing("mask \"" + name + "\" does not exist on layer \"" +
            model::shown_name(project_of(ctx), layer) + "\"");
}

// [name, stream names...] of mask n.
duk_ret_t mask_info(duk_context* ctx) {
    const model::Layer& layer = layer_arg(ctx, 0);
    const int n = duk_get_int(ctx, 1);
    if (n < 1 || static_cast<std::size_t>(n) > layer.masks.size())
        missing("the mask does not exist");
    const model::Mask& mask = layer.masks[static_cast<std::size_t>(n - 1)];
    duk_push_array(ctx);
    natives::push_text(ctx, mask.name);
    duk_put_prop_index(ctx, -2, 0);
    for (std::size_t i = 0; i < mask.streams.size(); ++i) {
        natives::push_text(ctx, mask.streams[i].name);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i + 1));
    }
    return 1;
}

// ---------------------------------------------------------------- markers
// A layer's (kind 0, by layer id) or a composition's (kind 1, by item id),
// in composition time.

struct MarkerOwner {
    const model::Layer* layer = nullptr;  // null for a composition's
    const std::vector<model::Marker>* markers = nullptr;
};

MarkerOwner marker_owner(duk_context* ctx) {
    if (duk_get_int(ctx, 0) == 0) {
        const model::Layer& layer = layer_arg(ctx, 1);
        return {&layer, &layer.markers};
    }
    return {nullptr, &comp_arg(ctx, 1).markers};
}

duk_ret_t marker_count(duk_context* ctx) {
    duk_push_int(ctx, static_cast<duk_int_t>(marker_owner(ctx).markers->size()));
    return 1;
}

// [time, duration, comment, chapter, url, frameTarget, cuePointName,
// eventCuePoint, protectedRegion, parameters] of marker n (from 1).
duk_ret_t marker_at(duk_context* ctx) {
    const MarkerOwner owner = marker_owner(ctx);
    const int n = index_in(ctx, 2, owner.markers->size(), "marker");
    if (n < 0) throw ScriptError(DUK_ERR_TYPE_ERROR, "a marker index must be a number");
    const model::Marker& marker = (*owner.markers)[static_cast<std::size_t>(n - 1)];
    const auto shown = [&](model::Time t) {
        return owner.layer ? seconds(model::comp_time_of(*owner.layer, t)) : seconds(t);
    };
    const double start = shown(marker.time), end = shown(marker.time + marker.duration);
    duk_push_array(ctx);
    duk_push_number(ctx, std::min(start, end));
    duk_put_prop_index(ctx, -2, 0);
    duk_push_number(ctx, std::fabs(end - start));
    duk_put_prop_index(ctx, -2, 1);
    duk_uarridx_t at = 2;
    for (const std::string* text : {&marker.comment, &marker.chapter, &marker.url,
                                    &marker.frameTarget, &marker.cuePointName}) {
        natives::push_text(ctx, *text);
        duk_put_prop_index(ctx, -2, at++);
    }
    duk_push_boolean(ctx, marker.eventCuePoint);
    duk_put_prop_index(ctx, -2, at++);
    duk_push_boolean(ctx, marker.protectedRegion);
    duk_put_prop_index(ctx, -2, at++);
    duk_push_object(ctx);
    for (const auto& [name, value] : marker.parameters) {
        natives::push_text(ctx, name);
        natives::push_text(ctx, value);
        duk_put_prop(ctx, -3);
    }
    duk_put_prop_index(ctx, -2, at);
    return 1;
}

// ---------------------------------------------------------------- switches, sources and project

bool lamp(const model::Layer& layer) {
    return layer.kind == model::LayerKind::Camera || layer.kind == model::LayerKind::Light;
}

bool has_audio(const model::Project& project, const model::Layer& layer) {
    const model::Item* source = model::find_item(project, layer.source);
    return source != nullptr && source->footage && source->footage->hasAudio;
}

double on(std::uint32_t flags, std::uint32_t bit) { return (flags & bit) != 0 ? 1 : 0; }

// [has video, has audio, video switch, audio switch, time remapping, kind
// (model::LayerKind), source item id (0: none), source is a composition].
duk_ret_t layer_traits(duk_context* ctx) {
    const model::Project& project = project_of(ctx);
    const model::Layer& layer = layer_arg(ctx, 0);
    const model::Item* source = model::find_item(project, layer.source);
    const double numbers[] = {lamp(layer) ? 0.0 : 1.0,
                              has_audio(project, layer) ? 1.0 : 0.0,
                              on(layer.flags, model::flag::kVideoActive),
                              on(layer.flags, model::flag::kAudioActive),
                              on(layer.flags, model::flag::kTimeRemapping),
                              static_cast<double>(layer.kind),
                              static_cast<double>(source ? source->id : 0),
                              source && source->comp ? 1.0 : 0.0};
    push_numbers(ctx, numbers);
    return 1;
}

// The time in the layer's source at a composition time: its layer time, or
// with time remapping on, the Time Remap stream's value there.
double source_seconds(duk_context* ctx, const model::Layer& layer, model::Time compTime) {
    const double layerSeconds = seconds(model::layer_time_of(layer, compTime));
    if ((layer.flags & model::flag::kTimeRemapping) == 0) return layerSeconds;
    const std::vector<double> remapped =
        values_after_expression(ctx, layer, model::stream::kTimeRemap, compTime, {layerSeconds});
    return remapped.empty() ? layerSeconds : remapped.front();
}

duk_ret_t source_time(duk_context* ctx) {
    const double t = source_seconds(ctx, layer_arg(ctx, 0), time_arg(ctx, 1));
    duk_push_number(ctx, t);
    return 1;
}

duk_ret_t footage_named(duk_context* ctx) {
    require_name(ctx, 0, "footage(): the footage item");
    const std::string name = text_arg(ctx, 0);
    for (const model::Item& item : project_of(ctx).items) {
        if (item.footage && item.name == name) {
            duk_push_int(ctx, item.id);
            return 1;
        }
    }
    missing("footage \"" + name + "\" does not exist");
}

// [name, width, height, duration, frameDuration, pixelAspect] of a footage item.
duk_ret_t footage_info(duk_context* ctx) {
    const model::Item* item =
        model::find_item(project_of(ctx), static_cast<model::Id>(duk_get_int(ctx, 0)));
    if (item == nullptr || !item->footage) missing("the footage item does not exist");
    const model::Footage& footage = *item->footage;
    const double numbers[] = {static_cast<double>(footage.width),
                              static_cast<double>(footage.height), seconds(footage.duration),
                              1.0 / footage.frameRate.seconds(), footage.pixelAspect.seconds()};
    push_record(ctx, item->name, numbers);
    return 1;
}

duk_ret_t project_info(duk_context* ctx) {
    const model::Project& project = project_of(ctx);
    const double numbers[] = {static_cast<double>(project.bitsPerChannel),
                              project.linearBlending ? 1.0 : 0.0};
    push_numbers(ctx, numbers);
    return 1;
}

// The pixels the host knows, a solid's: its colour, opaque over its frame.
// [r, g, b, a] averaged over the rectangle point ± radius in layer space,
// where pixel (0, 0) is centred on [0, 0].
duk_ret_t sample_image(duk_context* ctx) {
    const model::Project& project = project_of(ctx);
    const model::Layer& layer = layer_arg(ctx, 0);
    const model::Item* source = model::find_item(project, layer.source);
    if (layer.isNull || source == nullptr || !source->footage ||
        source->footage->kind != model::FootageKind::Solid)
        throw ScriptError(DUK_ERR_ERROR,
                          "sampleImage(): the host has pixels only for solids, "
                          "not for layer \"" +
                              model::shown_name(project, layer) + "\"");
    const model::Footage& solid = *source->footage;
    const auto covered = [](double centre, double radius, double size) {
        const double low = std::max(centre - radius, -0.5),
                     high = std::min(centre + radius, size - 0.5);
        if (radius == 0) return centre >= -0.5 && centre < size - 0.5 ? 1.0 : 0.0;
        return std::max(high - low, 0.0) / (2 * radius);
    };
    const double alpha =
        covered(duk_get_number(ctx, 1), std::fabs(duk_get_number(ctx, 3)), solid.width) *
        covered(duk_get_number(ctx, 2), std::fabs(duk_get_number(ctx, 4)), solid.height);
    const double numbers[] = {alpha > 0 ? solid.color.at(0) : 0, alpha > 0 ? solid.color.at(1) : 0,
                              alpha > 0 ? solid.color.at(2) : 0, alpha};
    push_numbers(ctx, numbers);
    return 1;
}

// ---------------------------------------------------------------- finding layers in a composition

// The topmost camera whose video is on and whose span holds the time.
duk_ret_t active_camera(duk_context* ctx) {
    const model::Composition& comp = comp_arg(ctx, 0);
    const model::Time t = time_arg(ctx, 1);
    for (const model::Layer& layer : comp.layers) {
        if (layer.kind == model::LayerKind::Camera &&
            (layer.flags & model::flag::kVideoActive) != 0 && model::comp_in_point(layer) <= t &&
            t < model::comp_out_point(layer)) {
            duk_push_int(ctx, layer.id);
            return 1;
        }
    }
    const model::Item* item =
        model::find_item(project_of(ctx), static_cast<model::Id>(duk_get_int(ctx, 0)));
    throw ScriptError(DUK_ERR_ERROR, "composition \"" + item->name + "\" has no active camera at " +
                                         number_text(seconds(t)) + " s");
}

// The layer relIndex places below otherLayer (above for a negative one).
duk_ret_t layer_relative(duk_context* ctx) {
    const model::Composition& comp = comp_arg(ctx, 0);
    const model::Layer& other = layer_arg(ctx, 1);
    const auto index = comp.layers.index_of(&other);
    if (!index)
        missing("layer \"" + model::shown_name(project_of(ctx), other) +
                "\" is not in this composition");
    if (!duk_is_number(ctx, 2))
        throw ScriptError(DUK_ERR_TYPE_ERROR,
                          "layer(otherLayer, relIndex): relIndex must be a number");
    const double at = static_cast<double>(*index + 1) + duk_get_number(ctx, 2);
    if (!(at >= 1 && at <= static_cast<double>(comp.layers.size()) && at == std::floor(at)))
        missing("layer " + number_text(at) + " does not exist");
    duk_push_int(ctx, comp.layers[static_cast<std::size_t>(at - 1)].id);
    return 1;
}

// The topmost layer whose comment holds the text.
duk_ret_t layer_by_comment(duk_context* ctx) {
    const model::Composition& comp = comp_arg(ctx, 0);
    require_name(ctx, 1, "layerByComment(): the comment");
    const std::string text = text_arg(ctx, 1);
    for (const model::Layer& layer : comp.layers) {
        if (layer.comment.find(text) != std::string::npos) {
            duk_push_int(ctx, layer.id);
            return 1;
        }
    }
    missing("no layer's comment holds \"" + text + "\"");
}

// ---------------------------------------------------------------- the property hierarchy
// Each level is [name, index in its group (from 1), members]: the property
// itself (no members), then its groups up to the one the layer holds. The
// layer's own groups come in the host's order (unconfirmed); within them
// the application's.

struct Level {
    std::string_view name;
    int index = 0;
    int members = 0;
};

struct Levels {
    Level at[3];
    int count = 0;
    void add(std::string_view name, int index, int members) {
        at[count++] = {name, index, members};
    }
};

// Where a stream sits on its layer: a layer stream (a: its number), a
// follower (a: its dimension), an effect parameter (a: effect, b: parameter,
// both from 1) or a mask's stream (a: mask from 1, b: stream from 0).
struct Place {
    enum class Holder { Layer, Follower, Effect, Mask } holder = Holder::Layer;
    int a = 1 << 30;  // no stream's
    int b = 0;
};

Place place_of(const model::Layer& layer, const model::Stream* stream) {
    using H = Place::Holder;
    for (const auto& [number, own] : layer.streams) {
        if (&own == stream) return {H::Layer, number, 0};
    }
    for (std::size_t d = 0; d < layer.positionFollowers.size(); ++d) {
        if (&layer.positionFollowers[d] == stream) return {H::Follower, static_cast<int>(d), 0};
    }
    for (std::size_t e = 0; e < layer.effects.size(); ++e) {
        const auto& params = layer.effects[e].params;
        for (std::size_t p = 0; p < params.size(); ++p) {
            if (&params[p] == stream)
                return {H::Effect, static_cast<int>(e + 1), static_cast<int>(p)};
        }
    }
    for (std::size_t m = 0; m < layer.masks.size(); ++m) {
        const auto& streams = layer.masks[m].streams;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (&streams[i] == stream)
                return {H::Mask, static_cast<int>(m + 1), static_cast<int>(i)};
        }
    }
    return {};
}

bool has_stream(const model::Layer& layer, int number) { return layer.streams.count(number) != 0; }

// The index (from 1) of a top-level group or property among the layer's.
int top_index(const model::Layer& layer, std::string_view name) {
    namespace s = model::stream;
    const bool present[] = {true,
                            has_stream(layer, s::kTimeRemap),
                            has_stream(layer, s::kSourceText),
                            !lamp(layer),
                            !lamp(layer),
                            true,
                            layer.kind == model::LayerKind::Camera,
                            layer.kind == model::LayerKind::Light,
                            has_stream(layer, s::kAudioLevels)};
    const std::string_view names[] = {"Marker",         "Time Remap",    "Text",
                                      "Masks",          "Effects",       "Transform",
                                      "Camera Options", "Light Options", "Audio"};
    int index = 0;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        index += present[i] ? 1 : 0;
        if (names[i] == name) return index;
    }
    return 0;
}

// The Transform group's members in the scripting guide's match-name order;
// -1 - d stands for Position's follower d, which the group always holds.
constexpr int kTransformOrder[] = {model::stream::kAnchorPoint,
                                   model::stream::kPosition,
                                   -1,
                                   -2,
                                   -3,
                                   model::stream::kScale,
                                   model::stream::kOrientation,
                                   model::stream::kRotateX,
                                   model::stream::kRotateY,
                                   model::stream::kRotation,
                                   model::stream::kOpacity};

// The group of a layer stream (or follower, as -1 - d): its name and the
// members it holds, in order; a top-level property has none.
struct StreamGroup {
    std::string_view name;
    int first = 0, last = -1;  // a run of stream numbers, unless the Transform group
    bool transform = false;
};

std::optional<StreamGroup> group_of(int number) {
    namespace s = model::stream;
    if (std::find(std::begin(kTransformOrder), std::end(kTransformOrder), number) !=
        std::end(kTransformOrder))
        return StreamGroup{"Transform", 0, -1, true};
    if (number >= s::kZoom && number <= s::kBlurLevel)
        return StreamGroup{"Camera Options", s::kZoom, s::kBlurLevel};
    if (number >= s::kIntensity && number <= s::kShadowDiffusion)
        return StreamGroup{"Light Options", s::kIntensity, s::kShadowDiffusion};
    if (number == s::kSourceText) return StreamGroup{"Text", number, number};
    if (number == s::kAudioLevels) return StreamGroup{"Audio", number, number};
    return std::nullopt;
}

// [index of the stream among the group's members, members] (from 1).
std::pair<int, int> member_index(const model::Layer& layer, const StreamGroup& group, int number) {
    int index = 0, count = 0;
    const auto visit = [&](int member) {
        if (member >= 0 && !has_stream(layer, member)) return;
        ++count;
        if (member == number) index = count;
    };
    if (group.transform) {
        for (int member : kTransformOrder) visit(member);
    } else {
        for (int member = group.first; member <= group.last; ++member) visit(member);
    }
    return {index, count};
}

Levels levels_of(const model::Layer& layer, const model::Stream& stream, const Place& place) {
    using H = Place::Holder;
    Levels levels;
    if (place.holder == H::Effect) {
        const model::Effect& effect = layer.effects[static_cast<std::size_t>(place.a - 1)];
        levels.add(stream.name, place.b, 0);
        levels.add(effect.name, place.a, static_cast<int>(effect.params.size()) - 1);
        levels.add("Effects", top_index(layer, "Effects"), static_cast<int>(layer.effects.size()));
        return levels;
    }
    if (place.holder == H::Mask) {
        const model::Mask& mask = layer.masks[static_cast<std::size_t>(place.a - 1)];
        levels.add(stream.name, place.b + 1, 0);
        levels.add(mask.name, place.a, static_cast<int>(mask.streams.size()));
        levels.add("Masks", top_index(layer, "Masks"), static_cast<int>(layer.masks.size()));
        return levels;
    }
    const int number = place.holder == H::Follower ? -1 - place.a : place.a;
    const std::optional<StreamGroup> group = group_of(number);
    if (!group) {
        levels.add(stream.name, top_index(layer, stream.name), 0);
        return levels;
    }
    const auto [index, members] = member_index(layer, *group, number);
    levels.add(stream.name, index, 0);
    levels.add(group->name, top_index(layer, group->name), members);
    return levels;
}

duk_ret_t property_groups(duk_context* ctx) {
    const PropertyRef ref = property_arg(ctx, 0);
    const Levels levels = levels_of(*ref.layer, *ref.stream, place_of(*ref.layer, ref.stream));
    duk_push_array(ctx);
    for (int i = 0; i < levels.count; ++i) {
        const Level& level = levels.at[i];
        natives::push_text(ctx, level.name);
        duk_push_array(ctx);
        duk_swap_top(ctx, -2);
        duk_put_prop_index(ctx, -2, 0);
        duk_push_int(ctx, level.index);
        duk_put_prop_index(ctx, -2, 1);
        duk_push_int(ctx, level.members);
        duk_put_prop_index(ctx, -2, 2);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

// A number for the stream the expression is on, which the random numbers'
// seed takes in: the same stream always gives the same one.
duk_ret_t property_seed(duk_context* ctx) {
    const Place place = place_of(site_layer(ctx), site_of(ctx).stream);
    std::uint32_t hash = 2166136261u;  // FNV-1a over the place
    for (int field : {static_cast<int>(place.holder), place.a, place.b}) {
        hash = (hash ^ static_cast<std::uint32_t>(field)) * 16777619u;
    }
    duk_push_uint(ctx, hash);
    return 1;
}

const duk_function_list_entry kNatives[] = {
    {"markerCount", guarded<marker_count>, 2},
    {"markerAt", guarded<marker_at>, 3},
    {"layerFrame", guarded<layer_frame>, 3},
    {"mask", guarded<mask_of>, 2},
    {"maskInfo", guarded<mask_info>, 2},
    {"keyCount", guarded<key_count>, 3},
    {"keyAt", guarded<key_at>, 4},
    {"keyNear", guarded<key_near>, 4},
    {"storedAt", guarded<stored_at>, 4},
    {"propertyValue", guarded<property_value>, 4},
    {"keySegment", guarded<key_segment>, 4},
    {"propertyName", guarded<property_name>, 3},
    {"thisLayer", guarded<this_layer>, 0},
    {"thisComp", guarded<this_comp>, 0},
    {"time", guarded<time_now>, 0},
    {"value", guarded<own_value>, 0},
    {"comp", guarded<comp_named>, 1},
    {"layer", guarded<layer_in_comp>, 2},
    {"layerInfo", guarded<layer_info>, 1},
    {"compInfo", guarded<comp_info>, 1},
    {"effect", guarded<effect_of>, 2},
    {"effectInfo", guarded<effect_info>, 2},
    {"param", guarded<param_of>, 3},
    {"paramName", guarded<param_name>, 3},
    {"layerTraits", guarded<layer_traits>, 1},
    {"sourceTime", guarded<source_time>, 2},
    {"footage", guarded<footage_named>, 1},
    {"footageInfo", guarded<footage_info>, 1},
    {"projectInfo", guarded<project_info>, 0},
    {"sampleImage", guarded<sample_image>, 5},
    {"activeCamera", guarded<active_camera>, 2},
    {"layerRelative", guarded<layer_relative>, 3},
    {"layerByComment", guarded<layer_by_comment>, 2},
    {"propertyGroups", guarded<property_groups>, 3},
    {"propertySeed", guarded<property_seed>, 0},
    {nullptr, nullptr, 0},
};

// ---------------------------------------------------------------- the sandbox's steps
// Each runs under duk_safe_call; none holds a C++ object an unwinding would
// skip.

duk_ret_t set_up(duk_context* ctx, void*) {
    duk_push_heap_stash(ctx);
    duk_push_string(ctx, kExpressionPrelude.file);
    duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, kExpressionPrelude.text,
                                 std::strlen(kExpressionPrelude.text));
    duk_call(ctx, 0);  // the prelude's function
    duk_push_object(ctx);
    duk_put_function_list(ctx, -1, kNatives);
    duk_push_global_object(ctx);
    duk_call(ctx, 2);  // [stash handles]
    duk_get_prop_string(ctx, -1, "evaluate");
    duk_put_prop_string(ctx, -3, "evaluate");
    duk_compile_string(ctx, DUK_COMPILE_FUNCTION, kRunner);
    duk_put_prop_string(ctx, -3, "run");
    duk_get_prop_string(ctx, -1, "seal");
    duk_call(ctx, 0);
    duk_put_prop_string(ctx, -3, "tidy");
    return 0;
}

struct Evaluation {
    std::string_view text;  // in the engine's form
    bool wantsText = false;
};

duk_ret_t run_evaluation(duk_context* ctx, void* udata) {
    const auto* evaluation = static_cast<const Evaluation*>(udata);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "evaluate");
    duk_get_prop_string(ctx, -2, "run");
    duk_push_lstring(ctx, evaluation->text.data(), evaluation->text.size());
    duk_push_boolean(ctx, evaluation->wantsText);
    duk_call(ctx, 3);
    return 1;
}

duk_ret_t tidy_globals(duk_context* ctx, void*) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "tidy");
    duk_call(ctx, 0);
    return 0;
}

std::string top_text(duk_context* ctx) {
    duk_size_t length = 0;
    const char* text = duk_safe_to_lstring(ctx, -1, &length);
    return from_engine(std::string_view(text == nullptr ? "" : text, length));
}

// The evaluated result (number, array of numbers or text, as the prelude
// leaves it) in the stream's own layout.
struct Raw {
    bool scalar = false;
    std::vector<double> numbers;
};

Raw read_numbers(duk_context* ctx) {
    Raw raw;
    if (duk_is_number(ctx, -1)) {
        raw.scalar = true;
        raw.numbers.push_back(duk_get_number(ctx, -1));
        return raw;
    }
    const duk_size_t count = duk_is_array(ctx, -1) ? duk_get_length(ctx, -1) : 0;
    for (duk_size_t i = 0; i < count; ++i) {
        duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
        raw.numbers.push_back(duk_get_number_default(ctx, -1, NAN));
        duk_pop(ctx);
    }
    return raw;
}

std::string dimension_error(std::size_t wanted, std::size_t got) {
    return "Error: the result must have " + std::to_string(wanted) + " value" +
           (wanted == 1 ? "" : "s") + ", not " + std::to_string(got);
}

void fit_to_stream(const ExpressionSite& site, const model::Layer* layer, const Raw& raw,
                   ExpressionResult& result) {
    const model::Stream& stream = *site.stream;
    const model::Time layerTime =
        layer ? model::layer_time_of(*layer, site.compTime) : site.compTime;
    std::vector<double> stored = layer ? model::layer_value_at(*layer, stream, layerTime)
                                       : model::value_at(stream, layerTime);
    const std::size_t wanted = stored.size();
    const std::size_t got = raw.numbers.size();
    for (double n : raw.numbers) {
        if (!std::isfinite(n)) {
            result.error = "Error: the result is not a finite number";
            return;
        }
    }
    if (!raw.scalar && got == 0) {
        result.error = "Error: the result must be a number or an array of numbers";
        return;
    }
    if (wanted == 1 ? !(got == 1) : (raw.scalar || got < 2 || got > wanted)) {
        result.error = dimension_error(wanted, got);
        return;
    }
    std::vector<double> value = raw.numbers;
    if (stream.kind == model::StreamKind::Color && wanted == 4)
        value = {got > 3 ? value[3] : stored[0], value[0], value[1],
                 got > 2 ? value[2] : stored[3]};
    for (std::size_t i = value.size(); i < wanted; ++i) value.push_back(stored[i]);
    result.value = std::move(value);
    result.ok = true;
}

// Where the natives read from: saved and put back around a nested evaluation.
struct SiteState {
    const ExpressionSite* site = nullptr;
    const model::Layer* siteLayer = nullptr;
    model::Id siteCompId = model::kNoId;
    const model::Composition* siteComp = nullptr;
};

SiteState enter_site(Sandbox& sandbox, const ExpressionSite& site) {
    const SiteState saved{sandbox.site, sandbox.siteLayer, sandbox.siteCompId, sandbox.siteComp};
    sandbox.site = &site;
    sandbox.siteLayer = model::find_layer(*site.project, site.layer);
    const auto where = model::locate_layer(*site.project, site.layer);
    sandbox.siteCompId = where ? where->comp : model::kNoId;
    sandbox.siteComp = where ? model::comp_of(*site.project, where->comp) : nullptr;
    return saved;
}

void leave_site(Sandbox& sandbox, const SiteState& saved) {
    sandbox.site = saved.site;
    sandbox.siteLayer = saved.siteLayer;
    sandbox.siteCompId = saved.siteCompId;
    sandbox.siteComp = saved.siteComp;
}

// Runs the expression at the entered site; leaves the stack as it was.
ExpressionResult run_at_site(Sandbox& sandbox, std::string_view expression) {
    ExpressionResult result;
    duk_context* ctx = sandbox.ctx;
    const std::string text = to_engine(expression);
    const Evaluation evaluation{text, model::holds_text(sandbox.site->stream->kind)};
    const bool ran = duk_safe_call(ctx, run_evaluation, const_cast<Evaluation*>(&evaluation), 0,
                                   1) == DUK_EXEC_SUCCESS;
    if (!ran) {
        result.error = top_text(ctx);
    } else if (evaluation.wantsText) {
        result.text = top_text(ctx);
        result.ok = true;
    } else {
        fit_to_stream(*sandbox.site, sandbox.siteLayer, read_numbers(ctx), result);
    }
    duk_pop(ctx);
    return result;
}

// The text of an error without its kind ("Error: x" -> "x").
std::string message_of(const std::string& error) {
    const auto colon = error.find(": ");
    return colon == std::string::npos ? error : error.substr(colon + 2);
}

// Another stream's value after its own expression, evaluated in the same
// sandbox within the outer evaluation's time limit. A failing expression
// gives the stored value, as it would on screen; a cycle or the time limit
// fails the whole evaluation.
ExpressionResult nested_value(duk_context* ctx, const model::Layer& layer,
                              const model::Stream& stream, model::Time compTime) {
    Sandbox& sandbox = sandbox_of(ctx);
    const model::Project& project = *sandbox.site->project;
    for (int i = 0; i < sandbox.depth; ++i) {
        if (sandbox.active[i] != &stream) continue;
        sandbox.cycle = true;
        throw ScriptError(DUK_ERR_ERROR, "the expression of \"" + stream.name + "\" on layer \"" +
                                             model::shown_name(project, layer) +
                                             "\" depends on itself");
    }
    if (sandbox.depth == Sandbox::kMaxDepth)
        throw ScriptError(DUK_ERR_RANGE_ERROR, "expressions refer to each other too deeply");
    const ExpressionSite site{&project, layer.id, &stream, compTime};
    struct Nesting {
        Sandbox& sandbox;
        SiteState saved;
        ~Nesting() {
            --sandbox.depth;
            leave_site(sandbox, saved);
        }
    } nesting{sandbox, enter_site(sandbox, site)};
    sandbox.active[sandbox.depth++] = &stream;
    ExpressionResult result = run_at_site(sandbox, stream.expression);
    if (result.ok) return result;
    if (sandbox.cycle || Clock::now() > sandbox.deadline)
        throw ScriptError(DUK_ERR_ERROR, message_of(result.error));
    const model::Time layerTime = model::layer_time_of(layer, compTime);
    result.value = model::layer_value_at(layer, stream, layerTime);
    result.text = model::text_at(stream, layerTime);
    return result;
}

}  // namespace

ExpressionEngine::ExpressionEngine(ExpressionLimits limits)
    : sandbox_(std::make_unique<Sandbox>()) {
    sandbox_->budget.limit = limits.heapBytes;
    sandbox_->limits = limits;
    sandbox_->ctx =
        duk_create_heap(budget_alloc, budget_realloc, budget_free, sandbox_.get(), sandbox_fatal);
    if (sandbox_->ctx == nullptr) throw std::bad_alloc();
    if (duk_safe_call(sandbox_->ctx, set_up, nullptr, 0, 1) != DUK_EXEC_SUCCESS) {
        const std::string error = top_text(sandbox_->ctx);
        duk_destroy_heap(sandbox_->ctx);
        throw std::runtime_error("the expression engine could not be prepared: " + error);
    }
    duk_pop(sandbox_->ctx);
}

ExpressionEngine::~ExpressionEngine() { duk_destroy_heap(sandbox_->ctx); }

std::size_t ExpressionEngine::heap_bytes() const { return sandbox_->budget.used; }

ExpressionResult ExpressionEngine::evaluate(const ExpressionSite& site,
                                            std::string_view expression) {
    duk_context* ctx = sandbox_->ctx;
    const SiteState outside = enter_site(*sandbox_, site);
    sandbox_->active[0] = site.stream;
    sandbox_->depth = 1;
    sandbox_->cycle = false;
    sandbox_->deadline = Clock::now() + sandbox_->limits.timeLimit;
    outfold_duk_arm_timeout(sandbox_.get(), past_deadline);
    ExpressionResult result = run_at_site(*sandbox_, expression);
    outfold_duk_arm_timeout(nullptr, nullptr);
    if (sandbox_->cycle && result.ok) {
        // Caught inside the expression, but the value still depends on itself.
        result = {};
        result.error = "Error: the expression depends on itself";
    }
    if (duk_safe_call(ctx, tidy_globals, nullptr, 0, 1) != DUK_EXEC_SUCCESS && result.ok) {
        result = {};
        result.error = "Error: the expression's globals could not be removed";
    }
    duk_pop(ctx);
    sandbox_->depth = 0;
    leave_site(*sandbox_, outside);
    // What a runaway expression left is collected now rather than whenever
    // the engine next decides to.
    if (sandbox_->budget.used > sandbox_->budget.limit / 4) duk_gc(ctx, 0);
    return result;
}

namespace {

// A separated Position shows its followers, each after its own expression.
ExpressionResult separated_value(ExpressionEngine& engine, const model::Project& project,
                                 const model::Layer& layer, const model::Stream& position,
                                 model::Time layerTime) {
    ExpressionResult combined;
    combined.ok = true;
    combined.value = position.value;
    for (std::size_t d = 0; d < combined.value.size() && d < layer.positionFollowers.size(); ++d) {
        ExpressionResult one = value_after_expression(engine, project, layer.id,
                                                      layer.positionFollowers[d], layerTime);
        if (!one.value.empty()) combined.value[d] = one.value.front();
        if (!one.ok && combined.ok) {
            combined.ok = false;
            combined.error = std::move(one.error);
        }
    }
    return combined;
}

}  // namespace

ExpressionResult value_after_expression(ExpressionEngine& engine, const model::Project& project,
                                        model::Id layerId, const model::Stream& stream,
                                        model::Time layerTime) {
    const model::Layer* layer = model::find_layer(project, layerId);
    if (layer != nullptr && model::is_separated_leader(*layer, stream))
        return separated_value(engine, project, *layer, stream, layerTime);
    ExpressionResult stored;
    stored.ok = true;
    stored.value = layer ? model::layer_value_at(*layer, stream, layerTime)
                         : model::value_at(stream, layerTime);
    stored.text = model::text_at(stream, layerTime);
    if (layer == nullptr || !has_live_expression(stream)) return stored;
    ExpressionResult evaluated = engine.evaluate(
        ExpressionSite{&project, layerId, &stream, model::comp_time_of(*layer, layerTime)},
        stream.expression);
    if (evaluated.ok) return evaluated;
    stored.ok = false;
    stored.error = std::move(evaluated.error);
    return stored;
}

int auto_fix_expressions(model::Project& project, ExpressionEngine& engine,
                         std::string_view oldText, std::string_view newText, bool skipLocked) {
    const auto evaluates = [&](const model::Layer& layer, const model::Stream& stream,
                               std::string_view text) {
        return engine.evaluate(ExpressionSite{&project, layer.id, &stream, model::Time{}}, text).ok;
    };
    return model::auto_fix_expressions(
        project, oldText, newText,
        [&](const model::Layer& layer, const model::Stream& stream, const std::string& fixed) {
            if (skipLocked && (layer.flags & model::flag::kLocked) != 0) return false;
            return !evaluates(layer, stream, stream.expression) && evaluates(layer, stream, fixed);
        });
}

}  // namespace host::script
