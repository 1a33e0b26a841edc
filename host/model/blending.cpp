#include "model/blending.h"

#include <algorithm>
#include <array>

namespace host::model {

namespace {

// Script values are the host's own: distinct from every other enumeration
// the scripts see, and unrelated to the transfer-mode numbers on purpose,
// so a script cannot mix the two up unnoticed.
constexpr int kBlendingBase = 1001;
constexpr int kTrackMatteBase = 2001;

struct Entry {
    std::int32_t transferMode;
    const char* name;
    const char* label;
};

constexpr auto kModes = std::to_array<Entry>({
    {2, "NORMAL", "Normal"},
    {3, "DISSOLVE", "Dissolve"},
    {4, "ADD", "Add"},
    {5, "MULTIPLY", "Multiply"},
    {6, "SCREEN", "Screen"},
    {7, "OVERLAY", "Overlay"},
    {8, "SOFT_LIGHT", "Soft Light"},
    {9, "HARD_LIGHT", "Hard Light"},
    {10, "DARKEN", "Darken"},
    {11, "LIGHTEN", "Lighten"},
    {12, "CLASSIC_DIFFERENCE", "Classic Difference"},
    {13, "HUE", "Hue"},
    {14, "SATURATION", "Saturation"},
    {15, "COLOR", "Color"},
    {16, "LUMINOSITY", "Luminosity"},
    {17, "MULTIPLY_ALPHA", "Multiply Alpha"},
    {18, "MULTIPLY_ALPHA_LUMA", "Multiply Alpha Luma"},
    {19, "MULTIPLY_NOT_ALPHA", "Multiply Not Alpha"},
    {20, "MULTIPLY_NOT_ALPHA_LUMA", "Multiply Not Alpha Luma"},
    {21, "ADDITIVE_PREMULTIPLIED", "Additive Premultiplied"},
    {22, "ALPHA_ADD", "Alpha Add"},
    {23, "CLASSIC_COLOR_DODGE", "Classic Color Dodge"},
    {24, "CLASSIC_COLOR_BURN", "Classic Color Burn"},
    {25, "EXCLUSION", "Exclusion"},
    {26, "DIFFERENCE", "Difference"},
    {27, "COLOR_DODGE", "Color Dodge"},
    {28, "COLOR_BURN", "Color Burn"},
    {29, "LINEAR_DODGE", "Linear Dodge"},
    {30, "LINEAR_BURN", "Linear Burn"},
    {31, "LINEAR_LIGHT", "Linear Light"},
    {32, "VIVID_LIGHT", "Vivid Light"},
    {33, "PIN_LIGHT", "Pin Light"},
    {34, "HARD_MIX", "Hard Mix"},
    {35, "LIGHTER_COLOR", "Lighter Color"},
    {36, "DARKER_COLOR", "Darker Color"},
    {37, "SUBTRACT", "Subtract"},
    {38, "DIVIDE", "Divide"},
});

constexpr auto make_modes() {
    std::array<BlendingModeName, kModes.size()> modes{};
    for (std::size_t i = 0; i < kModes.size(); ++i)
        modes[i] = {kModes[i].transferMode, kModes[i].name, kModes[i].label,
                    kBlendingBase + static_cast<int>(i)};
    return modes;
}

constexpr auto kBlendingModes = make_modes();

constexpr std::array<TrackMatteName, 5> kTrackMattes = {{
    {TrackMatte::None, "NO_TRACK_MATTE", "No Track Matte", kTrackMatteBase},
    {TrackMatte::Alpha, "ALPHA", "Alpha Matte", kTrackMatteBase + 1},
    {TrackMatte::AlphaInverted, "ALPHA_INVERTED", "Alpha Inverted Matte", kTrackMatteBase + 2},
    {TrackMatte::Luma, "LUMA", "Luma Matte", kTrackMatteBase + 3},
    {TrackMatte::LumaInverted, "LUMA_INVERTED", "Luma Inverted Matte", kTrackMatteBase + 4},
}};

template <typename Table, typename Match>
auto find_in(const Table& table, const Match& match) -> decltype(&table[0]) {
    const auto found = std::find_if(table.begin(), table.end(), match);
    return found == table.end() ? nullptr : &*found;
}

}  // namespace

std::span<const BlendingModeName> blending_modes() { return kBlendingModes; }

const BlendingModeName* blending_mode_of(std::int32_t transferMode) {
    return find_in(kBlendingModes,
                   [&](const BlendingModeName& m) { return m.transferMode == transferMode; });
}

const BlendingModeName* blending_mode_named(std::string_view name) {
    return find_in(kBlendingModes, [&](const BlendingModeName& m) { return m.name == name; });
}

const BlendingModeName* blending_mode_by_script_value(double value) {
    return find_in(kBlendingModes,
                   [&](const BlendingModeName& m) { return m.scriptValue == value; });
}

std::span<const TrackMatteName> track_matte_names() { return kTrackMattes; }

const TrackMatteName& track_matte_name(TrackMatte kind) {
    return kTrackMattes[static_cast<std::size_t>(kind)];
}

const TrackMatteName* track_matte_named(std::string_view name) {
    return find_in(kTrackMattes, [&](const TrackMatteName& m) { return m.name == name; });
}

const TrackMatteName* track_matte_by_script_value(double value) {
    return find_in(kTrackMattes, [&](const TrackMatteName& m) { return m.scriptValue == value; });
}

}  // namespace host::model
