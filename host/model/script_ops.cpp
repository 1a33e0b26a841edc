#include "model/script_ops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <set>
#include <utility>

#include "model/frame.h"
#include "model/streams.h"

namespace host::model {

namespace {

[[noreturn]] void fail(const std::string& what) { throw ModelError(what); }

// ---------------------------------------------------------------- copy

// Index of the topmost selected layer of the composition, if any.
std::optional<int> topmost_selected_index(const Project& project, Id compItem) {
    std::optional<int> topmost;
    for (const SelectionEntry& entry : comp_of(project, compItem)->selection) {
        if (entry.kind != SelectionKind::Layer) continue;
        const auto where = locate_layer(project, entry.layer);
        if (!where || where->comp != compItem) continue;
        if (!topmost || where->index < *topmost) topmost = where->index;
    }
    return topmost;
}

// ---------------------------------------------------------------- transforms

constexpr double kDegrees = 180.0 / std::numbers::pi;

// A 2x2 matrix read as a rotation followed by (after, in application order
// before) a scale: M = R(angle) * diag(sx, sy), dropping any shear.
struct RotationScale {
    double degrees = 0;
    double sx = 1;
    double sy = 1;
};

RotationScale decompose(double a, double b, double c, double d) {
    RotationScale r;
    r.sx = std::hypot(a, b);
    if (r.sx < 1e-12) {
        // Squashed flat along x: the turn and the y scale still show in the
        // second row, and losing them would move the picture.
        r.sy = std::hypot(c, d);
        if (r.sy < 1e-12) return RotationScale{0, 0, 0};
        return RotationScale{std::atan2(-c, d) * kDegrees, 0, r.sy};
    }
    r.degrees = std::atan2(b, a) * kDegrees;
    r.sy = (a * d - b * c) / r.sx;
    return r;
}

double component(const std::vector<double>& v, std::size_t i, double fallback) {
    return i < v.size() ? v[i] : fallback;
}

std::vector<double> stream_value(const Layer& layer, int number, Time layerTime,
                                 std::vector<double> fallback) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return fallback;
    std::vector<double> v = layer_value_at(layer, found->second, layerTime);
    return v.empty() ? fallback : v;
}

bool has_anchor_point(const Layer& layer) {
    // Cameras and lights use stream 0 for their point of interest.
    return layer.kind != LayerKind::Camera && layer.kind != LayerKind::Light;
}

bool is_3d(const Layer& layer) { return (layer.flags & flag::k3D) != 0; }

// The layer's rotation at a layer time (see frame.h for the order).
Mat3 rotation_of(const Layer& layer, Time layerTime) {
    const auto angle = [&](int number) {
        return component(stream_value(layer, number, layerTime, {0}), 0, 0);
    };
    if (!is_3d(layer)) return layer_rotation(false, 0, 0, angle(stream::kRotation), {});
    return layer_rotation(true, angle(stream::kRotateX), angle(stream::kRotateY),
                          angle(stream::kRotation),
                          stream_value(layer, stream::kOrientation, layerTime, {0, 0, 0}));
}

// The layer's own map into its parent's space at a layer time:
// position + R * S * (p - anchor).
Frame local_frame(const Layer& layer, Time layerTime) {
    const std::vector<double> anchor =
        has_anchor_point(layer) ? stream_value(layer, stream::kAnchorPoint, layerTime, {0, 0, 0})
                                : std::vector<double>{0, 0, 0};
    return transform_frame(anchor, stream_value(layer, stream::kPosition, layerTime, {0, 0, 0}),
                           stream_value(layer, stream::kScale, layerTime, {100, 100, 100}),
                           rotation_of(layer, layerTime));
}

// The map of the layer's space into the composition's, each layer of the
// chain read at its own layer time for the composition time.
Frame world_frame(const Project& project, const Layer* layer, Time compTime) {
    Frame world;
    std::size_t guard = 0;
    for (; layer != nullptr && guard < 100000; ++guard) {
        world = local_frame(*layer, layer_time_of(*layer, compTime)).after(world);
        layer = layer->parent == kNoId ? nullptr : find_layer(project, layer->parent);
    }
    return world;
}

double nearest_turn(double degrees, double near) {
    return degrees + 360.0 * std::round((near - degrees) / 360.0);
}

// Points and tangents map as points and vectors, which carries each segment's
// path over exactly. A spatial ease's speed runs along the path, so it
// scales with the segment's length: exact where the change scales every
// direction of the path alike (a similarity, or a straight path).
void map_points(Stream& stream, const Frame& change) {
    std::vector<double> before;
    for (std::size_t i = 0; i + 1 < stream.keyframes.size(); ++i)
        before.push_back(path_length(stream, i));
    change.map_point(stream.value);
    for (Keyframe& key : stream.keyframes) {
        change.map_point(key.value);
        change.map_vector(key.inTangent);
        change.map_vector(key.outTangent);
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] <= 0) continue;
        const double ratio = path_length(stream, i) / before[i];
        for (Ease& e : stream.keyframes[i].outEase) e.speed *= ratio;
        for (Ease& e : stream.keyframes[i + 1].inEase) e.speed *= ratio;
    }
}

