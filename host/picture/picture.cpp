#include "picture/picture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "model/frame.h"
#include "model/project_ops.h"
#include "model/streams.h"
#include "script/expression_engine.h"

namespace host::picture {

namespace {

namespace stream = model::stream;
using model::Frame;
using model::Layer;
using model::Time;

// Nesting deeper than this is refused by the model already (compositions
// cannot show themselves); the guard only keeps a broken project finite.
constexpr int kMaxNesting = 64;

// What the enclosing pre-comp layers pass on to the layers they show.
struct Group {
    Frame world;  // the composition's space into the outer composition's
    double opacity = 1;
    bool visible = true;
    bool audible = true;
    bool matte = false;
    std::vector<model::Id> path;
    std::vector<std::string> names;
    std::vector<std::int32_t> modes;
    std::vector<model::TrackMatte> mattes;
    std::vector<Attribute> masks;  // innermost enclosing layer's first
    std::vector<Attribute> effects;
};

class Painter {
public:
    Painter(const model::Project& project, script::ExpressionEngine& engine)
        : project_(project), engine_(engine) {}

    void paint(const model::Item& item, Time compTime, const Group& group, int depth);
    Picture take() { return std::move(picture_); }

private:
    std::vector<double> read(const Layer& layer, int number, Time layerTime,
                             std::vector<double> fallback);
    Frame local_frame(const Layer& layer, Time compTime);
    Frame world_in_comp(const model::Composition& comp, const Layer& layer, Time compTime);
    Time source_time(const Layer& layer, Time layerTime);
    void note_error(const Layer& layer, const model::Stream& stream, const std::string& error);
    double opacity_of(const Layer& layer, Time layerTime);
    std::string read_text(const Layer& layer, const model::Stream& text, Time layerTime);
    Group entered(const Group& group, const model::Composition& comp, std::size_t index,
                  Time layerTime, const Frame& world);
    void add_leaf(const model::Composition& comp, std::size_t index, Time layerTime,
                  const Group& group, Group own);

    const model::Project& project_;
    script::ExpressionEngine& engine_;
    Picture picture_;
    std::set<std::string> errors_;
    // Layers' own maps by layer and composition time: parents are shared.
    std::map<std::tuple<model::Id, std::int64_t, std::int64_t>, Frame> frames_;
};

double first(const std::vector<double>& values, double fallback) {
    return values.empty() ? fallback : values[0];
}

bool draws_nothing(const Layer& layer) {
    return layer.isNull || layer.kind == model::LayerKind::Camera ||
           layer.kind == model::LayerKind::Light;
}

bool shows_at(const Layer& layer, Time compTime) {
    return model::comp_in_point(layer) <= compTime && compTime < model::comp_out_point(layer);
}

std::vector<Attribute> attributes_of(const model::Project& project, const Layer& layer,
                                     bool effects) {
    std::vector<Attribute> found;
    const std::string holder = model::shown_name(project, layer);
    if (effects) {
        for (const model::Effect& effect : layer.effects)
            if (effect.active) found.push_back({holder, effect.name, effect.matchName});
    } else {
        for (const model::Mask& mask : layer.masks) found.push_back({holder, mask.name, {}});
    }
    return found;
}

// `inner` first, then `outer`.
std::vector<Attribute> joined(std::vector<Attribute> inner, const std::vector<Attribute>& outer) {
    inner.insert(inner.end(), outer.begin(), outer.end());
    return inner;
}

Matrix4 matrix_of(const Frame& f) {
    Matrix4 m{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column) m[row * 4 + column] = f.m[row][column];
        m[row * 4 + 3] = f.t[row];
    }
    m[15] = 1;
    return m;
}

void Painter::note_error(const Layer& layer, const model::Stream& stream,
                         const std::string& error) {
    const std::string text =
        model::shown_name(project_, layer) + " / " + stream.name + ": " + error;
    if (errors_.insert(text).second) picture_.errors.push_back(text);
}

std::vector<double> Painter::read(const Layer& layer, int number, Time layerTime,
                                  std::vector<double> fallback) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return fallback;
    const script::ExpressionResult result =
        script::value_after_expression(engine_, project_, layer.id, found->second, layerTime);
    if (!result.ok) note_error(layer, found->second, result.error);
    return result.value.empty() ? fallback : result.value;
}

std::string Painter::read_text(const Layer& layer, const model::Stream& text, Time layerTime) {
    const script::ExpressionResult result =
        script::value_after_expression(engine_, project_, layer.id, text, layerTime);
    if (!result.ok) note_error(layer, text, result.error);
    return result.text;
}

Frame Painter::local_frame(const Layer& layer, Time compTime) {
    const auto key = std::tuple(layer.id, compTime.num, compTime.den);
    if (const auto known = frames_.find(key); known != frames_.end()) return known->second;
    const Time t = model::layer_time_of(layer, compTime);
    const Frame frame = model::layer_frame(layer, [&](int number, std::vector<double> fallback) {
        return read(layer, number, t, std::move(fallback));
    });
    frames_.emplace(key, frame);
    return frame;
}

// Parents pass on their transform, each read at its own layer time.
Frame Painter::world_in_comp(const model::Composition& comp, const Layer& layer, Time compTime) {
    Frame world = local_frame(layer, compTime);
    const Layer* parent = &layer;
    for (std::size_t guard = 0; parent->parent != model::kNoId && guard < comp.layers.size();
         ++guard) {
        parent = model::find_layer(project_, parent->parent);
        if (parent == nullptr) break;
        world = local_frame(*parent, compTime).after(world);
    }
    return world;
}

