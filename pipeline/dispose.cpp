#include "pipeline/dispose.h"

#include "expressions/layer_expressions.h"
#include "expressions/reference_rewrite.h"
#include "extract/rename.h"
#include "pipeline/alert.h"
#include "placement/source_users.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/text.h"

namespace outfold {

namespace {

// Its copies now show and sound in its place: the kept layer neither shows nor sounds.
A_Err switch_layer_off(HostSuites& suites, AEGP_LayerH layer) {
    const auto& layers = suites.get<AEGP_LayerSuite_v10>();
    RunningError err;
    err.then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, false); })
        .then([&] { return layers.AEGP_SetLayerFlag(layer, AEGP_LayerFlag_AUDIO_ACTIVE, false); });
    return err.code();
}

A_Err delete_layer(HostSuites& suites, AEGP_LayerH layer) {
    return suites.get<AEGP_LayerSuite_v10>().AEGP_DeleteLayer(layer);
}

void note_source_deleted(SourceLedger* ledger, A_long sourceId) {
    const auto entry = ledger->failuresBySource.find(sourceId);
    if (entry == ledger->failuresBySource.end()) return;
    ledger->notDeleted -= entry->second;
    ledger->failuresBySource.erase(entry);
}

void note_source_kept(SourceLedger* ledger, A_long sourceId) {
    ledger->notDeleted += 1;
    ledger->failuresBySource[sourceId] += 1;
}

// Whether an expression outside the source composition, other than the
// pre-comp layer's own, names the source by `comp("<name>")`: deleting it
// would break that expression.
A_Err source_named_elsewhere(HostSuites& suites, const PluginInfo* info, AEGP_LayerH layer,
                             A_long sourceId, bool* named) {
    std::u16string wide;
    RunningError err;
    err.then([&] { return get_source_name(info, layer, &wide); });
    const std::string name = to_utf8(wide);
    AEGP_ItemH lastComp = nullptr;
    bool insideSource = false;
    err.then([&] {
        return for_each_project_layer(info, [&](AEGP_ItemH compItem, AEGP_LayerH other) {
            RunningError visit;
            if (compItem != lastComp) {
                A_long compId = 0;
                visit.then([&] {
                    return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(compItem, &compId);
                });
                lastComp = compItem;
                insideSource = compId == sourceId;
            }
            if (*named || insideSource || other == layer) return visit.code();
            visit.then([&] {
                return for_each_expression(info, other, [&](StreamPlace, const std::string& text) {
                    *named = *named || names_composition(text, name);
                    return A_Err_NONE;
                });
            });
            return visit.code();
        });
    });
    return err.code();
}

// Deletes the source item when the pre-comp layer is its only user (which
// takes the layer with it) and no expression elsewhere names it; otherwise
// deletes just the layer and notes the source that stayed.
A_Err delete_layer_or_source(HostSuites& suites, const PluginInfo* info, AEGP_LayerH layer,
                             SourceLedger* ledger) {
    RunningError err;
    AEGP_ItemH source = nullptr;
    err.then(
        [&] { return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(layer, &source); });
    A_long users = 0;
    err.then([&] { return count_source_users(info, source, &users); });
    A_long sourceId = -1;
    err.then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_GetItemID(source, &sourceId); });
    bool named = false;
    if (users == 1)
        err.then([&] { return source_named_elsewhere(suites, info, layer, sourceId, &named); });
    if (!err.ok()) return err.code();
    if (users == 1 && !named) {
        err.then([&] { return suites.get<AEGP_ItemSuite_v10>().AEGP_DeleteItem(source); });
        if (err.ok()) note_source_deleted(ledger, sourceId);
    } else {
        note_source_kept(ledger, sourceId);
        err.then([&] { return delete_layer(suites, layer); });
    }
    return err.code();
}

struct AlertText {
    const char* message = nullptr;  // null: nothing to tell
    const char* title = nullptr;
};

// The alert for the ledger's count.
AlertText undeleted_sources_alert(A_long notDeleted, unsigned selectedCount) {
    if (notDeleted == 1 && selectedCount == 1) {
        return {"The source could not be deleted because it is being used in other places",
                "Source Not Deleted"};
    }
    if (notDeleted == 1) {
        return {"A source could not be deleted because it is being used in other places",
                "Source Not Deleted"};
    }
    if (notDeleted > 1) {
        return {
            "Some (or all) sources could not be deleted because they are being used in other "
            "places",
            "Sources Not Deleted"};
    }
    return {};
}

}  // namespace

A_Err dispose_precomp_layer(const PluginInfo* info, AEGP_LayerH precompLayer,
                            SourceLedger* ledger) {
    // Without a run's options there is no telling what the user wanted.
    if (info->options == nullptr) return A_Err_PARAMETER;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const ExtractOptions& options = *info->options;
        if (options.keepInComp) return switch_layer_off(suites, precompLayer);
        if (options.deleteSource) return delete_layer_or_source(suites, info, precompLayer, ledger);
        return delete_layer(suites, precompLayer);
    });
}

A_Err report_undeleted_sources(const PluginInfo* info, const SourceLedger* ledger,
                               unsigned selectedCount) {
    const AlertText alert = undeleted_sources_alert(ledger->notDeleted, selectedCount);
    if (alert.message == nullptr) return A_Err_NONE;
    return show_alert(info, alert.message, alert.title);
}

}  // namespace outfold
