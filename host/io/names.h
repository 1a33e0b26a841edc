// The words project files use for the model's enumerations.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "model/model.h"

namespace host::io {

std::string stream_kind_name(model::StreamKind kind);
model::StreamKind stream_kind_from(const nlohmann::json& value, const std::string& where);
std::string interpolation_name(model::Interpolation interpolation);
model::Interpolation interpolation_from(const nlohmann::json& value, const std::string& where);
std::string layer_kind_name(model::LayerKind kind);
model::LayerKind layer_kind_from(const std::string& name, const std::string& where);
// Flags as a list of names ("video", "audio", "effects", "motionBlur",
// "frameBlending", "locked", "shy", "collapse", "autoOrient", "adjustment",
// "timeRemap", "3d"), or a number for bits without a name.
nlohmann::json layer_flags_to(std::uint32_t flags);
std::uint32_t layer_flags_from(const nlohmann::json& value, const std::string& where);
// Blending modes by their names ("ADD"), or the transfer-mode number for
// modes without one; blending flags as a list of "preserveAlpha",
// "randomizeDissolve"; track mattes by name ("ALPHA").
nlohmann::json blending_mode_to(std::int32_t transferMode);
std::int32_t blending_mode_from(const nlohmann::json& value, const std::string& where);
nlohmann::json blending_flags_to(std::int32_t flags);
std::int32_t blending_flags_from(const nlohmann::json& value, const std::string& where);
model::TrackMatte track_matte_from(const nlohmann::json& value, const std::string& where);

}  // namespace host::io
