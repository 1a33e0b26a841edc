#include "placement/timing.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// The span the pre-comp layer shows, in composition time.
struct PrecompTimes {
    A_Time inPoint{0, 0};
    A_Time duration{0, 0};
    A_Time offset{0, 0};
};

bool fits_host_time(std::int64_t value) {
    return value >= std::numeric_limits<A_long>::min() &&
           value <= std::numeric_limits<A_long>::max();
}

// `time` in units of 1/scale seconds, rounded to the nearest unit (halves
// away from zero). Equal scales pass the value through unchanged. |value| is
// at most 2^31 and scale below 2^32, so the product fits 64 bits.
A_Err rescale(const A_Time& time, A_u_long scale, std::int64_t* value) {
    if (time.scale == 0 || scale == 0) return A_Err_PARAMETER;
    if (time.scale == scale) {
        *value = time.value;
        return A_Err_NONE;
    }
    const std::int64_t numerator = std::int64_t{time.value} * std::int64_t{scale};
    const std::int64_t denominator = time.scale;
    const std::int64_t half = denominator / 2;
    *value = numerator >= 0 ? (numerator + half) / denominator : (numerator - half) / denominator;
    return fits_host_time(*value) ? A_Err_NONE : A_Err_PARAMETER;
}

A_Err host_time(std::int64_t value, A_u_long scale, A_Time* time) {
    if (!fits_host_time(value)) return A_Err_PARAMETER;
    *time = A_Time{static_cast<A_long>(value), scale};
    return A_Err_NONE;
}

A_Err read_precomp_times(HostSuites& suites, AEGP_LayerH precompLayer, PrecompTimes* times,
                         AEGP_CompH* parentComp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] {
           return layers.AEGP_GetLayerInPoint(precompLayer, AEGP_LTimeMode_CompTime,
                                              &times->inPoint);
       })
        .then([&] {
            return layers.AEGP_GetLayerDuration(precompLayer, AEGP_LTimeMode_CompTime,
                                                &times->duration);
        })
        .then([&] { return layers.AEGP_GetLayerOffset(precompLayer, &times->offset); })
        .then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, parentComp); });
    return err.code();
}

// Moves the layer in time by the pre-comp layer's offset, keeping its length.
A_Err shift_layer(HostSuites& suites, AEGP_LayerH layer, const A_Time& precompOffset) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    A_Time offset{0, 0};
    std::int64_t shift = 0;
    err.then([&] { return layers.AEGP_GetLayerOffset(layer, &offset); })
        .then([&] { return rescale(precompOffset, offset.scale, &shift); })
        .then([&] { return host_time(offset.value + shift, offset.scale, &offset); })
        .then([&] { return layers.AEGP_SetLayerOffset(layer, &offset); });
    return err.code();
}

A_Err switch_off(HostSuites& suites, AEGP_LayerH layer) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, false); })
        .then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_AUDIO_ACTIVE, false); });
    return err.code();
}

// Keeps the part of the layer's span that lies inside the pre-comp layer's;
// all values in the scale of the layer's in point.
A_Err trim_layer(HostSuites& suites, AEGP_LayerH layer, const PrecompTimes& precomp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    A_Time inPoint{0, 0};
    A_Time duration{0, 0};
    std::int64_t length = 0;
    std::int64_t precompIn = 0;
    std::int64_t precompLength = 0;
    err.then([&] { return layers.AEGP_GetLayerInPoint(layer, AEGP_LTimeMode_CompTime, &inPoint); })
        .then(
            [&] { return layers.AEGP_GetLayerDuration(layer, AEGP_LTimeMode_CompTime, &duration); })
        .then([&] { return rescale(duration, inPoint.scale, &length); })
        .then([&] { return rescale(precomp.inPoint, inPoint.scale, &precompIn); })
        .then([&] { return rescale(precomp.duration, inPoint.scale, &precompLength); });
    if (!err.ok()) return err.code();
    const std::int64_t layerIn = inPoint.value;
    const std::int64_t start = std::max(layerIn, precompIn);
    const std::int64_t end = std::min(layerIn + length, precompIn + precompLength);
    if (end <= start) return switch_off(suites, layer);
    if (start == layerIn && end == layerIn + length) return err.code();
    A_Time newIn{0, 0};
    A_Time newDuration{0, 0};
    err.then([&] { return host_time(start, inPoint.scale, &newIn); })
        .then([&] { return host_time(end - start, inPoint.scale, &newDuration); })
        .then([&] {
            return layers.AEGP_SetLayerInPointAndDuration(layer, AEGP_LTimeMode_CompTime, &newIn,
                                                          &newDuration);
        });
    return err.code();
}

A_Err retime_layer(HostSuites& suites, AEGP_CompH comp, A_long index, const PrecompTimes& precomp) {
    RunningError err;
    AEGP_LayerH layer = nullptr;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(comp, index, &layer);
       })
        .then([&] { return shift_layer(suites, layer, precomp.offset); })
        .then([&] { return trim_layer(suites, layer, precomp); });
    return err.code();
}

}  // namespace

A_Err retime_extracted_layers(const PluginInfo* info, AEGP_LayerH precompLayer,
                              ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        PrecompTimes precomp;
        AEGP_CompH parentComp = nullptr;
        err.then([&] { return read_precomp_times(suites, precompLayer, &precomp, &parentComp); });
        const auto count = static_cast<A_long>(list.size());
        for (A_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return retime_layer(suites, parentComp, i, precomp); });
        }
        return err.code();
    });
}

}  // namespace outfold