void for_each_value(Stream& stream, const auto& apply) {
    apply(stream.value);
    for (Keyframe& key : stream.keyframes) apply(key.value);
}

// Ease speeds are value per second, so a fold that scales a dimension's
// values scales its speeds alike (offsets leave them alone).
void scale_speeds(Stream& stream, const std::vector<double>& factors) {
    for (Keyframe& key : stream.keyframes) {
        for (std::size_t d = 0; d < factors.size(); ++d) {
            if (d < key.inEase.size()) key.inEase[d].speed *= factors[d];
            if (d < key.outEase.size()) key.outEase[d].speed *= factors[d];
        }
    }
}

// Rotation and scale when neither is animated: the combined matrix is
// decomposed again, which stays right under non-uniform scales.
void fold_held_rotation_scale(Layer& layer, const Frame& change) {
    Stream* rotation =
        layer.streams.contains(stream::kRotation) ? &layer.streams[stream::kRotation] : nullptr;
    Stream* scale =
        layer.streams.contains(stream::kScale) ? &layer.streams[stream::kScale] : nullptr;
    const double r = rotation ? component(rotation->value, 0, 0) : 0;
    const double sx = scale ? component(scale->value, 0, 100) / 100 : 1;
    const double sy = scale ? component(scale->value, 1, 100) / 100 : 1;
    const double cs = std::cos(r / kDegrees), sn = std::sin(r / kDegrees);
    const double a = change.a() * cs * sx + change.c() * sn * sx;
    const double b = change.b() * cs * sx + change.d() * sn * sx;
    const double c = -change.a() * sn * sy + change.c() * cs * sy;
    const double d = -change.b() * sn * sy + change.d() * cs * sy;
    RotationScale folded = decompose(a, b, c, d);
    if (sx < 0) {  // keep a mirrored layer mirrored the way it was
        folded = RotationScale{folded.degrees + 180, -folded.sx, -folded.sy};
    }
    const RotationScale turn = decompose(change.a(), change.b(), change.c(), change.d());
    if (rotation && !rotation->value.empty())
        rotation->value[0] = nearest_turn(folded.degrees, r + turn.degrees);
    if (scale && scale->value.size() >= 2) {
        scale->value[0] = folded.sx * 100;
        scale->value[1] = folded.sy * 100;
        if (scale->value.size() > 2) scale->value[2] *= change.zs();
    }
}

// Rotation and scale when either is animated: every value moves by the
// change's own rotation and scale.
void fold_animated_rotation_scale(Layer& layer, const Frame& change) {
    const RotationScale turn = decompose(change.a(), change.b(), change.c(), change.d());
    // Under a mirror a turn one way shows as a turn the other way: the angle
    // is reflected about the change's own, not added to it.
    const bool mirrored = turn.sy < 0;
    if (layer.streams.contains(stream::kRotation)) {
        for_each_value(layer.streams[stream::kRotation], [&](std::vector<double>& v) {
            if (!v.empty()) v[0] = mirrored ? turn.degrees - v[0] : v[0] + turn.degrees;
        });
        if (mirrored) scale_speeds(layer.streams[stream::kRotation], {-1});
    }
    if (layer.streams.contains(stream::kScale)) {
        for_each_value(layer.streams[stream::kScale], [&](std::vector<double>& v) {
            if (v.size() >= 2) {
                v[0] *= turn.sx;
                v[1] *= turn.sy;
            }
            if (v.size() > 2) v[2] *= change.zs();
        });
        scale_speeds(layer.streams[stream::kScale], {turn.sx, turn.sy, change.zs()});
    }
}

