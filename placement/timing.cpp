#include "placement/timing.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>

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

// A time as value / scale seconds with room to add and compare exactly.
struct ExactTime {
    std::int64_t value = 0;
    std::int64_t scale = 1;
};

bool fits_host_time(std::int64_t value) {
    return value >= std::numeric_limits<A_long>::min() &&
           value <= std::numeric_limits<A_long>::max();
}

// Both times over one scale (the least common one), so they can be added and
// compared by value. Scales beyond the host's 32 bits are refused.
A_Err common_scale(ExactTime* a, ExactTime* b) {
    if (a->scale <= 0 || b->scale <= 0) return A_Err_PARAMETER;
    const std::int64_t scale = std::lcm(a->scale, b->scale);
    if (scale > std::numeric_limits<A_u_long>::max()) return A_Err_PARAMETER;
    a->value *= scale / a->scale;
    b->value *= scale / b->scale;
    a->scale = b->scale = scale;
    return A_Err_NONE;
}

ExactTime exact(const A_Time& time) { return ExactTime{time.value, std::int64_t{time.scale}}; }

A_Err sum(ExactTime a, ExactTime b, ExactTime* out) {
    RunningError err;
    err.then([&] { return common_scale(&a, &b); });
    if (err.ok()) *out = ExactTime{a.value + b.value, a.scale};
    return err.code();
}

A_Err host_time(const ExactTime& time, A_Time* out) {
    if (!fits_host_time(time.value) || time.scale <= 0) return A_Err_PARAMETER;
    *out = A_Time{static_cast<A_long>(time.value), static_cast<A_u_long>(time.scale)};
    return A_Err_NONE;
}

A_Err read_precomp_times(HostSuites& suites, AEGP_LayerH precompLayer, PrecompTimes* times,
                         AEGP_CompH* parentComp, AEGP_CompH* sourceComp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_ItemH source = nullptr;
    err.then([&] {
           return layers.AEGP_GetLayerInPoint(precompLayer, AEGP_LTimeMode_CompTime,
                                              &times->inPoint);
       })
        .then([&] {
            return layers.AEGP_GetLayerDuration(precompLayer, AEGP_LTimeMode_CompTime,
                                                &times->duration);
        })
        .then([&] { return layers.AEGP_GetLayerOffset(precompLayer, &times->offset); })
        .then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, parentComp); })
        .then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &source); })
        .then([&] {
            return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(source, sourceComp);
        });
    return err.code();
}

// The times of a layer inside the pre-comp, read in the pre-comp itself,
// whose time base holds them exactly whatever the outer frame rate.
struct InnerTimes {
    A_Time offset{0, 0};
    A_Time inPoint{0, 0};  // composition time
    A_Time duration{0, 0};
};

A_Err read_inner_times(HostSuites& suites, AEGP_LayerH inner, InnerTimes* times) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerOffset(inner, &times->offset); })
        .then([&] {
            return layers.AEGP_GetLayerInPoint(inner, AEGP_LTimeMode_CompTime, &times->inPoint);
        })
        .then([&] {
            return layers.AEGP_GetLayerDuration(inner, AEGP_LTimeMode_CompTime, &times->duration);
        });
    return err.code();
}

// Moves the copy in time to the inner layer's offset plus the pre-comp
// layer's; a pre-comp layer at offset 0 leaves the copy as it came.
A_Err shift_copy(HostSuites& suites, AEGP_LayerH copy, const InnerTimes& inner,
                 const PrecompTimes& precomp) {
    if (precomp.offset.value == 0) return A_Err_NONE;
    RunningError err;
    ExactTime shifted;
    A_Time offset{0, 0};
    err.then([&] { return sum(exact(inner.offset), exact(precomp.offset), &shifted); })
        .then([&] { return host_time(shifted, &offset); })
        .then([&] { return suites.get<AEGP_LayerSuite_v11>().AEGP_SetLayerOffset(copy, &offset); });
    return err.code();
}

A_Err switch_off(HostSuites& suites, AEGP_LayerH layer) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, false); })
        .then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_AUDIO_ACTIVE, false); });
    return err.code();
}

// Where a span starts and ends, both over one scale.
struct Span {
    ExactTime start;
    ExactTime end;
};

A_Err span_of(ExactTime start, ExactTime length, Span* span) {
    RunningError err;
    span->start = start;
    err.then([&] { return sum(start, length, &span->end); }).then([&] {
        return common_scale(&span->start, &span->end);
    });
    return err.code();
}

// Keeps the part of the copy's span (the inner layer's, moved by the
// pre-comp layer's offset) that lies inside the pre-comp layer's span.
A_Err trim_copy(HostSuites& suites, AEGP_LayerH copy, const InnerTimes& inner,
                const PrecompTimes& precomp) {
    RunningError err;
    ExactTime copyIn;
    Span layer;
    Span shown;
    err.then([&] { return sum(exact(inner.inPoint), exact(precomp.offset), &copyIn); })
        .then([&] { return span_of(copyIn, exact(inner.duration), &layer); })
        .then([&] { return span_of(exact(precomp.inPoint), exact(precomp.duration), &shown); })
        .then([&] { return common_scale(&layer.start, &shown.start); })
        .then([&] { return common_scale(&layer.end, &shown.end); })
        .then([&] { return common_scale(&layer.start, &layer.end); })
        .then([&] { return common_scale(&shown.start, &shown.end); });
    if (!err.ok()) return err.code();
    const std::int64_t scale = layer.start.scale;
    const std::int64_t start = std::max(layer.start.value, shown.start.value);
    const std::int64_t end = std::min(layer.end.value, shown.end.value);
    if (end <= start) return switch_off(suites, copy);
    if (start == layer.start.value && end == layer.end.value) return err.code();
    A_Time newIn{0, 0};
    A_Time newDuration{0, 0};
    err.then([&] {
           return host_time(ExactTime{start, scale}, &newIn);
       })
        .then([&] {
            return host_time(ExactTime{end - start, scale}, &newDuration);
        })
        .then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_SetLayerInPointAndDuration(
                copy, AEGP_LTimeMode_CompTime, &newIn, &newDuration);
        });
    return err.code();
}

struct Comps {
    AEGP_CompH parent = nullptr;
    AEGP_CompH source = nullptr;
};

A_Err retime_layer(HostSuites& suites, const Comps& comps, A_long index,
                   const PrecompTimes& precomp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_LayerH copy = nullptr;
    AEGP_LayerH inner = nullptr;
    InnerTimes times;
    err.then([&] { return layers.AEGP_GetCompLayerByIndex(comps.parent, index, &copy); })
        .then([&] { return layers.AEGP_GetCompLayerByIndex(comps.source, index, &inner); })
        .then([&] { return read_inner_times(suites, inner, &times); })
        .then([&] { return shift_copy(suites, copy, times, precomp); })
        .then([&] { return trim_copy(suites, copy, times, precomp); });
    return err.code();
}

}  // namespace

A_Err retime_extracted_layers(const PluginInfo* info, AEGP_LayerH precompLayer,
                              ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        PrecompTimes precomp;
        Comps comps;
        err.then([&] {
            return read_precomp_times(suites, precompLayer, &precomp, &comps.parent, &comps.source);
        });
        const auto count = static_cast<A_long>(list.size());
        for (A_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return retime_layer(suites, comps, i, precomp); });
        }
        return err.code();
    });
}

}  // namespace outfold
