// Layer streams: which properties each kind of layer has, their defaults,
// which of them are legal, and reading a stream's value at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"

namespace host::model {

// The host's layer-stream numbers. 0 to 10 are the transform group and its
// neighbours; the rest are this host's numbering for camera, light and text
// properties (all below 56, the end of the range).
namespace stream {
inline constexpr int kAnchorPoint = 0;  // cameras and lights: point of interest
inline constexpr int kPosition = 1;
inline constexpr int kScale = 2;
inline constexpr int kRotation = 3;
inline constexpr int kOpacity = 4;
inline constexpr int kAudioLevels = 5;
inline constexpr int kMarker = 6;
inline constexpr int kTimeRemap = 7;
inline constexpr int kRotateX = 8;
inline constexpr int kRotateY = 9;
inline constexpr int kOrientation = 10;
inline constexpr int kZoom = 11;
inline constexpr int kDepthOfField = 12;
inline constexpr int kFocusDistance = 13;
inline constexpr int kAperture = 14;
inline constexpr int kBlurLevel = 15;
inline constexpr int kIntensity = 16;
inline constexpr int kLightColor = 17;
inline constexpr int kConeAngle = 18;
inline constexpr int kConeFeather = 19;
inline constexpr int kShadowDarkness = 20;
inline constexpr int kShadowDiffusion = 21;
inline constexpr int kSourceText = 40;
inline constexpr int kEnd = 56;
}  // namespace stream

// Keyframe flag bits, the host's values.
namespace keyframe_flag {
inline constexpr std::uint32_t kTemporalContinuous = 1;
inline constexpr std::uint32_t kTemporalAutoBezier = 2;
inline constexpr std::uint32_t kSpatialContinuous = 4;
inline constexpr std::uint32_t kSpatialAutoBezier = 8;
}  // namespace keyframe_flag

// Number of values a stream of this kind holds (0: text or nothing).
int value_dimensions(StreamKind kind);
// Number of dimensions eased separately over time (spatial streams move
// along one path, so they have one).
int temporal_dimensions(StreamKind kind);
bool is_spatial(StreamKind kind);
// Kinds whose value is a text (source text, arbitrary data, markers).
bool holds_text(StreamKind kind);

// The streams a new layer of this kind gets in this composition, with their
// defaults (anchor point at the source's centre, position at the
// composition's centre, scale 100 %, opacity 100 %, ...).
void fill_default_streams(const Project& project, const Composition& comp, Layer& layer);

// Whether the layer's stream is in use: time remapping only where the source
// has time of its own, the 3D rotations and orientation only on 3D layers,
// audio levels only for sources with audio.
bool is_stream_legal(const Project& project, const Layer& layer, int number);

// The value of a stream at a layer time: the held value without keyframes;
// otherwise held before the first and after the last keyframe, and between
// two keyframes linear, or along the temporal ease cubic where either side
// is bezier (hold interpolation keeps the earlier value). Spatial streams
// move along the keys' tangent path, the ease giving the distance covered.
std::vector<double> value_at(const Stream& stream, Time layerTime);
// The length of a spatial stream's path from keyframe `segment` to the next.
double path_length(const Stream& stream, std::size_t segment);
std::string text_at(const Stream& stream, Time layerTime);
// The value of one of the layer's own streams at a layer time: as value_at,
// except that Orientation turns along the shortest way between two
// keyframes (spherically), not angle by angle; its values between keyframes
// are angles in [0, 360). A separated Position reads its followers.
std::vector<double> layer_value_at(const Layer& layer, const Stream& stream, Time layerTime);

// Separated dimensions: only a layer's Position separates, into one
// follower per dimension (see Layer::positionFollowers).
inline constexpr int kSeparatedDimensions = 3;
bool position_separated(const Layer& layer);
// Whether `s` is the layer's Position while it is separated.
bool is_separated_leader(const Layer& layer, const Stream& s);
// The follower's name for a dimension: "X Position", "Y Position", "Z Position".
std::string follower_name(int dimension);
// Separating moves Position's value and keyframes onto the followers, each
// keyframe with its interpolation and ease; joining puts back one keyframe
// at each time any follower has one, with the followers' values there.
void set_position_separated(Layer& layer, bool separated);

// A keyframe for the stream at the time, with the stream's value there,
// linear interpolation and default ease for every temporal dimension.
Keyframe new_keyframe(const Stream& stream, Time layerTime);
// Inserts or replaces (same time) a keyframe; returns its index.
int insert_keyframe(Stream& stream, Keyframe keyframe);

}  // namespace host::model
