#include "model/effects_catalog.h"

#include "model/project_ops.h"

namespace host::model {

namespace {

Stream param(std::string name, StreamKind kind, std::vector<double> value, bool canVary = true) {
    Stream s;
    s.name = std::move(name);
    s.kind = kind;
    s.value = std::move(value);
    s.canVary = canVary;
    return s;
}

InstalledEffect effect(std::int32_t key, std::string matchName, std::string name,
                       std::vector<Stream> params) {
    params.insert(params.begin(), param(name, StreamKind::NoData, {}, false));
    return InstalledEffect{key, std::move(matchName), std::move(name), std::move(params)};
}

std::vector<InstalledEffect> build_catalog() {
    using K = StreamKind;
    return {
        effect(1, "host.gaussian-blur", "Gaussian Blur",
               {param("Blurriness", K::OneD, {0}), param("Blur Dimensions", K::OneD, {1}),
                param("Repeat Edge Pixels", K::OneD, {0})}),
        effect(2, "host.fill", "Fill",
               {param("Fill Mask", K::MaskId, {0}, false), param("All Masks", K::OneD, {0}),
                param("Color", K::Color, {1, 1, 0, 0}), param("Invert", K::OneD, {0}),
                param("Horizontal Feather", K::OneD, {0}), param("Vertical Feather", K::OneD, {0}),
                param("Opacity", K::OneD, {1})}),
        effect(3, "host.slider-control", "Slider Control", {param("Slider", K::OneD, {0})}),
        effect(4, "host.point-control", "Point Control",
               {param("Point", K::TwoDSpatial, {960, 540})}),
        effect(5, "host.color-control", "Color Control", {param("Color", K::Color, {1, 1, 0, 0})}),
        effect(6, "host.drop-shadow", "Drop Shadow",
               {param("Shadow Color", K::Color, {1, 0, 0, 0}), param("Opacity", K::OneD, {0.5}),
                param("Direction", K::OneD, {135}), param("Distance", K::OneD, {5}),
                param("Softness", K::OneD, {0}), param("Shadow Only", K::OneD, {0})}),
        effect(7, "host.layer-control", "Layer Control", {param("Layer", K::LayerId, {0}, false)}),
        effect(8, "host.transform", "Transform",
               {param("Anchor Point", K::TwoDSpatial, {960, 540}),
                param("Position", K::TwoDSpatial, {960, 540}), param("Scale", K::OneD, {100}),
                param("Skew", K::OneD, {0}), param("Rotation", K::OneD, {0}),
                param("Opacity", K::OneD, {100})}),
    };
}

}  // namespace

const std::vector<InstalledEffect>& installed_effects() {
    static const std::vector<InstalledEffect> catalog = build_catalog();
    return catalog;
}

const InstalledEffect* find_installed_effect(std::int32_t key) {
    for (const InstalledEffect& kind : installed_effects()) {
        if (kind.key == key) return &kind;
    }
    return nullptr;
}

const InstalledEffect* find_installed_effect(const std::string& matchName) {
    for (const InstalledEffect& kind : installed_effects()) {
        if (kind.matchName == matchName) return &kind;
    }
    return nullptr;
}

Effect make_effect(Project& project, const InstalledEffect& kind) {
    Effect instance;
    instance.id = new_id(project);
    instance.installedKey = kind.key;
    instance.matchName = kind.matchName;
    instance.name = kind.name;
    instance.active = true;
    instance.params = kind.params;
    return instance;
}

}  // namespace host::model
