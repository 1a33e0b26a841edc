#include "attributes/look_transfer.h"

#include <algorithm>
#include <string>

#include "expressions/script_string.h"
#include "extract/rename.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/text.h"

namespace outfold {

namespace {

// What the pre-comp layer does to every layer it shows; read once.
struct Look {
    AEGP_LayerFlags flags = 0;
    AEGP_LayerTransferMode mode{};
    // The carrier's opacity as an expression term, when the pre-comp layer's varies.
    std::string opacityFactor;
};

// Switches the pre-comp layer has off (or, for shy, on) that its copies take over.
constexpr struct {
    AEGP_LayerFlags flag;
    bool whenSet;
} kCarriedSwitches[] = {
    {AEGP_LayerFlag_VIDEO_ACTIVE, false},
    {AEGP_LayerFlag_AUDIO_ACTIVE, false},
    {AEGP_LayerFlag_SHY, true},
};

A_Err opacity_varies(HostSuites& suites, const PluginInfo* info, AEGP_LayerH layer,
                     A_Boolean* varies) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> opacity(streams.AEGP_DisposeStream);
    RunningError err;
    err.then([&] {
           return streams.AEGP_GetNewLayerStream(info->pluginId, layer, AEGP_LayerStream_OPACITY,
                                                 opacity.out());
       })
        .then([&] { return streams.AEGP_IsStreamTimevarying(opacity.get(), varies); });
    err.keep_first(opacity.release());
    return err.code();
}

A_Err read_look(HostSuites& suites, const PluginInfo* info, AEGP_LayerH precompLayer,
                AEGP_LayerH carrierNull, Look* look) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    A_Boolean varies = false;
    std::u16string carrierName;
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerFlags(precompLayer, &look->flags); })
        .then([&] { return layers.AEGP_GetLayerTransferMode(precompLayer, &look->mode); })
        .then([&] { return opacity_varies(suites, info, precompLayer, &varies); });
    if (err.ok() && varies) {
        err.then([&] { return get_layer_name(info, carrierNull, &carrierName); });
        look->opacityFactor = "thisComp.layer(" + script_string_literal(to_utf8(carrierName)) +
                              ").transform.opacity / 100";
    }
    return err.code();
}

// Only switches the copy does not have yet are written: a layer without sound
// is never asked to go silent.
A_Err carry_switches(const AEGP_LayerSuite_v11& layers, const Look& look, AEGP_LayerH copy) {
    const auto carried_from_precomp = [&](const auto& carried) {
        return ((look.flags & carried.flag) != 0) == carried.whenSet;
    };
    if (std::ranges::none_of(kCarriedSwitches, carried_from_precomp)) return A_Err_NONE;
    AEGP_LayerFlags own = 0;
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerFlags(copy, &own); });
    for (const auto& carried : kCarriedSwitches) {
        if (!carried_from_precomp(carried) || ((own & carried.flag) != 0) == carried.whenSet)
            continue;
        err.then([&] { return layers.AEGP_SetLayerFlag(copy, carried.flag, carried.whenSet); });
    }
    return err.code();
}

// A copy of its own Normal mode is drawn as the pre-comp layer drew it.
A_Err carry_blending(const AEGP_LayerSuite_v11& layers, const Look& look, AEGP_LayerH copy,
                     LookLosses* losses) {
    if (look.mode.mode == PF_Xfer_IN_FRONT) return A_Err_NONE;
    AEGP_LayerTransferMode own{};
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerTransferMode(copy, &own); });
    if (err.ok() && own.mode != PF_Xfer_IN_FRONT) ++losses->ownBlendingModes;
    if (!err.ok() || own.mode != PF_Xfer_IN_FRONT) return err.code();
    own.mode = look.mode.mode;
    err.then([&] { return layers.AEGP_SetLayerTransferMode(copy, &own); });
    return err.code();
}

// The copy's own opacity times the carrier's, unless an enabled expression of
// its own already decides it.
A_Err carry_opacity(HostSuites& suites, const PluginInfo* info, const Look& look, AEGP_LayerH copy,
                    LookLosses* losses) {
    if (look.opacityFactor.empty()) return A_Err_NONE;
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> opacity(streams.AEGP_DisposeStream);
    A_Boolean enabled = false;
    RunningError err;
    err.then([&] {
           return streams.AEGP_GetNewLayerStream(info->pluginId, copy, AEGP_LayerStream_OPACITY,
                                                 opacity.out());
       })
        .then([&] {
            return streams.AEGP_GetExpressionState(info->pluginId, opacity.get(), &enabled);
        });
    if (err.ok() && enabled) ++losses->ownOpacityExpressions;
    if (err.ok() && !enabled) {
        const std::string text = "value * " + look.opacityFactor;
        err.then([&] {
               return streams.AEGP_SetExpression(info->pluginId, opacity.get(), text.c_str());
           })
            .then([&] {
                return streams.AEGP_SetExpressionState(info->pluginId, opacity.get(), true);
            });
    }
    err.keep_first(opacity.release());
    return err.code();
}

}  // namespace

A_Err carry_look_to_layers(const PluginInfo* info, AEGP_LayerH precompLayer,
                           AEGP_LayerH carrierNull, AEGP_Collection2H copies, bool* keepsCarrier,
                           LookLosses* losses) {
    if (keepsCarrier == nullptr || losses == nullptr) return A_Err_PARAMETER;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        Look look;
        A_u_long count = 0;
        RunningError err;
        err.then([&] { return read_look(suites, info, precompLayer, carrierNull, &look); })
            .then([&] { return collections.AEGP_GetCollectionNumItems(copies, &count); });
        if (err.ok() && !look.opacityFactor.empty()) *keepsCarrier = true;
        AEGP_CollectionItemV2 item{};
        for (A_u_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return collections.AEGP_GetCollectionItemByIndex(copies, i, &item); });
            if (!err.ok() || item.type != AEGP_CollectionItemType_LAYER) continue;
            const AEGP_LayerH copy = item.u.layer.layerH;
            err.then([&] { return carry_switches(layers, look, copy); })
                .then([&] { return carry_blending(layers, look, copy, losses); })
                .then([&] { return carry_opacity(suites, info, look, copy, losses); });
        }
        return err.code();
    });
}

}  // namespace outfold
