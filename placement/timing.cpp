#include "placement/timing.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/script_run.h"

namespace outfold {

namespace {

// A time or a stretch as an exact fraction, kept reduced so that products of
// stretches and times stay well inside 64 bits. Results that leave that room
// are refused rather than rounded.
struct Exact {
    std::int64_t num = 0;
    std::int64_t den = 1;
};

// Far enough from the 64-bit ends that a product of two in-range numbers can
// be tested before it is formed.
constexpr std::int64_t kRoom = std::int64_t{1} << 62;

bool in_room(std::int64_t x) { return x > -kRoom && x < kRoom; }

A_Err times(std::int64_t a, std::int64_t b, std::int64_t* out) {
    if (!in_room(a) || !in_room(b)) return A_Err_PARAMETER;
    if (a != 0 && (b > kRoom / (a < 0 ? -a : a) || b < -kRoom / (a < 0 ? -a : a)))
        return A_Err_PARAMETER;
    *out = a * b;
    return A_Err_NONE;
}

A_Err reduced(std::int64_t num, std::int64_t den, Exact* out) {
    if (den == 0 || !in_room(num) || !in_room(den)) return A_Err_PARAMETER;
    if (den < 0) num = -num, den = -den;
    const std::int64_t g = std::gcd(num, den);
    *out = Exact{num / g, den / g};
    return A_Err_NONE;
}

A_Err sum(Exact a, Exact b, Exact* out) {
    const std::int64_t g = std::gcd(a.den, b.den);
    std::int64_t left = 0, right = 0, den = 0;
    RunningError err;
    err.then([&] { return times(a.num, b.den / g, &left); })
        .then([&] { return times(b.num, a.den / g, &right); })
        .then([&] { return times(a.den / g, b.den, &den); })
        .then([&] { return reduced(left + right, den, out); });
    return err.code();
}

A_Err product(Exact a, Exact b, Exact* out) {
    // Denominators are positive, so neither divisor is 0.
    const std::int64_t g1 = std::gcd(a.num, b.den), g2 = std::gcd(b.num, a.den);
    std::int64_t num = 0, den = 0;
    RunningError err;
    err.then([&] { return times(a.num / g1, b.num / g2, &num); })
        .then([&] { return times(a.den / g2, b.den / g1, &den); })
        .then([&] { return reduced(num, den, out); });
    return err.code();
}

// a < b, both reduced with positive denominators.
A_Err less(Exact a, Exact b, bool* out) {
    std::int64_t left = 0, right = 0;
    RunningError err;
    err.then([&] { return times(a.num, b.den, &left); }).then([&] {
        return times(b.num, a.den, &right);
    });
    if (err.ok()) *out = left < right;
    return err.code();
}

A_Err exact(const A_Time& time, Exact* out) {
    return reduced(time.value, std::int64_t{time.scale}, out);
}

A_Err host_time(const Exact& time, A_Time* out) {
    if (time.num < std::numeric_limits<A_long>::min() ||
        time.num > std::numeric_limits<A_long>::max() ||
        time.den > std::int64_t{std::numeric_limits<A_u_long>::max()})
        return A_Err_PARAMETER;
    *out = A_Time{static_cast<A_long>(time.num), static_cast<A_u_long>(time.den)};
    return A_Err_NONE;
}

A_Err host_ratio(const Exact& ratio, A_Ratio* out) {
    A_Time fitted{0, 0};
    const A_Err err = host_time(ratio, &fitted);
    if (err == A_Err_NONE) *out = A_Ratio{fitted.value, fitted.scale};
    return err;
}

bool is_one(const Exact& x) { return x.num == 1 && x.den == 1; }

// Where a span starts and ends.
struct Span {
    Exact start;
    Exact end;
};

// What the pre-comp layer does to the times of what it shows: composition time
// = offset + stretch * pre-comp time, seen over `shown`.
struct PrecompTimes {
    Exact offset;
    Exact stretch;
    Span shown;
    // Whether the span's end lies at or past the composition's end, where a
    // trim would cut only what is never seen; asked when first needed.
    std::optional<bool> openEnd;
    AEGP_CompH parentComp = nullptr;
};

A_Err read_precomp_times(HostSuites& suites, AEGP_LayerH precompLayer, PrecompTimes* times,
                         AEGP_CompH* parentComp, AEGP_CompH* sourceComp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    A_Time inPoint{0, 0}, duration{0, 0}, offset{0, 0};
    A_Ratio stretch{1, 1};
    AEGP_ItemH source = nullptr;
    err.then([&] {
           return layers.AEGP_GetLayerInPoint(precompLayer, AEGP_LTimeMode_CompTime, &inPoint);
       })
        .then([&] {
            return layers.AEGP_GetLayerDuration(precompLayer, AEGP_LTimeMode_CompTime, &duration);
        })
        .then([&] { return layers.AEGP_GetLayerOffset(precompLayer, &offset); })
        .then([&] { return layers.AEGP_GetLayerStretch(precompLayer, &stretch); })
        .then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, parentComp); })
        .then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &source); })
        .then([&] {
            return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(source, sourceComp);
        });
    Exact length;
    err.then([&] { return exact(inPoint, &times->shown.start); })
        .then([&] { return exact(duration, &length); })
        .then([&] { return sum(times->shown.start, length, &times->shown.end); })
        .then([&] { return exact(offset, &times->offset); })
        .then([&] { return reduced(stretch.num, std::int64_t{stretch.den}, &times->stretch); });
    if (err.ok() && times->stretch.num == 0) return A_Err_PARAMETER;
    return err.code();
}

