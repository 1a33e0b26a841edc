#include "attributes/still_look.h"

#include <charconv>
#include <string>
#include <string_view>

#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/script_run.h"

namespace outfold {

namespace {

// Called with the composition, the pre-comp layer's index and, per copy at
// indices 1..n, 1 when it hangs on the carrier. Answers
// "expressions=<n>;identity=yes|no;exact=yes|no;masks=<n>". Written for the scripting
// engine's language level (ECMAScript 3).
constexpr char kStillLook[] = R"JS((function (c, p, onCarrier) {
    var l = c.layer(p), t = l.transform, abs = Math.abs;
    var TURNS = ["rotation", "xRotation", "yRotation", "orientation"];
    function nonzero(v) {
        if (!(v instanceof Array)) return v !== 0;
        for (var i = 0; i < v.length; i++) if (v[i] !== 0) return true;
        return false;
    }
    function turns(layer) {
        var u = layer.transform;
        for (var i = 0; i < TURNS.length; i++) {
            var r = u[TURNS[i]];
            if (r !== null && (r.numKeys > 0 || r.expressionEnabled || nonzero(r.value)))
                return true;
        }
        return false;
    }
    function scaledEases(eases, f) {
        var out = [];
        for (var i = 0; i < eases.length; i++)
            out.push(new KeyframeEase(eases[i].speed * f, eases[i].influence));
        return out;
    }

    var expressions = 0, o = t.opacity;
    if (o !== null && !o.isTimeVarying && o.value !== 100) {
        var f = o.value / 100;
        for (var n = 1; n <= onCarrier.length; n++) {
            var q = c.layer(n).transform.opacity;
            if (q === null) continue;
            if (q.expressionEnabled) { expressions++; continue; }
            if (q.numKeys === 0) q.setValue(q.value * f);
            for (var k = 1; k <= q.numKeys; k++) {
                q.setValueAtKey(k, q.keyValue(k) * f);
                q.setTemporalEaseAtKey(k, scaledEases(q.keyInTemporalEase(k), f),
                                       scaledEases(q.keyOutTemporalEase(k), f));
            }
        }
    }

    var a = t.anchorPoint.value, pos = t.position.value, s = t.scale.value;
    var turned = turns(l), identity = l.parent === null && !turned;
    for (var d = 0; d < 3; d++) {
        if ((a[d] || 0) !== (pos[d] || 0)) identity = false;
        if (d < s.length && s[d] !== 100) identity = false;
    }
    // The layers the carrier is folded into: its copies and the pre-comp
    // layer's followers.
    var folded = [];
    for (var m = 1; m <= c.numLayers; m++) {
        var candidate = c.layer(m);
        if (m <= onCarrier.length ? onCarrier[m - 1] === 1
                                  : candidate.parent !== null && candidate.parent.index === p)
            folded.push(candidate);
    }
    var deep = l.threeDLayer;
    for (var j = 0; j < folded.length; j++) deep = deep || folded[j].threeDLayer !== false;
    var uneven = abs(s[0]) !== abs(s[1]) || (deep && s.length > 2 && abs(s[2]) !== abs(s[0]));
    var scaled = s[0] !== 100 || s[1] !== 100 || (s.length > 2 && s[2] !== 100);
    var exact = true;
    for (var e = 0; e < folded.length && exact; e++) {
        var layer = folded[e], u = layer.transform;
        // Cameras and lights have no scale to take one.
        if (scaled && u.scale === null) exact = false;
        if (uneven && (turned || turns(layer) || u.position.numKeys > 0)) exact = false;
        if (turned && layer.dimensionsSeparated) exact = false;
    }
    return "expressions=" + expressions + ";identity=" + (identity ? "yes" : "no") +
           ";exact=" + (exact ? "yes" : "no") +
           ";masks=" + l.property("ADBE Mask Parade").numProperties;
}))JS";

std::string still_look_script(A_long compId, A_long precompPosition, const ParentIndices& list) {
    std::string onCarrier;
    for (const A_long parent : list) {
        if (!onCarrier.empty()) onCarrier += ",";
        onCarrier += parent == kNoParent ? "1" : "0";
    }
    return std::string(kStillLook) + "(app.project.itemByID(" + std::to_string(compId) + "), " +
           std::to_string(precompPosition) + ", [" + onCarrier + "]);";
}

// One "key=value" of the answer, or an empty view when it is missing.
std::string_view field(std::string_view answer, std::string_view key) {
    for (std::size_t at = 0; at <= answer.size();) {
        const std::size_t end = std::min(answer.find(';', at), answer.size());
        const std::string_view part = answer.substr(at, end - at);
        if (part.size() > key.size() && part.starts_with(key) && part[key.size()] == '=')
            return part.substr(key.size() + 1);
        at = end + 1;
    }
    return {};
}

bool read_count(std::string_view text, A_long* count) {
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), *count);
    return failed == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool read_answer(std::string_view answer, FoldCheck* fold, A_long* expressions, A_long* masks) {
    const std::string_view identity = field(answer, "identity"), exact = field(answer, "exact");
    if ((identity != "yes" && identity != "no") || (exact != "yes" && exact != "no")) return false;
    fold->identity = identity == "yes";
    fold->exact = exact == "yes";
    return read_count(field(answer, "expressions"), expressions) &&
           read_count(field(answer, "masks"), masks);
}

}  // namespace

A_Err carry_still_look(const PluginInfo* info, AEGP_LayerH precompLayer, AEGP_CompH parentComp,
                       const ParentIndices& list, FoldCheck* fold, LookLosses* losses) {
    if (fold == nullptr || losses == nullptr) return A_Err_PARAMETER;
    *fold = FoldCheck{};
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        AEGP_ItemH item = nullptr;
        A_long compId = 0, index = 0, expressions = 0, masks = 0;
        std::string answer;
        err.then([&] {
               return suites.get<AEGP_CompSuite_v9>().AEGP_GetItemFromComp(parentComp, &item);
           })
            .then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(item, &compId); })
            .then([&] {
                return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerIndex(precompLayer, &index);
            })
            .then([&] {
                const std::string script = still_look_script(compId, index + 1, list);
                return execute_script(*info, suites, script.c_str(), &answer);
            })
            .then([&] {
                return read_answer(answer, fold, &expressions, &masks) ? A_Err_NONE : A_Err_GENERIC;
            });
        if (err.ok()) {
            losses->ownOpacityExpressions += expressions;
            losses->masks = masks;
        }
        return err.code();
    });
}

}  // namespace outfold
