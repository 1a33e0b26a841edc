#include "pipeline/copy_references.h"

#include <algorithm>

#include "expressions/script_string.h"
#include "extract/rename.h"
#include "placement/source_users.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/script_run.h"
#include "shell/text.h"

namespace outfold {

namespace {

std::string layer_name_utf8(const PluginInfo* info, AEGP_LayerH layer) {
    std::u16string name;
    static_cast<void>(get_layer_name(info, layer, &name));
    return to_utf8(name);
}

A_Err read_copies(HostSuites& suites, AEGP_Collection2H extracted,
                  std::vector<AEGP_LayerH>* copies) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    RunningError err;
    A_u_long count = 0;
    err.then([&] { return collections.AEGP_GetCollectionNumItems(extracted, &count); });
    copies->assign(count, nullptr);
    for (A_u_long k = 0; k < count && err.ok(); ++k) {
        AEGP_CollectionItemV2 item{};
        err.then([&] { return collections.AEGP_GetCollectionItemByIndex(extracted, k, &item); });
        (*copies)[count - 1 - k] = item.u.layer.layerH;
    }
    return err.code();
}

A_Err read_quoted_texts(const PluginInfo* info, QuotedTexts* quoted) {
    if (quoted->read) return A_Err_NONE;
    const A_Err err = for_each_project_layer(info, [&](AEGP_ItemH, AEGP_LayerH layer) {
        return for_each_expression(info, layer, [&](StreamPlace, const std::string& text) {
            for (std::string& literal : string_literals(text))
                quoted->texts.insert(std::move(literal));
            return A_Err_NONE;
        });
    });
    quoted->read = err == A_Err_NONE;
    return err;
}

A_Err comp_layer_names(HostSuites& suites, const PluginInfo* info, AEGP_CompH comp,
                       std::multiset<std::string>* names) {
    return for_each_layer_in_comp(suites, comp, [&](AEGP_LayerH layer) {
        names->insert(layer_name_utf8(info, layer));
        return A_Err_NONE;
    });
}

// What the copies' expressions would rewrite: the pre-comp layers they name
// and whether they read the composition's own values.
struct Needs {
    std::set<std::size_t> targets;  // by name
    bool compValues = false;
    bool byIndex = false;
};

Needs needs_of(const CopiedExpressions& copied, const CopyPlaces& places) {
    PrecompFacts probe = copied.facts;
    for (const std::string_view member : kCompValueMembers) probe.compValues[std::string(member)];
    Needs needs;
    for (const CopiedExpressions::Held& held : copied.expressions) {
        const ReferenceRewrite rewrite = rewrite_references(held.text, probe, places);
        needs.targets.insert(rewrite.targets.begin(), rewrite.targets.end());
        needs.compValues = needs.compValues || rewrite.readsCompValues;
        needs.byIndex = needs.byIndex || !rewrite.indexTargets.empty();
    }
    return needs;
}

A_Err copy_indices(HostSuites& suites, const std::vector<AEGP_LayerH>& copies,
                   std::vector<long>* indices) {
    RunningError err;
    indices->clear();
    for (const AEGP_LayerH copy : copies) {
        A_long index = 0;
        err.then(
            [&] { return suites.get<AEGP_LayerSuite_v12>().AEGP_GetLayerIndex(copy, &index); });
        indices->push_back(long(index) + 1);  // expressions count from 1
    }
    return err.code();
}

// Copies whose name another layer of the composition shares while the
// copies' references or any other expression rely on it get names of their
// own; `names` follows.
A_Err make_relied_names_unique(HostSuites& suites, const PluginInfo* info, AEGP_CompH parentComp,
                               const CopiedExpressions& copied, const Needs& needs,
                               QuotedTexts* quoted, std::vector<std::string>* names) {
    std::multiset<std::string> taken;
    RunningError err;
    err.then([&] { return comp_layer_names(suites, info, parentComp, &taken); });
    for (std::size_t i = 0; i < names->size() && err.ok(); ++i) {
        std::string& name = (*names)[i];
        if (taken.count(name) < 2) continue;
        if (!needs.targets.contains(i)) {
            err.then([&] { return read_quoted_texts(info, quoted); });
            if (!err.ok() || !quoted->texts.contains(name)) continue;
        }
        const std::string unique = duplicate_name(name, taken, *quoted);
        err.then([&] { return set_layer_name(info, copied.copies[i], to_utf16(unique)); });
        if (!err.ok()) break;
        taken.erase(taken.find(name));
        taken.insert(unique);
        name = unique;
    }
    if (quoted->read) {
        for (const std::size_t target : needs.targets) quoted->texts.insert((*names)[target]);
    }
    return err.code();
}

bool is_number_text(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string_view::npos;
}

// The pre-comp's values as literals, read by script from its item.
A_Err read_literal_values(HostSuites& suites, const PluginInfo* info, AEGP_LayerH precompLayer,
                          std::map<std::string, std::string, std::less<>>* values) {
    RunningError err;
    AEGP_ItemH source = nullptr;
    A_long sourceId = 0;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(precompLayer, &source);
       })
        .then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(source, &sourceId); });
    std::string answer;
    const std::string script =
        "(function (c) { return [c.width, c.height, c.duration, c.frameDuration, c.pixelAspect, "
        "c.numLayers].join(\",\"); })(app.project.itemByID(" +
        std::to_string(sourceId) + "));";
    err.then([&] { return execute_script(*info, suites, script.c_str(), &answer); });
    if (!err.ok()) return err.code();
    std::vector<std::string> numbers;
    for (std::size_t start = 0; start <= answer.size();) {
        const std::size_t comma = std::min(answer.find(',', start), answer.size());
        numbers.push_back(answer.substr(start, comma - start));
        start = comma + 1;
    }
    // Anything but six plain numbers leaves the references to the composition.
    if (numbers.size() != 6 || !std::ranges::all_of(numbers, is_number_text)) return A_Err_NONE;
    for (std::size_t m = 1; m < std::size(kCompValueMembers); ++m)
        (*values)[std::string(kCompValueMembers[m])] = numbers[m - 1];
    return A_Err_NONE;
}

