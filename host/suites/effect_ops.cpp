// Effects on layers. Only the "active" flag (0x1) is kept; other flag bits
// are neither reported nor changed. Cameras and lights take no effects.
#include "model/effects_catalog.h"
#include "suites/ops.h"
#include "suites/session.h"

namespace host::suites::ops {

A_Err AEGP_GetLayerNumEffects(AEGP_LayerH layerH, A_long* num_effectsPL) {
    return run(__func__, [&](Session& s) {
        out(num_effectsPL) = static_cast<A_long>(s.layer(layerH).effects.size());
        return A_Err_NONE;
    });
}

A_Err AEGP_GetLayerEffectByIndex(AEGP_PluginID plugin_id, AEGP_LayerH layerH,
                                 AEGP_EffectIndex layer_effect_indexL, AEGP_EffectRefH* effectPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Layer& layer = s.layer(layerH);
        AEGP_EffectRefH& effect = out(effectPH);
        if (layer_effect_indexL < 0 ||
            static_cast<std::size_t>(layer_effect_indexL) >= layer.effects.size())
            throw BadArgument("effect index out of range");
        const model::Effect& chosen = layer.effects[static_cast<std::size_t>(layer_effect_indexL)];
        effect = s.registry().new_effect(EffectRefData{layer.id, chosen.id});
        return A_Err_NONE;
    });
}

A_Err AEGP_GetInstalledKeyFromLayerEffect(AEGP_EffectRefH effect_refH,
                                          AEGP_InstalledEffectKey* installed_effect_keyP) {
    return run(__func__, [&](Session& s) {
        out(installed_effect_keyP) = s.effect(effect_refH).installedKey;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetEffectFlags(AEGP_EffectRefH effect_refH, AEGP_EffectFlags* effect_flagsP) {
    return run(__func__, [&](Session& s) {
        out(effect_flagsP) =
            s.effect(effect_refH).active ? AEGP_EffectFlags_ACTIVE : AEGP_EffectFlags_NONE;
        return A_Err_NONE;
    });
}

A_Err AEGP_SetEffectFlags(AEGP_EffectRefH effect_refH, AEGP_EffectFlags effect_flags_set_mask,
                          AEGP_EffectFlags effect_flags) {
    return run(__func__, [&](Session& s) {
        model::Effect& effect = s.effect(effect_refH);
        if ((effect_flags_set_mask & AEGP_EffectFlags_ACTIVE) != 0)
            effect.active = (effect_flags & AEGP_EffectFlags_ACTIVE) != 0;
        return A_Err_NONE;
    });
}

A_Err AEGP_DisposeEffect(AEGP_EffectRefH effect_refH) {
    return run(__func__, [&](Session& s) {
        s.registry().dispose_effect(effect_refH);
        return A_Err_NONE;
    });
}

A_Err AEGP_ApplyEffect(AEGP_PluginID plugin_id, AEGP_LayerH layerH,
                       AEGP_InstalledEffectKey installed_effect_key,
                       AEGP_EffectRefH* effect_refPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        model::Layer& layer = s.layer(layerH);
        AEGP_EffectRefH& effect = out(effect_refPH);
        if (layer.kind == model::LayerKind::Camera || layer.kind == model::LayerKind::Light)
            throw BadArgument("cameras and lights take no effects");
        const model::InstalledEffect* kind = model::find_installed_effect(installed_effect_key);
        if (kind == nullptr) throw BadArgument("no installed effect has this key");
        layer.effects.push_back(model::make_effect(s.project(), *kind));
        effect = s.registry().new_effect(EffectRefData{layer.id, layer.effects.back().id});
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
