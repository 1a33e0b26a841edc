// Where a layer shows, from stored values alone and sharing no code with the host's folding:
// position + R * S * (p - anchor), R = Z turn (2D) or orientation * X * Y * Z (3D); keys run
// linearly, holds hold, bezier segments follow their eases (a spatial stream's along its
// tangent path by arc length), orientation slerps; expressions and auto-bezier flags are not
// evaluated (the rigs set none).
// Orientation angles apply Z, then Y, then X; y points down, positive angles turn clockwise.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>
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

inline bool bezier(const Segment& s) {
    return s.from->outInterp == model::Interpolation::Bezier ||
           s.to->inInterp == model::Interpolation::Bezier;
}

// Power-basis coefficients of the cubic with control values p0..p3.
inline std::array<double, 4> power(double p0, double p1, double p2, double p3) {
    return {p0, 3 * (p1 - p0), 3 * (p2 - 2 * p1 + p0), p3 - 3 * p2 + 3 * p1 - p0};
}

inline double horner(const std::array<double, 4>& c, double u) {
    return ((c[3] * u + c[2]) * u + c[1]) * u + c[0];
}

// Dimension d eased from `start` to `end`: handles at influence x duration from their keys,
// speed x that time in value; a linear side takes the mean speed. Newton on the time cubic,
// kept inside a shrinking bracket.
inline double eased(const Segment& s, std::size_t d, double start, double end) {
    const double duration = (s.to->time - s.from->time).seconds();
    const auto ease = [&](const std::vector<model::Ease>& eases, bool isBezier) {
        const model::Ease e = d < eases.size() ? eases[d] : model::Ease{};
        return std::pair{isBezier ? e.speed : (end - start) / duration, e.influence / 100};
    };
    const auto [outSpeed, outInfluence] =
        ease(s.from->outEase, s.from->outInterp == model::Interpolation::Bezier);
    const auto [inSpeed, inInfluence] =
        ease(s.to->inEase, s.to->inInterp == model::Interpolation::Bezier);
    const auto time = power(0, outInfluence, 1 - inInfluence, 1);
    double lo = 0, hi = 1, u = s.fraction;
    for (int i = 0; i < 200 && hi - lo > 1e-15; ++i) {
        const double f = horner(time, u) - s.fraction;
        (f < 0 ? lo : hi) = u;
        const double slope = (3 * time[3] * u + 2 * time[2]) * u + time[1];
        const double next = slope > 0 ? u - f / slope : lo - 1;
        u = next > lo && next < hi ? next : (lo + hi) / 2;
    }
    return horner(power(start, start + outSpeed * outInfluence * duration,
                        end - inSpeed * inInfluence * duration, end),
                  u);
}

// A spatial segment: the cubic through from, from + out tangent, to + in tangent, to; the
// ease gives the distance along it (Simpson's rule, found by halving).
inline std::vector<double> along_path(const Segment& s) {
    std::array<std::array<double, 4>, 3> axes{};
    const auto at = [](const std::vector<double>& v, std::size_t i) {
        return i < v.size() ? v[i] : 0.0;
    };
    for (std::size_t i = 0; i < 3; ++i) {
        const double p0 = at(s.from->value, i), p3 = at(s.to->value, i);
        axes[i] = power(p0, p0 + at(s.from->outTangent, i), p3 + at(s.to->inTangent, i), p3);
    }
    const auto speed = [&](double u) {
        double sum = 0;
        for (const auto& c : axes) sum += std::pow((3 * c[3] * u + 2 * c[2]) * u + c[1], 2);
        return std::sqrt(sum);
    };
    const auto length = [&](double u) {
        constexpr int kSteps = 64;  // even
        const double h = u / kSteps;
        double sum = speed(0) + speed(u);
        for (int k = 1; k < kSteps; ++k) sum += (k % 2 == 1 ? 4 : 2) * speed(k * h);
        return sum * h / 3;
    };
    const double total = length(1);
    std::vector<double> v = s.from->value;
    if (total <= 0) return v;
    const double target = bezier(s) ? eased(s, 0, 0, total) : s.fraction * total;
    double lo = 0, hi = 1;
    while (hi - lo > 1e-13) ((length((lo + hi) / 2) < target) ? lo : hi) = (lo + hi) / 2;
    for (std::size_t i = 0; i < v.size() && i < 3; ++i) v[i] = horner(axes[i], (lo + hi) / 2);
    return v;
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
        if (s.to != nullptr && model::is_spatial(stream.kind)) {
            v = along_path(s);
        } else {
            for (std::size_t i = 0; s.to != nullptr && i < v.size(); ++i)
                v[i] = bezier(s) ? eased(s, i, v[i], s.to->value[i])
                                 : v[i] + (s.to->value[i] - v[i]) * s.fraction;
        }
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
    const Quaternion a = xyz_turn(s.from->value), b = xyz_turn(s.to->value);
    if (!bezier(s)) return slerp(a, b, s.fraction);
    // Eased as one dimension whose value is the angle turned, in degrees.
    const double dot = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
    const double angle = 360 / std::numbers::pi * std::acos(std::fmin(dot, 1.0));
    return slerp(a, b, angle < 1e-9 ? s.fraction : eased(s, 0, 0, angle) / angle);
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
