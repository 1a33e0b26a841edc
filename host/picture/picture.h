// What a viewer sees of a composition at a time: its leaf layers, top of the
// stack first, with nested compositions flattened into the layers they show.
//
// Values are read after expressions. Parenting passes on position, scale,
// rotation and orientation but not opacity; a pre-comp layer's transform,
// opacity, switches, blending mode, masks and effects apply to everything it
// shows. Time maps through each layer's offset and stretch and through a
// pre-comp layer's time remapping where it is on.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"

namespace host::script {
class ExpressionEngine;
}

namespace host::picture {

// A 4x4 map from a leaf's own space (its source's pixels) into the outer
// composition's, row-major, acting on column vectors (x, y, z, 1).
using Matrix4 = std::array<double, 16>;

// An effect or mask that applies to a leaf, and the layer that holds it.
struct Attribute {
    std::string layer;  // the holding layer's shown name
    std::string name;
    std::string matchName;  // effects only
    friend bool operator==(const Attribute&, const Attribute&) = default;
};

struct Leaf {
    std::vector<model::Id> path;        // layer ids, outermost first
    std::vector<std::string> names;     // their shown names
    std::optional<std::string> source;  // the leaf's source item's name
    std::array<double, 2> size{0, 0};   // its source's width and height (0: no source)
    std::vector<double> colour;         // a solid's colour (r, g, b in 0-1)
    std::optional<std::string> text;    // a text layer's source text
    Matrix4 world{};
    double opacity = 100;  // per cent: its own times each enclosing pre-comp layer's
    bool visible = true;   // its video and every enclosing pre-comp layer's are on; not a matte
    bool audible = false;  // it has audio, and its audio and every enclosing layer's are on
    model::Time layerTime;
    std::optional<model::Time> sourceTime;  // layers with a source item
    std::int32_t blendingMode = model::kNormalBlending;
    std::vector<std::int32_t> groupModes;  // the enclosing pre-comp layers', outermost first
    model::TrackMatte trackMatte = model::TrackMatte::None;
    std::optional<std::string> matte;            // the matting layer's shown name
    std::vector<model::TrackMatte> groupMattes;  // the enclosing pre-comp layers', outermost first
    bool isMatte = false;                        // used as another layer's matte: not drawn itself
    std::vector<Attribute> masks;  // its own, then each enclosing layer's, inwards out
    std::vector<Attribute> effects;
};

struct Picture {
    std::vector<Leaf> leaves;
    // Expressions that failed while the picture was read ("Layer / Position: Error: ...");
    // their streams show their stored values.
    std::vector<std::string> errors;
};

// The picture of the composition item at a composition time. Throws
// model::ModelError for an item that is not a composition.
Picture picture_of(const model::Project& project, model::Id compItem, model::Time time,
                   script::ExpressionEngine& engine);

// The composition-space point a leaf's own point lands on.
std::array<double, 3> map_point(const Matrix4& world, const std::array<double, 3>& point);

}  // namespace host::picture
