#include "extract/whole_layer.h"

#include <cstdio>
#include <vector>

#include "attributes/stream_transfer.h"
#include "extract/rename.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// Switches a plain inner layer may have; video must be on.
constexpr AEGP_LayerFlags kPlainFlags = AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_AUDIO_ACTIVE |
                                        AEGP_LayerFlag_EFFECTS_ACTIVE | AEGP_LayerFlag_LOCKED;

bool is_zero(const A_Time& time) { return time.value == 0; }

bool is_full_speed(const A_Ratio& stretch) {
    return stretch.num != 0 && static_cast<A_u_long>(stretch.num) == stretch.den;
}

A_Err is_plain_layer(HostSuites& suites, AEGP_LayerH layer, AEGP_ItemH* source, bool* plain) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    AEGP_ObjectType type = AEGP_ObjectType_NONE;
    AEGP_LayerFlags flags = 0;
    AEGP_LayerH parent = nullptr;
    A_long effects = 0;
    AEGP_LayerTransferMode mode{};
    A_Time inPoint{0, 1}, offset{0, 1};
    A_Ratio stretch{1, 1};
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerObjectType(layer, &type); })
        .then([&] { return layers.AEGP_GetLayerSourceItem(layer, source); })
        .then([&] { return layers.AEGP_GetLayerFlags(layer, &flags); })
        .then([&] { return layers.AEGP_GetLayerParent(layer, &parent); })
        .then([&] {
            return suites.get<AEGP_EffectSuite_v3>().AEGP_GetLayerNumEffects(layer, &effects);
        })
        .then([&] { return layers.AEGP_GetLayerTransferMode(layer, &mode); })
        .then(
            [&] { return layers.AEGP_GetLayerInPoint(layer, AEGP_LTimeMode_LayerTime, &inPoint); })
        .then([&] { return layers.AEGP_GetLayerOffset(layer, &offset); })
        .then([&] { return layers.AEGP_GetLayerStretch(layer, &stretch); });
    *plain = err.ok() && type == AEGP_ObjectType_AV && *source != nullptr &&
             (flags & AEGP_LayerFlag_VIDEO_ACTIVE) != 0 && (flags & ~kPlainFlags) == 0 &&
             parent == nullptr && effects == 0 && mode.mode == PF_Xfer_IN_FRONT &&
             mode.flags == 0 && mode.track_matte == AEGP_TrackMatte_NO_TRACK_MATTE &&
             is_zero(inPoint) && is_zero(offset) && is_full_speed(stretch);
    return err.code();
}

// Values are compared as the engine reads them; a 2D layer's missing z counts
// as 0. The IIFE's value is the script's.
constexpr char kWholeLayerCopy[] = R"JS((function (L, S) {
    var C = L.source, I = C.layer(1), t = I.transform;
    function still(p, v) {
        if (p === null) return true;
        if (p.isTimeVarying || p.numKeys !== 0) return false;
        var a = typeof p.value === "number" ? [p.value] : p.value;
        for (var k = 0; k < a.length; ++k) if (a[k] !== (k < v.length ? v[k] : 0)) return false;
        return true;
    }
    var plain = !I.nullLayer && !I.dimensionsSeparated &&
        I.property("ADBE Mask Parade").numProperties === 0 &&
        I.property("ADBE Marker").numKeys === 0 &&
        C.width === S.width && C.height === S.height && C.pixelAspect === S.pixelAspect &&
        I.inPoint === 0 && I.outPoint === C.duration &&
        still(t.anchorPoint, [S.width / 2, S.height / 2]) &&
        still(t.position, [C.width / 2, C.height / 2]) && still(t.scale, [100, 100, 100]) &&
        still(t.rotation, [0]) && still(t.opacity, [100]) && still(t.xRotation, [0]) &&
        still(t.yRotation, [0]) && still(t.orientation, [0]);
    if (!plain) return "no";
    L.duplicate().replaceSource(S, false);
    return "yes";
})(app.project.itemByID(%ld).layer(%ld), app.project.itemByID(%ld));)JS";

}  // namespace

A_Err find_plain_inner_layer(HostSuites& suites, AEGP_LayerH precompLayer, bool* candidate,
                             AEGP_LayerH* inner, AEGP_ItemH* source) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    *candidate = false;
    AEGP_ItemH precomp = nullptr;
    AEGP_CompH comp = nullptr;
    AEGP_LayerFlags flags = 0;
    A_long count = 0;
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerFlags(precompLayer, &flags); })
        .then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &precomp); })
        .then([&] { return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(precomp, &comp); })
        .then([&] { return layers.AEGP_GetCompNumLayers(comp, &count); });
    if (!err.ok() || count != 1 || (flags & AEGP_LayerFlag_COLLAPSE) != 0) return err.code();
    err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, 0, inner); }).then([&] {
        return is_plain_layer(suites, *inner, source, candidate);
    });
    return err.code();
}

std::string whole_layer_copy_script(A_long parentId, A_long precompIndex, A_long sourceId) {
    std::vector<char> script(sizeof kWholeLayerCopy + 60);
    std::snprintf(script.data(), script.size(), kWholeLayerCopy, long(parentId), long(precompIndex),
                  long(sourceId));
    return script.data();
}

A_Err give_inner_identity(const PluginInfo* info, AEGP_LayerH inner, AEGP_LayerH copy) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        std::u16string name;
        A_Boolean audible = false;
        bool animated = false;
        RunningError err;
        err.then([&] { return get_own_layer_name(info, inner, &name); })
            .then([&] { return set_layer_name(info, copy, name); })
            .then([&] {
                return suites.get<AEGP_StreamSuite_v9>().AEGP_IsStreamLegal(
                    inner, AEGP_LayerStream_AUDIO, &audible);
            });
        if (audible) {
            err.then([&] {
                return copy_layer_stream(info, copy, inner, AEGP_LayerStream_AUDIO, &animated);
            });
        }
        return err.code();
    });
}

}  // namespace outfold
