#include "pipeline/command_hook.h"

#include "pipeline/extract_precomp_layer.h"
#include "pipeline/options_dialog.h"
#include "shell/globals.h"
#include "shell/host_suites.h"
#include "shell/menu_hook.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/string_table.h"

namespace outfold {
namespace {

// Walks the active composition's selection and extracts each pre-comp layer
// in turn; count receives the number of selected items of every kind.
A_Err extract_selected_precomp_layers(HostSuites& suites, ExtractionRun& run,
                                      Owned<AEGP_Collection2H>& selection, A_u_long* count) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    RunningError error(selected_layers_of_active_comp(run.info, selection.out()));
    if (!selection) return error.code();
    error.then([&] { return collections.AEGP_GetCollectionNumItems(selection.get(), count); });
    for (A_u_long i = 0; i < *count && error.ok(); ++i) {
        AEGP_CollectionItemV2 item{};
        bool isPrecomp = false;
        error
            .then([&] {
                return collections.AEGP_GetCollectionItemByIndex(selection.get(), i, &item);
            })
            .then([&] { return is_precomp_layer(run.info, &item, &isPrecomp); });
        if (isPrecomp) {
            const AEGP_LayerH layer = item.u.layer.layerH;
            Uncarried notes;
            error.then([&] { return note_precomp_layer(run.info, layer, &notes); }).then([&] {
                return extract_precomp_layer(suites, run, layer, i + 1 == *count, &notes);
            });
            if (error.ok()) add_to_report(std::move(notes), &run.report);
        }
    }
    error.then([&] { return settle_copy_indices(run.info, run.pointed); });
    return error.code();
}

// One run after the dialog was accepted: everything inside one undo group,
// which is ended on every path once it was asked for.
A_Err extract_in_undo_group(HostSuites& suites, ExtractionRun& run) {
    const auto& utility = suites.get<AEGP_UtilitySuite_v13>();
    Owned<AEGP_Collection2H> selection(
        suites.get<AEGP_CollectionSuite_v2>().AEGP_DisposeCollection);
    A_u_long count = 0;
    RunningError error;
    error.then([&] { return utility.AEGP_StartUndoGroup(get_string(kStringCommandName)); });
    error.then([&] {
        return exception_as_error(
            [&] { return extract_selected_precomp_layers(suites, run, selection, &count); });
    });
    error.keep_first(utility.AEGP_EndUndoGroup());
    error.then([&] { return report_undeleted_sources(run.info, &run.ledger, count); });
    error.then([&] { return show_run_report(run.info, &run.report); });
    error.keep_first(selection.release());
    return error.code();
}

A_Err run_command(HostSuites& suites) {
    ExtractOptions options{};
    char prefix[kMaxPrefixBytes + 1] = {};
    const PluginInfo info{gSPBasicSuite, gPluginId, &options};
    const DialogRun dialog = run_options_dialog(&info, &options, prefix);
    if (dialog.outcome != DialogOutcome::Accepted || dialog.error != A_Err_NONE) {
        return dialog.error;
    }
    ExtractionRun run{&info, prefix, nullptr, {}, {}, {}, {}};
    return extract_in_undo_group(suites, run);
}

}  // namespace

A_Err command_hook(AEGP_GlobalRefcon /*pluginRefcon*/, AEGP_CommandRefcon /*refcon*/,
                   AEGP_Command command, AEGP_HookPriority /*priority*/, A_Boolean alreadyHandled,
                   A_Boolean* handled) {
    if (command != gCommandId || alreadyHandled) return A_Err_NONE;
    *handled = true;
    return with_suites(gSPBasicSuite, [](HostSuites& suites) { return run_command(suites); });
}

}  // namespace outfold
