#include "model/frame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

}  // namespace host::model