bool animated(const Layer& layer, int number) {
    const auto found = layer.streams.find(number);
    return found != layer.streams.end() && !found->second.keyframes.empty();
}

// Values a hair away from a round number (left by the trigonometry) are
// snapped to it, so folding a plain rotation by 90 degrees gives 100, not
// 99.99999999999999.
void tidy(std::vector<double>& values) {
    for (double& v : values) {
        const double rounded = std::round(v * 1e6) / 1e6;
        if (std::abs(v - rounded) < 1e-9) v = rounded == 0 ? 0 : rounded;
    }
}

void tidy_stream(Layer& layer, int number) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return;
    for_each_value(found->second, tidy);
    for (Keyframe& key : found->second.keyframes) {
        tidy(key.inTangent);
        tidy(key.outTangent);
    }
}

void fold_rotation_scale(Layer& layer, const Frame& change) {
    if (animated(layer, stream::kRotation) || animated(layer, stream::kScale)) {
        fold_animated_rotation_scale(layer, change);
    } else {
        fold_held_rotation_scale(layer, change);
    }
}

// A 3D layer that is turned out of the picture plane by its own orientation
// or X / Y rotation, at any of its values.
bool turns_out_of_plane(const Layer& layer) {
    const auto turned = [](const std::vector<double>& v) {
        return std::any_of(v.begin(), v.end(), [](double x) { return std::fmod(x, 360.0) != 0; });
    };
    for (int number : {stream::kRotateX, stream::kRotateY, stream::kOrientation}) {
        const auto found = layer.streams.find(number);
        if (found == layer.streams.end()) continue;
        if (turned(found->second.value)) return true;
        for (const Keyframe& key : found->second.keyframes)
            if (turned(key.value)) return true;
    }
    return false;
}

// Rotation and scale of a 3D layer when the change or the layer itself turns
// out of the picture plane: the change's rotation goes into the orientation
// (X, Y and Z rotation keep their values and keyframes), its stretch along
// each axis into the scale. Exact for rotations and uniform scales.
void fold_orientation_scale(Layer& layer, const Frame& change) {
    // The columns of the change's linear part are its rotation's axes, each
    // stretched by the change's scale along it.
    std::array<double, 3> stretch{};
    Mat3 turn = change.m;
    for (int column = 0; column < 3; ++column) {
        stretch[column] = std::hypot(change.m[0][column], change.m[1][column], change.m[2][column]);
        for (int row = 0; row < 3; ++row) {
            turn[row][column] = stretch[column] < 1e-12 ? kIdentity3[row][column]
                                                        : change.m[row][column] / stretch[column];
        }
    }
    if (determinant(turn) < 0) {
        // A mirror: a flip of all three axes turns along with any rotation,
        // so the scale carries it and the rest is a rotation again.
        for (int column = 0; column < 3; ++column) {
            stretch[column] = -stretch[column];
            for (int row = 0; row < 3; ++row) turn[row][column] = -turn[row][column];
        }
    }
    if (layer.streams.contains(stream::kOrientation)) {
        for_each_value(layer.streams[stream::kOrientation], [&](std::vector<double>& v) {
            if (v.size() >= 3) v = angles_xyz(multiply(turn, rotation_xyz(v)));
        });
    }
    if (layer.streams.contains(stream::kScale)) {
        for_each_value(layer.streams[stream::kScale], [&](std::vector<double>& v) {
            for (std::size_t i = 0; i < std::min<std::size_t>(v.size(), 3); ++i) v[i] *= stretch[i];
        });
        scale_speeds(layer.streams[stream::kScale], {stretch[0], stretch[1], stretch[2]});
    }
}

bool maps_axes_apart(const Frame& change) {
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            if (row != column && change.m[row][column] != 0) return false;
    return true;
}

