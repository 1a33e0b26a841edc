// What becomes of a pre-comp layer after its layers were extracted, and the
// one alert about sources that had to stay in the project.
#pragma once

#include <map>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// Bookkeeping of one run: pre-comp layers whose source could not be deleted,
// corrected when such a source is deleted later in the same run.
struct SourceLedger {
    A_long notDeleted = 0;
    // Failures so far, by source item id.
    std::map<A_long, A_long> failuresBySource;
};

// Keeps the layer with its video and audio off (keepInComp), deletes its source together with
// it when no other layer uses the source (deleteSource), or deletes the layer.
A_Err dispose_precomp_layer(const PluginInfo* info, AEGP_LayerH precompLayer, SourceLedger* ledger);

// Tells the user, with one alert, that sources stayed in the project.
// `selectedCount` counts every item of the run's selection.
A_Err report_undeleted_sources(const PluginInfo* info, const SourceLedger* ledger,
                               unsigned selectedCount);

}  // namespace outfold
