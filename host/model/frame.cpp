#include "model/frame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/model.h"
#include "model/streams.h"

namespace host::model {

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;
constexpr double kTiny = 1e-12;

double degrees_in_turn(double radians) {
    double degrees = radians / kRadians;
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0) degrees += 360.0;
    if (std::abs(degrees - 360.0) < 1e-9 || std::abs(degrees) < 1e-9) degrees = 0;
    return degrees;
}

void apply(const Mat3& m, std::vector<double>& v, const std::array<double, 3>* t) {
    if (v.size() < 2) return;
    const double x = v[0], y = v[1], z = v.size() > 2 ? v[2] : 0.0;
    for (std::size_t row = 0; row < std::min<std::size_t>(v.size(), 3); ++row)
        v[row] = m[row][0] * x + m[row][1] * y + m[row][2] * z + (t ? (*t)[row] : 0.0);
}

}  // namespace

Mat3 multiply(const Mat3& left, const Mat3& right) {
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += left[i][k] * right[k][j];
    return r;
}

double determinant(const Mat3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Mat3 rotation_x(double degrees) {
    const double c = std::cos(degrees * kRadians), s = std::sin(degrees * kRadians);
    return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}

Mat3 rotation_y(double degrees) {
    const double c = std::cos(degrees * kRadians), s = std::sin(degrees * kRadians);
    return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}

Mat3 rotation_z(double degrees) {
    const double c = std::cos(degrees * kRadians), s = std::sin(degrees * kRadians);
    return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

Mat3 rotation_xyz(const std::vector<double>& degrees) {
    const auto angle = [&](std::size_t i) { return i < degrees.size() ? degrees[i] : 0.0; };
    return multiply(multiply(rotation_x(angle(0)), rotation_y(angle(1))), rotation_z(angle(2)));
}

std::vector<double> angles_xyz(const Mat3& r) {
    // r = Rx(x) Ry(y) Rz(z): r[0][2] = sin y, r[1][2] = -sin x cos y,
    // r[2][2] = cos x cos y, r[0][1] = -cos y sin z, r[0][0] = cos y cos z.
    const double sy = std::clamp(r[0][2], -1.0, 1.0);
    const double y = std::asin(sy);
    double x = 0, z = 0;
    if (std::abs(std::cos(y)) > 1e-9) {
        x = std::atan2(-r[1][2], r[2][2]);
        z = std::atan2(-r[0][1], r[0][0]);
    } else {
        // Gimbal lock: only x + z (or x - z) is known; z is taken as 0.
        x = sy > 0 ? std::atan2(r[1][0], r[1][1]) : std::atan2(-r[1][0], r[1][1]);
    }
    return {degrees_in_turn(x), degrees_in_turn(y), degrees_in_turn(z)};
}

namespace {

using Quaternion = std::array<double, 4>;  // w, x, y, z

Quaternion quaternion_of(const Mat3& r) {
    // Taken from the largest of the four diagonal combinations, for accuracy.
    const double trace = r[0][0] + r[1][1] + r[2][2];
    Quaternion q{};
    if (trace > 0) {
        const double s = 2 * std::sqrt(1 + trace);
        q = {s / 4, (r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s};
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double s = 2 * std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]);
        q = {(r[2][1] - r[1][2]) / s, s / 4, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s};
    } else if (r[1][1] > r[2][2]) {
        const double s = 2 * std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]);
        q = {(r[0][2] - r[2][0]) / s, (r[0][1] + r[1][0]) / s, s / 4, (r[1][2] + r[2][1]) / s};
    } else {
        const double s = 2 * std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]);
        q = {(r[1][0] - r[0][1]) / s, (r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, s / 4};
    }
    return q;
}

