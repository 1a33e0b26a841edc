#include "model/streams.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
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

// The keyframes around a time and how far along in time from the first to
// the second it lies; nothing when the value is simply one keyframe's.
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

bool is_bezier(const Between& at) {
    return at.from->outInterp == Interpolation::Bezier || at.to->inInterp == Interpolation::Bezier;
}

double seconds_between(const Keyframe& a, const Keyframe& b) { return (b.time - a.time).seconds(); }

double component_of(const std::vector<double>& v, std::size_t i) {
    return i < v.size() ? v[i] : 0.0;
}

// One dimension of a segment as the temporal cubic sees it: where it starts
// and ends, and each end's speed (value per second) and influence (0..1).
struct EaseSegment {
    double start = 0, end = 0;
    double outSpeed = 0, outInfluence = 0, inSpeed = 0, inInfluence = 0;
};

double influence_of(const std::vector<Ease>& eases, std::size_t d) {
    const Ease e = d < eases.size() ? eases[d] : Ease{};
    return std::clamp(e.influence, 0.1, 100.0) / 100.0;
}

double speed_of(const std::vector<Ease>& eases, std::size_t d) {
    return d < eases.size() ? eases[d].speed : Ease{}.speed;
}

// The value of the temporal cubic at a fraction of the segment's time: the
// handles lie at influence x duration in time from their keys and speed x
// that time in value; the time cubic is solved for the curve parameter.
double ease_value(const EaseSegment& e, double duration, double fraction) {
    const double x1 = e.outInfluence, x2 = 1 - e.inInfluence;
    const double y0 = e.start, y3 = e.end;
    const double y1 = y0 + e.outSpeed * e.outInfluence * duration;
    const double y2 = y3 - e.inSpeed * e.inInfluence * duration;
    const auto cubic = [](double p0, double p1, double p2, double p3, double u) {
        const double v = 1 - u;
        return v * v * v * p0 + 3 * v * v * u * p1 + 3 * v * u * u * p2 + u * u * u * p3;
    };
    // Influences in (0, 1] keep the time cubic monotone, so halving finds u.
    double lo = 0, hi = 1;
    for (int i = 0; i < 64; ++i) {
        const double mid = (lo + hi) / 2;
        (cubic(0, x1, x2, 1, mid) < fraction ? lo : hi) = mid;
    }
    return cubic(y0, y1, y2, y3, (lo + hi) / 2);
}

// ---- spatial paths: a cubic through key, key + out tangent, next key + in
// tangent, next key

struct Path {
    std::array<std::array<double, 3>, 4> p{};

    std::array<double, 3> at(double u) const {
        const double v = 1 - u;
        std::array<double, 3> r{};
        for (std::size_t i = 0; i < 3; ++i)
            r[i] = v * v * v * p[0][i] + 3 * v * v * u * p[1][i] + 3 * v * u * u * p[2][i] +
                   u * u * u * p[3][i];
        return r;
    }
    double speed(double u) const {
        const double v = 1 - u;
        double sum = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            const double d = 3 * v * v * (p[1][i] - p[0][i]) + 6 * v * u * (p[2][i] - p[1][i]) +
                             3 * u * u * (p[3][i] - p[2][i]);
            sum += d * d;
        }
        return std::sqrt(sum);
    }
    // Arc length from parameter 0 to u: 16 pieces of 5-point Gauss-Legendre.
    double length(double u) const {
        static constexpr std::array<double, 5> kNode{0, -0.5384693101056831, 0.5384693101056831,
                                                     -0.9061798459386640, 0.9061798459386640};
        static constexpr std::array<double, 5> kWeight{0.5688888888888889, 0.4786286704993665,
                                                       0.4786286704993665, 0.2369268850561891,
                                                       0.2369268850561891};
        constexpr int kPieces = 16;
        double sum = 0;
        for (int piece = 0; piece < kPieces; ++piece) {
            const double a = u * piece / kPieces, b = u * (piece + 1) / kPieces;
            for (std::size_t k = 0; k < 5; ++k)
                sum += kWeight[k] * speed((a + b) / 2 + (b - a) / 2 * kNode[k]) * (b - a) / 2;
        }
        return sum;
    }
};

std::array<double, 3> point_of(const std::vector<double>& v) {
    return {component_of(v, 0), component_of(v, 1), component_of(v, 2)};
}

// Auto-bezier spatial tangents: along the line through the neighbours, a
// sixth of it (a Catmull-Rom curve); zero at the ends.
std::vector<double> auto_tangent(const std::vector<Keyframe>& keys, std::size_t i, double sign) {
    std::vector<double> t(keys[i].value.size(), 0.0);
    if (i == 0 || i + 1 >= keys.size()) return t;
    for (std::size_t d = 0; d < t.size(); ++d)
        t[d] = sign * (component_of(keys[i + 1].value, d) - component_of(keys[i - 1].value, d)) / 6;
    return t;
}