// A separated position folds follower by follower where each axis maps onto
// itself; otherwise its dimensions are joined for the fold and separated
// again, which puts a keyframe on every follower wherever one had one.
void map_separated_position(Layer& layer, const Frame& change) {
    if (!maps_axes_apart(change)) {
        set_position_separated(layer, false);
        map_points(layer.streams[stream::kPosition], change);
        set_position_separated(layer, true);
        return;
    }
    for (std::size_t d = 0; d < layer.positionFollowers.size() && d < 3; ++d) {
        Stream& follower = layer.positionFollowers[d];
        const double scale = change.m[d][d];
        for_each_value(follower, [&](std::vector<double>& v) {
            if (!v.empty()) v[0] = scale * v[0] + change.t[d];
        });
        scale_speeds(follower, {scale});
    }
}

// Applies a change of parent space to the layer's own transform values.
void fold_into_layer(Layer& layer, const Frame& change) {
    if (position_separated(layer)) {
        map_separated_position(layer, change);
    } else if (layer.streams.contains(stream::kPosition)) {
        map_points(layer.streams[stream::kPosition], change);
    }
    if (!has_anchor_point(layer) && layer.streams.contains(stream::kAnchorPoint))
        map_points(layer.streams[stream::kAnchorPoint], change);  // point of interest
    if (!change.is_translation()) {
        if (is_3d(layer) && (!change.planar() || turns_out_of_plane(layer))) {
            fold_orientation_scale(layer, change);
        } else {
            fold_rotation_scale(layer, change);
        }
        for (int number : {stream::kAnchorPoint, stream::kPosition, stream::kScale,
                           stream::kRotation, stream::kOrientation})
            tidy_stream(layer, number);
    }
}

// ---------------------------------------------------------------- expressions

// The stream at the place, or null when the layer, its effect or mask, or the
// stream is gone.
Stream* stream_at(Layer& layer, const ExpressionPlace& place) {
    const auto in = [&](std::vector<Stream>& streams) -> Stream* {
        if (place.index < 0 || static_cast<std::size_t>(place.index) >= streams.size())
            return nullptr;
        return &streams[static_cast<std::size_t>(place.index)];
    };
    switch (place.holder) {
        case ExpressionPlace::Holder::Layer: {
            const auto found = layer.streams.find(place.index);
            return found == layer.streams.end() ? nullptr : &found->second;
        }
        case ExpressionPlace::Holder::Effect:
            for (Effect& effect : layer.effects)
                if (effect.id == place.owner) return in(effect.params);
            return nullptr;
        case ExpressionPlace::Holder::Mask:
            for (Mask& mask : layer.masks)
                if (mask.id == place.owner) return in(mask.streams);
            return nullptr;
    }
    return nullptr;
}

void note_expressions_of(const Layer& layer, LayerPlace at, std::vector<ExpressionPlace>& places) {
    using Holder = ExpressionPlace::Holder;
    const auto note = [&](const Stream& stream, Holder holder, Id owner, int index) {
        if (!stream.expression.empty()) places.push_back({layer.id, holder, owner, index, at});
    };
    for (const auto& [number, stream] : layer.streams) note(stream, Holder::Layer, kNoId, number);
    for (const Effect& effect : layer.effects) {
        for (std::size_t i = 0; i < effect.params.size(); ++i)
            note(effect.params[i], Holder::Effect, effect.id, static_cast<int>(i));
    }
    for (const Mask& mask : layer.masks) {
        for (std::size_t i = 0; i < mask.streams.size(); ++i)
            note(mask.streams[i], Holder::Mask, mask.id, static_cast<int>(i));
    }
}

// The streams that hold an expression: one walk through the project lists them.
const std::vector<ExpressionPlace>& expression_streams(Project& project) {
    auto& places = project.lookups.expressionStreams;
    if (!places) {
        places.emplace();
        for (std::size_t item = 0; item < project.items.size(); ++item) {
            if (!project.items[item].comp) continue;
            const auto& layers = project.items[item].comp->layers;
            for (std::size_t i = 0; i < layers.size(); ++i)
                note_expressions_of(layers[i], {item, i}, *places);
        }
    }
    return *places;
}

// The text with every occurrence of `from`, left to right and not
// overlapping, replaced by `to`.
std::string replace_every(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = text.find(from); at != std::string_view::npos;
         at = text.find(from, copied)) {
        out.append(text.substr(copied, at - copied));
        out.append(to);
        copied = at + from.size();
    }
    out.append(text.substr(copied));
    return out;
}

}  // namespace

