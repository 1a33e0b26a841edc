// Affine maps between layer spaces: a 3x3 linear part and a translation,
// built from a layer's transform values, composed along parent chains and
// taken apart again when a layer changes parent.
//
// A layer's map into its parent's space is
//   position + R * S * (p - anchor point),
// with S the scale and R its rotation: Z rotation alone for 2D layers;
// for 3D layers orientation, then X, Y and Z rotation, each turning the
// result of the ones after it: R = O * Rx * Ry * Rz, O = Rx(ox) * Ry(oy) *
// Rz(oz). Angles are degrees, y points down, positive Z rotation turns
// clockwise on screen.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace host::model {

using Mat3 = std::array<std::array<double, 3>, 3>;

inline constexpr Mat3 kIdentity3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

Mat3 multiply(const Mat3& left, const Mat3& right);
double determinant(const Mat3& m);
Mat3 rotation_x(double degrees);
Mat3 rotation_y(double degrees);
Mat3 rotation_z(double degrees);
// Rx(x) * Ry(y) * Rz(z) for angles {x, y, z}.
Mat3 rotation_xyz(const std::vector<double>& degrees);
// Angles {x, y, z}, each in [0, 360), with rotation_xyz of them equal to the
// rotation matrix given (near gimbal lock z is 0).
std::vector<double> angles_xyz(const Mat3& rotation);

// The rotation a fraction f of the way from `from` to `to` along the
// shortest turn between them (spherical interpolation).
Mat3 turn_between(const Mat3& from, const Mat3& to, double f);

struct Frame {
    Mat3 m = kIdentity3;
    std::array<double, 3> t{0, 0, 0};

    // The planar part, as a 2x2 matrix [a c; b d], and the depth scale.
    double a() const { return m[0][0]; }
    double b() const { return m[1][0]; }
    double c() const { return m[0][1]; }
    double d() const { return m[1][1]; }
    double zs() const { return m[2][2]; }
    // Nothing turns the picture plane out of itself.
    bool planar() const;
    bool is_translation() const { return m == kIdentity3; }

    // This map applied after `inner`.
    Frame after(const Frame& inner) const;
    std::optional<Frame> inverse() const;
    // Two-value points and vectors are taken at depth 0 and stay two values.
    void map_point(std::vector<double>& p) const;
    void map_vector(std::vector<double>& v) const;
};

// A layer's map into its parent's space from its transform values:
// position + R * S * (p - anchor), S in per cent. Missing values read as 0
// (scale: 100).
Frame transform_frame(const std::vector<double>& anchor, const std::vector<double>& position,
                      const std::vector<double>& scale, const Mat3& rotation);
// R for a layer: the Z rotation alone in 2D, else O * Rx * Ry * Rz.
Mat3 layer_rotation(bool threeD, double x, double y, double z,
                    const std::vector<double>& orientation);

struct Layer;
// A layer stream's value (the host's stream number), or the fallback where
// the layer has no such stream.
using TransformReader =
    std::function<std::vector<double>(int number, std::vector<double> fallback)>;
// The layer's map into its parent's space from the values `read` gives:
// cameras and lights turn about their position, and are 3D like 3D layers.
// The picture and the expression language's layer-space transforms share it.
Frame layer_frame(const Layer& layer, const TransformReader& read);

}  // namespace host::model