// While the pre-comp stays the copies read its values from it; a run that
// deletes it writes them as they are now.
A_Err comp_values(HostSuites& suites, const PluginInfo* info, AEGP_LayerH precompLayer,
                  PrecompFacts* facts) {
    const std::string name = script_string_literal(facts->name);
    const bool deleting =
        info->options != nullptr && info->options->deleteSource && !info->options->keepInComp;
    RunningError err;
    if (deleting) {
        facts->compValues["name"] = name;
        err.then(
            [&] { return read_literal_values(suites, info, precompLayer, &facts->compValues); });
    }
    for (const std::string_view member : kCompValueMembers)
        facts->compValues.try_emplace(std::string(member),
                                      "comp(" + name + ")." + std::string(member));
    return err.code();
}

// Layer parameters of the copies' effects that chose a layer of the pre-comp
// choose that layer's copy. Effect e of a copy is effect e of its layer, as
// the copies' own effects come first.
A_Err point_layer_params(HostSuites& suites, const PluginInfo* info, AEGP_LayerH precompLayer,
                         AEGP_CompH parentComp, const CopyPlaces& places) {
    RunningError err;
    AEGP_ItemH source = nullptr, parent = nullptr;
    A_long sourceId = 0, parentId = 0;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(precompLayer, &source);
       })
        .then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(source, &sourceId); })
        .then([&] {
            return suites.get<AEGP_CompSuite_v9>().AEGP_GetItemFromComp(parentComp, &parent);
        })
        .then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(parent, &parentId); });
    std::string copies;
    for (const long index : places.indices)
        copies += (copies.empty() ? "" : ",") + std::to_string(index);
    const std::string script =
        "(function (inner, outer, copies) {\n"
        "    for (var i = 1; i <= inner.numLayers; i++) {\n"
        "        var from = inner.layer(i).property(\"ADBE Effect Parade\");\n"
        "        var to = outer.layer(copies[i - 1]).property(\"ADBE Effect Parade\");\n"
        "        for (var e = 1; e <= from.numProperties && e <= to.numProperties; e++) {\n"
        "            var params = from.property(e);\n"
        "            for (var p = 1; p <= params.numProperties; p++) {\n"
        "                var q = params.property(p);\n"
        "                if (q.propertyValueType !== PropertyValueType.LAYER_INDEX) continue;\n"
        "                var k = q.value;\n"
        "                if (k > 0 && k <= copies.length) "
        "to.property(e).property(p).setValue(copies[k - 1]);\n"
        "            }\n"
        "        }\n"
        "    }\n"
        "})(app.project.itemByID(" +
        std::to_string(sourceId) + "), app.project.itemByID(" + std::to_string(parentId) + "), [" +
        copies + "]);";
    err.then([&] { return execute_script(*info, suites, script.c_str(), nullptr); });
    return err.code();
}

}  // namespace