Id copy_layer_to_comp(Project& project, Id layerId, Id targetComp, bool onTop, bool selectCopy) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    if (comp_of(project, targetComp) == nullptr) fail("the target is not a composition");
    Layer copy = *find_layer(project, layerId);
    if (copy.source != kNoId &&
        (copy.source == targetComp || comp_shows(project, copy.source, targetComp)))
        fail("the composition would show itself");
    copy.id = kNoId;  // the copy gets a new id, then its effects and masks theirs
    if (where->comp != targetComp) copy.parent = kNoId;
    const int index = onTop ? 0 : topmost_selected_index(project, targetComp).value_or(0);
    Layer& added = add_layer(project, targetComp, std::move(copy), index);
    for (Effect& effect : added.effects) effect.id = new_id(project);
    for (Mask& mask : added.masks) mask.id = new_id(project);
    const Id id = added.id;
    if (selectCopy) select_only_layers(project, targetComp, {id});
    return id;
}

Id duplicate_layer(Project& project, Id layerId) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    Layer copy = *find_layer(project, layerId);
    copy.id = kNoId;
    Layer& added = add_layer(project, where->comp, std::move(copy), where->index);
    for (Effect& effect : added.effects) effect.id = new_id(project);
    for (Mask& mask : added.masks) mask.id = new_id(project);
    return added.id;
}

void replace_layer_source(Project& project, Id layerId, Id newSource) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    const Item* item = find_item(project, newSource);
    if (item == nullptr || item->kind == ItemKind::Folder)
        fail("the new source must be a composition or footage item");
    if (newSource == where->comp || comp_shows(project, newSource, where->comp))
        fail("the composition would show itself");
    Layer& layer = *find_layer(project, layerId);
    if (layer.kind != LayerKind::AV || layer.source == kNoId)
        fail("only a layer with a source item can take another");
    layer.source = newSource;
    // The audio levels follow the source's audio, as a fresh layer's would.
    Layer fresh;
    fresh.source = newSource;
    fill_default_streams(project, *comp_of(project, where->comp), fresh);
    const auto levels = fresh.streams.find(stream::kAudioLevels);
    if (levels == fresh.streams.end())
        layer.streams.erase(stream::kAudioLevels);
    else if (!layer.streams.contains(stream::kAudioLevels))
        layer.streams.insert(*levels);
}

void set_parent_keeping_look(Project& project, Id layerId, Id parentId) {
    const Layer* layer = find_layer(project, layerId);
    if (layer == nullptr) fail("no such layer");
    if (layer->parent == parentId) return;  // nothing moves
    const Time start = comp_in_point(*layer);
    const Layer* oldParent = layer->parent == kNoId ? nullptr : find_layer(project, layer->parent);
    const Layer* newParent = parentId == kNoId ? nullptr : find_layer(project, parentId);
    if (parentId != kNoId && newParent == nullptr) fail("no such parent layer");
    const std::optional<Frame> intoNew = world_frame(project, newParent, start).inverse();
    if (!intoNew) fail("the new parent is scaled to nothing");
    const Frame change = intoNew->after(world_frame(project, oldParent, start));

    set_parent(project, layerId, parentId);  // checks composition and cycles first
    fold_into_layer(*find_layer(project, layerId), change);
}

void note_expression_set(Project& project, const ExpressionPlace& place) {
    if (auto& places = project.lookups.expressionStreams) places->push_back(place);
}