Path path_of(const std::vector<Keyframe>& keys, std::size_t i) {
    const Keyframe& a = keys[i];
    const Keyframe& b = keys[i + 1];
    const std::vector<double> out = (a.flags & keyframe_flag::kSpatialAutoBezier) != 0
                                        ? auto_tangent(keys, i, 1)
                                        : a.outTangent;
    const std::vector<double> in = (b.flags & keyframe_flag::kSpatialAutoBezier) != 0
                                       ? auto_tangent(keys, i + 1, -1)
                                       : b.inTangent;
    Path path;
    path.p[0] = point_of(a.value);
    path.p[3] = point_of(b.value);
    for (std::size_t d = 0; d < 3; ++d) {
        path.p[1][d] = path.p[0][d] + component_of(out, d);
        path.p[2][d] = path.p[3][d] + component_of(in, d);
    }
    return path;
}

// The parameter at which the path has covered `distance` of its length.
double parameter_at(const Path& path, double distance) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 50; ++i) {
        const double mid = (lo + hi) / 2;
        (path.length(mid) < distance ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The angle (degrees) of the shortest turn between two orientations:
// trace(from^T to) = 1 + 2 cos(angle).
double turn_angle(const std::vector<double>& from, const std::vector<double>& to) {
    const Mat3 a = rotation_xyz(from), b = rotation_xyz(to);
    double trace = 0;
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c) trace += a[r][c] * b[r][c];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / std::numbers::pi;
}

// How far the stream's value travels over segment i (path length for
// spatial streams, the value's change in dimension d otherwise), for the
// auto-bezier speed of a key.
double travel(const Stream& s, std::size_t i, std::size_t d, bool turns) {
    const auto& keys = s.keyframes;
    if (turns) return turn_angle(keys[i].value, keys[i + 1].value);
    if (is_spatial(s.kind)) return path_of(keys, i).length(1);
    return component_of(keys[i + 1].value, d) - component_of(keys[i].value, d);
}

// Auto-bezier temporal speed of key i: the slope from the previous to the
// next key, flat at the ends and where the key is a turning point (so the
// curve does not overshoot).
double auto_speed(const Stream& s, std::size_t i, std::size_t d, bool turns) {
    const auto& keys = s.keyframes;
    if (i == 0 || i + 1 >= keys.size()) return 0;
    const double before = travel(s, i - 1, d, turns), after = travel(s, i, d, turns);
    if (!is_spatial(s.kind) && !turns && before * after <= 0) return 0;
    return (before + after) / (keys[i + 1].time - keys[i - 1].time).seconds();
}

// The ease of value d of segment i from `start` to `end`. A side whose
// interpolation is linear keeps its influence and takes the segment's mean
// speed, so its handle points along the straight line between the keys.
// Streams with fewer temporal dimensions than values (colours) ease every
// value with the last dimension's ease.
EaseSegment ease_segment(const Stream& s, std::size_t i, std::size_t d, double start, double end,
                         bool turns = false) {
    const Keyframe& a = s.keyframes[i];
    const Keyframe& b = s.keyframes[i + 1];
    const std::size_t dim =
        std::min(d, static_cast<std::size_t>(std::max(temporal_dimensions(s.kind), 1) - 1));
    const double mean = (end - start) / seconds_between(a, b);
    EaseSegment e{
        start, end, mean, influence_of(a.outEase, dim), mean, influence_of(b.inEase, dim)};
    if (a.outInterp == Interpolation::Bezier)
        e.outSpeed = (a.flags & keyframe_flag::kTemporalAutoBezier) != 0
                         ? auto_speed(s, i, d, turns)
                         : speed_of(a.outEase, dim);
    if (b.inInterp == Interpolation::Bezier)
        e.inSpeed = (b.flags & keyframe_flag::kTemporalAutoBezier) != 0
                        ? auto_speed(s, i + 1, d, turns)
                        : speed_of(b.inEase, dim);
    return e;
}

std::size_t index_of(const Stream& s, const Keyframe* key) {
    return static_cast<std::size_t>(key - s.keyframes.data());
}

}  // namespace

double path_length(const Stream& s, std::size_t segment) {
    if (segment + 1 >= s.keyframes.size()) return 0;
    return path_of(s.keyframes, segment).length(1);
}