A_Err read_copied_expressions(const PluginInfo* info, AEGP_LayerH precompLayer,
                              AEGP_Collection2H extracted, CopiedExpressions* copied) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        err.then([&] { return read_copies(suites, extracted, &copied->copies); });
        std::u16string sourceName;
        err.then([&] { return get_source_name(info, precompLayer, &sourceName); });
        copied->facts.name = to_utf8(sourceName);
        for (std::size_t i = 0; i < copied->copies.size() && err.ok(); ++i) {
            copied->facts.layerNames.push_back(layer_name_utf8(info, copied->copies[i]));
            if (!copied->layerParams) {
                err.then([&] {
                    return has_layer_params(info, copied->copies[i], &copied->layerParams);
                });
            }
            err.then([&] {
                return for_each_expression(info, copied->copies[i],
                                           [&](StreamPlace place, const std::string& text) {
                                               copied->expressions.push_back({i, place, text});
                                               return A_Err_NONE;
                                           });
            });
        }
        return err.code();
    });
}

A_Err point_copies_at_copies(const PluginInfo* info, AEGP_LayerH precompLayer,
                             AEGP_CompH parentComp, CopiedExpressions copied, bool rewriteAll,
                             QuotedTexts* quoted, std::vector<std::string>* unresolved,
                             PointedCopies* pointed) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        CopyPlaces places;
        for (const AEGP_LayerH copy : copied.copies)
            places.names.push_back(layer_name_utf8(info, copy));
        RunningError err;
        err.then([&] { return copy_indices(suites, copied.copies, &places.indices); });
        const Needs needs = needs_of(copied, places);
        err.then([&] {
            return make_relied_names_unique(suites, info, parentComp, copied, needs, quoted,
                                            &places.names);
        });
        PrecompFacts facts = copied.facts;
        if (needs.compValues)
            err.then([&] { return comp_values(suites, info, precompLayer, &facts); });
        for (const CopiedExpressions::Held& held : copied.expressions) {
            if (!err.ok()) break;
            ReferenceRewrite rewrite = rewrite_references(held.text, facts, places);
            for (std::string& form : rewrite.unresolved) unresolved->push_back(std::move(form));
            if (!rewriteAll && rewrite.text == held.text) continue;
            err.then([&] {
                return set_expression_at(info, copied.copies[held.copy], held.place, rewrite.text);
            });
        }
        if (copied.layerParams)
            err.then(
                [&] { return point_layer_params(suites, info, precompLayer, parentComp, places); });
        *pointed = {std::move(copied), std::move(facts), std::move(places), needs.byIndex};
        return err.code();
    });
}

A_Err settle_copy_indices(const PluginInfo* info, std::vector<PointedCopies>& pointed) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        for (PointedCopies& one : pointed) {
            if (!one.byIndex || !err.ok()) continue;
            std::vector<long> now;
            err.then([&] { return copy_indices(suites, one.copied.copies, &now); });
            if (!err.ok() || now == one.places.indices) continue;
            one.places.indices = now;
            for (const CopiedExpressions::Held& held : one.copied.expressions) {
                const ReferenceRewrite rewrite =
                    rewrite_references(held.text, one.facts, one.places);
                if (rewrite.indexTargets.empty()) continue;
                err.then([&] {
                    return set_expression_at(info, one.copied.copies[held.copy], held.place,
                                             rewrite.text);
                });
            }
        }
        return err.code();
    });
}

std::string duplicate_name(const std::string& name, const std::multiset<std::string>& taken,
                           const QuotedTexts& quoted) {
    const std::size_t lastLetter = name.find_last_not_of("0123456789");
    const std::size_t digits = name.size() - (lastLetter == std::string::npos ? 0 : lastLetter + 1);
    const bool numbered = digits > 0 && digits <= 9;
    std::u16string base = to_utf16(numbered ? name.substr(0, name.size() - digits) : name + " ");
    long long number = numbered ? std::stoll(name.substr(name.size() - digits)) + 1 : 2;
    for (;; ++number) {
        const std::u16string count = to_utf16(std::to_string(number));
        std::u16string stem = base;
        // The number always fits: the stem gives way, never splitting a pair.
        if (stem.size() + count.size() > kMaxLayerNameUnits) {
            stem.resize(kMaxLayerNameUnits - count.size());
            if (!stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF) stem.pop_back();
        }
        const std::string candidate = to_utf8(stem + count);
        if (!taken.contains(candidate) && !quoted.texts.contains(candidate)) return candidate;
    }
}

}  // namespace outfold
