// Blending modes and track mattes: the host's numbers, the names scripts and
// project files use for them, and the labels the command-line program shows.
// One table serves all of them, so a name means the same everywhere.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "model/model.h"

namespace host::model {

struct BlendingModeName {
    std::int32_t transferMode;  // the host's transfer-mode number
    const char* name;           // "SOFT_LIGHT": scripts' BlendingMode key, project files
    const char* label;          // "Soft Light"
    int scriptValue;            // BlendingMode.SOFT_LIGHT
};

// The transfer modes a layer can blend with (Normal = 2 to Divide = 38);
// none, copy and behind (-1 to 1) are transfer modes without a name.
std::span<const BlendingModeName> blending_modes();
const BlendingModeName* blending_mode_of(std::int32_t transferMode);  // null: no name
const BlendingModeName* blending_mode_named(std::string_view name);
const BlendingModeName* blending_mode_by_script_value(double value);

inline constexpr std::int32_t kFirstTransferMode = -1;
inline constexpr std::int32_t kLastTransferMode = 38;

struct TrackMatteName {
    TrackMatte kind;
    const char* name;   // "ALPHA_INVERTED": scripts' TrackMatteType key, project files
    const char* label;  // "Alpha Inverted Matte"
    int scriptValue;
};

std::span<const TrackMatteName> track_matte_names();  // None first
const TrackMatteName& track_matte_name(TrackMatte kind);
const TrackMatteName* track_matte_named(std::string_view name);
const TrackMatteName* track_matte_by_script_value(double value);

}  // namespace host::model