// A layer inside the pre-comp, read there, whose time base holds its times
// exactly whatever the outer frame rate.
struct InnerTimes {
    Exact offset;
    Exact stretch{1, 1};
    Span span;  // pre-comp time
};

A_Err read_inner_times(HostSuites& suites, AEGP_LayerH inner, bool stretched, InnerTimes* times) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    A_Time offset{0, 0}, inPoint{0, 0}, duration{0, 0};
    A_Ratio stretch{1, 1};
    err.then([&] { return layers.AEGP_GetLayerOffset(inner, &offset); })
        .then([&] { return layers.AEGP_GetLayerInPoint(inner, AEGP_LTimeMode_CompTime, &inPoint); })
        .then([&] {
            return layers.AEGP_GetLayerDuration(inner, AEGP_LTimeMode_CompTime, &duration);
        });
    // Only a stretched pre-comp layer changes the copy's stretch.
    if (stretched) err.then([&] { return layers.AEGP_GetLayerStretch(inner, &stretch); });
    Exact length;
    err.then([&] { return exact(offset, &times->offset); })
        .then([&] { return exact(inPoint, &times->span.start); })
        .then([&] { return exact(duration, &length); })
        .then([&] { return sum(times->span.start, length, &times->span.end); })
        .then([&] { return reduced(stretch.num, std::int64_t{stretch.den}, &times->stretch); });
    return err.code();
}

// A pre-comp time in composition time.
A_Err outer(const PrecompTimes& precomp, const Exact& t, Exact* out) {
    Exact scaled;
    RunningError err;
    err.then([&] { return product(precomp.stretch, t, &scaled); }).then([&] {
        return sum(precomp.offset, scaled, out);
    });
    return err.code();
}

// The copy runs as the inner layer ran, seen through the pre-comp layer: its
// offset and stretch are the inner ones mapped through the pre-comp layer's.
// Its in point and duration, in its own time, stay as they came.
A_Err map_copy(HostSuites& suites, AEGP_LayerH copy, const InnerTimes& inner,
               const PrecompTimes& precomp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    if (!is_one(precomp.stretch)) {
        Exact stretch;
        A_Ratio ratio{1, 1};
        err.then([&] { return product(inner.stretch, precomp.stretch, &stretch); })
            .then([&] { return host_ratio(stretch, &ratio); })
            .then([&] { return layers.AEGP_SetLayerStretch(copy, &ratio); });
    } else if (precomp.offset.num == 0) {
        return A_Err_NONE;
    }
    Exact shifted;
    A_Time offset{0, 0};
    err.then([&] { return outer(precomp, inner.offset, &shifted); })
        .then([&] { return host_time(shifted, &offset); })
        .then([&] { return layers.AEGP_SetLayerOffset(copy, &offset); });
    return err.code();
}

