// Where a layer shows, from stored values alone and sharing no code with the host's folding:
// position + R * S * (p - anchor), R = Z turn (2D) or orientation * X * Y * Z (3D); keys run
// linearly (bezier too), holds hold, orientation slerps; expressions are not evaluated.
// Orientation angles apply Z, then Y, then X; y points down, positive angles turn clockwise.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "model/model.h"
#include "model/project_ops.h"
#include "model/streams.h"

namespace outfold::testing::eval {

namespace model = host::model;
namespace stream = model::stream;

using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;
using Quaternion = std::array<double, 4>;  // unit, (w, x, y, z)

struct Affine {
    Matrix m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Vector t{0, 0, 0};
};

inline Vector apply(const Matrix& m, const Vector& v) {
    Vector r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

// `outer` applied after `inner`.
inline Affine then(const Affine& inner, const Affine& outer) {
    Affine r{Matrix{}, apply(outer.m, inner.t)};
    for (int i = 0; i < 3; ++i) {
        r.t[i] += outer.t[i];
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r.m[i][j] += outer.m[i][k] * inner.m[k][j];
    }
    return r;
}

inline Quaternion axis_turn(int axis, double degrees) {
    Quaternion q{std::cos(degrees * std::numbers::pi / 360.0), 0, 0, 0};
    q[1 + axis] = std::sin(degrees * std::numbers::pi / 360.0);
    return q;
}

inline Quaternion times(const Quaternion& a, const Quaternion& b) {
    return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
            a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
            a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
            a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

// X, then Y, then Z turn, each applied to the result of the ones after it.
inline Quaternion xyz_turn(const std::vector<double>& degrees) {
    return times(times(axis_turn(0, degrees.at(0)), axis_turn(1, degrees.at(1))),
                 axis_turn(2, degrees.at(2)));
}

inline Matrix matrix(const Quaternion& q) {
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
             {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
             {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

inline Quaternion slerp(const Quaternion& a, const Quaternion& b, double f) {
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const double sign = dot < 0 ? -1 : 1;  // the shorter way round
    const double angle = std::acos(std::fmin(dot * sign, 1.0));
    Quaternion q{};
    double norm = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = angle < 1e-9
                   ? a[i] + (sign * b[i] - a[i]) * f
                   : (std::sin((1 - f) * angle) * a[i] + std::sin(f * angle) * sign * b[i]) /
                         std::sin(angle);
        norm += q[i] * q[i];
    }
    for (double& v : q) v /= std::sqrt(norm);
    return q;
}

// `to` is null where one keyframe's value holds.
struct Segment {
    const model::Keyframe* from;
    const model::Keyframe* to;
    double fraction;
};

inline Segment segment(const model::Stream& stream, model::Time time) {
    const auto& keys = stream.keyframes;
    if (time <= keys.front().time) return {&keys.front(), nullptr, 0};
    if (keys.back().time <= time) return {&keys.back(), nullptr, 0};
    std::size_t i = 0;
    while (keys[i + 1].time <= time) ++i;
    const model::Keyframe &a = keys[i], &b = keys[i + 1];
    if (a.outInterp == model::Interpolation::Hold || b.inInterp == model::Interpolation::Hold)
        return {&a, nullptr, 0};
    return {&a, &b, ((time - a.time) / (b.time - a.time)).seconds()};
}

inline std::vector<double> value(const model::Layer& layer, int number, model::Time time,
                                 std::vector<double> fallback) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return fallback;
    const model::Stream& stream = found->second;
    std::vector<double> v = stream.value;
    if (!stream.keyframes.empty()) {
        const Segment s = segment(stream, time);
        v = s.from->value;
        for (std::size_t i = 0; s.to != nullptr && i < v.size(); ++i)
            v[i] += (s.to->value[i] - v[i]) * s.fraction;
    }
    v.resize(fallback.size(), 0.0);
    return v;
}

inline Quaternion orientation(const model::Layer& layer, model::Time time) {
    const auto found = layer.streams.find(stream::kOrientation);
    if (found == layer.streams.end()) return {1, 0, 0, 0};
    if (found->second.keyframes.empty()) return xyz_turn(found->second.value);
    const Segment s = segment(found->second, time);
    if (s.to == nullptr) return xyz_turn(s.from->value);
    return slerp(xyz_turn(s.from->value), xyz_turn(s.to->value), s.fraction);
}

inline Affine local(const model::Layer& layer, model::Time time) {
    const auto scalar = [&](int number) { return value(layer, number, time, {0})[0]; };
    const Matrix r =
        (layer.flags & model::flag::k3D) == 0
            ? matrix(axis_turn(2, scalar(stream::kRotation)))
            : matrix(times(orientation(layer, time),
                           xyz_turn({scalar(stream::kRotateX), scalar(stream::kRotateY),
                                     scalar(stream::kRotation)})));
    const std::vector<double> s = value(layer, stream::kScale, time, {100, 100, 100});
    const std::vector<double> anchor = value(layer, stream::kAnchorPoint, time, {0, 0, 0});
    const std::vector<double> position = value(layer, stream::kPosition, time, {0, 0, 0});
    Affine a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a.m[i][j] = r[i][j] * s[std::size_t(j)] / 100;
    const Vector moved = apply(a.m, {anchor[0], anchor[1], anchor[2]});
    for (int i = 0; i < 3; ++i) a.t[i] = position[std::size_t(i)] - moved[i];
    return a;
}

// Composition time = offset + stretch * layer time.
inline model::Time layer_time(const model::Layer& layer, model::Time compTime) {
    return (compTime - layer.offset) / layer.stretch;
}

// Each ancestor read at its own layer time.
inline Affine world(const model::Project& project, const model::Layer& layer,
                    model::Time compTime) {
    Affine w = local(layer, layer_time(layer, compTime));
    for (const model::Layer* up = model::find_layer(project, layer.parent); up != nullptr;
         up = model::find_layer(project, up->parent))
        w = then(w, local(*up, layer_time(*up, compTime)));
    return w;
}

// Shown while the layer time lies in [in point, in point + duration).
inline bool shows(const model::Layer& layer, model::Time compTime) {
    const model::Time t = layer_time(layer, compTime);
    return (layer.flags & model::flag::kVideoActive) != 0 && layer.inPoint <= t &&
           t < layer.inPoint + layer.duration;
}

inline double distance(const Affine& a, const Affine& b) {
    double d = 0;
    for (int i = 0; i < 3; ++i) {
        d = std::fmax(d, std::fabs(a.t[i] - b.t[i]));
        for (int j = 0; j < 3; ++j) d = std::fmax(d, std::fabs(a.m[i][j] - b.m[i][j]));
    }
    return d;
}

}  // namespace outfold::testing::eval