std::vector<double> value_at(const Stream& s, Time t) {
    std::vector<double> v;
    const std::optional<Between> at = between(s, t, &v);
    if (!at) return v;
    const std::vector<double>& a = at->from->value;
    const std::vector<double>& b = at->to->value;
    const std::size_t i = index_of(s, at->from);
    const double duration = seconds_between(*at->from, *at->to);
    if (is_spatial(s.kind)) {
        const Path path = path_of(s.keyframes, i);
        const double length = path.length(1);
        if (length <= 0) return a;
        const double travelled =
            is_bezier(*at) ? ease_value(ease_segment(s, i, 0, 0, length), duration, at->fraction)
                           : at->fraction * length;
        const std::array<double, 3> p = path.at(parameter_at(path, travelled));
        v = a;
        for (std::size_t d = 0; d < v.size() && d < 3; ++d) v[d] = p[d];
        return v;
    }
    v.resize(a.size());
    for (std::size_t d = 0; d < v.size(); ++d) {
        v[d] = is_bezier(*at)
                   ? ease_value(ease_segment(s, i, d, a[d], b[d]), duration, at->fraction)
                   : a[d] + (b[d] - a[d]) * at->fraction;
    }
    return v;
}

std::vector<double> layer_value_at(const Layer& layer, const Stream& s, Time t) {
    if (is_separated_leader(layer, s)) {
        std::vector<double> v = s.value;
        for (std::size_t d = 0; d < v.size() && d < layer.positionFollowers.size(); ++d)
            v[d] = value_at(layer.positionFollowers[d], t).at(0);
        return v;
    }
    const auto orientation = layer.streams.find(stream::kOrientation);
    if (orientation == layer.streams.end() || &orientation->second != &s) return value_at(s, t);
    std::vector<double> v;
    const std::optional<Between> at = between(s, t, &v);
    if (!at || at->from->value.size() != 3) return at ? value_at(s, t) : v;
    const Mat3 from = rotation_xyz(at->from->value), to = rotation_xyz(at->to->value);
    double fraction = at->fraction;
    if (is_bezier(*at)) {
        // The turn eases as one dimension, its value the angle turned so far
        // (degrees), with the first dimension's ease.
        const double angle = turn_angle(at->from->value, at->to->value);
        const std::size_t i = index_of(s, at->from);
        if (angle > 1e-9)
            fraction = ease_value(ease_segment(s, i, 0, 0, angle, true),
                                  seconds_between(*at->from, *at->to), at->fraction) /
                       angle;
    }
    return angles_xyz(turn_between(from, to, fraction));
}

std::string text_at(const Stream& s, Time t) {
    const auto& keys = s.keyframes;
    if (keys.empty()) return s.text;
    if (t < keys.front().time) return keys.front().text;
    return keys[segment_before(keys, t)].text;
}

bool position_separated(const Layer& layer) { return !layer.positionFollowers.empty(); }

bool is_separated_leader(const Layer& layer, const Stream& s) {
    if (!position_separated(layer)) return false;
    const auto position = layer.streams.find(stream::kPosition);
    return position != layer.streams.end() && &position->second == &s;
}

std::string follower_name(int dimension) {
    return std::string(1, static_cast<char>('X' + dimension)) + " Position";
}

namespace {

Keyframe follower_key(const Keyframe& key, std::size_t dimension) {
    Keyframe k;
    k.time = key.time;
    k.value = {dimension < key.value.size() ? key.value[dimension] : 0.0};
    k.inInterp = key.inInterp;
    k.outInterp = key.outInterp;
    k.inEase = {key.inEase.empty() ? Ease{} : key.inEase.front()};
    k.outEase = {key.outEase.empty() ? Ease{} : key.outEase.front()};
    k.flags = key.flags & (keyframe_flag::kTemporalContinuous | keyframe_flag::kTemporalAutoBezier);
    return k;
}

void separate(Layer& layer, Stream& position) {
    for (int d = 0; d < kSeparatedDimensions; ++d) {
        const auto dimension = static_cast<std::size_t>(d);
        Stream follower = make(follower_name(d), StreamKind::OneD,
                               {dimension < position.value.size() ? position.value[dimension] : 0});
        for (const Keyframe& key : position.keyframes)
            follower.keyframes.push_back(follower_key(key, dimension));
        layer.positionFollowers.push_back(std::move(follower));
    }
    position.keyframes.clear();
}

void join(Layer& layer, Stream& position) {
    std::vector<Time> times;
    for (const Stream& follower : layer.positionFollowers)
        for (const Keyframe& key : follower.keyframes) times.push_back(key.time);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    position.value = layer_value_at(layer, position, Time{});
    std::vector<Keyframe> keys;
    for (const Time t : times) {
        Keyframe key = new_keyframe(position, t);
        key.value = layer_value_at(layer, position, t);
        keys.push_back(std::move(key));
    }
    if (!keys.empty()) position.value = keys.front().value;
    position.keyframes = std::move(keys);
    layer.positionFollowers.clear();
}

}  // namespace

void set_position_separated(Layer& layer, bool separated) {
    const auto position = layer.streams.find(stream::kPosition);
    if (position == layer.streams.end() || separated == position_separated(layer)) return;
    if (separated) {
        separate(layer, position->second);
    } else {
        join(layer, position->second);
    }
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