A_Err switch_off(HostSuites& suites, AEGP_LayerH layer) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, false); })
        .then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_AUDIO_ACTIVE, false); });
    return err.code();
}

// Whether the pre-comp layer's span ends at or past its composition's end.
A_Err span_reaches_comp_end(HostSuites& suites, const PluginInfo* info, PrecompTimes& precomp,
                            bool* reaches) {
    if (!precomp.openEnd) {
        RunningError err;
        AEGP_ItemH item = nullptr;
        A_long id = 0;
        std::string answer;
        err.then([&] {
               return suites.get<AEGP_CompSuite_v9>().AEGP_GetItemFromComp(precomp.parentComp,
                                                                           &item);
           })
            .then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(item, &id); })
            .then([&] {
                const std::string script =
                    "String(app.project.itemByID(" + std::to_string(id) + ").duration);";
                return execute_script(*info, suites, script.c_str(), &answer);
            });
        if (!err.ok()) return err.code();
        char* end = nullptr;
        const double duration = std::strtod(answer.c_str(), &end);
        const double spanEnd = double(precomp.shown.end.num) / double(precomp.shown.end.den);
        precomp.openEnd = end != answer.c_str() && spanEnd >= duration - 1e-9;
    }
    *reaches = *precomp.openEnd;
    return A_Err_NONE;
}

// Keeps the part of the copy's span (the inner layer's, in composition time)
// that lies inside the pre-comp layer's span. A reversed pre-comp layer turns
// the inner span end over start. Where the pre-comp layer's span reaches an
// end of the composition, nothing past that end is seen, so nothing is cut
// there.
A_Err trim_copy(HostSuites& suites, const PluginInfo* info, AEGP_LayerH copy,
                const InnerTimes& inner, PrecompTimes& precomp) {
    RunningError err;
    Span layer;
    err.then([&] { return outer(precomp, inner.span.start, &layer.start); }).then([&] {
        return outer(precomp, inner.span.end, &layer.end);
    });
    if (precomp.stretch.num < 0) std::swap(layer.start, layer.end);
    bool later = false, earlier = false, shows = false, reachesEnd = false;
    err.then([&] { return less(layer.start, precomp.shown.start, &later); }).then([&] {
        return less(precomp.shown.end, layer.end, &earlier);
    });
    if (later && precomp.shown.start.num <= 0) later = false;
    if (earlier)
        err.then([&] { return span_reaches_comp_end(suites, info, precomp, &reachesEnd); });
    if (reachesEnd) earlier = false;
    const Exact start = later ? precomp.shown.start : layer.start;
    const Exact end = earlier ? precomp.shown.end : layer.end;
    err.then([&] { return less(start, end, &shows); });
    if (!err.ok()) return err.code();
    if (!shows) return switch_off(suites, copy);
    if (!later && !earlier) return A_Err_NONE;
    Exact length;
    A_Time newIn{0, 0}, newDuration{0, 0};
    err.then([&] {
           return sum(end, Exact{-start.num, start.den}, &length);
       })
        .then([&] { return host_time(start, &newIn); })
        .then([&] { return host_time(length, &newDuration); })
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

A_Err retime_layer(HostSuites& suites, const PluginInfo* info, const Comps& comps, A_long index,
                   PrecompTimes& precomp) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_LayerH copy = nullptr;
    AEGP_LayerH inner = nullptr;
    InnerTimes times;
    err.then([&] { return layers.AEGP_GetCompLayerByIndex(comps.parent, index, &copy); })
        .then([&] { return layers.AEGP_GetCompLayerByIndex(comps.source, index, &inner); })
        .then([&] { return read_inner_times(suites, inner, !is_one(precomp.stretch), &times); })
        .then([&] { return map_copy(suites, copy, times, precomp); })
        .then([&] { return trim_copy(suites, info, copy, times, precomp); });
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
        precomp.parentComp = comps.parent;
        const auto count = static_cast<A_long>(list.size());
        for (A_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return retime_layer(suites, info, comps, i, precomp); });
        }
        return err.code();
    });
}

}  // namespace outfold
