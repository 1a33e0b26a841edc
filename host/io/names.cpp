#include "io/names.h"

#include <stdexcept>
#include <utility>

#include "model/blending.h"

namespace host::io {

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

const std::pair<model::StreamKind, const char*> kStreamKinds[] = {
    {model::StreamKind::NoData, "nodata"},     {model::StreamKind::ThreeDSpatial, "3d-spatial"},
    {model::StreamKind::ThreeD, "3d"},         {model::StreamKind::TwoDSpatial, "2d-spatial"},
    {model::StreamKind::TwoD, "2d"},           {model::StreamKind::OneD, "1d"},
    {model::StreamKind::Color, "color"},       {model::StreamKind::Arbitrary, "arbitrary"},
    {model::StreamKind::Marker, "marker"},     {model::StreamKind::LayerId, "layer-id"},
    {model::StreamKind::MaskId, "mask-id"},    {model::StreamKind::Mask, "mask"},
    {model::StreamKind::TextDocument, "text"},
};

const std::pair<model::Interpolation, const char*> kInterpolations[] = {
    {model::Interpolation::None, "none"},
    {model::Interpolation::Linear, "linear"},
    {model::Interpolation::Bezier, "bezier"},
    {model::Interpolation::Hold, "hold"},
};

const std::pair<model::LayerKind, const char*> kLayerKinds[] = {
    {model::LayerKind::AV, "av"},         {model::LayerKind::Light, "light"},
    {model::LayerKind::Camera, "camera"}, {model::LayerKind::Text, "text"},
    {model::LayerKind::Shape, "shape"},
};

const std::pair<std::uint32_t, const char*> kLayerFlags[] = {
    {0x1, "video"},          {0x2, "audio"},        {0x4, "effects"},     {0x8, "motionBlur"},
    {0x10, "frameBlending"}, {0x20, "locked"},      {0x40, "shy"},        {0x80, "collapse"},
    {0x100, "autoOrient"},   {0x200, "adjustment"}, {0x400, "timeRemap"}, {0x800, "3d"},
};

const std::pair<std::int32_t, const char*> kBlendingFlags[] = {
    {0x1, "preserveAlpha"},
    {0x2, "randomizeDissolve"},
};

template <class Enum, std::size_t N>
Enum from_name(const std::pair<Enum, const char*> (&table)[N], const std::string& name,
               const std::string& where, const char* what) {
    for (const auto& [value, word] : table) {
        if (name == word) return value;
    }
    fail(where, std::string("unknown ") + what + " '" + name + "'");
}

template <class Enum, std::size_t N>
std::string to_name(const std::pair<Enum, const char*> (&table)[N], Enum value) {
    for (const auto& [candidate, word] : table) {
        if (candidate == value) return word;
    }
    return "?";
}

std::string word(const nlohmann::json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "expected a word");
    return value.get<std::string>();
}

}  // namespace

std::string stream_kind_name(model::StreamKind kind) { return to_name(kStreamKinds, kind); }

model::StreamKind stream_kind_from(const nlohmann::json& value, const std::string& where) {
    return from_name(kStreamKinds, word(value, where), where, "stream kind");
}

std::string interpolation_name(model::Interpolation interpolation) {
    return to_name(kInterpolations, interpolation);
}

model::Interpolation interpolation_from(const nlohmann::json& value, const std::string& where) {
    return from_name(kInterpolations, word(value, where), where, "interpolation");
}

std::string layer_kind_name(model::LayerKind kind) { return to_name(kLayerKinds, kind); }

model::LayerKind layer_kind_from(const std::string& name, const std::string& where) {
    return from_name(kLayerKinds, name, where, "layer type");
}

nlohmann::json layer_flags_to(std::uint32_t flags) {
    nlohmann::json names = nlohmann::json::array();
    std::uint32_t named = 0;
    for (const auto& [bit, name] : kLayerFlags) {
        if ((flags & bit) != 0) {
            names.push_back(name);
            named |= bit;
        }
    }
    if (named != flags) return flags;
    return names;
}

std::uint32_t layer_flags_from(const nlohmann::json& value, const std::string& where) {
    if (value.is_number_unsigned() || value.is_number_integer()) return value.get<std::uint32_t>();
    if (!value.is_array()) fail(where, "flags are a list of names or a number");
    std::uint32_t flags = 0;
    for (const nlohmann::json& name : value)
        flags |= from_name(kLayerFlags, word(name, where), where, "flag");
    return flags;
}

nlohmann::json blending_mode_to(std::int32_t transferMode) {
    if (const model::BlendingModeName* mode = model::blending_mode_of(transferMode))
        return mode->name;
    return transferMode;
}

std::int32_t blending_mode_from(const nlohmann::json& value, const std::string& where) {
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < model::kFirstTransferMode || number > model::kLastTransferMode)
            fail(where, "no transfer mode " + std::to_string(number));
        return static_cast<std::int32_t>(number);
    }
    const std::string name = word(value, where);
    const model::BlendingModeName* mode = model::blending_mode_named(name);
    if (mode == nullptr) fail(where, "unknown blending mode '" + name + "'");
    return mode->transferMode;
}

nlohmann::json blending_flags_to(std::int32_t flags) {
    nlohmann::json names = nlohmann::json::array();
    for (const auto& [bit, name] : kBlendingFlags)
        if ((flags & bit) != 0) names.push_back(name);
    return names;
}

std::int32_t blending_flags_from(const nlohmann::json& value, const std::string& where) {
    if (!value.is_array()) fail(where, "blending flags are a list of names");
    std::int32_t flags = 0;
    for (const nlohmann::json& name : value)
        flags |= from_name(kBlendingFlags, word(name, where), where, "blending flag");
    return flags;
}

model::TrackMatte track_matte_from(const nlohmann::json& value, const std::string& where) {
    const std::string name = word(value, where);
    const model::TrackMatteName* matte = model::track_matte_named(name);
    if (matte == nullptr) fail(where, "unknown track matte '" + name + "'");
    return matte->kind;
}

}  // namespace host::io
