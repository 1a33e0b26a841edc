#include "model/streams.h"

#include <algorithm>
#include <optional>

#include "model/frame.h"
#include "model/project_ops.h"

namespace host::model {

namespace {

struct Size {
    double width = 0;
    double height = 0;
};

Size source_size(const Project& project, const Layer& layer) {
    const Item* source = find_item(project, layer.source);
    if (source == nullptr) return {};
    if (source->comp) return {double(source->comp->width), double(source->comp->height)};
    if (source->footage) return {double(source->footage->width), double(source->footage->height)};
    return {};
}

Stream make(std::string name, StreamKind kind, std::vector<double> value, bool canVary = true) {
    Stream s;
    s.name = std::move(name);
    s.kind = kind;
    s.value = std::move(value);
    s.canVary = canVary;
    return s;
}

void add_transform(std::map<int, Stream>& streams, const Composition& comp, Size source,
                   bool withScaleAndOpacity) {
    streams[stream::kAnchorPoint] =
        make("Anchor Point", StreamKind::ThreeDSpatial, {source.width / 2, source.height / 2, 0});
    streams[stream::kPosition] =
        make("Position", StreamKind::ThreeDSpatial, {comp.width / 2.0, comp.height / 2.0, 0});
    if (withScaleAndOpacity) {
        streams[stream::kScale] = make("Scale", StreamKind::ThreeD, {100, 100, 100});
    }
    streams[stream::kRotation] = make("Rotation", StreamKind::OneD, {0});
    if (withScaleAndOpacity) streams[stream::kOpacity] = make("Opacity", StreamKind::OneD, {100});
    streams[stream::kMarker] = make("Marker", StreamKind::Marker, {}, false);
    streams[stream::kRotateX] = make("X Rotation", StreamKind::OneD, {0});
    streams[stream::kRotateY] = make("Y Rotation", StreamKind::OneD, {0});
    streams[stream::kOrientation] = make("Orientation", StreamKind::ThreeD, {0, 0, 0});
}

void add_camera_options(std::map<int, Stream>& streams, const Composition& comp) {
    const double zoom = comp.width;  // a moderate lens for the frame width
    streams[stream::kAnchorPoint].name = "Point of Interest";
    streams[stream::kAnchorPoint].value = {comp.width / 2.0, comp.height / 2.0, 0};
    streams[stream::kPosition].value = {comp.width / 2.0, comp.height / 2.0, -zoom};
    streams[stream::kZoom] = make("Zoom", StreamKind::OneD, {zoom});
    streams[stream::kDepthOfField] = make("Depth of Field", StreamKind::OneD, {0});
    streams[stream::kFocusDistance] = make("Focus Distance", StreamKind::OneD, {zoom});
    streams[stream::kAperture] = make("Aperture", StreamKind::OneD, {25});
    streams[stream::kBlurLevel] = make("Blur Level", StreamKind::OneD, {100});
}

void add_light_options(std::map<int, Stream>& streams, const Composition& comp) {
    streams[stream::kAnchorPoint].name = "Point of Interest";
    streams[stream::kAnchorPoint].value = {comp.width / 2.0, comp.height / 2.0, 0};
    streams[stream::kPosition].value = {comp.width / 2.0, comp.height / 2.0, -comp.width / 2.0};
    streams[stream::kIntensity] = make("Intensity", StreamKind::OneD, {100});
    streams[stream::kLightColor] = make("Color", StreamKind::Color, {1, 1, 1, 1});
    streams[stream::kConeAngle] = make("Cone Angle", StreamKind::OneD, {90});
    streams[stream::kConeFeather] = make("Cone Feather", StreamKind::OneD, {50});
    streams[stream::kShadowDarkness] = make("Shadow Darkness", StreamKind::OneD, {100});
    streams[stream::kShadowDiffusion] = make("Shadow Diffusion", StreamKind::OneD, {0});
}

bool source_has_time(const Project& project, const Layer& layer) {
    const Item* source = find_item(project, layer.source);
    if (source == nullptr) return false;
    if (source->comp) return true;
    return source->footage && source->footage->duration > Rational::of(0);
}

bool source_has_audio(const Project& project, const Layer& layer) {
    const Item* source = find_item(project, layer.source);
    return source != nullptr && source->footage && source->footage->hasAudio;
}

bool is_3d_only(int number) {
    return number == stream::kRotateX || number == stream::kRotateY ||
           number == stream::kOrientation;
}

std::size_t segment_before(const std::vector<Keyframe>& keys, Time t) {
    std::size_t i = 0;
    while (i + 1 < keys.size() && keys[i + 1].time <= t) ++i;
    return i;
}

}  // namespace

int value_dimensions(StreamKind kind) {
    switch (kind) {
        case StreamKind::ThreeDSpatial:
        case StreamKind::ThreeD:
            return 3;
        case StreamKind::TwoDSpatial:
        case StreamKind::TwoD:
            return 2;
        case StreamKind::OneD:
        case StreamKind::LayerId:
        case StreamKind::MaskId:
            return 1;
        case StreamKind::Color:
            return 4;
        default:
            return 0;
    }
}

int temporal_dimensions(StreamKind kind) {
    switch (kind) {
        case StreamKind::ThreeD:
            return 3;
        case StreamKind::TwoD:
            return 2;
        case StreamKind::NoData:
            return 0;
        default:
            return 1;
    }
}

bool is_spatial(StreamKind kind) {
    return kind == StreamKind::ThreeDSpatial || kind == StreamKind::TwoDSpatial;
}

bool holds_text(StreamKind kind) {
    return kind == StreamKind::TextDocument || kind == StreamKind::Arbitrary ||
           kind == StreamKind::Marker;
}

void fill_default_streams(const Project& project, const Composition& comp, Layer& layer) {
    auto& streams = layer.streams;
    streams.clear();
    switch (layer.kind) {
        case LayerKind::AV:
            add_transform(streams, comp, source_size(project, layer), true);
            streams[stream::kTimeRemap] = make("Time Remap", StreamKind::OneD, {0});
            if (source_has_audio(project, layer))
                streams[stream::kAudioLevels] = make("Audio Levels", StreamKind::TwoD, {0, 0});
            break;
        case LayerKind::Shape:
            add_transform(streams, comp, {}, true);
            break;
        case LayerKind::Text:
            add_transform(streams, comp, {}, true);
            streams[stream::kSourceText] = make("Source Text", StreamKind::TextDocument, {});
            break;
        case LayerKind::Camera:
            add_transform(streams, comp, {}, false);
            add_camera_options(streams, comp);
            break;
        case LayerKind::Light:
            add_transform(streams, comp, {}, false);
            add_light_options(streams, comp);
            break;
    }
}

bool is_stream_legal(const Project& project, const Layer& layer, int number) {
    if (layer.streams.count(number) == 0) return false;
    const bool alwaysThreeD = layer.kind == LayerKind::Camera || layer.kind == LayerKind::Light;
    if (is_3d_only(number)) return alwaysThreeD || (layer.flags & flag::k3D) != 0;
    if (number == stream::kTimeRemap) return source_has_time(project, layer);
    if (number == stream::kAudioLevels) return source_has_audio(project, layer);
    return true;
}

namespace {

// The keyframes around a time and how far along from the first to the
// second it lies; nothing when the value is simply one keyframe's.
struct Between {
    const Keyframe* from = nullptr;
    const Keyframe* to = nullptr;
    double fraction = 0;
};

std::optional<Between> between(const Stream& s, Time t, std::vector<double>* held) {
    const auto& keys = s.keyframes;
    if (keys.empty()) {
        *held = s.value;
        return std::nullopt;
    }
    if (t <= keys.front().time || keys.back().time <= t) {
        *held = t <= keys.front().time ? keys.front().value : keys.back().value;
        return std::nullopt;
    }
    const std::size_t i = segment_before(keys, t);
    const Keyframe& a = keys[i];
    const Keyframe& b = keys[i + 1];
    if (a.outInterp == Interpolation::Hold || b.inInterp == Interpolation::Hold ||
        a.value.size() != b.value.size() || t == a.time) {
        *held = a.value;
        return std::nullopt;
    }
    return Between{&a, &b, ((t - a.time) / (b.time - a.time)).seconds()};
}

}  // namespace

std::vector<double> value_at(const Stream& s, Time t) {
    std::vector<double> v;
    const std::optional<Between> at = between(s, t, &v);
    if (!at) return v;
    const std::vector<double>& a = at->from->value;
    const std::vector<double>& b = at->to->value;
    v.resize(a.size());
    for (std::size_t d = 0; d < v.size(); ++d) v[d] = a[d] + (b[d] - a[d]) * at->fraction;
    return v;
}

std::vector<double> layer_value_at(const Layer& layer, const Stream& s, Time t) {
    const auto orientation = layer.streams.find(stream::kOrientation);
    if (orientation == layer.streams.end() || &orientation->second != &s) return value_at(s, t);
    std::vector<double> v;
    const std::optional<Between> at = between(s, t, &v);
    if (!at || at->from->value.size() != 3) return at ? value_at(s, t) : v;
    return angles_xyz(
        turn_between(rotation_xyz(at->from->value), rotation_xyz(at->to->value), at->fraction));
}

std::string text_at(const Stream& s, Time t) {
    const auto& keys = s.keyframes;
    if (keys.empty()) return s.text;
    if (t < keys.front().time) return keys.front().text;
    return keys[segment_before(keys, t)].text;
}

Keyframe new_keyframe(const Stream& s, Time layerTime) {
    Keyframe k;
    k.time = layerTime;
    k.value = value_at(s, layerTime);
    k.text = text_at(s, layerTime);
    const auto dims = static_cast<std::size_t>(temporal_dimensions(s.kind));
    k.inEase.assign(dims, Ease{});
    k.outEase.assign(dims, Ease{});
    if (is_spatial(s.kind)) {
        const auto n = static_cast<std::size_t>(value_dimensions(s.kind));
        k.inTangent.assign(n, 0.0);
        k.outTangent.assign(n, 0.0);
    }
    return k;
}

int insert_keyframe(Stream& s, Keyframe keyframe) {
    auto& keys = s.keyframes;
    auto at = std::lower_bound(keys.begin(), keys.end(), keyframe.time,
                               [](const Keyframe& k, Time t) { return k.time < t; });
    if (at != keys.end() && at->time == keyframe.time) {
        *at = std::move(keyframe);
    } else {
        at = keys.insert(at, std::move(keyframe));
    }
    return static_cast<int>(at - keys.begin());
}

}  // namespace host::model