namespace {

// ---------------------------------------------------------------- property edits

// The stored values with the given ones written over them.
std::vector<double> merged_values(const Stream& stream, std::vector<double> stored,
                                  const std::vector<double>& values) {
    const auto count = static_cast<std::size_t>(value_dimensions(stream.kind));
    if (count == 0) fail("the property holds no numbers");
    const bool fits =
        count == 1 ? values.size() == 1 : values.size() >= 2 && values.size() <= count;
    if (!fits)
        fail("the value must have " + (count == 1 ? std::string("one number")
                                                  : "2 to " + std::to_string(count) + " numbers"));
    for (const double v : values)
        if (!std::isfinite(v)) fail("the value must be finite");
    stored.resize(count, 0);
    std::copy(values.begin(), values.end(), stored.begin());
    return stored;
}

void check_eases(const Stream& stream, const std::vector<Ease>& eases) {
    const auto count = static_cast<std::size_t>(temporal_dimensions(stream.kind));
    if (eases.size() != count)
        fail("the property takes " + std::to_string(count) + " ease" + (count == 1 ? "" : "s") +
             " per side, one for each dimension");
    for (const Ease& e : eases) {
        if (!std::isfinite(e.speed)) fail("an ease speed must be finite");
        if (!(e.influence >= 0.1 && e.influence <= 100))
            fail("an ease influence must lie between 0.1 and 100");
    }
}

Keyframe& key_at(Stream& stream, std::size_t key) {
    if (key >= stream.keyframes.size()) fail("there is no such keyframe");
    return stream.keyframes[key];
}

}  // namespace

void set_held_value(Stream& stream, const std::vector<double>& values) {
    if (!stream.keyframes.empty()) fail("the property has keyframes");
    stream.value = merged_values(stream, stream.value, values);
}

void set_key_value(Stream& stream, std::size_t key, const std::vector<double>& values) {
    Keyframe& keyframe = key_at(stream, key);
    keyframe.value = merged_values(stream, keyframe.value, values);
}

void set_key_ease(Stream& stream, std::size_t key, const std::vector<Ease>& in,
                  const std::vector<Ease>& out) {
    Keyframe& keyframe = key_at(stream, key);
    check_eases(stream, in);
    check_eases(stream, out);
    keyframe.inEase = in;
    keyframe.outEase = out;
}

std::vector<Ease> key_ease(const Stream& stream, std::size_t key, bool out) {
    if (key >= stream.keyframes.size()) fail("there is no such keyframe");
    const Keyframe& keyframe = stream.keyframes[key];
    std::vector<Ease> eases = out ? keyframe.outEase : keyframe.inEase;
    eases.resize(static_cast<std::size_t>(temporal_dimensions(stream.kind)));
    return eases;
}