// Opacity is shown within 0-100 %, whatever an expression gives.
double Painter::opacity_of(const Layer& layer, Time layerTime) {
    return std::clamp(first(read(layer, stream::kOpacity, layerTime, {100}), 100), 0.0, 100.0);
}

Time Painter::source_time(const Layer& layer, Time layerTime) {
    if ((layer.flags & model::flag::kTimeRemapping) == 0 ||
        !layer.streams.contains(stream::kTimeRemap))
        return layerTime;
    const double seconds = first(read(layer, stream::kTimeRemap, layerTime, {0}), 0);
    constexpr std::int64_t kTicks = 1000000;
    return Time::of(std::llround(seconds * kTicks), kTicks);
}

// What the layer at `index` passes on, inside what the group passes on: the
// same for a pre-comp layer's contents as for a leaf itself.
Group Painter::entered(const Group& group, const model::Composition& comp, std::size_t index,
                       Time layerTime, const Frame& world) {
    const Layer& layer = comp.layers[index];
    Group inner;
    inner.world = group.world.after(world);
    inner.opacity = group.opacity * opacity_of(layer, layerTime) / 100;
    inner.visible = group.visible && (layer.flags & model::flag::kVideoActive);
    inner.audible = group.audible && (layer.flags & model::flag::kAudioActive);
    inner.matte = group.matte || (index + 1 < comp.layers.size() &&
                                  comp.layers[index + 1].trackMatte != model::TrackMatte::None);
    inner.path = group.path;
    inner.path.push_back(layer.id);
    inner.names = group.names;
    inner.names.push_back(model::shown_name(project_, layer));
    inner.modes = group.modes;
    inner.modes.push_back(layer.blendingMode);
    inner.mattes = group.mattes;
    inner.mattes.push_back(layer.trackMatte);
    inner.masks = joined(attributes_of(project_, layer, false), group.masks);
    inner.effects = joined(attributes_of(project_, layer, true), group.effects);
    return inner;
}

void Painter::add_leaf(const model::Composition& comp, std::size_t index, Time layerTime,
                       const Group& group, Group own) {
    const Layer& layer = comp.layers[index];
    Leaf leaf;
    leaf.path = std::move(own.path);
    leaf.names = std::move(own.names);
    const model::Item* source = model::find_item(project_, layer.source);
    if (source != nullptr) {
        leaf.source = source->name;
        leaf.sourceTime = source_time(layer, layerTime);
        if (source->footage) {
            leaf.size = {double(source->footage->width), double(source->footage->height)};
            if (source->footage->kind == model::FootageKind::Solid)
                leaf.colour = source->footage->color;
        }
        if (source->comp) leaf.size = {double(source->comp->width), double(source->comp->height)};
    }
    if (const auto text = layer.streams.find(stream::kSourceText); text != layer.streams.end())
        leaf.text = read_text(layer, text->second, layerTime);
    leaf.world = matrix_of(own.world);
    leaf.opacity = own.opacity * 100;
    leaf.isMatte = own.matte;
    leaf.visible = own.visible && !own.matte;
    leaf.audible = own.audible && layer.streams.contains(stream::kAudioLevels);
    leaf.layerTime = layerTime;
    leaf.blendingMode = layer.blendingMode;
    leaf.groupModes = group.modes;
    leaf.trackMatte = layer.trackMatte;
    leaf.groupMattes = group.mattes;
    if (layer.trackMatte != model::TrackMatte::None && index > 0)
        leaf.matte = model::shown_name(project_, comp.layers[index - 1]);
    leaf.masks = std::move(own.masks);
    leaf.effects = std::move(own.effects);
    picture_.leaves.push_back(std::move(leaf));
}

void Painter::paint(const model::Item& item, Time compTime, const Group& group, int depth) {
    const model::Composition& comp = *item.comp;
    for (std::size_t i = 0; i < comp.layers.size(); ++i) {
        const Layer& layer = comp.layers[i];
        if (draws_nothing(layer) || !shows_at(layer, compTime)) continue;
        const Time layerTime = model::layer_time_of(layer, compTime);
        Group inner = entered(group, comp, i, layerTime, world_in_comp(comp, layer, compTime));
        const model::Item* source = model::find_item(project_, layer.source);
        if (source != nullptr && source->comp && depth < kMaxNesting) {
            paint(*source, source_time(layer, layerTime), inner, depth + 1);
        } else {
            add_leaf(comp, i, layerTime, group, std::move(inner));
        }
    }
}

}  // namespace

Picture picture_of(const model::Project& project, model::Id compItem, Time time,
                   script::ExpressionEngine& engine) {
    const model::Item* item = model::find_item(project, compItem);
    if (item == nullptr || !item->comp) throw model::ModelError("not a composition");
    Painter painter(project, engine);
    painter.paint(*item, time, Group{}, 0);
    return painter.take();
}

std::array<double, 3> map_point(const Matrix4& world, const std::array<double, 3>& point) {
    std::array<double, 3> out{};
    for (std::size_t row = 0; row < 3; ++row)
        out[row] = world[row * 4] * point[0] + world[row * 4 + 1] * point[1] +
                   world[row * 4 + 2] * point[2] + world[row * 4 + 3];
    return out;
}

}  // namespace host::picture