Mat3 matrix_of(const Quaternion& q) {
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
             {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
             {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

}  // namespace

Mat3 turn_between(const Mat3& from, const Mat3& to, double f) {
    const Quaternion a = quaternion_of(from);
    Quaternion b = quaternion_of(to);
    double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (dot < 0) {  // the same rotation the other way round is the shorter turn
        for (double& v : b) v = -v;
        dot = -dot;
    }
    double wa = 1 - f, wb = f;
    if (dot < 1 - 1e-12) {
        const double angle = std::acos(std::min(dot, 1.0));
        wa = std::sin((1 - f) * angle) / std::sin(angle);
        wb = std::sin(f * angle) / std::sin(angle);
    }
    Quaternion q{};
    double norm = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = wa * a[i] + wb * b[i];
        norm += q[i] * q[i];
    }
    for (double& v : q) v /= std::sqrt(norm);
    return matrix_of(q);
}

bool Frame::planar() const {
    return std::abs(m[0][2]) < kTiny && std::abs(m[1][2]) < kTiny && std::abs(m[2][0]) < kTiny &&
           std::abs(m[2][1]) < kTiny;
}

Frame Frame::after(const Frame& inner) const {
    Frame r;
    r.m = multiply(m, inner.m);
    for (int i = 0; i < 3; ++i)
        r.t[i] = m[i][0] * inner.t[0] + m[i][1] * inner.t[1] + m[i][2] * inner.t[2] + t[i];
    return r;
}

std::optional<Frame> Frame::inverse() const {
    const double det = determinant(m);
    if (std::abs(det) < kTiny) return std::nullopt;
    Frame r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // Cofactor of m[j][i], over the determinant.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            r.m[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    }
    for (int i = 0; i < 3; ++i) r.t[i] = -(r.m[i][0] * t[0] + r.m[i][1] * t[1] + r.m[i][2] * t[2]);
    return r;
}

void Frame::map_point(std::vector<double>& p) const { apply(m, p, &t); }
void Frame::map_vector(std::vector<double>& v) const { apply(m, v, nullptr); }

namespace {

double component(const std::vector<double>& v, std::size_t i, double fallback) {
    return i < v.size() ? v[i] : fallback;
}

}  // namespace

Frame transform_frame(const std::vector<double>& anchor, const std::vector<double>& position,
                      const std::vector<double>& scale, const Mat3& rotation) {
    Frame f;
    for (std::size_t column = 0; column < 3; ++column) {
        const double factor = component(scale, column, 100) / 100;
        for (std::size_t row = 0; row < 3; ++row) f.m[row][column] = rotation[row][column] * factor;
    }
    for (std::size_t row = 0; row < 3; ++row) {
        f.t[row] = component(position, row, 0);
        for (std::size_t column = 0; column < 3; ++column)
            f.t[row] -= f.m[row][column] * component(anchor, column, 0);
    }
    return f;
}

Mat3 layer_rotation(bool threeD, double x, double y, double z,
                    const std::vector<double>& orientation) {
    if (!threeD) return rotation_z(z);
    return multiply(rotation_xyz(orientation), rotation_xyz({x, y, z}));
}

Frame layer_frame(const Layer& layer, const TransformReader& read) {
    const bool turnsAbout = layer.kind == LayerKind::Camera || layer.kind == LayerKind::Light;
    const bool threeD = turnsAbout || (layer.flags & flag::k3D) != 0;
    const auto angle = [&](int number) {
        const std::vector<double> v = read(number, {0});
        return v.empty() ? 0.0 : v[0];
    };
    const Mat3 rotation =
        threeD ? layer_rotation(true, angle(stream::kRotateX), angle(stream::kRotateY),
                                angle(stream::kRotation), read(stream::kOrientation, {0, 0, 0}))
               : layer_rotation(false, 0, 0, angle(stream::kRotation), {});
    return transform_frame(
        turnsAbout ? std::vector<double>{0, 0, 0} : read(stream::kAnchorPoint, {0, 0, 0}),
        read(stream::kPosition, {0, 0, 0}), read(stream::kScale, {100, 100, 100}), rotation);
}

}  // namespace host::model