namespace {

// ---------------------------------------------------------------- pre-compose

// The listed layers' places in the composition, top first.
std::vector<std::size_t> places_of(const Project& project, Id compItem,
                                   const std::vector<Id>& layers) {
    if (layers.empty()) fail("pre-compose needs at least one layer");
    std::vector<std::size_t> places;
    for (const Id id : layers) {
        const auto where = locate_layer(project, id);
        if (!where || where->comp != compItem)
            fail("only layers of the composition can be pre-composed");
        places.push_back(static_cast<std::size_t>(where->index));
    }
    std::sort(places.begin(), places.end());
    if (std::adjacent_find(places.begin(), places.end()) != places.end())
        fail("a layer is listed twice");
    return places;
}

// Ends every parent link between a gathered and a staying layer while both
// are still in one composition, so each child's look can be kept.
void end_crossing_links(Project& project, Id compItem, const std::set<Id>& gathered) {
    std::vector<Id> children;
    for (const Layer& layer : comp_of(project, compItem)->layers) {
        if (layer.parent != kNoId && gathered.contains(layer.id) != gathered.contains(layer.parent))
            children.push_back(layer.id);
    }
    for (const Id child : children) set_parent_keeping_look(project, child, kNoId);
}

// A layer of the source with default properties, from time 0 for `duration`.
Layer& add_spanning_layer(Project& project, Id compItem, Id source, Time duration, int index) {
    Layer layer;
    layer.source = source;
    layer.inPoint = Rational::of(0);
    layer.duration = duration;
    layer.offset = Rational::of(0);
    return add_layer(project, compItem, std::move(layer), index);
}

Id precompose_moving(Project& project, Id compItem, const std::vector<Id>& layers,
                     std::string name) {
    const std::vector<std::size_t> places = places_of(project, compItem, layers);
    const std::set<Id> gathered(layers.begin(), layers.end());
    end_crossing_links(project, compItem, gathered);
    const Composition& original = *comp_of(project, compItem);
    Composition frame;
    frame.width = original.width;
    frame.height = original.height;
    frame.pixelAspect = original.pixelAspect;
    frame.frameRate = original.frameRate;
    frame.duration = original.duration;
    const Id folder = find_item(project, compItem)->folder;
    const Id inner = add_composition(project, std::move(name), std::move(frame), folder).id;

    Composition& from = *comp_of(project, compItem);
    Composition& to = *comp_of(project, inner);
    for (const std::size_t place : places) to.layers.push_back(std::move(from.layers[place]));
    for (auto place = places.rbegin(); place != places.rend(); ++place)
        from.layers.erase(from.layers.begin() + static_cast<std::ptrdiff_t>(*place));
    std::erase_if(from.selection,
                  [&](const SelectionEntry& entry) { return gathered.contains(entry.layer); });

    const Id layer =
        add_spanning_layer(project, compItem, inner, from.duration, static_cast<int>(places[0])).id;
    select_only_layers(project, compItem, {layer});
    return inner;
}

Id precompose_leaving(Project& project, Id compItem, Id layerId, std::string name) {
    places_of(project, compItem, {layerId});
    const Item* source = find_item(project, find_layer(project, layerId)->source);
    if (source == nullptr) fail("only a layer with a source item can leave its attributes in");
    Composition frame;
    frame.frameRate = comp_of(project, compItem)->frameRate;
    frame.duration = comp_of(project, compItem)->duration;
    if (source->comp) {
        frame.width = source->comp->width;
        frame.height = source->comp->height;
        frame.pixelAspect = source->comp->pixelAspect;
        frame.duration = source->comp->duration;
    } else {
        frame.width = source->footage->width;
        frame.height = source->footage->height;
        frame.pixelAspect = source->footage->pixelAspect;
        if (source->footage->duration > Rational::of(0)) frame.duration = source->footage->duration;
    }
    const Id sourceId = source->id;
    const bool audible = source->footage && source->footage->hasAudio;
    const Time duration = frame.duration;
    const Id folder = find_item(project, compItem)->folder;
    const Id inner = add_composition(project, std::move(name), std::move(frame), folder).id;

    Layer& fresh = add_spanning_layer(project, inner, sourceId, duration, 0);
    if (audible) fresh.flags |= flag::kAudioActive;
    Layer& kept = *find_layer(project, layerId);
    fresh.ownName = std::exchange(kept.ownName, {});
    fresh.isNull = std::exchange(kept.isNull, false);
    if (const auto levels = kept.streams.find(stream::kAudioLevels); levels != kept.streams.end()) {
        fresh.streams[stream::kAudioLevels] = std::move(levels->second);
        kept.streams.erase(levels);
    }
    kept.source = inner;
    select_only_layers(project, compItem, {layerId});
    return inner;
}

}  // namespace

Id precompose(Project& project, Id compItem, const std::vector<Id>& layers, std::string name,
              bool moveAllAttributes) {
    if (comp_of(project, compItem) == nullptr)
        fail("only layers of a composition can be pre-composed");
    if (moveAllAttributes) return precompose_moving(project, compItem, layers, std::move(name));
    if (layers.size() != 1) fail("leaving the attributes in takes exactly one layer");
    return precompose_leaving(project, compItem, layers.front(), std::move(name));
}

int auto_fix_expressions(Project& project, std::string_view oldText, std::string_view newText,
                         const FixCheck& keep) {
    if (oldText.empty()) return 0;
    int changed = 0;
    // Read from a copy, so that nothing `keep` does can pull the list away; the
    // places whose expression is gone are dropped, so a removed layer is looked
    // for once, not on every rename.
    const std::vector<ExpressionPlace> places = expression_streams(project);
    std::vector<ExpressionPlace> live;
    live.reserve(places.size());
    for (ExpressionPlace place : places) {
        Layer* layer = find_layer(project, place.layer, place.lastSeen);
        Stream* stream = layer == nullptr ? nullptr : stream_at(*layer, place);
        if (stream == nullptr || stream->expression.empty()) continue;
        live.push_back(place);
        if (stream->expression.find(oldText) == std::string::npos) continue;
        std::string fixed = replace_every(stream->expression, oldText, newText);
        if (fixed == stream->expression || !keep(*layer, *stream, fixed)) continue;
        stream->expression = std::move(fixed);
        ++changed;
    }
    project.lookups.expressionStreams = std::move(live);
    return changed;
}

}  // namespace host::model
